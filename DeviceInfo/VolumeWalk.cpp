#include "DeviceInfo/VolumeWalk.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <string_view>

namespace device_info {
namespace {

bool StartsWithUsb(std::string_view id) {
    constexpr std::string_view kUsb = "USB\\";
    return id.size() >= kUsb.size() &&
           std::equal(kUsb.begin(), kUsb.end(), id.begin(),
                      [](char a, char b) { return a == platform::AsciiUpper(b); });
}

// The id of the device that stands for the disk: its USB device when it has one.
std::string DeviceIdOf(const DiskFacts& disk) {
    const auto usb = std::find_if(disk.instanceIds.begin(), disk.instanceIds.end(),
                                  [](const std::string& id) { return StartsWithUsb(id); });
    if (usb != disk.instanceIds.end()) {
        return *usb;
    }
    return disk.instanceIds.empty() ? std::string() : disk.instanceIds.front();
}

bool Reported(const VolumeFacts& volume) {
    using platform::DriveType;
    return volume.letter >= 'A' && volume.letter <= 'Z' && volume.driveType != DriveType::Remote &&
           volume.driveType != DriveType::NoRootDir;
}

} // namespace

std::vector<platform::LetteredVolume> WalkVolumes(const SystemSnapshot& snapshot) {
    std::vector<const VolumeFacts*> volumes;
    for (const VolumeFacts& volume : snapshot.volumes) {
        if (Reported(volume)) {
            volumes.push_back(&volume);
        }
    }
    std::stable_sort(
        volumes.begin(), volumes.end(),
        [](const VolumeFacts* a, const VolumeFacts* b) { return a->letter < b->letter; });
    volumes.erase(std::unique(volumes.begin(), volumes.end(),
                              [](const VolumeFacts* a, const VolumeFacts* b) {
                                  return a->letter == b->letter;
                              }),
                  volumes.end());

    std::vector<platform::LetteredVolume> walked;
    for (const VolumeFacts* volume : volumes) {
        platform::LetteredVolume out;
        out.letter = volume->letter;
        out.directory = std::string{volume->letter, ':', '\\'};
        out.eligible = false;
        out.removable = false;
        const auto disk =
            volume->device
                ? std::find_if(snapshot.disks.begin(), snapshot.disks.end(),
                               [&](const DiskFacts& d) { return d.device == *volume->device; })
                : snapshot.disks.end();
        if (disk != snapshot.disks.end()) {
            out.deviceId = DeviceIdOf(*disk);
            out.removable = disk->removableMedia;
            out.eligible = disk->busType == kBusTypeUsb || disk->removableMedia;
        }
        walked.push_back(std::move(out));
    }
    return walked;
}

} // namespace device_info
