#pragma once
// Drive labels and the listing of a drive's root folders, independent of the widgets that
// show them: the listing appends rows to a FolderRowSink, which the window's folder list
// implements.

#include "app/DriveTable.h"

#include <string>
#include <string_view>

// One folder row as the window's folder list keeps it.
struct FolderRow {
    std::u16string name;       // column "Name": the name as the file system reports it
    std::string modified;      // column "Modified": the last-write date text or "(Unknown)"
    bool nameTooLong = false;  // a second sub-item "Name too long" (19 or more UTF-16 units)
    std::u16string storedName; // the name compared with private folders and written by Save
    int stateIndex = -1;       // 2: private (padlock); -1: public

    // The number of sub-items: 1 (Modified), 2 with "Name too long".
    int SubItemCount() const { return nameTooLong ? 2 : 1; }
};

// Where the listing puts its rows and the password text.
class FolderRowSink {
public:
    virtual ~FolderRowSink() = default;
    virtual void AppendFolderRow(FolderRow row) = 0;
};

class PasswordTextSink {
public:
    virtual ~PasswordTextSink() = default;
    virtual void SetPasswordText(const std::string& text) = 0;
};

// Set once by the window initialisation from the device's first drive; read by the listing.
extern bool VolumeIsFat;

// The selector text of a drive: "<label> (E:\)" or "Local Drive (E:\)" (8-bit text).
std::string FormatDriveLabel(char driveLetter);

// Appends one row per root folder of entry's drive and sets the password text first (also
// when the root cannot be enumerated). Wide and 8-bit enumeration; the same rows for every
// name the locale's encoding can represent.
void ListRootFoldersW(const DriveProtection entry, FolderRowSink& list, PasswordTextSink& password);
void ListRootFoldersA(const DriveProtection entry, FolderRowSink& list, PasswordTextSink& password);

bool IsShortName(std::u16string_view name);
