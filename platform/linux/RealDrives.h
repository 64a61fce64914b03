#pragma once
// The lettered volumes of the real machine, from the mount table and sysfs.

#include "platform/Drives.h"

#include <vector>

namespace platform::linux_detail {

// Reads /proc/self/mountinfo and /sys, updates the process's letter map and returns its
// volumes in letter order. Labels are queried only when withLabels is set (it opens each
// volume's root). A missing or unreadable mount table leaves no volumes.
std::vector<LetteredVolume> RealVolumes(bool withLabels);

} // namespace platform::linux_detail
