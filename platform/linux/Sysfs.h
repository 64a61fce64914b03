#pragma once
// What sysfs tells of a block device. Every reader takes the sysfs root ("/sys" on a running
// machine, a captured tree in tests).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform::linux_detail {

struct BlockDeviceFacts {
    std::filesystem::path sysPath; // the block device's folder under <root>/devices
    std::string diskName;          // the whole disk: "sdb" for sdb1 and for sdb
    bool partition = false;        // a partition of the disk, not the disk itself
    bool removable = false;        // the whole disk's removable flag
    bool usb = false;              // a USB device sits above the disk
    std::string vendorId;          // the USB device's idVendor, as sysfs spells it
    std::string productId;         // its idProduct
    std::string serial;            // its serial; empty when it has none
};

// The facts of block device major:minor, found through <root>/dev/block/<major>:<minor>.
// A partition's folder holds a "partition" file and lies in its disk's folder. The USB
// device is the nearest folder above the disk that holds idVendor and idProduct. nullopt
// when the device is unknown or its link leads outside root.
std::optional<BlockDeviceFacts> ReadBlockDevice(const std::filesystem::path& root, unsigned major,
                                                unsigned minor);

// A block device that can hold a file system of its own, as <root>/dev/block lists it.
struct BlockVolume {
    unsigned major = 0;
    unsigned minor = 0;
    std::string node; // its device node: "/dev/sdb1"
    BlockDeviceFacts facts;
};

// Every partition, and every disk without partitions, in device number order. Left out: a
// disk with no medium (size 0), an extended partition's container (a sector or two) and a
// device that another one is built on (LUKS, LVM, RAID: it has holders).
std::vector<BlockVolume> ListBlockVolumes(const std::filesystem::path& root);

// USB\VID_<vendor>&PID_<product>\<serial> for a device on USB, else STORAGE\<disk name>
// (which holds no "VID_", so it matches no device model).
std::string DeviceIdOf(const BlockDeviceFacts& facts);

} // namespace platform::linux_detail
