#pragma once
// The device-change message (0x0219) as the window receives it: the arrival (0x8000) or
// removal-complete (0x8004) code, one message per volume that comes or goes.

#include "platform/Drives.h"

#include <cstdint>
#include <vector>

namespace platform {

inline constexpr unsigned kWmDeviceChange = 0x0219;
inline constexpr std::uintptr_t kDbtDeviceArrival = 0x8000;
inline constexpr std::uintptr_t kDbtDeviceRemoveComplete = 0x8004;

struct DeviceChangeMessage {
    unsigned Msg = kWmDeviceChange;
    std::uintptr_t WParam = 0; // the event code
    std::intptr_t LParam = 0;
    // The answer to the message; TRUE grants a removal request.
    std::intptr_t Result = 0;
};

// Pure: the event codes for the change from before to after, one per volume that went
// (removal) or came (arrival); a volume whose letter now names something else is both.
std::vector<std::uintptr_t> DeviceNoticesFor(const std::vector<LetteredVolume>& before,
                                             const std::vector<LetteredVolume>& after);

} // namespace platform
