#include "SimulatedMachine.h"
#include "platform/Files.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using lunavio_test::ReadFile;
using lunavio_test::SimulatedMachine;
using lunavio_test::WriteFile;
using platform::FileFault;
using platform::ReplaceStep;
namespace fs = std::filesystem;

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

// Runs body in a child process and gives its exit code (-1 if it did not exit).
int InChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// A replacement's outcome as an exit code: 0 replaced, 10 + the fault otherwise.
int ExitCodeOf(const platform::ReplaceResult& result) {
    return result ? 0 : 10 + static_cast<int>(result.error->fault);
}

// Tmpfs where there is one: the save loops below need no disk.
fs::path FastFolder() {
    std::error_code error;
    return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
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

TEST_F(ReplaceFileTest, ReportsTheFailingStepAndTheCauseOfItsError) {
    struct Case {
        ReplaceStep step;
        int error;
        FileFault fault;
    } const cases[] = {
        {ReplaceStep::Write, ENOSPC, FileFault::DiskFull},
        {ReplaceStep::Flush, EDQUOT, FileFault::DiskFull},
        {ReplaceStep::Create, EROFS, FileFault::ReadOnly},
        {ReplaceStep::Create, EACCES, FileFault::AccessDenied},
        {ReplaceStep::Replace, EPERM, FileFault::AccessDenied},
        {ReplaceStep::Write, EIO, FileFault::Gone},
        {ReplaceStep::Create, ENOENT, FileFault::Gone},
        {ReplaceStep::Flush, EMFILE, FileFault::Other},
    };
    WriteFile(e_ / "MPlay.sys", "old");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        platform::FailReplaceStepForTesting(c.step, c.error);
        const auto result = platform::ReplaceFile("E:\\MPlay.sys", Bytes("new"));
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error->step, c.step);
        EXPECT_EQ(result.error->fault, c.fault);
        EXPECT_FALSE(result.error->detail.empty());
        EXPECT_EQ(ReadFile(e_ / "MPlay.sys"), "old");
    }
    platform::FailReplaceStepForTesting(std::nullopt);
    EXPECT_EQ(platform::ReplaceFile("F:\\MPlay.sys", Bytes("new")).error->fault, FileFault::Gone);
    fs::create_directory(e_ / "Folder.sys");
    EXPECT_EQ(platform::ReplaceFile("E:\\Folder.sys", Bytes("new")).error->fault,
              FileFault::NotAFile);
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
    const fs::path file = e_ / "MPlay.sys";
    WriteFile(file, "old");
    // Narrower and wider than the usual creation mask lets through.
    for (const fs::perms perms :
         {fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
          fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
              fs::perms::group_write | fs::perms::others_read | fs::perms::others_write}) {
        fs::permissions(file, perms);
        EXPECT_TRUE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("new")));
        EXPECT_EQ(fs::status(file).permissions(), perms);
    }

    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("newer")));
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(FolderNames(e_), std::vector<std::string>{"MPlay.sys"});
}

// CI runs as root, who may write anything: there the save runs as an unprivileged user in a
// child; elsewhere the file is the user's own but without write permission for its owner.
TEST_F(ReplaceFileTest, AFileTheUserMayNotWriteStaysInAWritableFolder) {
    const fs::path file = e_ / "MPlay.sys";
    WriteFile(file, "old");
    fs::permissions(e_, fs::perms::all);
    int outcome = 0;
    if (::geteuid() == 0) {
        fs::permissions(machine_.Root(), fs::perms::owner_all | fs::perms::group_read |
                                             fs::perms::group_exec | fs::perms::others_read |
                                             fs::perms::others_exec);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write |
                                  fs::perms::group_read | fs::perms::others_read);
        outcome = InChild([] {
            const gid_t nobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) {
                return 1;
            }
            return ExitCodeOf(platform::ReplaceFile("E:\\MPlay.sys", Bytes("new")));
        });
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 0u);
    } else {
        fs::permissions(file,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::group_write);
        outcome = ExitCodeOf(platform::ReplaceFile("E:\\MPlay.sys", Bytes("new")));
    }
    EXPECT_EQ(outcome, 10 + static_cast<int>(FileFault::AccessDenied));
    EXPECT_EQ(ReadFile(file), "old");
    EXPECT_EQ(FolderNames(e_), std::vector<std::string>{"MPlay.sys"});
}

// Only a regular file of the temporary name is taken as a killed save's leftover.
TEST_F(ReplaceFileTest, RemovesTheLeftoverOfAnInterruptedSaveAndNothingElse) {
    enum Kind { File, Folder, Link };
    struct Case {
        const char* name;
        Kind kind;
        bool removed;
    } const cases[] = {
        {".MPlay.sys.saving", File, true},
        {".MPlay.sys.saving", Folder, false},
        {".MPlay.sys.saving", Link, false},
        {".MPlay.sys.saving.123-4", File, false}, // another process's, saving without a lock
        {".MPlay.sys.saving2", File, false},
        {".mplay.sys.saving", File, false},
        {"MPlay.sys.saving", File, false},
        {".Other.sys.saving", File, false},
    };
    const fs::path outside = machine_.Root() / "outside";
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " kind " << c.kind);
        WriteFile(outside, "keep");
        WriteFile(e_ / "MPlay.sys", "old");
        const fs::path thing = e_ / c.name;
        switch (c.kind) {
        case File:
            WriteFile(thing, "partial");
            break;
        case Folder:
            fs::create_directory(thing);
            break;
        case Link:
            fs::create_symlink(outside, thing);
            break;
        }
        ASSERT_TRUE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("new")));
        EXPECT_EQ(ReadFile(e_ / "MPlay.sys"), "new");
        EXPECT_EQ(fs::exists(fs::symlink_status(thing)), !c.removed);
        EXPECT_EQ(ReadFile(outside), "keep");
        fs::remove(thing);
        EXPECT_EQ(FolderNames(e_), std::vector<std::string>{"MPlay.sys"});
    }
}

// The checker: a save loop killed at random moments, 200 times.
TEST(ReplaceFileKilled, LeavesTheOldOrTheNewFileAndTheNextSaveNoTemporary) {
    SimulatedMachine machine(FastFolder());
    const fs::path e = machine.AddDrive('E');
    const auto a = Bytes(std::string(2048, 'a'));
    const auto b = Bytes(std::string(2048, 'b'));
    ASSERT_TRUE(platform::ReplaceFile("E:\\MPlay.sys", a));
    std::mt19937 random(20261210);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Bounded, should the parent die first.
            for (int i = 0; i < 100000; ++i) {
                platform::ReplaceFile("E:\\MPlay.sys", i % 2 ? a : b);
            }
            ::_exit(0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string content = ReadFile(e / "MPlay.sys");
        ASSERT_TRUE(content == std::string(2048, 'a') || content == std::string(2048, 'b'));
        ASSERT_TRUE(platform::ReplaceFile("E:\\MPlay.sys", a));
        ASSERT_EQ(FolderNames(e), std::vector<std::string>{"MPlay.sys"});
    }
}

// Two instances saving at the same moment: neither takes the other's temporary for a leftover.
TEST(ReplaceFileConcurrent, TwoProcessesSavingTogetherBothSucceed) {
    SimulatedMachine machine(FastFolder());
    const fs::path e = machine.AddDrive('E');
    const auto saveLoop = [](char fill) {
        return [fill] {
            int failed = 0;
            for (int i = 0; i < 300; ++i) {
                failed +=
                    platform::ReplaceFile("E:\\MPlay.sys", Bytes(std::string(2048, fill))) ? 0 : 1;
            }
            return std::min(failed, 100);
        };
    };
    int other = -1;
    std::thread second([&] { other = InChild(saveLoop('b')); });
    EXPECT_EQ(InChild(saveLoop('a')), 0);
    second.join();
    EXPECT_EQ(other, 0);
    const std::string content = ReadFile(e / "MPlay.sys");
    EXPECT_TRUE(content == std::string(2048, 'a') || content == std::string(2048, 'b'));
    EXPECT_EQ(FolderNames(e), std::vector<std::string>{"MPlay.sys"});
}

// A child holds the drive's save lock, as a stopped program would, until told to let go.
class LockHolder {
public:
    explicit LockHolder(const fs::path& folder) {
        int ready[2] = {-1, -1};
        int release[2] = {-1, -1};
        if (::pipe(ready) != 0 || ::pipe(release) != 0) {
            return;
        }
        child_ = ::fork();
        if (child_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
            char byte = ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
            [[maybe_unused]] auto written = ::write(ready[1], &byte, 1);
            [[maybe_unused]] auto read = ::read(release[0], &byte, 1); // until the pipe closes
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char byte = 0;
        holds_ = ::read(ready[0], &byte, 1) == 1 && byte == 'y';
        ::close(ready[0]);
    }
    ~LockHolder() { Release(); }
    bool Holds() const { return holds_; }
    void Release() {
        if (release_ >= 0) {
            ::close(release_);
            release_ = -1;
        }
        if (child_ > 0) {
            ::waitpid(child_, nullptr, 0);
            child_ = -1;
        }
    }

private:
    pid_t child_ = -1;
    int release_ = -1;
    bool holds_ = false;
};

TEST_F(ReplaceFileTest, ALockHeldByAStoppedProgramFailsTheSaveAsBusyAfterAWait) {
    WriteFile(e_ / "MPlay.sys", "old");
    static int hookRuns = 0;
    platform::SetLockWaitHook([] { ++hookRuns; });
    struct Restore {
        ~Restore() { platform::SetLockWaitHook({}); }
    } restore;
    LockHolder holder(e_);
    ASSERT_TRUE(holder.Holds());

    const auto result = platform::ReplaceFile("E:\\MPlay.sys", Bytes("new"));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error->fault, FileFault::Busy);
    EXPECT_EQ(result.error->step, ReplaceStep::Create);
    EXPECT_GT(hookRuns, 0) << "the caller's events were not pumped while waiting";
    EXPECT_EQ(ReadFile(e_ / "MPlay.sys"), "old");
    EXPECT_EQ(FolderNames(e_), std::vector<std::string>{"MPlay.sys"});
    holder.Release();

    // A lock let go during the wait is taken: the save waits rather than fails.
    LockHolder brief(e_);
    ASSERT_TRUE(brief.Holds());
    std::thread releaser([&brief] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        brief.Release();
    });
    EXPECT_TRUE(platform::ReplaceFile("E:\\MPlay.sys", Bytes("new")));
    releaser.join();
    EXPECT_EQ(ReadFile(e_ / "MPlay.sys"), "new");
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
