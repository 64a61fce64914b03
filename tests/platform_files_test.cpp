#include "SimulatedMachine.h"
#include "platform/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using lunavio_test::ReadFile;
using lunavio_test::SimulatedMachine;
using lunavio_test::WriteFile;
using platform::ReplaceStep;

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReadFileStart, ReadsUpToTheLimitAndReportsTheSize) {
    SimulatedMachine machine;
    const auto e = machine.AddDrive('E');
    WriteFile(e / "MPlay.sys", "abcdef");

    const auto whole = platform::ReadFileStart("E:\\MPlay.sys", 100);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size, 6u);
    EXPECT_EQ(whole->bytes, Bytes("abcdef"));

    const auto start = platform::ReadFileStart("e:\\MPlay.sys", 4);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->size, 6u);
    EXPECT_EQ(start->bytes, Bytes("abcd"));
}

TEST(ReadFileStart, RefusesWhatIsNotAnExistingRegularFileOnAMappedDrive) {
    SimulatedMachine machine;
    const auto e = machine.AddDrive('E');
    std::filesystem::create_directory(e / "Folder.sys");
    ASSERT_EQ(::mkfifo((e / "Fifo.sys").c_str(), 0600), 0);
    WriteFile(machine.Root() / "outside", "secret");

    for (const char* path : {"E:\\Missing.sys", "E:\\Folder.sys", "E:\\Fifo.sys", "F:\\MPlay.sys",
                             "E:\\..\\outside", "E:\\"}) {
        EXPECT_FALSE(platform::ReadFileStart(path, 2048)) << path;
    }
}

class ReplaceFileTest : public testing::Test {
protected:
    void TearDown() override { platform::FailReplaceStepForTesting(std::nullopt); }
    SimulatedMachine machine_;
    std::filesystem::path e_ = machine_.AddDrive('E');
};

TEST_F(ReplaceFileTest, CreatesOrReplacesWithExactlyTheNewBytes) {
    EXPECT_TRUE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("first")));
    EXPECT_EQ(ReadFile(e_ / "MPlay.sys"), "first");

    WriteFile(e_ / "MPlay.sys", std::string(4096, 'x'));
    EXPECT_TRUE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("new")));
    EXPECT_EQ(ReadFile(e_ / "MPlay.sys"), "new");
    EXPECT_EQ(FolderNames(e_), std::vector<std::string>{"MPlay.sys"});
}

TEST_F(ReplaceFileTest, EachFailingStepLeavesTheOldFileAndNoTemporary) {
    const std::string old(3000, 'o');
    for (auto step :
         {ReplaceStep::Create, ReplaceStep::Write, ReplaceStep::Flush, ReplaceStep::Replace}) {
        WriteFile(e_ / "MPlay.sys", old);
        platform::FailReplaceStepForTesting(step);
        EXPECT_FALSE(platform::ReplaceFile("E:\\MPlay.sys", Bytes(std::string(2048, 'n'))))
            << static_cast<int>(step);
        EXPECT_EQ(ReadFile(e_ / "MPlay.sys"), old) << static_cast<int>(step);
        EXPECT_EQ(FolderNames(e_), std::vector<std::string>{"MPlay.sys"}) << static_cast<int>(step);
    }
    platform::FailReplaceStepForTesting(std::nullopt);
    EXPECT_TRUE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("ok")));
}

TEST_F(ReplaceFileTest, KeepsTheOldPermissionsAndLeavesAReadOnlyFileAlone) {
    namespace fs = std::filesystem;
    const fs::path file = e_ / "MPlay.sys";
    WriteFile(file, "old");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_TRUE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("new")));
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("newer")));
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(FolderNames(e_), std::vector<std::string>{"MPlay.sys"});
}

TEST_F(ReplaceFileTest, FailureWithoutAnOldFileLeavesNone) {
    platform::FailReplaceStepForTesting(ReplaceStep::Flush);
    EXPECT_FALSE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("new")));
    EXPECT_TRUE(FolderNames(e_).empty());
}

TEST_F(ReplaceFileTest, RefusesFoldersUnmappedDrivesAndEscapes) {
    std::filesystem::create_directory(e_ / "MPlay.sys");
    EXPECT_FALSE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("new")));
    EXPECT_TRUE(std::filesystem::is_directory(e_ / "MPlay.sys"));
    EXPECT_FALSE(platform::ReplaceFile("F:\\MPlay.sys", Bytes("new")));
    EXPECT_FALSE(platform::ReplaceFile("E:\\..\\machine.txt", Bytes("new")));
    EXPECT_FALSE(platform::ReplaceFile("E:\\", Bytes("new")));
    EXPECT_FALSE(platform::ReplaceFile("E:\\NoFolder\\MPlay.sys", Bytes("new")));
}

TEST_F(ReplaceFileTest, ReadOnlyFolderFailsAndKeepsTheOldFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders; the fault seam covers this";
    }
    WriteFile(e_ / "MPlay.sys", "old");
    std::filesystem::permissions(e_, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_exec);
    EXPECT_FALSE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("new")));
    std::filesystem::permissions(e_, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadFile(e_ / "MPlay.sys"), "old");
}

} // namespace
