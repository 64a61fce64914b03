#include "platform/DeviceChange.h"

#include <algorithm>

namespace platform {
namespace {

bool SameVolume(const LetteredVolume& a, const LetteredVolume& b) {
    return a.letter == b.letter && a.directory == b.directory && a.deviceId == b.deviceId &&
           a.eligible == b.eligible && a.label == b.label && a.fileSystem == b.fileSystem &&
           a.blockDevice == b.blockDevice;
}

bool Contains(const std::vector<LetteredVolume>& volumes, const LetteredVolume& volume) {
    return std::any_of(volumes.begin(), volumes.end(),
                       [&](const LetteredVolume& v) { return SameVolume(v, volume); });
}

} // namespace

std::vector<std::uintptr_t> DeviceNoticesFor(const std::vector<LetteredVolume>& before,
                                             const std::vector<LetteredVolume>& after) {
    std::vector<std::uintptr_t> notices;
    for (const LetteredVolume& volume : before) {
        if (!Contains(after, volume)) {
            notices.push_back(kDbtDeviceRemoveComplete);
        }
    }
    for (const LetteredVolume& volume : after) {
        if (!Contains(before, volume)) {
            notices.push_back(kDbtDeviceArrival);
        }
    }
    return notices;
}

} // namespace platform
