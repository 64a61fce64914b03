#pragma once
// Drive letters. One drive map per process, shared by the program and libDeviceInfo.so.
// When LUNAVIO_SIMULATION names a file (set and not empty), that file is the whole machine,
// read again whenever it has changed; a missing or unreadable one is a machine without drives.
// Otherwise C is / and mounted removable or USB volumes take the lowest free letter from D,
// keeping it while they stay mounted.
// On Windows the letters are the system's own: the queries go to the system, LetteredVolumes
// lists the system's lettered drives (without device ids, which only the device library
// knows), and LocalPath does not exist.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The root of a drive, "E:\\".
inline std::string DriveRoot(char letter) {
    return {letter, ':', '\\'};
}

// A lettered volume as the drive map knows it.
struct LetteredVolume {
    char letter = 0;                 // 'A'..'Z'
    std::filesystem::path directory; // the folder that holds the drive's root
    std::string deviceId;            // simulation: the file's device id; else built from sysfs
    bool eligible = true;            // simulation: the file's flag; else removable or on USB
    bool removable = true;           // simulation: the eligible flag; else the disk's sysfs flag
    std::string label;               // volume label, empty for none
    std::string fileSystem;          // "FAT32", "NTFS", "exFAT", ...
    std::string blockDevice;         // real volumes: the block device's sysfs path; else empty
};

// The lettered volumes present now, in letter order (re-reads the mount table, or the
// simulation file if it has changed).
std::vector<LetteredVolume> LetteredVolumes();

// The local path of a drive path: "E:\MPlay.sys" -> <E's folder>/MPlay.sys, "E:\" and "E:\*"
// -> <E's folder>. Letters match without regard to case; '\' and '/' both separate; empty and
// "." components are dropped and a last "*" stands for the folder itself. nullopt for an
// unmapped letter, a path that is not of the form <letter>:\..., a ".." component (a path
// never leaves its drive), a wildcard elsewhere, or a NUL.
std::optional<std::filesystem::path> LocalPath(std::string_view drivePath);

// A volume of a USB disk that is not mounted, and so has no letter: a partition, or a disk
// without partitions.
struct UnmountedVolume {
    std::string deviceNode; // "/dev/sdb1"
    std::string deviceId;   // as a lettered volume's on that disk would be
};

// The unmounted volumes of USB disks, in device order, found in sysfs without root rights:
// $LUNAVIO_SYSFS when set (a captured tree), else /sys. Under simulation only a tree named by
// $LUNAVIO_SYSFS is read. None on Windows, which mounts every volume it can read.
std::vector<UnmountedVolume> UnmountedVolumes();

struct VolumeInformation {
    std::string label;      // empty when the volume has none
    std::string fileSystem; // "FAT32", "exFAT", "NTFS", ...
};

// Label and file system name of a drive root ("E:\"); nullopt when the query fails: a
// malformed root, an unmapped letter, or a drive folder that is not reachable as a folder.
std::optional<VolumeInformation> QueryVolumeInformation(std::string_view rootPath);

// The classic drive type codes.
enum class DriveType : unsigned {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6
};

// The type of a drive root ("E:\"): Removable when the volume's disk is removable media
// (under simulation: when the line's eligible flag is 1), Fixed for any other lettered volume
// (a USB hard disk reports itself non-removable and so is Fixed, as on Windows), NoRootDir for
// an unmapped letter or a malformed root.
DriveType QueryDriveType(std::string_view rootPath);

// The operating system's major version stand-in: 10 on Linux unless a test set another.
int OsMajorVersion();
void SetOsMajorVersionForTesting(int major);

} // namespace platform
