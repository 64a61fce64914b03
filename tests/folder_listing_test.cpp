#include "FrmManage/FolderListing.h"

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::SystemTime;

// Records what the listing hands to the folder list and the password box, in order.
class Recorder : public FolderRowSink, public PasswordTextSink {
public:
    std::vector<FolderRow> rows;
    std::vector<std::string> passwords;
    bool passwordBeforeRows = true;

    void AppendFolderRow(const FolderRow& row) override {
        if (passwords.empty()) {
            passwordBeforeRows = false;
        }
        rows.push_back(row);
    }
    void SetPasswordText(const std::string& text) override { passwords.push_back(text); }

    const FolderRow* Find(std::u16string_view name) const {
        auto it = std::find_if(rows.begin(), rows.end(),
                               [name](const FolderRow& row) { return row.name == name; });
        return it == rows.end() ? nullptr : &*it;
    }
};

void SetSlot(DriveProtection& entry, std::size_t slot, std::u16string_view path) {
    std::fill(entry.PrivateFolders[slot].begin(), entry.PrivateFolders[slot].end(), u'\0');
    std::copy(path.begin(), path.end(), entry.PrivateFolders[slot].begin());
}

DriveProtection Entry(char16_t letter, std::initializer_list<std::u16string_view> slots = {},
                      std::uint16_t password = 0) {
    DriveProtection entry{};
    entry.DriveLetter = letter;
    entry.Password = password;
    std::size_t i = 0;
    for (std::u16string_view path : slots) {
        SetSlot(entry, i++, path);
    }
    return entry;
}

// Keeps VolumeIsFat as each test found it.
class FatFlag {
public:
    explicit FatFlag(bool value) : saved_(VolumeIsFat) { VolumeIsFat = value; }
    ~FatFlag() { VolumeIsFat = saved_; }

private:
    bool saved_;
};

constexpr SystemTime kSomeTime{2006, 3, 7, 9, 5, 3};

FolderRow OneRow(const DriveProtection& entry, std::u16string_view name,
                 const std::optional<SystemTime>& time = kSomeTime) {
    Recorder recorder;
    AddFolderRowW(entry, recorder, name, time);
    EXPECT_EQ(recorder.rows.size(), 1u) << "no row for the name";
    return recorder.rows.empty() ? FolderRow{} : recorder.rows.front();
}

TEST(IsShortName, FollowsTheEightDotThreeRules) {
    const struct {
        std::u16string_view name;
        bool expected;
    } cases[] = {
        {u"MUSIC", true},
        {u"PHOTOS07", true},
        {u"README.TXT", true},
        {u"AB C", true},
        {u"NOTES.", true},
        {u"", true},
        {u".TXT", true},
        {u"AB\u00c9C", true}, // a unit of 127 or more separates like a
                              // dot
        {u"MUSICFILES", false},
        {u"ABCDEFGHI.TX", false},
        {u"A.B.C", false},
        {u"PHOTO.JPEG", false},
        {u"README.T X", false},
        {u"my music", false},
        {u"\u00e9t\u00e9", false},
        {u"AB.C\u007f", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsShortName(c.name), c.expected) << std::string(c.name.begin(), c.name.end());
    }
}

TEST(AddFolderRow, StoredNameAndPrivateMarkFollowTheFileSystem) {
    const DriveProtection entry = Entry(u'E', {u"E:\\MUSIC", u"E:\\MUSICFILES"});
    const struct {
        const char* label;
        bool fat;
        std::u16string_view name;
        std::u16string_view stored;
        bool isPrivate;
    } cases[] = {
        {"fat lower short name stored upper", true, u"music", u"MUSIC", true},
        {"fat upper short name", true, u"MUSIC", u"MUSIC", true},
        {"fat mixed case kept", true, u"Music", u"Music", false},
        {"fat long name kept", true, u"musicfiles", u"musicfiles", false},
        {"fat name with a space kept", true, u"my music", u"my music", false},
        {"fat digits and extension", true, u"notes.txt", u"NOTES.TXT", false},
        {"not fat lower kept", false, u"music", u"music", false},
        {"not fat upper", false, u"MUSIC", u"MUSIC", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FatFlag fat(c.fat);
        const FolderRow row = OneRow(entry, c.name);
        EXPECT_EQ(row.name, c.name);
        EXPECT_EQ(row.storedName, c.stored);
        EXPECT_EQ(row.stateIndex, c.isPrivate ? 2 : -1);
    }
}

TEST(AddFolderRow, PrivateMarkReadsSlotsUpToTheFirstEmptyOne) {
    FatFlag fat(false);
    // The slot's drive letter is not compared.
    EXPECT_EQ(OneRow(Entry(u'E', {u"Z:\\MUSIC"}), u"MUSIC").stateIndex, 2);
    // Compared exactly with case.
    EXPECT_EQ(OneRow(Entry(u'E', {u"E:\\Music"}), u"MUSIC").stateIndex, -1);
    // A slot that is only the prefix names no folder.
    EXPECT_EQ(OneRow(Entry(u'E', {u"E:"}), u"E").stateIndex, -1);

    DriveProtection gap = Entry(u'E', {u"E:\\A"});
    SetSlot(gap, 2, u"E:\\MUSIC");
    EXPECT_EQ(OneRow(gap, u"MUSIC").stateIndex, -1);

    // All 16 slots are compared; the last one even when it has no terminator.
    DriveProtection full{};
    full.DriveLetter = u'E';
    for (std::size_t i = 0; i < kMaxPrivateFolders; ++i) {
        SetSlot(full, i, u"E:\\F" + std::u16string(1, static_cast<char16_t>(u'a' + i)));
    }
    std::fill(full.PrivateFolders[15].begin() + 3, full.PrivateFolders[15].end(), u'B');
    EXPECT_EQ(OneRow(full, u"Fo").stateIndex, 2);
    EXPECT_EQ(OneRow(full, std::u16string(kPathUnits - 3, u'B')).stateIndex, 2);
    EXPECT_EQ(OneRow(full, u"Fz").stateIndex, -1);
}

TEST(AddFolderRow, PassesOverFourNamesExactlyWithCase) {
    const DriveProtection entry = Entry(u'E');
    for (std::string_view name : {".", "..", "Recycled", "System Volume Information"}) {
        Recorder recorder;
        AddFolderRowW(entry, recorder, std::u16string(name.begin(), name.end()), kSomeTime);
        AddFolderRowA(entry, recorder, name, kSomeTime);
        EXPECT_TRUE(recorder.rows.empty()) << name;
    }
    for (std::string_view name :
         {"recycled", "RECYCLED", "RECYCLER", "System volume information", "...", "Recycled "}) {
        Recorder recorder;
        AddFolderRowW(entry, recorder, std::u16string(name.begin(), name.end()), kSomeTime);
        AddFolderRowA(entry, recorder, name, kSomeTime);
        EXPECT_EQ(recorder.rows.size(), 2u) << name;
    }
}

TEST(AddFolderRow, NameTooLongFromNineteenUnits) {
    const DriveProtection entry = Entry(u'E');
    EXPECT_FALSE(OneRow(entry, std::u16string(18, u'a')).nameTooLong);
    EXPECT_EQ(OneRow(entry, std::u16string(18, u'a')).SubItemCount(), 1);
    EXPECT_TRUE(OneRow(entry, std::u16string(19, u'a')).nameTooLong);
    EXPECT_EQ(OneRow(entry, std::u16string(19, u'a')).SubItemCount(), 2);
    // 18 characters but 19 units: one of them outside the basic plane.
    EXPECT_TRUE(OneRow(entry, u"\U0001F600" + std::u16string(17, u'a')).nameTooLong);
}

TEST(AddFolderRow, ModifiedText) {
    const struct {
        std::optional<SystemTime> time;
        const char* expected;
    } cases[] = {
        {SystemTime{2006, 3, 7, 9, 5, 3}, "Mar.7,2006 09:05:03"},
        {SystemTime{2007, 1, 5, 0, 0, 9}, "Jan.5,2007 00:00:09"},
        {SystemTime{1999, 12, 31, 23, 59, 59}, "Dec.31,1999 23:59:59"},
        {SystemTime{}, "(Unknown)"},
        {SystemTime{0, 3, 7, 9, 5, 3}, "(Unknown)"},
        {std::nullopt, "(Unknown)"},
        // Fields no calendar holds must not pick a month outside the table.
        {SystemTime{2006, 0, 7, 9, 5, 3}, "(Unknown)"},
        {SystemTime{2006, 13, 7, 9, 5, 3}, "(Unknown)"},
        {SystemTime{65535, 65535, 65535, 65535, 65535, 65535}, "(Unknown)"},
        {SystemTime{65535, 12, 65535, 65535, 65535, 65535}, "Dec.65535,65535 65535:65535:65535"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OneRow(Entry(u'E'), u"music", c.time).Modified(), c.expected);
    }
}

// A machine of three drives under LUNAVIO_SIMULATION: E (FAT32, "MEDIA") with folders of
// every kind, F without label holding only files, D holding a folder and nothing else.
// X is not mapped.
class SimulatedDrives : public ::testing::Environment {
public:
    static fs::path ERoot() { return root_ / "e"; }

    void SetUp() override {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("lunavio-listing-" + std::to_string(random()));
        fs::create_directories(root_ / "f");
        fs::create_directories(root_ / "d" / "only");
        std::ofstream(root_ / "f" / "readme.txt") << "x";
        std::ofstream(root_ / "f" / "MUSIC") << "x";
        for (const char* name :
             {"music", "Recycled", "recycled", "RECYCLED", "System Volume Information",
              "System volume information", "aaaaaaaaaaaaaaaaaa", "bbbbbbbbbbbbbbbbbbb",
              "\xF0\x9F\x98\x80"
              "ccccccccccccccccc",
              "M\xC3\xBCsik", "\xE6\x97\xA5\xE6\x9C\xAC"}) {
            fs::create_directories(ERoot() / name);
        }
        std::ofstream(ERoot() / "notes") << "x";
        SetTime(ERoot() / "music", std::chrono::sys_days{std::chrono::year{2006} / 3 / 7} +
                                       std::chrono::hours{9} + std::chrono::minutes{5} +
                                       std::chrono::seconds{3});
        SetTime(ERoot() / "RECYCLED",
                std::chrono::sys_days{std::chrono::year{2007} / 1 / 5} + std::chrono::seconds{9});
        std::ofstream(root_ / "drives.sim") << "E\te\tUSB\\VID_1234&PID_5678\\1\t1\tMEDIA\tFAT32\n"
                                            << "F\tf\tUSB\\VID_1234&PID_5678\\1\t1\t\tNTFS\n"
                                            << "D\td\tUSB\\VID_1234&PID_5678\\1\n";
        setenv("LUNAVIO_SIMULATION", (root_ / "drives.sim").c_str(), 1);
        // Local time far from UTC shows that the dates are not converted.
        setenv("TZ", "JST-9", 1);
        std::setlocale(LC_ALL, "C.UTF-8");
    }

    void TearDown() override { fs::remove_all(root_); }

private:
    static void SetTime(const fs::path& path, std::chrono::sys_seconds time) {
        fs::last_write_time(path, std::chrono::file_clock::from_sys(time));
    }

    static inline fs::path root_;
};

const auto* const kDrives = ::testing::AddGlobalTestEnvironment(new SimulatedDrives);

TEST(FatFileSystem, ComparesTheFirstThreeCharactersUpperCased) {
    struct Case {
        const char* name;
        bool fat;
    } cases[] = {{"FAT", true},   {"FAT16", true},  {"fat32", true}, {"Fat", true},
                 {"NTFS", false}, {"exFAT", false}, {"", false},     {"FA", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(IsFatFileSystem(c.name), c.fat) << c.name;
    }
}

TEST(FormatDriveLabel, NamesTheDriveByLabelOrAsLocalDrive) {
    EXPECT_EQ(FormatDriveLabel('E'), "MEDIA (E:\\)");
    EXPECT_EQ(FormatDriveLabel('F'), "Local Drive (F:\\)");
    EXPECT_EQ(FormatDriveLabel('X'), "Local Drive (X:\\)");
}

using ListRootFolders = void (*)(const DriveProtection, FolderRowSink&, PasswordTextSink&);

class ListRootFoldersTest : public ::testing::TestWithParam<ListRootFolders> {};

TEST_P(ListRootFoldersTest, ListsTheFoldersOfTheRoot) {
    FatFlag fat(true);
    Recorder recorder;
    GetParam()(Entry(u'E', {u"E:\\MUSIC"}, 0x1234), recorder, recorder);

    EXPECT_EQ(recorder.passwords, std::vector<std::string>{"1234"});
    EXPECT_TRUE(recorder.passwordBeforeRows);
    std::vector<std::u16string> names;
    for (const FolderRow& row : recorder.rows) {
        names.push_back(row.name);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::u16string> expected = {u"music",
                                            u"recycled",
                                            u"RECYCLED",
                                            u"System volume information",
                                            u"aaaaaaaaaaaaaaaaaa",
                                            u"bbbbbbbbbbbbbbbbbbb",
                                            u"\U0001F600ccccccccccccccccc",
                                            u"M\u00fcsik",
                                            u"\u65e5\u672c"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);

    const FolderRow* music = recorder.Find(u"music");
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->Modified(), "Mar.7,2006 09:05:03");
    EXPECT_EQ(music->storedName, u"MUSIC");
    EXPECT_EQ(music->stateIndex, 2);
    ASSERT_NE(recorder.Find(u"RECYCLED"), nullptr);
    EXPECT_EQ(recorder.Find(u"RECYCLED")->Modified(), "Jan.5,2007 00:00:09");
    EXPECT_FALSE(recorder.Find(u"aaaaaaaaaaaaaaaaaa")->nameTooLong);
    EXPECT_TRUE(recorder.Find(u"bbbbbbbbbbbbbbbbbbb")->nameTooLong);
    EXPECT_TRUE(recorder.Find(u"\U0001F600ccccccccccccccccc")->nameTooLong);
}

TEST_P(ListRootFoldersTest, PasswordTextIsSetEvenWithoutRows) {
    const struct {
        const char* label;
        DriveProtection entry;
        std::string password;
        std::size_t rows;
    } cases[] = {
        {"only files", Entry(u'F', {u"F:\\MUSIC"}, 0x9876), "9876", 0},
        {"unmapped drive", Entry(u'X', {u"X:\\MUSIC"}, 0x0420), "0420", 0},
        {"no private folder", Entry(u'D', {}, 0x1234), "0000", 1},
        {"slot 0 empty",
         [] {
             DriveProtection entry = Entry(u'D', {}, 0x1234);
             SetSlot(entry, 1, u"D:\\only");
             return entry;
         }(),
         "0000", 1},
        // Not BCD: the password box refuses the non-digit, so Save asks for a new password.
        {"nibble above nine", Entry(u'D', {u"D:\\only"}, 0x09A0), "09:0", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Recorder recorder;
        GetParam()(c.entry, recorder, recorder);
        EXPECT_EQ(recorder.passwords, std::vector<std::string>{c.password});
        EXPECT_EQ(recorder.rows.size(), c.rows);
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, ListRootFoldersTest,
                         ::testing::Values(&ListRootFoldersW, &ListRootFoldersA),
                         [](const auto& info) { return info.index == 0 ? "Wide" : "Ansi"; });

TEST(ListRootFolders, WideAndAnsiGiveTheSameRows) {
    for (bool fatValue : {false, true}) {
        FatFlag fat(fatValue);
        const DriveProtection entry = Entry(u'E', {u"E:\\MUSIC", u"E:\\M\u00fcsik"}, 0x1234);
        Recorder wide, ansi;
        ListRootFoldersW(entry, wide, wide);
        ListRootFoldersA(entry, ansi, ansi);
        ASSERT_EQ(wide.rows.size(), ansi.rows.size());
        for (std::size_t i = 0; i < wide.rows.size(); ++i) {
            const FolderRow& w = wide.rows[i];
            const FolderRow& a = ansi.rows[i];
            EXPECT_EQ(w.name, a.name);
            EXPECT_EQ(w.Modified(), a.Modified());
            EXPECT_EQ(w.nameTooLong, a.nameTooLong);
            EXPECT_EQ(w.storedName, a.storedName);
            EXPECT_EQ(w.stateIndex, a.stateIndex);
        }
        EXPECT_EQ(wide.passwords, ansi.passwords);
        ASSERT_NE(wide.Find(u"M\u00fcsik"), nullptr);
        EXPECT_EQ(wide.Find(u"M\u00fcsik")->stateIndex, 2);
    }
}

} // namespace
