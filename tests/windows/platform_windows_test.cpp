// The Win32 side of the platform layer against the real system calls (under Wine in CI).

#include "platform/Directory.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Library.h"
#include "platform/Registry.h"
#include "platform/windows/Win32.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the user's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        path_ = fs::temp_directory_path() /
                ("lunavio-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
            ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& Path() const { return path_; }
    // The drive path ("C:\...\name") of a file in the folder.
    std::string DrivePath(const std::string& name) const { return (path_ / name).string(); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private:
    fs::path path_;
};

void Write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const Bytes kNew(2048, 0x5A);

TEST(WindowsFiles, ReplaceWritesTheWholeFileAndLeavesNoTemporaryFile) {
    TempFolder folder;
    ASSERT_TRUE(platform::ReplaceFile(folder.DrivePath("MPlay.sys"), kNew)) << "first file";
    Write(folder.Path() / "MPlay.sys", "old");
    const std::wstring file = (folder.Path() / "MPlay.sys").wstring();
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN);

    ASSERT_TRUE(platform::ReplaceFile(folder.DrivePath("MPlay.sys"), kNew));

    EXPECT_EQ(Read(folder.Path() / "MPlay.sys"), std::string(2048, 'Z'));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"MPlay.sys"});
    EXPECT_TRUE(::GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN) << "attributes kept";
    const auto start = platform::ReadFileStart(folder.DrivePath("MPlay.sys"), 100);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->size, 2048u);
    EXPECT_EQ(start->bytes, Bytes(100, 0x5A));
}

TEST(WindowsFiles, AFailingStepKeepsTheOldFileRemovesTheTemporaryOneAndSaysWhy) {
    using platform::FileFault;
    using platform::ReplaceStep;
    struct Case {
        ReplaceStep step;
        int error;
        FileFault fault;
    };
    for (const Case& c : {
             Case{ReplaceStep::Create, 0, FileFault::Gone},
             Case{ReplaceStep::Write, ERROR_DISK_FULL, FileFault::DiskFull},
             Case{ReplaceStep::Flush, ERROR_DEVICE_NOT_CONNECTED, FileFault::Gone},
             Case{ReplaceStep::Create, ERROR_WRITE_PROTECT, FileFault::ReadOnly},
             Case{ReplaceStep::Replace, ERROR_ACCESS_DENIED, FileFault::AccessDenied},
             Case{ReplaceStep::Write, ERROR_NOT_ENOUGH_MEMORY, FileFault::Other},
         }) {
        const std::string name =
            std::to_string(static_cast<int>(c.step)) + "/" + std::to_string(c.error);
        TempFolder folder;
        Write(folder.Path() / "MPlay.sys", "old");
        platform::FailReplaceStepForTesting(c.step, c.error);
        const auto result = platform::ReplaceFile(folder.DrivePath("MPlay.sys"), kNew);
        platform::FailReplaceStepForTesting(std::nullopt);
        ASSERT_TRUE(result.error) << name;
        EXPECT_EQ(result.error->step, c.step) << name;
        EXPECT_EQ(result.error->fault, c.fault) << name;
        EXPECT_FALSE(result.error->detail.empty()) << name;
        EXPECT_FALSE(result.error->detail.ends_with('\n')) << name;
        EXPECT_EQ(Read(folder.Path() / "MPlay.sys"), "old") << name;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"MPlay.sys"}) << name;
    }
}

// Another program's save holds the drive's lock (the session's named mutex) and does not let
// go, as a stopped one would: the save gives up after a bounded wait and changes nothing.
TEST(WindowsFiles, ASaveLockHeldElsewhereFailsTheSaveAsBusy) {
    TempFolder folder;
    Write(folder.Path() / "MPlay.sys", "old");
    const std::string drive(1, folder.DrivePath("")[0]);
    const std::wstring name = L"Local\\PrivateFolderSetup.Replace." +
                              std::wstring(1, static_cast<wchar_t>(std::toupper(drive[0])));
    HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        // Waited for, not owned at creation: another test's save to the same letter may hold
        // the mutex for a moment, and a mutex that already exists is not owned by creating it.
        HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
        ::WaitForSingleObject(mutex, INFINITE);
        ::SetEvent(held);
        ::WaitForSingleObject(release, INFINITE);
        ::ReleaseMutex(mutex);
        ::CloseHandle(mutex);
    });
    ::WaitForSingleObject(held, INFINITE);
    const auto result = platform::ReplaceFile(folder.DrivePath("MPlay.sys"), kNew);
    ::SetEvent(release);
    holder.join();
    ::CloseHandle(held);
    ::CloseHandle(release);

    ASSERT_FALSE(result);
    EXPECT_EQ(result.error->fault, platform::FileFault::Busy);
    EXPECT_EQ(Read(folder.Path() / "MPlay.sys"), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"MPlay.sys"});
    EXPECT_TRUE(platform::ReplaceFile(folder.DrivePath("MPlay.sys"), kNew));
}

TEST(WindowsFiles, ALeftoverOfAnInterruptedSaveIsRemoved) {
    TempFolder folder;
    Write(folder.Path() / ".MPlay.sys.saving", "half");
    ASSERT_TRUE(platform::ReplaceFile(folder.DrivePath("MPlay.sys"), kNew));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"MPlay.sys"});
}

TEST(WindowsFiles, RefusesWhatIsNoPlainWritableFileOnADrive) {
    using platform::FileFault;
    TempFolder folder;
    fs::create_directory(folder.Path() / "Folder");
    Write(folder.Path() / "ReadOnly", "old");
    ::SetFileAttributesW((folder.Path() / "ReadOnly").c_str(), FILE_ATTRIBUTE_READONLY);

    const std::string readOnly = folder.DrivePath("ReadOnly");
    for (const std::string& path :
         {folder.DrivePath("Folder"), readOnly, folder.DrivePath("no\\such"),
          folder.DrivePath("") + "\\", std::string("MPlay.sys"), std::string("\\MPlay.sys"),
          std::string("1:\\MPlay.sys"), folder.DrivePath("a") + std::string(1, '\0') + "b"}) {
        EXPECT_FALSE(platform::ReplaceFile(path, kNew)) << path;
        EXPECT_EQ(platform::ReadFileStart(path, 2048).has_value(), path == readOnly) << path;
    }
    EXPECT_EQ(Read(folder.Path() / "ReadOnly"), "old");
    EXPECT_TRUE(fs::is_directory(folder.Path() / "Folder"));
    const auto fault = [](const std::string& path) {
        return platform::ReplaceFile(path, kNew).error->fault;
    };
    EXPECT_EQ(fault(readOnly), FileFault::AccessDenied);
    EXPECT_EQ(fault(folder.DrivePath("Folder")), FileFault::NotAFile);
    EXPECT_EQ(fault(folder.DrivePath("NUL")), FileFault::NotAFile);
    EXPECT_EQ(fault(folder.DrivePath("no\\such")), FileFault::Gone);
    EXPECT_FALSE(platform::ReadFileStart(folder.DrivePath("NUL"), 2048)) << "a device";
}

TEST(WindowsFiles, ReadsAShortFileAsFarAsItGoes) {
    TempFolder folder;
    Write(folder.Path() / "MPlay.sys", "abc");
    const auto start = platform::ReadFileStart(folder.DrivePath("MPlay.sys"), 2048);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->size, 3u);
    EXPECT_EQ(start->bytes, (Bytes{'a', 'b', 'c'}));
}

void SetLastWrite(const fs::path& path, const SYSTEMTIME& utc) {
    FILETIME time{};
    ASSERT_TRUE(::SystemTimeToFileTime(&utc, &time));
    HANDLE handle = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(::SetFileTime(handle, nullptr, nullptr, &time));
    ::CloseHandle(handle);
}

TEST(WindowsDirectory, ListsNamesKindsAndUtcTimesInBothWidths) {
    TempFolder folder;
    const std::u16string wideName = u"Fotos \u00fc\u4e2d";
    fs::create_directory(folder.Path() / "Movies");
    fs::create_directory(folder.Path() / fs::path(std::wstring(wideName.begin(), wideName.end())));
    Write(folder.Path() / "readme.txt", "x");
    const SYSTEMTIME when{2024, 6, 0, 1, 12, 34, 56, 0};
    SetLastWrite(folder.Path() / "Movies", when);

    std::map<std::u16string, platform::FindDataW> wide;
    const std::string pattern = folder.DrivePath("*");
    ASSERT_TRUE(platform::EnumerateDirectoryW(std::u16string(pattern.begin(), pattern.end()),
                                              [&](const auto& d) { wide[d.name] = d; }));
    ASSERT_TRUE(wide.count(u"Movies") && wide.count(wideName) && wide.count(u"readme.txt"));
    EXPECT_TRUE(wide[u"Movies"].isDirectory);
    EXPECT_TRUE(wide[wideName].isDirectory);
    EXPECT_FALSE(wide[u"readme.txt"].isDirectory);
    ASSERT_TRUE(wide[u"Movies"].lastWrite);
    const platform::SystemTime& t = *wide[u"Movies"].lastWrite;
    EXPECT_EQ((std::vector<int>{t.year, t.month, t.day, t.hour, t.minute, t.second}),
              (std::vector<int>{2024, 6, 1, 12, 34, 56}));

    std::map<std::string, bool> narrow;
    ASSERT_TRUE(platform::EnumerateDirectoryA(
        pattern, [&](const auto& d) { narrow[d.name] = d.isDirectory; }));
    EXPECT_TRUE(narrow["Movies"]);
    EXPECT_FALSE(narrow["readme.txt"]);

    int visits = 0;
    EXPECT_FALSE(
        platform::EnumerateDirectoryA(folder.DrivePath("gone\\*"), [&](const auto&) { ++visits; }));
    EXPECT_EQ(visits, 0);
}

TEST(WindowsDirectory, AnsiToWideCutsAtTheLimit) {
    EXPECT_EQ(platform::AnsiToWide("Movies", 260), u"Movies");
    EXPECT_EQ(platform::AnsiToWide("Movies", 3), u"Mov");
    EXPECT_EQ(platform::AnsiToWide("", 3), u"");
}

// A letter no drive of this machine uses.
std::string FreeRoot() {
    const DWORD used = ::GetLogicalDrives();
    for (char letter = 'Z'; letter >= 'D'; --letter) {
        if (!(used & (1u << (letter - 'A')))) {
            return std::string(1, letter) + ":\\";
        }
    }
    return "";
}

TEST(WindowsDrives, LettersAndVolumeQueriesFollowTheSystem) {
    const auto volumes = platform::LetteredVolumes();
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes.front().letter, 'C') << "C is the first fixed disk";
    EXPECT_EQ(volumes.front().directory, fs::path("C:\\"));
    EXPECT_FALSE(volumes.front().fileSystem.empty());

    const auto c = platform::QueryVolumeInformation("C:\\");
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->fileSystem.empty());
    EXPECT_EQ(platform::QueryDriveType("C:\\"), platform::DriveType::Fixed);

    const std::string free = FreeRoot();
    ASSERT_FALSE(free.empty());
    EXPECT_FALSE(platform::QueryVolumeInformation(free));
    EXPECT_EQ(platform::QueryDriveType(free), platform::DriveType::NoRootDir);
    EXPECT_EQ(platform::QueryDriveType(std::string_view("C:\\\0", 4)),
              platform::DriveType::NoRootDir);
}

TEST(WindowsDrives, ReportsTheTrueMajorVersion) {
    // The kernel's own answer, which no compatibility shim alters.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(rtlGetVersion, nullptr);
    OSVERSIONINFOW truth{};
    truth.dwOSVersionInfoSize = sizeof(truth);
    ASSERT_EQ(rtlGetVersion(&truth), 0);

    EXPECT_EQ(platform::OsMajorVersion(), static_cast<int>(truth.dwMajorVersion));
    platform::SetOsMajorVersionForTesting(4);
    EXPECT_EQ(platform::OsMajorVersion(), 4);
    platform::SetOsMajorVersionForTesting(0);
    EXPECT_EQ(platform::OsMajorVersion(), static_cast<int>(truth.dwMajorVersion));
}

// A key of its own below HKEY_CURRENT_USER\Software, deleted with its subtree.
class TestKey {
public:
    TestKey() : path_("Software\\LunavioTest" + std::to_string(::GetCurrentProcessId())) {}
    ~TestKey() { ::RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str()); }
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;

    const std::string& Path() const { return path_; }
    void Set(const std::string& subkey, const std::string& name, DWORD type, const Bytes& data) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (path_ + "\\" + subkey).c_str(), 0, nullptr,
                                    0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (!name.empty()) {
            ::RegSetValueExA(key, name.c_str(), 0, type, data.data(),
                             static_cast<DWORD>(data.size()));
        }
        ::RegCloseKey(key);
    }

private:
    std::string path_;
};

TEST(WindowsRegistry, EnumeratesSubkeysAndReadsFourByteValues) {
    TestKey test;
    test.Set("beta", "", 0, {});
    test.Set("gamma", "", 0, {});
    test.Set("Alpha", "VenderID", REG_DWORD, {0x17, 0x3B, 0, 0});
    test.Set("Alpha", "Binary4", REG_BINARY, {1, 2, 3, 4});
    test.Set("Alpha", "Short", REG_BINARY, {1, 2, 3});
    test.Set("Alpha", "Qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0});
    test.Set("Alpha\\Deeper", "", 0, {});

    const auto key = platform::RegistryKey::OpenCurrentUser(test.Path());
    ASSERT_TRUE(key);
    std::vector<std::string> names;
    for (std::uint32_t i = 0; const auto name = key->EnumSubkey(i); ++i) {
        names.push_back(*name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));

    const auto alpha = key->Open("ALPHA");
    ASSERT_TRUE(alpha);
    EXPECT_EQ(alpha->QueryDword("VenderID"), 0x3B17u);
    EXPECT_EQ(alpha->QueryDword("venderid"), 0x3B17u);
    EXPECT_EQ(alpha->QueryDword("Binary4"), 0x04030201u);
    EXPECT_FALSE(alpha->QueryDword("Short"));
    EXPECT_FALSE(alpha->QueryDword("Qword"));
    EXPECT_FALSE(alpha->QueryDword("Missing"));
    EXPECT_TRUE(key->Open("Alpha\\Deeper"));
    EXPECT_FALSE(key->Open("Omega"));
    EXPECT_FALSE(platform::RegistryKey::OpenCurrentUser(test.Path() + "\\Omega"));
}

// The model list's set-up writes the registry key itself: a new key with its parents, values
// of an existing key overwritten, and a key deleted with its subkeys.
TEST(WindowsRegistry, SetsDwordsAndDeletesKeys) {
    TestKey test;
    const std::string model = test.Path() + "\\Zembar\\KR512";
    const std::vector<platform::NamedDword> values = {{"VenderID", 0x3B17}, {"ProductID", 0x0512}};
    EXPECT_EQ(platform::SetCurrentUserDwords(model, values).error, "");
    test.Set("Zembar\\KR512\\Deeper", "", 0, {});
    EXPECT_EQ(platform::SetCurrentUserDwords(model, {{{"VenderID", 0x1234}}}).error, "");

    const auto key = platform::RegistryKey::OpenCurrentUser(model);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->QueryDword("VenderID"), 0x1234u);
    EXPECT_EQ(key->QueryDword("ProductID"), 0x0512u);

    EXPECT_EQ(platform::DeleteCurrentUserKey(model).error, "");
    EXPECT_FALSE(platform::RegistryKey::OpenCurrentUser(model));
    EXPECT_TRUE(platform::RegistryKey::OpenCurrentUser(test.Path() + "\\Zembar"));
    EXPECT_EQ(platform::DeleteCurrentUserKey(model).error, "") << "a missing key is no error";
}

TEST(WindowsLibrary, LoadsFromTheGivenFolderAndFindsEntryPointsByName) {
    const fs::path folder = platform::LibraryFolder();
    EXPECT_TRUE(fs::exists(folder / "platform_windows_test.exe")) << folder;

    const auto library =
        platform::Library::Load("DeviceInfo", {folder}, platform::SystemSearch::No);
    ASSERT_TRUE(library);
    EXPECT_TRUE(fs::equivalent(library->File(), folder / "DeviceInfo.dll")) << library->File();
    EXPECT_NE(library->Symbol("_IsDevExist2"), nullptr);
    EXPECT_EQ(library->Symbol("NoSuchEntry"), nullptr);

    // Each place tried gives its line, the system's reason included.
    const auto missing = platform::Library::Attempt("NoSuchLibrary", {folder, folder / "sub"},
                                                    platform::SystemSearch::Yes);
    EXPECT_FALSE(missing.library);
    EXPECT_EQ(std::count(missing.error.begin(), missing.error.end(), '\n'), 2) << missing.error;
    EXPECT_NE(missing.error.find((folder / "NoSuchLibrary.dll").string() + ": "), std::string::npos)
        << missing.error;
    EXPECT_FALSE(missing.error.ends_with('\n'));
    EXPECT_FALSE(
        platform::Library::Load("DeviceInfo", {folder / "elsewhere"}, platform::SystemSearch::No));
}

} // namespace
