#pragma once
// MPlay.sys, the 2048-byte protection file in a drive's root that the television reads.

#include "app/DriveTable.h"
#include "platform/Files.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

inline constexpr std::size_t kProtectionFileSize = 2048;
inline constexpr std::size_t kMaxFolderNameUnits = 30;
inline constexpr std::size_t kReadNameUnits = 32;

using ProtectionFile = std::array<std::uint8_t, kProtectionFileSize>;

// Writer input: one zero-terminated UTF-16 name at the start of each 260-unit slot.
using WriterNameSlot = std::array<char16_t, kPathUnits>;
// Reader output: one zero-terminated UTF-16 name per 32-unit slot.
using ReaderNameSlot = std::array<char16_t, kReadNameUnits>;

// What a valid file holds.
struct ProtectionSettings {
    int folderCount = 0;        // 0..16
    std::uint16_t password = 0; // packed BCD
    std::uint8_t waitState = 0;
    std::array<ReaderNameSlot, kMaxPrivateFolders> names{}; // slots past folderCount zero
};

// Pure: a writer name's units before its terminator; kPathUnits when the slot has none.
std::size_t WriterNameLength(const WriterNameSlot& slot);

// Why content is not a valid protection file.
enum class ProtectionFileFault {
    None,        // valid
    Size,        // shorter than 2048 bytes
    Magic,       // the magic differs (case included) or its terminator is not zero
    FolderCount, // a FolderCount above 16
};

// Pure: the first fault of content, in the order above; None for a valid file. The writer
// never stores a count above 16; the file was not written by it, and trusting part of it
// could mark the wrong folders private, so the whole file is taken as invalid. Header words
// and entry marks are not examined.
ProtectionFileFault CheckProtectionFile(std::span<const std::uint8_t> content);

// Pure: the settings of the first 2048 bytes of content, or nullopt when CheckProtectionFile
// finds a fault. A name with no zero unit in its 31 units is cut to those 31 units and
// terminated.
std::optional<ProtectionSettings> DecodeProtectionFile(std::span<const std::uint8_t> content);

// Pure: the file content for the given names (names.size() is the count). The caller has
// checked the limits; past them only the first 16 names and 30 units of each are stored.
ProtectionFile EncodeProtectionFile(std::span<const WriterNameSlot> names, std::uint16_t password,
                                    std::uint8_t waitState);

enum class WriteOutcome {
    Written, // the drive holds the new file
    Refused, // a limit was broken; its message has been shown; the old file is untouched
    Failed,  // the file could not be created, written or replaced; the old file is untouched
};

struct WriteResult {
    WriteOutcome outcome = WriteOutcome::Failed;
    std::optional<platform::ReplaceError> failure; // why, when the drive refused the new file
};

// The checks WriteProtectionFile makes before it builds or opens anything, in its order and with
// its messages: nullopt when the file would be written, else the result the write gives.
std::optional<WriteResult> CheckProtectionFileWrite(std::int32_t folderCount,
                                                    std::span<const WriterNameSlot> names);

// Replaces driveLetter's MPlay.sys with names 0..folderCount-1 of the slots, the password
// and the wait state, atomically: the drive holds the old file or the new one, never a part.
// Checked before anything is built or opened: a count above 16 is Refused with its message
// (no name is looked at), then each name in order, a name over 30 units (a slot without
// terminator counts as over) is Refused with its message. A negative count, or fewer slots
// than the count, is the caller's error: Failed without a failure, nothing shown, nothing
// written.
WriteResult WriteProtectionFile(char driveLetter, std::int32_t folderCount, std::uint16_t password,
                                std::span<const WriterNameSlot> names, std::uint8_t waitState);

// What driveLetter's MPlay.sys holds now.
struct ProtectionFileReading {
    bool present = false;                                  // the file could be opened
    ProtectionFileFault fault = ProtectionFileFault::None; // Size also for a short read
    std::optional<ProtectionSettings> settings;            // set exactly for a valid file
};
ProtectionFileReading InspectProtectionFile(char driveLetter);

// Reads driveLetter's MPlay.sys. folderCount and password are set to 0 first; for a valid
// file they, names 0..folderCount-1 and waitState are set from it. Otherwise names and
// waitState are left as they were. A file that cannot be opened, is under 2048 bytes, or of
// which fewer than 2048 bytes could be read is missing; a longer file's first 2048 are used.
void ReadProtectionFile(char driveLetter, std::int32_t& folderCount, std::uint16_t& password,
                        std::span<ReaderNameSlot, kMaxPrivateFolders> names,
                        std::uint8_t& waitState);
