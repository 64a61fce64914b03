#pragma once
// The in-memory picture of the device: one DriveProtection record per device drive.

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kDriveTableEntries = 7;
// The most private folders a drive has: slots in a record, names in its protection file.
inline constexpr std::size_t kMaxPrivateFolders = 16;
inline constexpr std::size_t kPathUnits = 260;

// A zero-terminated UTF-16 path such as E:\MUSIC; a slot whose first unit is 0 is empty.
using PathSlot = std::array<char16_t, kPathUnits>;

// One drive's protection settings, 4163 16-bit units with no padding.
struct DriveProtection {
    char16_t DriveLetter;    // the 8-bit letter from discovery; 0 ends the table
    std::uint16_t Password;  // packed BCD, first digit in bits 15..12; 0 without a valid file
    std::uint16_t WaitState; // the file's wait-state byte, high 8 bits zero
    std::array<PathSlot, kMaxPrivateFolders> PrivateFolders;
};
static_assert(sizeof(DriveProtection) == 4163 * sizeof(std::uint16_t));
static_assert(offsetof(DriveProtection, Password) == 1 * sizeof(std::uint16_t));
static_assert(offsetof(DriveProtection, WaitState) == 2 * sizeof(std::uint16_t));
static_assert(offsetof(DriveProtection, PrivateFolders) == 3 * sizeof(std::uint16_t));

using DriveTableArray = std::array<DriveProtection, kDriveTableEntries>;

// The process's one table. Consumers walk it from entry 0 while the index is below 7 and the
// entry's DriveLetter is not 0.
extern DriveTableArray DriveTable;

// Reads the protection file of entry's own DriveLetter (low 8 bits) into entry: Password,
// WaitState (waitState when the file is missing or invalid) and all 16 PrivateFolders slots,
// rebuilt as "<DriveLetter>:\<name>" from the names read, the rest emptied. DriveLetter
// stays as it is.
void LoadDriveProtection(DriveProtection& entry, std::uint8_t waitState);

// Rebuilds DriveTable from discovery and each drive's protection file. Returns discovery's
// result: the number of letters found (may exceed 7), 0 for none, -1 when discovery failed;
// with 0 or -1 the whole table is zero.
int BuildDriveTable();
