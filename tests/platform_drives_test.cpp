#include "SimulatedMachine.h"
#include "platform/Drives.h"
#include "platform/linux/Simulation.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using lunavio_test::SimulatedMachine;
using lunavio_test::WriteFile;
using platform::DriveType;
using platform::linux_detail::ParseSimulationFile;

struct ParseCase {
    const char* name;
    const char* text;
    const char* expected; // per volume "L|dir|id|eligible|label|fs", joined by ';'
};

std::string Summary(const std::vector<platform::LetteredVolume>& volumes) {
    std::string out;
    for (const auto& v : volumes) {
        if (!out.empty()) {
            out += ';';
        }
        out += std::string(1, v.letter) + "|" + v.directory.string() + "|" + v.deviceId + "|" +
               (v.eligible ? "1" : "0") + "|" + v.label + "|" + v.fileSystem;
    }
    return out;
}

class SimulationParse : public testing::TestWithParam<ParseCase> {};

TEST_P(SimulationParse, GivesTheDrivesOfTheGoodLines) {
    EXPECT_EQ(Summary(ParseSimulationFile(GetParam().text, "/base")), GetParam().expected);
}

const ParseCase kParseCases[] = {
    {"all_fields", "E\t/media/e\tUSB\\VID_1\t0\tMEDIA\tFAT32\n",
     "E|/media/e|USB\\VID_1|0|MEDIA|FAT32"},
    {"defaults", "E\t/e\tid", "E|/e|id|1||NTFS"},
    {"only_letter_and_folder", "E\t/e", "E|/e||1||NTFS"},
    {"empty_fields_take_defaults", "E\t/e\t\t\t\t", "E|/e||1||NTFS"},
    {"relative_folder_from_base", "E\tdrives/e\tid", "E|/base/drives/e|id|1||NTFS"},
    {"label_with_spaces", "E\t/e\tid\t1\tMY MEDIA\texFAT", "E|/e|id|1|MY MEDIA|exFAT"},
    {"crlf", "E\t/e\tid\t1\tL\r\nF\t/f\tid\r\n", "E|/e|id|1|L|NTFS;F|/f|id|1||NTFS"},
    {"comments_and_blank_lines", "# machine\n\n  \t \nE\t/e\tid\n#F\t/f\tid\n", "E|/e|id|1||NTFS"},
    {"lower_case_letter_upper_cased", "e\t/e\tid", "E|/e|id|1||NTFS"},
    {"letter_order", "G\t/g\tid\nE\t/e\tid", "E|/e|id|1||NTFS;G|/g|id|1||NTFS"},
    {"letter_given_twice_first_wins", "E\t/one\tid\nE\t/two\tid", "E|/one|id|1||NTFS"},
    {"bad_letters_skipped", "1\t/a\tid\nEF\t/b\tid\n\t/c\tid\n\xC3\x89\t/d\tid\nG\t/g\tid",
     "G|/g|id|1||NTFS"},
    {"missing_folder_skipped", "E\nF\t\tid\nG\t/g", "G|/g||1||NTFS"},
    {"garbage_eligible_skipped", "E\t/e\tid\tyes\nF\t/f\tid\t2\nG\t/g\tid\t0", "G|/g|id|0||NTFS"},
    {"too_many_fields_skipped", "E\t/e\tid\t1\tL\tNTFS\textra\nF\t/f", "F|/f||1||NTFS"},
    {"spaces_are_not_separators", "E /e id", ""},
    {"no_trailing_newline_and_empty_text", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, SimulationParse, testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimulatedDrives, FileIsTheWholeMachineAndIsReadAfresh) {
    SimulatedMachine machine;
    EXPECT_TRUE(platform::LetteredVolumes().empty());
    EXPECT_FALSE(platform::LocalPath("C:\\"));

    const auto e = machine.AddDrive('E', "\tUSB\\VID_1\t1\tMEDIA\tFAT32");
    auto volumes = platform::LetteredVolumes();
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(volumes[0].directory, e);

    machine.Describe("# nothing\n");
    EXPECT_TRUE(platform::LetteredVolumes().empty());

    std::filesystem::remove(machine.Root() / "machine.txt");
    EXPECT_TRUE(platform::LetteredVolumes().empty());
}

// The drive map is kept between lookups while the file stays as it is; every kind of change is
// seen at the next lookup, also one a forked child could have taken for its own.
TEST(SimulatedDrives, EveryChangeOfTheFileIsSeenAtTheNextLookup) {
    namespace fs = std::filesystem;
    SimulatedMachine machine;
    const auto root = machine.Root();
    machine.Describe("E\tdriveE\n");
    EXPECT_EQ(platform::LocalPath("E:\\"), root / "driveE");
    EXPECT_EQ(platform::LocalPath("E:\\"), root / "driveE");

    machine.Describe("E\tdriveX\n"); // in place, same size
    EXPECT_EQ(platform::LocalPath("E:\\"), root / "driveX");

    WriteFile(root / "next.txt", "F\tdriveF\n");
    fs::rename(root / "next.txt", root / "machine.txt");
    EXPECT_FALSE(platform::LocalPath("E:\\"));
    EXPECT_EQ(platform::LocalPath("F:\\"), root / "driveF");

    machine.Describe("G\tdriveG\n");
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(platform::LocalPath("G:\\") ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(platform::LocalPath("G:\\"), root / "driveG");

    // A link's target changes without a change in the link's folder.
    fs::create_directory(root / "real");
    WriteFile(root / "real" / "machine.txt", "H\tdriveH\n");
    fs::create_symlink(root / "real" / "machine.txt", root / "link.txt");
    ::setenv("LUNAVIO_SIMULATION", (root / "link.txt").c_str(), 1);
    EXPECT_EQ(platform::LocalPath("H:\\"), root / "driveH");
    WriteFile(root / "real" / "machine.txt", "I\tdriveI\n");
    EXPECT_EQ(platform::LocalPath("I:\\"), root / "driveI");

    ::setenv("LUNAVIO_SIMULATION", (root / "machine.txt").c_str(), 1);
    EXPECT_EQ(platform::LocalPath("G:\\"), root / "driveG");
    fs::remove(root / "machine.txt");
    EXPECT_FALSE(platform::LocalPath("G:\\"));
}

TEST(SimulatedDrives, LocalPathMapsDrivePathsIntoTheDriveFolderOnly) {
    SimulatedMachine machine;
    const auto e = machine.AddDrive('E');
    const struct {
        const char* drivePath;
        std::optional<std::filesystem::path> expected;
    } cases[] = {
        {"E:\\MPlay.sys", e / "MPlay.sys"},
        {"e:\\MPlay.sys", e / "MPlay.sys"},
        {"E:/MPlay.sys", e / "MPlay.sys"},
        {"E:\\", e},
        {"E:\\*", e},
        {"E:\\MUSIC\\*", e / "MUSIC"},
        {"E:\\MUSIC\\.\\\\a.mp3", e / "MUSIC" / "a.mp3"},
        {"E:\\..\\machine.txt", std::nullopt},
        {"E:\\MUSIC\\..\\..\\x", std::nullopt},
        {"E:\\..", std::nullopt},
        {"E:\\*\\x", std::nullopt},
        {"E:\\a?b", std::nullopt},
        {"E:MPlay.sys", std::nullopt},
        {"E:", std::nullopt},
        {"E", std::nullopt},
        {"", std::nullopt},
        {"F:\\MPlay.sys", std::nullopt},
        {"1:\\x", std::nullopt},
        {"\\\\server\\share", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::LocalPath(c.drivePath), c.expected) << c.drivePath;
    }
    EXPECT_FALSE(platform::LocalPath(std::string_view("E:\\a\0b", 6)));
}

TEST(SimulatedDrives, VolumeQueryAndDriveTypeFollowTheLine) {
    SimulatedMachine machine;
    machine.AddDrive('E', "\tid\t1\tMEDIA\tFAT32");
    machine.AddDrive('F', "\tid\t0");
    machine.AddDrive('G', "\tid");
    std::filesystem::remove(machine.Root() / "driveG");

    const auto e = platform::QueryVolumeInformation("E:\\");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->label, "MEDIA");
    EXPECT_EQ(e->fileSystem, "FAT32");
    const auto f = platform::QueryVolumeInformation("f:\\");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->label, "");
    EXPECT_EQ(f->fileSystem, "NTFS");
    EXPECT_FALSE(platform::QueryVolumeInformation("G:\\")) << "drive folder gone";
    EXPECT_FALSE(platform::QueryVolumeInformation("H:\\"));
    EXPECT_FALSE(platform::QueryVolumeInformation("E:\\MUSIC"));

    EXPECT_EQ(platform::QueryDriveType("E:\\"), DriveType::Removable);
    EXPECT_EQ(platform::QueryDriveType("F:\\"), DriveType::Fixed);
    EXPECT_EQ(platform::QueryDriveType("H:\\"), DriveType::NoRootDir);
    EXPECT_EQ(platform::QueryDriveType("E:"), DriveType::NoRootDir);
}

TEST(OsVersion, IsTenUnlessATestSetsAnother) {
    EXPECT_EQ(platform::OsMajorVersion(), 10);
    platform::SetOsMajorVersionForTesting(4);
    EXPECT_EQ(platform::OsMajorVersion(), 4);
    platform::SetOsMajorVersionForTesting(10);
}

} // namespace

namespace {

TEST(RealDrives, RootIsDriveC) {
    ASSERT_EQ(std::getenv("LUNAVIO_SIMULATION"), nullptr);
    const auto volumes = platform::LetteredVolumes();
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes[0].letter, 'C');
    EXPECT_EQ(volumes[0].directory, "/");
    EXPECT_EQ(platform::LocalPath("c:\\etc\\hostname"), "/etc/hostname");
    EXPECT_TRUE(platform::QueryVolumeInformation("C:\\"));
    EXPECT_NE(platform::QueryDriveType("C:\\"), DriveType::NoRootDir);
}

} // namespace
