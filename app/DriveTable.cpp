#include "app/DriveTable.h"

#include "Hdddevctrl/Hdddevctrl.h"
#include "Protectfileio/Protectfileio.h"
#include "platform/TerminatedText.h"

#include <algorithm>

DriveTableArray DriveTable{};

void LoadDriveProtection(DriveProtection& entry, std::uint8_t waitState) {
    std::int32_t folderCount = 0;
    std::array<ReaderNameSlot, kMaxPrivateFolders> names{};
    ReadProtectionFile(static_cast<char>(entry.DriveLetter & 0xFF), folderCount, entry.Password,
                       names, waitState);

    entry.WaitState = waitState;
    entry.PrivateFolders = {};
    const auto slots =
        static_cast<std::size_t>(std::clamp<std::int32_t>(folderCount, 0, kMaxPrivateFolders));
    for (std::size_t k = 0; k < slots; ++k) {
        PathSlot& slot = entry.PrivateFolders[k];
        slot[0] = entry.DriveLetter;
        slot[1] = u':';
        slot[2] = u'\\';
        // Only up to the terminator (the slot is zero already): whatever the reader left
        // after it must not reach the table.
        const std::u16string_view name = platform::TerminatedText(names[k]);
        std::copy(name.begin(), name.end(), slot.begin() + 3);
    }
}

int BuildDriveTable() {
    DeviceDriveList letters{};
    DriveTable = DriveTableArray{};

    const int found = GetDeviceDrives(letters);
    if (found <= 0) {
        return found;
    }

    const auto used = std::min<std::size_t>(static_cast<std::size_t>(found), kDriveTableEntries);
    for (std::size_t i = 0; i < used; ++i) {
        DriveProtection& entry = DriveTable[i];
        entry.DriveLetter = static_cast<unsigned char>(letters[i]);
        LoadDriveProtection(entry, 0);
    }
    return found;
}
