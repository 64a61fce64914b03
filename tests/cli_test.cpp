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
        const Outcome run = RunProgram(c.args);
        EXPECT_EQ(run.exit, 1) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_EQ(FileBytes(MPlay()), before) << c.says;
    }
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
