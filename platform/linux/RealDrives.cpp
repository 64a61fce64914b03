#include "platform/linux/RealDrives.h"

#include "platform/linux/LetterMap.h"
#include "platform/linux/TextFile.h"
#include "platform/linux/UniqueFd.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>

namespace platform::linux_detail {
namespace {

// Mount tables of busy container hosts run to a few hundred kilobytes.
constexpr std::size_t kMaxMountInfoBytes = 16 << 20;

// FUSE and btrfs mounts show an anonymous device number; the mount source, when it is a
// block device node, names the real one.
void ResolveDeviceNumber(MountEntry& mount) {
    struct stat st {};
    if (mount.major == 0 && mount.source.starts_with('/') &&
        ::stat(mount.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
        mount.major = ::major(st.st_rdev);
        mount.minor = ::minor(st.st_rdev);
    }
}

std::vector<VolumeCandidate> ScanCandidates() {
    std::vector<VolumeCandidate> candidates;
    for (auto& mount : ReadMountTable()) {
        if (mount.mountPoint != "/" && (mount.root != "/" || IsPseudoFileSystem(mount.fsType))) {
            continue;
        }
        VolumeCandidate candidate{std::move(mount), std::nullopt};
        if (candidate.mount.major != 0) {
            candidate.device =
                ReadBlockDevice("/sys", candidate.mount.major, candidate.mount.minor);
        }
        candidates.push_back(std::move(candidate));
    }
    return candidates;
}

// The label udev published for the device, if udev runs.
std::optional<std::string> LabelFromUdev(const MountEntry& mount) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", error)) {
        struct stat st {};
        if (::stat(entry.path().c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
            ::major(st.st_rdev) == mount.major && ::minor(st.st_rdev) == mount.minor) {
            return DecodeUdevName(entry.path().filename().string());
        }
    }
    return std::nullopt;
}

// The file system's own answer; ext4, btrfs, xfs and f2fs give it without root rights.
std::optional<std::string> LabelFromFileSystem(const MountEntry& mount) {
    UniqueFd fd(::open(mount.mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    char label[FSLABEL_MAX + 1] = {};
    if (!fd || ::ioctl(fd.get(), FS_IOC_GETFSLABEL, label) != 0) {
        return std::nullopt;
    }
    label[FSLABEL_MAX] = '\0';
    return std::string(label);
}

LetteredVolume ToLetteredVolume(const MappedVolume& mapped, bool withLabels) {
    const auto& mount = mapped.volume.mount;
    const auto& device = mapped.volume.device;
    LetteredVolume volume;
    volume.letter = mapped.letter;
    volume.directory = mount.mountPoint;
    volume.fileSystem = FileSystemName(mount.fsType);
    volume.removable = device && device->removable;
    volume.eligible = device && (device->removable || device->usb);
    if (device) {
        volume.deviceId = DeviceIdOf(*device);
        volume.blockDevice = device->sysPath.string();
    }
    if (withLabels) {
        auto label = LabelFromUdev(mount);
        if (!label) {
            label = LabelFromFileSystem(mount);
        }
        volume.label = label.value_or("");
    }
    return volume;
}

} // namespace

std::vector<MountEntry> ReadMountTable() {
    const auto text = ReadSmallTextFile("/proc/self/mountinfo", kMaxMountInfoBytes);
    if (!text) {
        return {};
    }
    auto mounts = ParseMountInfo(*text);
    for (auto& mount : mounts) {
        ResolveDeviceNumber(mount);
    }
    return mounts;
}

std::vector<UnmountedVolume> UnmountedUsbVolumes(const std::filesystem::path& root,
                                                 const std::vector<MountEntry>& mounts) {
    std::vector<UnmountedVolume> unmounted;
    for (const BlockVolume& volume : ListBlockVolumes(root)) {
        // Mounted anywhere, even a folder of it only, is mounted: it is not the user's to do.
        const bool mounted = std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry& m) {
            return m.major == volume.major && m.minor == volume.minor;
        });
        if (volume.facts.usb && !mounted) {
            unmounted.push_back({volume.node, DeviceIdOf(volume.facts)});
        }
    }
    return unmounted;
}

std::vector<LetteredVolume> RealVolumes(bool withLabels) {
    static std::mutex mutex;
    static std::vector<MappedVolume> map;

    auto candidates = ScanCandidates();
    std::vector<LetteredVolume> volumes;
    const std::lock_guard lock(mutex);
    map = UpdateLetterMap(map, candidates);
    for (const auto& mapped : map) {
        volumes.push_back(ToLetteredVolume(mapped, withLabels));
    }
    return volumes;
}

} // namespace platform::linux_detail
