#pragma once
// Drive labels and the listing of a drive's root folders, independent of the widgets that
// show them: the listing appends rows to a FolderRowSink, which the window's folder list
// implements.

#include "app/DriveTable.h"
#include "platform/Directory.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// A row's state index: the padlock marks a private folder; a public one has no state picture.
inline constexpr int kPrivateStateIndex = 2;
inline constexpr int kPublicStateIndex = -1;

// The "Modified" text of a last-write time: "(Unknown)" when the year is 0 or the month is
// outside 1 to 12, else "Mar.7,2006 09:05:03".
std::string ModifiedText(const platform::SystemTime& lastWrite);

// One folder row of the folder list. FolderRow owns its texts; FolderRowView, as the folder
// list hands its rows out, looks into the list's own storage.
template <typename Text> struct BasicFolderRow {
    Text name;                      // column "Name": the name as the file system reports it
    platform::SystemTime lastWrite; // column "Modified"; all zero when unknown
    bool nameTooLong = false;       // a second sub-item "Name too long" (19 or more UTF-16 units)
    Text storedName;                // the name compared with private folders and written by Save
    int stateIndex = kPublicStateIndex;

    std::string Modified() const { return ModifiedText(lastWrite); }
    // The number of sub-items: 1 (Modified), 2 with "Name too long".
    int SubItemCount() const { return nameTooLong ? 2 : 1; }
    // Private is the padlock alone; no other state index counts.
    bool IsPrivate() const { return stateIndex == kPrivateStateIndex; }
    // Only a row with the one sub-item "Modified" may be marked private.
    bool IsMarkable() const { return SubItemCount() == 1; }
};
using FolderRow = BasicFolderRow<std::u16string>;
using FolderRowView = BasicFolderRow<std::u16string_view>;

// Row i of a list, for i below the list's count, as the marking and saving rules take rows.
using FolderRowAt = std::function<FolderRowView(std::size_t)>;

// Where the listing puts its rows and the password text.
class FolderRowSink {
public:
    virtual ~FolderRowSink() = default;
    // The row is the listing's own and changes with the next folder: keep a copy.
    virtual void AppendFolderRow(const FolderRow& row) = 0;
};

class PasswordTextSink {
public:
    virtual ~PasswordTextSink() = default;
    virtual void SetPasswordText(const std::string& text) = 0;
};

// Set once by the window initialisation from the device's first drive; read by the listing.
// True: names that read the same in one case are stored upper-case (see AddFolderRowW).
extern bool VolumeIsFat;

// Whether a file system name names FAT: its first three characters, upper-cased, are "FAT".
bool IsFatFileSystem(std::string_view fileSystemName);

// Whether the drive's volume carries a FAT file system; false when it cannot be queried. The
// window sets VolumeIsFat from the device's first drive this way.
bool DriveIsFat(char driveLetter);

// The selector text of a drive: "<label> (E:\)", or "Local Drive (E:\)" when the volume has
// no label or cannot be queried (8-bit text).
std::string FormatDriveLabel(char driveLetter);

// The four characters of a packed BCD password, one per 4 bits from bits 15..12 on, each the
// nibble added to '0' (a nibble above 9 gives a non-digit, which the password box refuses).
std::string PasswordDigits(std::uint16_t password);

// Sets the password text first (also when the root cannot be enumerated): the four BCD
// digits of entry.Password, or "0000" when entry names no private folder. Then appends one
// row per folder of the root "<DriveLetter>:\" in the file system's order; files are passed
// over, and a root that cannot be enumerated adds no row. Never removes rows. The W variant
// enumerates wide names, the A variant 8-bit names in the locale's encoding; both give the
// same rows for every name that encoding can represent.
void ListRootFoldersW(const DriveProtection entry, FolderRowSink& list, PasswordTextSink& password);
void ListRootFoldersA(const DriveProtection entry, FolderRowSink& list, PasswordTextSink& password);

// Appends the row of one folder unless its name is ".", "..", "Recycled" or
// "System Volume Information" (exactly, with case). lastWrite: the UTC calendar fields of
// the last write (all zero when unset gives "(Unknown)"); nullopt when the time could not be
// converted, which also shows "(Unknown)". The row is private (state index 2) when its stored
// name equals the folder part (after "E:\") of one of entry's private folder slots; the drive
// letter of the slot is not compared. The A variant compares the four names in 8 bits and
// then works on the name converted to at most 259 UTF-16 units.
void AddFolderRowW(const DriveProtection& entry, FolderRowSink& list, std::u16string_view name,
                   const std::optional<platform::SystemTime>& lastWrite);
void AddFolderRowA(const DriveProtection& entry, FolderRowSink& list, std::string_view name,
                   const std::optional<platform::SystemTime>& lastWrite);

// True when name reads as an 8.3 name: at most 8 units before the first separator (".", " "
// or a unit of 127 or more) and, after it, at most 3 units none of which is a separator.
bool IsShortName(std::u16string_view name);
