#pragma once
// The volumes the device information library reports, one record each, in this order. Each
// build of the library brings its own: libDeviceInfo.so the drive map's, our DeviceInfo.dll
// those the device walk finds, the Windows tests' stand-in the lines of a file.

#include "platform/Drives.h"

#include <vector>

namespace device_info {

std::vector<platform::LetteredVolume> ReportedVolumes();

} // namespace device_info
