#include "platform/RegFile.h"
#include "platform/Registry.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using platform::ParseRegFile;
using platform::RegistryKey;
using platform::RegistryNode;

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\r\n";

// The data of value name under HKCU\path, or nullopt.
std::optional<std::vector<std::uint8_t>> DataAt(const RegistryNode& root, std::string_view path,
                                                std::string_view name) {
    const RegistryNode* node = &root;
    for (std::size_t start = 0; start < path.size();) {
        const auto end = std::min(path.find('\\', start), path.size());
        const auto it = node->subkeys.find(path.substr(start, end - start));
        if (it == node->subkeys.end())
            return std::nullopt;
        node = &it->second;
        start = end + 1;
    }
    const auto it = node->values.find(name);
    if (it == node->values.end())
        return std::nullopt;
    return it->second.data;
}

using Bytes = std::vector<std::uint8_t>;

struct ParseCase {
    const char* name;
    std::string text;
    std::string path;  // below HKEY_CURRENT_USER
    std::string value; // value name
    std::optional<Bytes> data;
};

TEST(RegFile, ParseTable) {
    const std::string h = kHeader;
    const std::vector<ParseCase> cases = {
        {"dword", h + "[HKEY_CURRENT_USER\\S\\K]\r\n\"V\"=dword:0000abcd\r\n", "S\\K", "V",
         Bytes{0xCD, 0xAB, 0, 0}},
        {"odd spacing", h + "  [HKEY_CURRENT_USER\\S]  \n \"V\" =  dword:1 \n", "S", "V",
         Bytes{1, 0, 0, 0}},
        {"REGEDIT4 with LF", "REGEDIT4\n\n[HKEY_CURRENT_USER\\S]\n\"V\"=dword:2\n", "S", "V",
         Bytes{2, 0, 0, 0}},
        {"comment lines", h + "; a note\n[HKEY_CURRENT_USER\\S]\n;\"V\"=dword:1\n", "S", "V",
         std::nullopt},
        {"string escapes", h + "[HKEY_CURRENT_USER\\S]\n\"V\"=\"a\\\\b\\\"c\"\n", "S", "V",
         Bytes{'a', '\\', 'b', '"', 'c', 0}},
        {"escaped name", h + "[HKEY_CURRENT_USER\\S]\n\"N\\\"1\"=dword:3\n", "S", "N\"1",
         Bytes{3, 0, 0, 0}},
        {"default value", h + "[HKEY_CURRENT_USER\\S]\n@=\"x\"\n", "S", "", Bytes{'x', 0}},
        {"hex", h + "[HKEY_CURRENT_USER\\S]\n\"V\"=hex:01,02, 03,ff\n", "S", "V",
         Bytes{1, 2, 3, 0xFF}},
        {"hex(b) qword", h + "[HKEY_CURRENT_USER\\S]\n\"V\"=hex(b):01,00,00,00,00,00,00,00\n", "S",
         "V", Bytes{1, 0, 0, 0, 0, 0, 0, 0}},
        {"continuation", h + "[HKEY_CURRENT_USER\\S]\n\"V\"=hex:01,02,\\\r\n    03,04\r\n", "S",
         "V", Bytes{1, 2, 3, 4}},
        {"continued hex(b)",
         h + "[HKEY_CURRENT_USER\\S]\n\"V\"=hex(b):01,\\\n 02,\\\n\t03,04,05,06,07,08\n", "S", "V",
         Bytes{1, 2, 3, 4, 5, 6, 7, 8}},
        {"comment ending in a backslash", h + "[HKEY_CURRENT_USER\\S]\n; see C:\\\n\"V\"=dword:1\n",
         "S", "V", Bytes{1, 0, 0, 0}},
        {"dword split by a backslash", h + "[HKEY_CURRENT_USER\\S]\n\"V\"=dword:0000\\\n0001\n",
         "S", "V", std::nullopt},
        {"string ending in a backslash",
         h + "[HKEY_CURRENT_USER\\S]\n\"A\"=\"x\"\\\n\"V\"=dword:2\n", "S", "V", Bytes{2, 0, 0, 0}},
        {"missing header", "[HKEY_CURRENT_USER\\S]\n\"V\"=dword:1\n", "S", "V", std::nullopt},
        {"garbage", "\x01\x02 not a registry file\n\"V\"=dword:1\n", "", "V", std::nullopt},
        {"bad dword skipped", h + "[HKEY_CURRENT_USER\\S]\n\"V\"=dword:123456789\n", "S", "V",
         std::nullopt},
        {"other hive ignored", h + "[HKEY_LOCAL_MACHINE\\S]\n\"V\"=dword:1\n", "S", "V",
         std::nullopt},
        {"key given twice merges",
         h + "[HKEY_CURRENT_USER\\S]\n\"A\"=dword:1\n[HKEY_CURRENT_USER\\s]\n\"V\"=dword:5\n", "S",
         "A", Bytes{1, 0, 0, 0}},
        {"later value wins", h + "[HKEY_CURRENT_USER\\S]\n\"V\"=dword:1\n\"v\"=dword:7\n", "S", "V",
         Bytes{7, 0, 0, 0}},
        {"deleted key", h + "[HKEY_CURRENT_USER\\S\\K]\n\"V\"=dword:1\n[-HKEY_CURRENT_USER\\S]\n",
         "S\\K", "V", std::nullopt},
        {"deleted value", h + "[HKEY_CURRENT_USER\\S]\n\"V\"=dword:1\n\"V\"=-\n", "S", "V",
         std::nullopt},
        {"unterminated string skipped", h + "[HKEY_CURRENT_USER\\S]\n\"V\"=\"abc\n", "S", "V",
         std::nullopt},
        {"utf-8 bom", "\xEF\xBB\xBF" + h + "[HKEY_CURRENT_USER\\S]\n\"V\"=dword:9\n", "S", "V",
         Bytes{9, 0, 0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DataAt(ParseRegFile(c.text), c.path, c.value), c.data) << c.name;
}

TEST(RegFile, ReadsUtf16FileWithBom) {
    const std::string text = std::string(kHeader) +
                             "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Zembar\\KR512]\r\n"
                             "\"VenderID\"=dword:00003b17\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : text) {
        utf16 += c;
        utf16 += '\0';
    }
    EXPECT_EQ(DataAt(ParseRegFile(utf16), "SOFTWARE\\Zembar\\KR512", "VenderID"),
              (Bytes{0x17, 0x3B, 0, 0}));
}

// The model values as the set-up writes them.
const std::vector<platform::NamedDword> kModel = {
    {"VenderID", 0x3b17}, {"ProductID", 0x0512}, {"PrivateFolderSupport", 1}};

std::string Utf16(std::string_view text) {
    std::string units = "\xFF\xFE";
    for (const char c : text) {
        units += c;
        units += '\0';
    }
    return units;
}

// An edit changes the lines it must and keeps every other byte: encoding, line ends, comments,
// other keys. Each result must also parse as the tree with just that change.
TEST(RegFileEdit, SetKeepsEverythingElseByteForByte) {
    const std::string z = "[HKEY_CURRENT_USER\\SOFTWARE\\Zembar";
    const std::string demo = std::string(kHeader) + "\r\n" + z + "]\r\n\r\n" + z +
                             "\\KR512]\r\n\"PrivateFolderSupport\"=dword:00000001\r\n"
                             "\"VenderID\"=dword:00003b17\r\n\"ProductID\"=dword:00000512\r\n";
    const std::string added = z + "\\New]\r\n\"VenderID\"=dword:00003b17\r\n"
                                  "\"ProductID\"=dword:00000512\r\n"
                                  "\"PrivateFolderSupport\"=dword:00000001\r\n";
    const struct {
        const char* name;
        std::string before;
        std::string key;
        std::string after;
    } cases[] = {
        {"new file", "", "SOFTWARE\\Zembar\\New", std::string(kHeader) + "\r\n" + added},
        {"added at the end", demo, "SOFTWARE\\Zembar\\New", demo + "\r\n" + added},
        {"same numbers: nothing changes", demo, "software\\zembar\\kr512", demo},
        {"lf, no last line end, comment kept",
         "REGEDIT4\n; mine\n" + z + "\\Old]\n\"VenderID\"=dword:1", "SOFTWARE\\Zembar\\Old",
         "REGEDIT4\n; mine\n" + z + "\\Old]\n\"VenderID\"=dword:00003b17\n\n" + z +
             "\\Old]\n\"ProductID\"=dword:00000512\n\"PrivateFolderSupport\"=dword:00000001\n"},
        {"hex value over two lines rewritten whole",
         std::string(kHeader) + z +
             "\\K]\r\n\"VenderID\"=hex:17,3b,\\\r\n  00,00\r\n\"Other\"=\"x\"\r\n"
             "\"ProductID\"=dword:00000512\r\n\"PrivateFolderSupport\"=dword:1\r\n",
         "SOFTWARE\\Zembar\\K",
         std::string(kHeader) + z +
             "\\K]\r\n\"VenderID\"=dword:00003b17\r\n\"Other\"=\"x\"\r\n"
             "\"ProductID\"=dword:00000512\r\n\"PrivateFolderSupport\"=dword:1\r\n"},
        // The key's only section is deleted by a later line: a new section makes it.
        {"deleted later",
         std::string(kHeader) + z + "\\K]\r\n\"VenderID\"=dword:00003b17\r\n" +
             "\"ProductID\"=dword:00000512\r\n\"PrivateFolderSupport\"=dword:00000001\r\n[-" +
             z.substr(1) + "\\K]\r\n",
         "SOFTWARE\\Zembar\\K",
         std::string(kHeader) + z + "\\K]\r\n\"VenderID\"=dword:00003b17\r\n" +
             "\"ProductID\"=dword:00000512\r\n\"PrivateFolderSupport\"=dword:00000001\r\n[-" +
             z.substr(1) + "\\K]\r\n\r\n" + z + "\\K]\r\n\"VenderID\"=dword:00003b17\r\n" +
             "\"ProductID\"=dword:00000512\r\n\"PrivateFolderSupport\"=dword:00000001\r\n"},
        {"utf-16 stays utf-16", Utf16(demo), "SOFTWARE\\Zembar\\New", Utf16(demo + "\r\n" + added)},
    };
    for (const auto& c : cases) {
        const auto edit = platform::SetRegFileDwords(c.before, c.key, kModel);
        EXPECT_EQ(edit.fault, "") << c.name;
        EXPECT_EQ(edit.bytes, c.after) << c.name;
        RegistryNode expected = ParseRegFile(c.before);
        RegistryNode* node = &expected;
        for (const auto name : platform::SplitKeyPath(c.key))
            node = &node->subkeys.try_emplace(std::string(name)).first->second;
        for (const auto& [name, value] : kModel)
            node->values[name] = {
                platform::kRegDword,
                {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8), 0, 0}};
        EXPECT_EQ(ParseRegFile(edit.bytes), expected) << c.name;
    }
    EXPECT_NE(platform::SetRegFileDwords("not a registry file\n", "S\\K", kModel).fault, "");
    EXPECT_NE(platform::SetRegFileDwords("", "S\\K\xC3\xA9", kModel).fault, "");
    EXPECT_NE(platform::SetRegFileDwords("", "S\\K\n]", kModel).fault, "");
}

TEST(RegFileEdit, DeleteCutsTheKeysSectionsWithTheirComments) {
    const std::string z = "[HKEY_CURRENT_USER\\SOFTWARE\\Zembar";
    const std::string head = std::string(kHeader) + "\n" + z + "]\n\n";
    const std::string first = "; the old disk\n" + z + "\\KR400]\n\"VenderID\"=dword:1\n\n";
    const std::string sub = z + "\\kr400\\Sub]\n@=\"x\"\n\n";
    const std::string last = "; the new disk\n" + z + "\\KR512]\n\"VenderID\"=dword:2\n";
    const std::string deleted = "[-" + z.substr(1) + "\\KR400]\n";
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"key, subkey and deletion line go", head + deleted + first + sub + last, head + last},
        {"other keys stay", head + last + "\n" + first, head + last + "\n"},
        // A section added at the end and taken out again leaves the file as it was.
        {"file ends as it did", head + last + "\n" + first.substr(0, first.size() - 1),
         head + last},
        {"missing key: unchanged", head + last, head + last},
        {"utf-16", Utf16(head + first + last), Utf16(head + last)},
    };
    for (const auto& c : cases) {
        const auto edit = platform::DeleteRegFileKey(c.before, "SOFTWARE\\Zembar\\KR400");
        EXPECT_EQ(edit.fault, "") << c.name;
        EXPECT_EQ(edit.bytes, c.after) << c.name;
    }
}

class RegistryFile : public ::testing::Test {
protected:
    void SetUp() override {
        file_ =
            std::filesystem::temp_directory_path() /
            ("lunavio-registry-" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".reg");
        ::setenv("LUNAVIO_REGISTRY", file_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("LUNAVIO_REGISTRY");
        std::filesystem::remove(file_);
    }
    void Write(const std::string& body) {
        std::ofstream(file_, std::ios::binary) << kHeader << body;
    }
    std::vector<std::string> Subkeys(std::string_view path) {
        std::vector<std::string> names;
        const auto key = RegistryKey::OpenCurrentUser(path);
        if (!key)
            return names;
        for (std::uint32_t i = 0; auto name = key->EnumSubkey(i); ++i)
            names.push_back(*name);
        return names;
    }
    std::filesystem::path file_;
};

TEST_F(RegistryFile, SubkeysEnumerateByUpperCasedName) {
    Write("[HKEY_CURRENT_USER\\Z\\b]\n[HKEY_CURRENT_USER\\Z\\A_B]\n[HKEY_CURRENT_USER\\Z\\AB]\n"
          "[HKEY_CURRENT_USER\\Z\\a]\n[HKEY_CURRENT_USER\\Z\\Z9]\n[HKEY_CURRENT_USER\\Z\\_]\n");
    EXPECT_EQ(Subkeys("z"), (std::vector<std::string>{"a", "AB", "A_B", "b", "Z9", "_"}));
}

TEST_F(RegistryFile, SubkeyNameMustFitTheBuffer) {
    const std::string fits(259, 'A');
    const std::string tooLong(260, 'B');
    Write("[HKEY_CURRENT_USER\\S\\" + fits + "]\n[HKEY_CURRENT_USER\\S\\" + tooLong +
          "]\n[HKEY_CURRENT_USER\\S\\C]\n");
    // The long name fails at index 1 and so ends the count; C is never reached.
    EXPECT_EQ(Subkeys("S"), (std::vector<std::string>{fits}));
}

TEST_F(RegistryFile, DwordOnlyForFourBytes) {
    Write("[HKEY_CURRENT_USER\\S]\n\"D\"=dword:00000512\n\"H\"=hex:17,3b,00,00\n"
          "\"H4\"=hex(4):01,00,00,00\n\"Q\"=hex(b):01,00,00,00,00,00,00,00\n\"S\"=\"abcd\"\n"
          "\"H3\"=hex:01,02,03\n\"S3\"=\"abc\"\n");
    const auto key = RegistryKey::OpenCurrentUser("s");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->QueryDword("D"), 0x512u);
    EXPECT_EQ(key->QueryDword("h"), 0x3B17u);
    EXPECT_EQ(key->QueryDword("H4"), 1u);
    EXPECT_EQ(key->QueryDword("Q"), std::nullopt);
    EXPECT_EQ(key->QueryDword("S"), std::nullopt);
    EXPECT_EQ(key->QueryDword("H3"), std::nullopt);
    EXPECT_EQ(key->QueryDword("S3"), 0x00636261u); // "abc" and its terminator
    EXPECT_EQ(key->QueryDword("missing"), std::nullopt);
}

TEST_F(RegistryFile, KeysOpenByPathAndTheFileIsReadAgain) {
    Write("[HKEY_CURRENT_USER\\SOFTWARE\\Zembar\\KR512]\n\"VenderID\"=dword:1\n");
    const auto zembar = RegistryKey::OpenCurrentUser("SOFTWARE\\Zembar");
    ASSERT_TRUE(zembar);
    EXPECT_TRUE(zembar->Open("kr512"));
    EXPECT_FALSE(zembar->Open("KR513"));
    EXPECT_FALSE(RegistryKey::OpenCurrentUser("SOFTWARE\\Other"));

    Write("[HKEY_CURRENT_USER\\SOFTWARE\\Other]\n");
    EXPECT_TRUE(RegistryKey::OpenCurrentUser("SOFTWARE\\Other"));
    // A key opened earlier keeps the tree it was opened on.
    EXPECT_TRUE(zembar->Open("KR512"));
}

TEST_F(RegistryFile, MissingFileMeansNoKey) {
    std::filesystem::remove(file_);
    EXPECT_FALSE(RegistryKey::OpenCurrentUser("SOFTWARE"));
}

// A pipe in place of the file must neither hang the start-up nor be taken as the file.
TEST_F(RegistryFile, PipeIsNoFile) {
    ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
    std::signal(SIGPIPE, SIG_IGN);
    // Feeds a valid file to whoever opens the pipe for reading within a second.
    std::thread writer([path = file_] {
        const std::string text = std::string(kHeader) + "[HKEY_CURRENT_USER\\SOFTWARE]\n";
        for (int attempt = 0; attempt < 100; ++attempt) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                [[maybe_unused]] const auto written = ::write(fd, text.data(), text.size());
                ::close(fd);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    EXPECT_FALSE(RegistryKey::OpenCurrentUser("SOFTWARE"));
    writer.join();
}

// Without LUNAVIO_REGISTRY the file is looked for in each XDG configuration folder in turn;
// the first that holds one is read, and every place is told.
TEST(RegistrySource, LooksInTheConfigurationFoldersInOrder) {
    const auto root = std::filesystem::temp_directory_path() / "lunavio-registry-source";
    std::filesystem::remove_all(root);
    const auto place = [&](const char* folder) { return root / folder / "lunavio" / "hkcu.reg"; };
    ::unsetenv("LUNAVIO_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", ((root / "a").string() + "::" + (root / "b").string()).c_str(), 1);
    const std::vector<std::string> looked = {place("home"), place("a"), place("b")};

    platform::RegistrySource source = platform::CurrentUserRegistrySource();
    EXPECT_EQ(source.read, "");
    EXPECT_EQ(source.looked, looked);

    std::filesystem::create_directories(place("b").parent_path());
    std::ofstream(place("b")) << kHeader << "[HKEY_CURRENT_USER\\SOFTWARE\\Zembar]\n";
    source = platform::CurrentUserRegistrySource();
    EXPECT_EQ(source.read, place("b").string());
    EXPECT_EQ(source.looked, looked);
    EXPECT_TRUE(RegistryKey::OpenCurrentUser("SOFTWARE\\Zembar"));

    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_CONFIG_DIRS");
    std::filesystem::remove_all(root);
}

} // namespace
