#pragma once
// The letters of the real machine's volumes.

#include "platform/linux/MountInfo.h"
#include "platform/linux/Sysfs.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::linux_detail {

// A mount as the letter map sees it: its table entry (device number resolved for FUSE and
// btrfs mounts) and the facts of its block device, if it has one.
struct VolumeCandidate {
    MountEntry mount;
    std::optional<BlockDeviceFacts> device;
};

struct MappedVolume {
    char letter = 0;
    VolumeCandidate volume;
};

// True for file systems that are no user's volume: kernel pseudo file systems, memory file
// systems and read-only images.
bool IsPseudoFileSystem(std::string_view fsType);

// The next letter map, in letter order. C is the last mount at "/". Any other mount takes a
// letter when it mounts a whole file system (root "/") of a removable or USB block device
// that is no loop, RAM or compressed-RAM device, on a real (not pseudo) file system. A volume
// keeps the letter previous gave it while it is mounted (same mount point, same device
// number); a new one takes the lowest free letter from D, in table order; with D to Z taken
// it gets none. A device mounted at several places gets one letter, for the first.
std::vector<MappedVolume> UpdateLetterMap(const std::vector<MappedVolume>& previous,
                                          const std::vector<VolumeCandidate>& current);

// The file system name the volume query reports for a mount table type: vfat and msdos give
// "FAT32", exfat "exFAT", ntfs and ntfs3 "NTFS", a FUSE type naming ntfs or exfat ("fuseblk.ntfs",
// "fuse.ntfs-3g") the same; any other is upper-cased.
std::string FileSystemName(std::string_view fsType);

// A label as udev names its /dev/disk/by-label link: \xNN escapes decoded.
std::string DecodeUdevName(std::string_view name);

} // namespace platform::linux_detail
