#pragma once
// From what Windows reports of its volumes and disks to the library's records: which disk
// holds each lettered volume, which USB device the disk hangs below, and whether the volume
// may be taken. Plain data in, plain data out: the system is asked elsewhere
// (windows/SystemSnapshot.cpp), and captured enumerations are walked the same way in tests.

#include "platform/Drives.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace device_info {

// A storage device as IOCTL_STORAGE_GET_DEVICE_NUMBER names it. Numbers are counted per
// device type: disk 0 and CD-ROM 0 are different devices.
struct StorageDeviceNumber {
    std::uint32_t deviceType = 0; // FILE_DEVICE_DISK (7), FILE_DEVICE_CD_ROM (2), ...
    std::uint32_t number = 0;
    bool operator==(const StorageDeviceNumber&) const = default;
};

// A lettered drive: its root's drive type, and the device number of \\.\<letter>: when it
// lies on one storage device (none for a network drive, a volume that spans disks, or a
// drive the system could not open).
struct VolumeFacts {
    char letter = 0;
    platform::DriveType driveType = platform::DriveType::Unknown;
    std::optional<StorageDeviceNumber> device;
};

// A present disk interface (GUID_DEVINTERFACE_DISK).
struct DiskFacts {
    StorageDeviceNumber device;
    // The disk's device instance id, then each parent's up the device tree.
    std::vector<std::string> instanceIds;
    std::uint32_t busType = 0; // STORAGE_BUS_TYPE of StorageDeviceProperty; 0 when unknown
    bool removableMedia = false;
};

struct SystemSnapshot {
    std::vector<VolumeFacts> volumes;
    std::vector<DiskFacts> disks;
};

inline constexpr std::uint32_t kBusTypeUsb = 7;

// One volume per lettered drive A to Z except network drives and letters without a root,
// in letter order (a letter reported twice counts once). A volume on a disk takes as device
// id the first instance id up the disk's chain that starts with USB\ (case aside), else
// the disk's own id; it is eligible when the disk is on USB or holds removable media. A
// volume on no known disk has no device id and is not eligible.
std::vector<platform::LetteredVolume> WalkVolumes(const SystemSnapshot& snapshot);

} // namespace device_info
