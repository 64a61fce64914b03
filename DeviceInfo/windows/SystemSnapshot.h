#pragma once
// What Windows reports of its lettered drives and its present disks, for the device walk.

#include "DeviceInfo/VolumeWalk.h"

namespace device_info {

// Asks the system now. Needs no rights beyond the user's: devices are opened for queries
// only. What a device will not tell is left out (a volume without a device number, a disk
// with bus type 0), never guessed.
SystemSnapshot TakeSystemSnapshot();

} // namespace device_info
