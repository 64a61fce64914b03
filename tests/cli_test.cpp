// private-folders run as a user runs it, on simulated machines; saved files are judged
// against files built straight from the format.

#include "ProtectionFileFixtures.h"
#include "RegistryFile.h"
#include "SimulatedMachine.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using lunavio_test::Bytes;
using lunavio_test::ProtectionFileBytes;
using lunavio_test::ReadFile;
using lunavio_test::WriteFile;

struct Outcome {
    int exit = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs the program with args in the environment of this process.
Outcome RunProgram(const std::vector<std::string>& args) {
    const fs::path folder = fs::temp_directory_path() / ("cli-test-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::string command = Quoted(PRIVATE_FOLDERS_PROGRAM);
    for (const std::string& arg : args) {
        command += " " + Quoted(arg);
    }
    command += " >" + Quoted((folder / "out").string()) + " 2>" + Quoted((folder / "err").string());
    const int status = std::system(command.c_str());
    Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(folder / "out"),
                ReadFile(folder / "err")};
    fs::remove_all(folder);
    return run;
}

Bytes FileBytes(const fs::path& file) {
    const std::string text = ReadFile(file);
    return Bytes(text.begin(), text.end());
}

// The subset of names in the order the root lists them (the window's row order).
std::vector<std::u16string> InRootOrder(const fs::path& root, const std::set<std::string>& names) {
    std::vector<std::u16string> ordered;
    for (const auto& entry : fs::directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        if (names.contains(name)) {
            ordered.emplace_back(name.begin(), name.end());
        }
    }
    return ordered;
}

// A copy of the demo device, made this process's machine, with a third volume G whose
// numbers match no model.
class CliOnDemoDevice : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "lunavio-demo-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        fs::copy(LUNAVIO_DEMO_DIR, root_, fs::copy_options::recursive);
        fs::create_directories(root_ / "drives/G");
        std::ofstream(root_ / "lunavio.sim", std::ios::app)
            << "G\tdrives/G\tUSB\\VID_1234&PID_5678\\OTHER\t1\tCAMERA\tFAT32\n";
        ::setenv("LUNAVIO_SIMULATION", (root_ / "lunavio.sim").c_str(), 1);
        ::setenv("LUNAVIO_REGISTRY", (root_ / "hkcu.reg").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("LUNAVIO_SIMULATION");
        ::unsetenv("LUNAVIO_REGISTRY");
        fs::remove_all(root_);
    }

    fs::path Drive(char letter) const { return root_ / "drives" / std::string(1, letter); }
    fs::path MPlay() const { return Drive('E') / "MPlay.sys"; }

    fs::path root_;
};

TEST_F(CliOnDemoDevice, DrivesMarksTheDeviceDrivesAndExplainsTheOthers) {
    const Outcome run = RunProgram({"drives", "--json"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const auto answer = nlohmann::json::parse(run.out);

    EXPECT_EQ(answer["model_list"]["path"], (root_ / "hkcu.reg").string());
    ASSERT_EQ(answer["model_list"]["models"].size(), 1u);
    const auto& model = answer["model_list"]["models"][0];
    EXPECT_EQ(model["vendor_id"], 0x3B17);
    EXPECT_EQ(model["product_id"], 0x0512);
    EXPECT_EQ(model["supported"], true);
    EXPECT_EQ(answer["library"]["loaded"], true);
    EXPECT_EQ(fs::path(answer["library"]["path"].get<std::string>()).filename(),
              "libDeviceInfo.so");

    std::map<std::string, nlohmann::json> volumes;
    for (const auto& volume : answer["volumes"]) {
        volumes[volume["letter"]] = volume;
    }
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_EQ(volumes["E"]["device_drive"], true);
    EXPECT_EQ(volumes["E"]["label"], "MEDIA");
    EXPECT_EQ(volumes["E"]["file_system"], "FAT32");
    EXPECT_EQ(volumes["F"]["device_drive"], true);
    EXPECT_EQ(volumes["G"]["device_drive"], false);
    EXPECT_EQ(volumes["G"]["device_id"], "USB\\VID_1234&PID_5678\\OTHER");
    EXPECT_EQ(volumes["G"]["eligible"], true);
    EXPECT_NE(volumes["G"]["reason"].get<std::string>().find("no supported model matches"),
              std::string::npos);
    EXPECT_EQ(answer["device_drives"], nlohmann::json::array({"E", "F"}));
    EXPECT_TRUE(answer["no_drive_reason"].is_null());
}

TEST_F(CliOnDemoDevice, ShowGivesTheStoredSettings) {
    for (const std::string drive : {"E", "e:", "E:\\"}) {
        const Outcome run = RunProgram({"show", drive, "--json"});
        ASSERT_EQ(run.exit, 0) << run.err;
        const auto answer = nlohmann::json::parse(run.out);
        EXPECT_EQ(answer["drive"], "E");
        EXPECT_EQ(answer["state"], "valid");
        EXPECT_EQ(answer["password"], "2580");
        EXPECT_EQ(answer["wait_state"], 3);
        EXPECT_EQ(answer["private_folders"], nlohmann::json::array({"PHOTOS", "Movies"}));
        EXPECT_EQ(answer["missing_folders"], nlohmann::json::array());
    }
}

TEST_F(CliOnDemoDevice, SetWritesTheFileTheWindowWould) {
    const Outcome run = RunProgram({"set", "E", "--private", "MUSIC", "--password", "1357"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const auto names = InRootOrder(Drive('E'), {"PHOTOS", "Movies", "MUSIC"});
    EXPECT_EQ(FileBytes(MPlay()), ProtectionFileBytes(names, 0x1357, 3));
    EXPECT_NE(run.out.find("Password: 1357"), std::string::npos);
    EXPECT_EQ(run.err, "private-folders: Save to MEDIA (E:\\) OK!\n");
}

// This process holds the drive's save lock, as a stopped program would: the companion waits a
// bounded time and then gives up with the cause, the file as it was.
TEST_F(CliOnDemoDevice, SetFailsWithItsCauseWhileAnotherProgramHoldsTheSaveLock) {
    const Bytes before = FileBytes(MPlay());
    const int folder = ::open(Drive('E').c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);
    const Outcome run = RunProgram({"set", "E", "--private", "MUSIC"});
    ::close(folder);
    EXPECT_EQ(run.exit, 1);
    EXPECT_NE(run.err.find("Another program is saving to this drive."), std::string::npos)
        << run.err;
    EXPECT_EQ(FileBytes(MPlay()), before);
    EXPECT_EQ(RunProgram({"set", "E", "--private", "MUSIC"}).exit, 0);
}

TEST_F(CliOnDemoDevice, EveryRefusalLeavesTheFileAsItWas) {
    // 14 more folders make 16 private ones, the most a drive can have.
    std::vector<std::string> sixteen = {"set", "E"};
    for (int i = 1; i <= 14; ++i) {
        const std::string name = "P" + std::to_string(i);
        fs::create_directory(Drive('E') / name);
        sixteen.insert(sixteen.end(), {"--private", name});
    }
    ASSERT_EQ(RunProgram(sixteen).exit, 0);
    fs::create_directory(Drive('E') / "Holiday Videos 2024");
    const Bytes before = FileBytes(MPlay());

    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"set", "E", "--private", "MUSIC"}, "Lunavio cannot protect more than 16 folders"},
        {{"set", "E", "--password", "12345"}, "Password must be 0000 - 9999"},
        {{"set", "E", "--password", "12a4"}, "Password must be 0000 - 9999"},
        {{"set", "E", "--password", ""}, "Password must be 0000 - 9999"},
        {{"set", "E", "--public", "PHOTOS", "--private", "Gone"}, "There is no folder Gone"},
        {{"set", "E", "--public", "Recycled"}, "Recycled in E:\\ is hidden"},
        {{"set", "E", "--public", "readme.txt"}, "readme.txt in E:\\ is a file"},
        {{"set", "E", "--public", "PHOTOS", "--private", "Holiday Videos 2024"}, "Name too long"},
        {{"set", "G", "--all-public"}, "Please choose a drive of Lunavio"},
    };
    for (const auto& c : cases) {
        for (const bool dryRun : {false, true}) {
            std::vector<std::string> args = c.args;
            if (dryRun) {
                args.push_back("--dry-run");
            }
            const Outcome run = RunProgram(args);
            EXPECT_EQ(run.exit, 1) << c.says << dryRun;
            EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
            EXPECT_TRUE(run.out.empty()) << run.out;
            EXPECT_EQ(FileBytes(MPlay()), before) << c.says;
        }
    }
}

// A dry run prints what a real run would write, and writes nothing.
TEST_F(CliOnDemoDevice, DryRunShowsTheSettingsAsTheyWouldBe) {
    const Bytes before = FileBytes(MPlay());
    const std::vector<std::string> args = {"set",        "E",    "--private", "MUSIC",
                                           "--password", "1357", "--json"};
    std::vector<std::string> dry = args;
    dry.push_back("--dry-run");
    const Outcome wouldBe = RunProgram(dry);
    ASSERT_EQ(wouldBe.exit, 0) << wouldBe.err;
    EXPECT_EQ(FileBytes(MPlay()), before);
    EXPECT_NE(wouldBe.err.find("dry run"), std::string::npos);

    const Outcome real = RunProgram(args);
    ASSERT_EQ(real.exit, 0);
    EXPECT_NE(FileBytes(MPlay()), before);
    EXPECT_EQ(nlohmann::json::parse(wouldBe.out), nlohmann::json::parse(real.out));
    EXPECT_EQ(nlohmann::json::parse(real.out)["password"], "1357");
}

// The line drives suggests for a volume of unknown numbers makes it count; taking the model out
// again leaves the list as it was, byte for byte.
TEST_F(CliOnDemoDevice, TheSuggestedModelsAddLineMakesAVolumeCount) {
    const std::string list = ReadFile(root_ / "hkcu.reg");
    auto answer = nlohmann::json::parse(RunProgram({"drives", "--json"}).out);
    EXPECT_EQ(answer["add_model_commands"],
              nlohmann::json::array({"private-folders models add 1234:5678"}));
    const Outcome text = RunProgram({"drives"});
    EXPECT_TRUE(text.out.ends_with("  private-folders models add 1234:5678    # G:\\ CAMERA\n"))
        << text.out;

    const Outcome add = RunProgram({"models", "add", "1234:5678", "--json"});
    ASSERT_EQ(add.exit, 0) << add.err;
    EXPECT_EQ(nlohmann::json::parse(add.out)["models"].size(), 2u);
    answer = nlohmann::json::parse(RunProgram({"drives", "--json"}).out);
    EXPECT_EQ(answer["device_drives"], nlohmann::json::array({"G", "E", "F"}));
    EXPECT_EQ(answer["add_model_commands"], nlohmann::json::array());

    // regedit's rules: the header line, CRLF throughout, the old lines as they were.
    const std::string added = ReadFile(root_ / "hkcu.reg");
    EXPECT_TRUE(added.starts_with(list)) << added;
    EXPECT_NE(added.find("[HKEY_CURRENT_USER\\SOFTWARE\\Zembar\\1234:5678]\r\n"
                         "\"VenderID\"=dword:00001234\r\n\"ProductID\"=dword:00005678\r\n"
                         "\"PrivateFolderSupport\"=dword:00000001\r\n"),
              std::string::npos)
        << added;
    EXPECT_EQ(std::count(added.begin(), added.end(), '\n'),
              std::count(added.begin(), added.end(), '\r'));

    // The same numbers again, under another name, would list the drives twice.
    const Outcome again = RunProgram({"models", "add", "1234:5678", "Camera"});
    EXPECT_EQ(again.exit, 0);
    EXPECT_NE(again.err.find("already, as 1234:5678"), std::string::npos) << again.err;
    EXPECT_EQ(ReadFile(root_ / "hkcu.reg"), added);

    ASSERT_EQ(RunProgram({"models", "remove", "1234:5678"}).exit, 0);
    EXPECT_EQ(ReadFile(root_ / "hkcu.reg"), list);
    EXPECT_EQ(RunProgram({"models", "remove", "1234:5678"}).exit, 1);
    for (const std::string bad : {"12345:1", "3b17", "3b17:xyz", ":0512"}) {
        EXPECT_EQ(RunProgram({"models", "add", bad}).exit, 2) << bad;
    }
    EXPECT_EQ(RunProgram({"models", "add", "1:2", "a\\b"}).exit, 2);
    EXPECT_EQ(ReadFile(root_ / "hkcu.reg"), list);
}

// Without a model list every USB volume needs its model: one line per model, naming its
// volumes, and the first models add writes a new list as regedit exports one.
TEST_F(CliOnDemoDevice, WithoutAModelListTheFirstAddCreatesIt) {
    const fs::path list = root_ / "new" / "hkcu.reg";
    ::setenv("LUNAVIO_REGISTRY", list.c_str(), 1);
    auto answer = nlohmann::json::parse(RunProgram({"drives", "--json"}).out);
    EXPECT_EQ(answer["add_model_commands"],
              nlohmann::json::array({"private-folders models add 3b17:0512",
                                     "private-folders models add 1234:5678"}));
    EXPECT_NE(
        RunProgram({"drives"})
            .out.find("\n  private-folders models add 3b17:0512    # E:\\ MEDIA, F:\\ BACKUP\n"),
        std::string::npos);

    ASSERT_EQ(RunProgram({"models", "add", "3b17:0512", "KR512"}).exit, 0);
    EXPECT_EQ(ReadFile(list), "Windows Registry Editor Version 5.00\r\n\r\n"
                              "[HKEY_CURRENT_USER\\SOFTWARE\\Zembar\\KR512]\r\n"
                              "\"VenderID\"=dword:00003b17\r\n"
                              "\"ProductID\"=dword:00000512\r\n"
                              "\"PrivateFolderSupport\"=dword:00000001\r\n");
    answer = nlohmann::json::parse(RunProgram({"drives", "--json"}).out);
    EXPECT_EQ(answer["device_drives"], nlohmann::json::array({"E", "F"}));
}

TEST_F(CliOnDemoDevice, CompletionWordsAreTheDrivesAndModels) {
    EXPECT_EQ(RunProgram({"__complete", "drives"}).out, "E\nF\n");
    EXPECT_EQ(RunProgram({"__complete", "models"}).out, "KR512\n");
    EXPECT_EQ(RunProgram({"--help"}).out.find("__complete"), std::string::npos);
}

TEST_F(CliOnDemoDevice, UsageErrorsExitWithTwo) {
    const Bytes before = FileBytes(MPlay());
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"show"},
        {"show", "EF"},
        {"show", "5:"},
        {"set", "E:/"},
        {"set", "E", "--private"},
        {"set", "E", "--private", "MUSIC", "--public", "MUSIC"},
        {"check"},
    };
    for (const auto& args : cases) {
        const Outcome run = RunProgram(args);
        EXPECT_EQ(run.exit, 2) << ::testing::PrintToString(args);
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(FileBytes(MPlay()), before);
    for (const std::string command : {"drives", "show", "set", "check"}) {
        const Outcome help = RunProgram({command, "--help"});
        EXPECT_EQ(help.exit, 0);
        EXPECT_NE(help.out.find("--json"), std::string::npos) << command;
    }
    EXPECT_EQ(RunProgram({"--version"}).out, "private-folders " PRIVATE_FOLDERS_VERSION "\n");
}

TEST_F(CliOnDemoDevice, CheckTellsWhyACopyIsInvalid) {
    const Bytes good = FileBytes(MPlay());
    Bytes badMagic = good;
    badMagic[0] = 'z';
    Bytes tooMany = good;
    tooMany[35] = 17;
    Bytes longer = good;
    longer.resize(4096, 0xAA);
    const struct {
        const char* name;
        Bytes bytes;
        int exit;
        nlohmann::json reason;
    } cases[] = {
        {"valid", good, 0, nullptr},     {"longer-but-valid", longer, 0, nullptr},
        {"magic", badMagic, 1, "magic"}, {"short", Bytes(good.begin(), good.end() - 1), 1, "size"},
        {"empty", {}, 1, "size"},        {"count-above-16", tooMany, 1, "folder_count"},
    };
    for (const auto& c : cases) {
        const fs::path copy = root_ / c.name;
        WriteFile(copy, std::string(c.bytes.begin(), c.bytes.end()));
        const Outcome run = RunProgram({"check", copy.string(), "--json"});
        EXPECT_EQ(run.exit, c.exit) << c.name;
        const auto answer = nlohmann::json::parse(run.out);
        EXPECT_EQ(answer["reason"], c.reason) << c.name;
        EXPECT_EQ(answer["state"], c.exit == 0 ? "valid" : "invalid") << c.name;
        EXPECT_EQ(run.err.empty(), c.exit == 0) << c.name << run.err;
    }
    EXPECT_EQ(RunProgram({"check", (root_ / "absent").string()}).exit, 1);
}

// Drives built in the test: E and F of one model, with what each case needs.
class CliOnSimulatedDevice : public ::testing::Test {
protected:
    lunavio_test::RegistryFile registry_{lunavio_test::ZembarKey() +
                                         lunavio_test::ModelKey("KR512", 1, 0x3B17, 0x0512)};
    lunavio_test::SimulatedMachine machine_;

    fs::path AddDrive(char letter, const std::string& fileSystem) {
        return machine_.AddDrive(letter, "\tUSB\\VID_3B17&PID_0512\\X\t1\t\t" + fileSystem);
    }
};

// On FAT a name written in one case is stored upper-case; the first drive decides for all.
TEST(CliStoredNames, FollowTheFirstDrivesFileSystem) {
    const lunavio_test::RegistryFile registry(lunavio_test::ZembarKey() +
                                              lunavio_test::ModelKey("KR512", 1, 0x3B17, 0x0512));
    const struct {
        const char* first;
        const char* second;
        char drive;
        std::u16string stored;
    } cases[] = {
        {"FAT32", "NTFS", 'E', u"MUSIC"},
        {"FAT32", "NTFS", 'F', u"MUSIC"},
        {"NTFS", "FAT32", 'F', u"music"},
        {"exFAT", "FAT", 'E', u"music"},
    };
    for (const auto& c : cases) {
        lunavio_test::SimulatedMachine machine;
        const std::string extra = "\tUSB\\VID_3B17&PID_0512\\X\t1\t\t";
        machine.AddDrive('E', extra + c.first);
        const fs::path drive = machine.AddDrive('F', extra + c.second).parent_path() /
                               (std::string("drive") + c.drive);
        fs::create_directory(drive / "music");
        const std::string letter(1, c.drive);
        ASSERT_EQ(RunProgram({"set", letter, "--private", "music", "--password", "0000"}).exit, 0);
        EXPECT_EQ(FileBytes(drive / "MPlay.sys"), ProtectionFileBytes({c.stored}, 0, 0))
            << c.first << " " << c.drive;
    }
}

// Without --password the stored password stays; the wait state always does; a long name that
// is private already stays private; --all-public drops every mark.
TEST_F(CliOnSimulatedDevice, SetKeepsWhatItIsNotAskedToChange) {
    const fs::path e = AddDrive('E', "NTFS");
    const std::u16string longName = u"Twenty units of name"; // 19 or more: "Name too long"
    for (const char* name : {"Twenty units of name", "ALPHA", "BETA"}) {
        fs::create_directory(e / name);
    }
    WriteFile(e / "MPlay.sys", [&] {
        const Bytes b = ProtectionFileBytes({longName, u"ALPHA", u"GONE"}, 0x4321, 7);
        return std::string(b.begin(), b.end());
    }());

    const Outcome run = RunProgram({"set", "E", "--public", "ALPHA", "--private", "BETA"});
    ASSERT_EQ(run.exit, 0);
    // The window keeps only listed folders; a private one that is gone drops out, said aloud.
    EXPECT_NE(run.err.find("GONE was private but is no root folder"), std::string::npos);
    EXPECT_EQ(FileBytes(e / "MPlay.sys"),
              ProtectionFileBytes(InRootOrder(e, {"Twenty units of name", "BETA"}), 0x4321, 7));

    ASSERT_EQ(RunProgram({"set", "E", "--all-public", "--private", "ALPHA"}).exit, 0);
    EXPECT_EQ(FileBytes(e / "MPlay.sys"), ProtectionFileBytes({u"ALPHA"}, 0x4321, 7));
}

TEST_F(CliOnSimulatedDevice, ShowTellsAMissingAndAnInvalidFileApart) {
    const fs::path e = AddDrive('E', "NTFS");
    fs::create_directory(e / "KEPT");

    Outcome run = RunProgram({"show", "E", "--json"});
    EXPECT_EQ(run.exit, 0);
    auto answer = nlohmann::json::parse(run.out);
    EXPECT_EQ(answer["state"], "missing");
    EXPECT_TRUE(answer["password"].is_null());

    WriteFile(e / "MPlay.sys", "too short");
    run = RunProgram({"show", "E", "--json"});
    EXPECT_EQ(run.exit, 1);
    answer = nlohmann::json::parse(run.out);
    EXPECT_EQ(answer["state"], "invalid");
    EXPECT_EQ(answer["reason"], "size");

    const Bytes file = ProtectionFileBytes({u"KEPT", u"GONE"}, 0x1111, 0);
    WriteFile(e / "MPlay.sys", std::string(file.begin(), file.end()));
    answer = nlohmann::json::parse(RunProgram({"show", "E", "--json"}).out);
    EXPECT_EQ(answer["private_folders"], nlohmann::json::array({"KEPT", "GONE"}));
    EXPECT_EQ(answer["missing_folders"], nlohmann::json::array({"GONE"}));

    EXPECT_EQ(RunProgram({"show", "Q"}).exit, 1);
}

// A disk of a listed model whose drives are not mounted: each is named with the command that
// mounts it, and the no-drive reason says so.
TEST_F(CliOnSimulatedDevice, DrivesNamesTheDisksUnmountedDrives) {
    ::setenv("LUNAVIO_SYSFS", (fs::path(LUNAVIO_TEST_DATA) / "sysfs").c_str(), 1);
    const Outcome run = RunProgram({"drives", "--json"});
    const Outcome text = RunProgram({"drives"});
    ::unsetenv("LUNAVIO_SYSFS");
    ASSERT_EQ(run.exit, 0);
    const auto answer = nlohmann::json::parse(run.out);
    ASSERT_EQ(answer["unmounted"].size(), 2u) << answer.dump(2);
    EXPECT_EQ(answer["unmounted"][0]["device"], "/dev/sdd1");
    EXPECT_EQ(answer["unmounted"][0]["device_id"], "USB\\VID_3B17&PID_0512\\ZB0001");
    EXPECT_EQ(answer["unmounted"][0]["model"], "KR512");
    EXPECT_EQ(answer["unmounted"][1]["mount_command"], "udisksctl mount -b /dev/sdd5");
    EXPECT_EQ(answer["no_drive_reason"],
              "The disk's drives /dev/sdd1 and /dev/sdd5 are not mounted: open them in the file "
              "manager, or run \"udisksctl mount -b /dev/sdd1\" and \"udisksctl mount -b "
              "/dev/sdd5\".");
    EXPECT_NE(text.out.find("/dev/sdd1  USB\\VID_3B17&PID_0512\\ZB0001, model KR512\n"
                            "    mount it in the file manager, or: udisksctl mount -b /dev/sdd1"),
              std::string::npos)
        << text.out;
    // Without a captured tree a simulated machine has no unmounted drives.
    EXPECT_EQ(nlohmann::json::parse(RunProgram({"drives", "--json"}).out)["unmounted"],
              nlohmann::json::array());
}

TEST_F(CliOnSimulatedDevice, DrivesSaysWhyNoDriveWasFound) {
    AddDrive('E', "NTFS");
    machine_.Describe("E\tdriveE\tUSB\\VID_3B17&PID_0999\\X\n");
    auto answer = nlohmann::json::parse(RunProgram({"drives", "--json"}).out);
    EXPECT_EQ(answer["device_drives"], nlohmann::json::array());
    EXPECT_EQ(answer["no_drive_reason"], "No supported disk is among the mounted volumes.");

    ::setenv("LUNAVIO_REGISTRY", (machine_.Root() / "absent.reg").c_str(), 1);
    const Outcome run = RunProgram({"drives", "--json"});
    EXPECT_EQ(run.exit, 0);
    answer = nlohmann::json::parse(run.out);
    EXPECT_TRUE(answer["model_list"]["path"].is_null());
    EXPECT_EQ(answer["model_list"]["looked"],
              nlohmann::json::array({(machine_.Root() / "absent.reg").string()}));
    EXPECT_NE(answer["no_drive_reason"].get<std::string>().find("No model list was found"),
              std::string::npos);
    EXPECT_EQ(answer["volumes"][0]["reason"], "there is no model list");
}

} // namespace
