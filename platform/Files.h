#pragma once
// Whole-file access by drive path ("E:\MPlay.sys"), the drive letter resolved through the
// process's drive map.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
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

// Replaces the file with exactly bytes, atomically: a complete new file in the same folder,
// flushed to the medium, then renamed over the old one. True when the drive holds the new
// file; false when it still holds the old one (or none, if there was none), and no temporary
// file is left. Only a regular file or no file is replaced: a folder, link or device of that
// name is refused and left as it is, and so is a read-only file (no write permission for
// anyone). The new file keeps the old one's permissions.
bool ReplaceFile(std::string_view drivePath, std::span<const std::uint8_t> bytes);

// Test seam: makes the given step of every later ReplaceFile fail (nullopt: none).
void FailReplaceStepForTesting(std::optional<ReplaceStep> step);

} // namespace platform
