// libDeviceInfo.so reports the drive map that the program sees: one map per process, held by
// the platform library.

#include "DeviceInfo/ReportedVolumes.h"

namespace device_info {

std::vector<platform::LetteredVolume> ReportedVolumes() {
    return platform::LetteredVolumes();
}

} // namespace device_info
