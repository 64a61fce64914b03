#include "platform/Files.h"

#include "platform/Drives.h"
#include "platform/LockWait.h"
#include "platform/linux/LocalFiles.h"
#include "platform/linux/TextFile.h"
#include "platform/linux/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace platform {
namespace {

using linux_detail::UniqueFd;

// -1: no step fails; else the ReplaceStep's value, failing with injectedError.
std::atomic<int> failingStep{-1};
std::atomic<int> injectedError{EIO};

// The error the step is made to fail with, if it is.
std::optional<int> Injected(ReplaceStep step) {
    if (failingStep.load() != static_cast<int>(step)) {
        return std::nullopt;
    }
    return injectedError.load();
}

FileFault FaultOf(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return FileFault::DiskFull;
    case EROFS:
        return FileFault::ReadOnly;
    case EACCES:
    case EPERM:
        return FileFault::AccessDenied;
    // A pulled USB disk answers with I/O errors until it is unmounted.
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
    case EIO:
    case ESTALE:
    case ENOMEDIUM:
        return FileFault::Gone;
    case EISDIR:
    case ELOOP:
        return FileFault::NotAFile;
    default:
        return FileFault::Other;
    }
}

// The error of a system call made as the given step: the injected one, else errno when the
// call (returning 0 on success) failed.
template <typename Call> int StepError(ReplaceStep step, Call call) {
    if (const auto injected = Injected(step)) {
        return *injected;
    }
    return call() == 0 ? 0 : errno;
}

ReplaceResult Failure(ReplaceStep step, int error) {
    return {ReplaceError{step, FaultOf(error), std::generic_category().message(error)}};
}

// 0 when all was written, else the error that stopped it.
int WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? errno : EIO;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return 0;
}

// Replacements in one folder take turns, so that the fixed temporary name below belongs to one
// of them at a time. The lock goes with the process: a killed save leaves none, but a stopped
// one keeps it, so the wait is bounded. Unavailable where the file system has no such locks
// (some network shares).
detail::LockWait LockFolder(int folder) {
    return detail::WaitForLock([folder](std::chrono::milliseconds slice) -> std::optional<bool> {
        if (::flock(folder, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(slice);
        return false;
    });
}

constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

// The process's file creation mask, read once without changing it (umask() can only set it,
// for a moment other threads would create files under); nullopt where the kernel does not
// report it.
std::optional<mode_t> CreationMask() {
    static const std::optional<mode_t> mask = []() -> std::optional<mode_t> {
        const auto status = linux_detail::ReadSmallTextFile("/proc/self/status", 1 << 16);
        constexpr std::string_view kField = "\nUmask:\t";
        const std::size_t at = status ? status->find(kField) : std::string::npos;
        unsigned mask = 0;
        if (at == std::string::npos || std::from_chars(status->data() + at + kField.size(),
                                                       status->data() + status->size(), mask, 8)
                                               .ec != std::errc()) {
            return std::nullopt;
        }
        return static_cast<mode_t>(mask);
    }();
    return mask;
}

// Whether a file created with mode lacks some of its bits and needs them set afterwards.
bool NeedsChmod(mode_t mode) {
    const auto mask = CreationMask();
    return (mode & ~mode_t{0777}) != 0 || !mask || (mode & *mask) != 0;
}

struct Temporary {
    std::string name;
    UniqueFd fd;
};

// A new, exclusively created file beside target. With the folder locked, ".<target>.saving" is
// this replacement's alone, so a regular file of that name was left by an interrupted one and
// is removed. Without the lock, or when something else holds that name, a name of this
// process's own is taken and nothing is removed. On failure error holds why.
std::optional<Temporary> CreateTemporary(int folder, const std::string& target, mode_t mode,
                                         bool locked, int& error) {
    const std::string fixed = "." + target + ".saving";
    for (int attempt = 0; locked && attempt < 2; ++attempt) {
        UniqueFd fd(::openat(folder, fixed.c_str(), kCreateFlags, mode & 0777));
        if (fd) {
            return Temporary{fixed, std::move(fd)};
        }
        error = errno;
        struct stat st {};
        if (error != EEXIST || ::fstatat(folder, fixed.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode)) {
            break;
        }
        ::unlinkat(folder, fixed.c_str(), 0);
    }
    if (locked && error != EEXIST) {
        return std::nullopt;
    }
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name =
            fixed + "." + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
        UniqueFd fd(::openat(folder, name.c_str(), kCreateFlags, mode & 0777));
        if (fd) {
            return Temporary{std::move(name), std::move(fd)};
        }
        error = errno;
        if (error != EEXIST) {
            break;
        }
    }
    return std::nullopt;
}

// Refuses what the replacement must leave alone: a folder, link or device of target's name, a
// file nobody may write (read-only, as on FAT with its read-only attribute), and a file this
// user may not open for writing: creating over it in place would fail, so replacing it must.
std::optional<ReplaceResult> RefuseExisting(int folder, const std::string& target,
                                            const struct stat& st) {
    if (!S_ISREG(st.st_mode)) {
        return ReplaceResult{ReplaceError{ReplaceStep::Create, FileFault::NotAFile, {}}};
    }
    if ((st.st_mode & 0222) == 0) {
        return Failure(ReplaceStep::Create, EACCES);
    }
    // The owner's write bit is the kernel's answer for the owner, ACLs or not; anyone else
    // asks the kernel, as opening it would.
    const bool ownerMayWrite = st.st_uid == ::geteuid() && (st.st_mode & S_IWUSR) != 0;
    if (!ownerMayWrite && ::faccessat(folder, target.c_str(), W_OK, 0) != 0) {
        return Failure(ReplaceStep::Create, errno);
    }
    return std::nullopt;
}

} // namespace

std::optional<FileStart> ReadFileStart(std::string_view drivePath, std::size_t maxBytes) {
    const auto path = LocalPath(drivePath);
    if (!path) {
        return std::nullopt;
    }
    // O_NONBLOCK: opening a FIFO must not hang; it is refused as not regular below.
    UniqueFd fd(::open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    FileStart start;
    start.size = static_cast<std::uint64_t>(st.st_size);
    start.bytes.resize(std::min<std::uint64_t>(maxBytes, start.size));
    std::size_t filled = 0;
    while (filled < start.bytes.size()) {
        const ssize_t got =
            ::read(fd.get(), start.bytes.data() + filled, start.bytes.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    start.bytes.resize(filled);
    return start;
}

ReplaceResult ReplaceFile(std::string_view drivePath, std::span<const std::uint8_t> bytes) {
    const auto path = LocalPath(drivePath);
    if (!path) {
        return Failure(ReplaceStep::Create, ENOENT);
    }
    return linux_detail::ReplaceLocalFile(*path, bytes);
}

ReplaceResult linux_detail::ReplaceLocalFile(const std::filesystem::path& path,
                                             std::span<const std::uint8_t> bytes) {
    const std::string target = path.filename().string();
    if (target.empty()) {
        return Failure(ReplaceStep::Create, EISDIR);
    }
    const UniqueFd folder(::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) {
        return Failure(ReplaceStep::Create, errno);
    }
    struct stat st {};
    const bool exists = ::fstatat(folder.get(), target.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) {
        return Failure(ReplaceStep::Create, errno);
    }
    if (exists) {
        if (auto refused = RefuseExisting(folder.get(), target, st)) {
            return *refused;
        }
    }
    const detail::LockWait lock = LockFolder(folder.get());
    if (lock == detail::LockWait::Busy) {
        return ReplaceResult{ReplaceError{ReplaceStep::Create, FileFault::Busy, {}}};
    }
    const bool locked = lock == detail::LockWait::Taken;
    if (const auto injected = Injected(ReplaceStep::Create)) {
        return Failure(ReplaceStep::Create, *injected);
    }
    int error = 0;
    // The new file takes the old one's permissions; a first file gets the usual ones.
    const mode_t mode = exists ? st.st_mode & 07777 : 0666;
    auto temporary = CreateTemporary(folder.get(), target, mode, locked, error);
    if (!temporary) {
        return Failure(ReplaceStep::Create, error);
    }
    if (exists && NeedsChmod(mode)) {
        ::fchmod(temporary->fd.get(), mode);
    }
    // A failing write stops halfway, as a full medium would.
    const auto failWrite = Injected(ReplaceStep::Write);
    const int fd = temporary->fd.get();
    ReplaceStep step = ReplaceStep::Write;
    error = WriteAll(fd, failWrite ? bytes.first(bytes.size() / 2) : bytes);
    if (error == 0) {
        error = failWrite.value_or(0);
    }
    if (error == 0) {
        step = ReplaceStep::Flush;
        error = StepError(step, [fd] { return ::fsync(fd); });
    }
    if (!temporary->fd.Close() && error == 0) {
        error = errno;
    }
    if (error == 0) {
        step = ReplaceStep::Replace;
        error = StepError(step, [&] {
            return ::renameat(folder.get(), temporary->name.c_str(), folder.get(), target.c_str());
        });
    }
    if (error != 0) {
        ::unlinkat(folder.get(), temporary->name.c_str(), 0);
        return Failure(step, error);
    }
    // The folder must know of the rename before the new file counts as saved on removable
    // media; a folder that cannot be synced (some file systems refuse) is no error, since the
    // rename itself has already happened.
    ::fsync(folder.get());
    return {};
}

void FailReplaceStepForTesting(std::optional<ReplaceStep> step, int systemError) {
    injectedError.store(systemError != 0 ? systemError : EIO);
    failingStep.store(step ? static_cast<int>(*step) : -1);
}

} // namespace platform
