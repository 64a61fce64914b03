#pragma once
// The lettered volumes of the real machine, from the mount table and sysfs.

#include "platform/Drives.h"
#include "platform/linux/MountInfo.h"

#include <filesystem>
#include <vector>

namespace platform::linux_detail {

// Reads /proc/self/mountinfo and /sys, updates the process's letter map and returns its
// volumes in letter order. Labels are queried only when withLabels is set (it opens each
// volume's root). A missing or unreadable mount table leaves no volumes.
std::vector<LetteredVolume> RealVolumes(bool withLabels);

// The mount table of this process, device numbers of FUSE and btrfs mounts resolved.
std::vector<MountEntry> ReadMountTable();

// The volumes of USB disks in the sysfs tree at root that no entry of mounts holds.
std::vector<UnmountedVolume> UnmountedUsbVolumes(const std::filesystem::path& root,
                                                 const std::vector<MountEntry>& mounts);

} // namespace platform::linux_detail
