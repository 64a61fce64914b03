#include "platform/Files.h"

#include "platform/Drives.h"
#include "platform/linux/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

using linux_detail::UniqueFd;

// -1: no step fails; else the ReplaceStep's value.
std::atomic<int> failingStep{-1};

bool Fails(ReplaceStep step) {
    return failingStep.load() == static_cast<int>(step);
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// A new, exclusively created file beside target, named after it with a random suffix.
std::optional<std::pair<std::filesystem::path, UniqueFd>>
CreateSibling(const std::filesystem::path& target) {
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name(".");
        name.append(target.filename().string()).append(".");
        name.append(std::to_string(random() % 1000000));
        auto sibling = target.parent_path() / name;
        UniqueFd fd(::open(sibling.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd) {
            return std::pair{std::move(sibling), std::move(fd)};
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// The old file's folder must know of the rename before the new file counts as saved on
// removable media; a folder that cannot be synced (some file systems refuse) is no error,
// since the rename itself has already happened.
void SyncFolder(const std::filesystem::path& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) {
        ::fsync(fd.get());
    }
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

bool ReplaceFile(std::string_view drivePath, std::span<const std::uint8_t> bytes) {
    const auto target = LocalPath(drivePath);
    if (!target || target->filename().empty()) {
        return false;
    }
    // Only a regular file is replaced: a folder or a link of that name stays as it is. A file
    // that nobody may write is read-only, as on FAT with its read-only attribute: it stays too.
    struct stat st {};
    const bool exists = ::lstat(target->c_str(), &st) == 0;
    if (exists ? !S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 : errno != ENOENT) {
        return false;
    }
    if (Fails(ReplaceStep::Create)) {
        return false;
    }
    auto created = CreateSibling(*target);
    if (!created) {
        return false;
    }
    auto& [temporary, fd] = *created;
    // The new file takes the old one's permissions; a first file gets the usual ones.
    if (exists) {
        ::fchmod(fd.get(), st.st_mode & 07777);
    }
    // A failing write stops halfway, as a full medium would.
    const bool failWrite = Fails(ReplaceStep::Write);
    const bool written =
        WriteAll(fd.get(), failWrite ? bytes.first(bytes.size() / 2) : bytes) && !failWrite;
    const bool flushed = written && !Fails(ReplaceStep::Flush) && ::fsync(fd.get()) == 0;
    const bool closed = fd.Close();
    if (!flushed || !closed || Fails(ReplaceStep::Replace) ||
        ::rename(temporary.c_str(), target->c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(target->parent_path());
    return true;
}

void FailReplaceStepForTesting(std::optional<ReplaceStep> step) {
    failingStep.store(step ? static_cast<int>(*step) : -1);
}

} // namespace platform
