#pragma once
// Whole-file access by drive path ("E:\MPlay.sys"), the drive letter resolved through the
// process's drive map.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct FileStart {
    std::uint64_t size = 0;          // the file's size when it was opened
    std::vector<std::uint8_t> bytes; // what was read: fewer than asked if the read stopped early
};

// Opens an existing file for reading and reads up to maxBytes from its start. nullopt when it
// cannot be opened (no such drive, no such file, not a regular file; a link to a regular file
// is read).
std::optional<FileStart> ReadFileStart(std::string_view drivePath, std::size_t maxBytes);

// The steps of a replacement, in order; each can be made to fail for tests.
enum class ReplaceStep { Create, Write, Flush, Replace };

// Why a step failed, in terms the user can act on. Each platform maps its own error codes.
enum class FileFault {
    DiskFull,     // no space (or quota) left on the drive
    ReadOnly,     // write-protected medium or read-only file system
    Gone,         // the drive or its folder is no longer there, or stopped answering
    AccessDenied, // the user may not write the file or its folder
    NotAFile,     // a folder, link or device holds the file's name
    Busy,         // another program's save to the drive held its lock past the patience
    Other,
};

struct ReplaceError {
    ReplaceStep step = ReplaceStep::Create;
    FileFault fault = FileFault::Other;
    std::string detail; // the system's own description of the error; empty when it gave none
};

// What ReplaceFile did: true when the drive holds the new file, else the step that failed.
struct ReplaceResult {
    std::optional<ReplaceError> error;
    explicit operator bool() const { return !error; }
};

// Replaces the file with exactly bytes, atomically: a complete new file in the same folder,
// flushed to the medium, then renamed over the old one. On failure the drive still holds the
// old file (or none, if there was none) and no temporary file is left. Only a regular file or
// no file is replaced: a folder, link or device of that name is refused and left as it is, and
// so is a file the user could not open for writing in place, or one that nobody may write
// (read-only). The new file keeps the old one's permissions. Temporary files that earlier,
// interrupted replacements left in the folder are removed; concurrent replacements of files in
// one folder (on Windows: on one drive), in this process or another, wait for each other, but
// no longer than kReplaceLockPatience: then the replacement fails as Busy, changing nothing.
ReplaceResult ReplaceFile(std::string_view drivePath, std::span<const std::uint8_t> bytes);

// A stopped program that holds the save lock must not freeze the one waiting for it.
inline constexpr std::chrono::milliseconds kReplaceLockPatience{5000};

// Runs every few milliseconds on the saving thread while a replacement waits for the lock,
// so that a window goes on painting meanwhile; empty: the wait just sleeps. Returns the hook
// it replaces.
using LockWaitHook = std::function<void()>;
LockWaitHook SetLockWaitHook(LockWaitHook hook);

// Test seam: makes the given step of every later ReplaceFile fail (nullopt: none) with the
// platform's error code systemError (errno on Linux); 0 stands for a plain I/O error.
void FailReplaceStepForTesting(std::optional<ReplaceStep> step, int systemError = 0);

} // namespace platform
