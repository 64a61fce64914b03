// The device information library's entry points: one record per reported volume, as of the
// last _PrepareDevInfo.

#include "DeviceInfo/ReportedVolumes.h"
#include "Hdddevctrl/DeviceRecord.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

std::vector<platform::LetteredVolume>& Snapshot() {
    static std::vector<platform::LetteredVolume> volumes;
    return volumes;
}

void FillRecord(DeviceRecord& record, const platform::LetteredVolume& volume) {
    record = DeviceRecord{};
    record.RootPath[0] = volume.letter;
    record.RootPath[1] = ':';
    record.RootPath[2] = '\\';
    record.Eligible = volume.eligible ? 1 : 0;
    const std::size_t length = std::min(volume.deviceId.size(), kDeviceIdBytes - 1);
    std::memcpy(record.DeviceId.data(), volume.deviceId.data(), length);
}

} // namespace

#ifdef _WIN32
// DeviceInfo.def names the exports, undecorated on both widths.
#define DEVICEINFO_EXPORT extern "C"
#else
#define DEVICEINFO_EXPORT extern "C" __attribute__((visibility("default")))
#endif

DEVICEINFO_EXPORT std::int32_t _DLLInit(std::int32_t) {
    return 1;
}

DEVICEINFO_EXPORT std::int32_t _PrepareDevInfo(std::int32_t) {
    Snapshot() = device_info::ReportedVolumes();
    return 1;
}

DEVICEINFO_EXPORT std::int32_t _ReleaseDevInfo() {
    Snapshot().clear();
    return 1;
}

DEVICEINFO_EXPORT std::int32_t _IsDevExist2(std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                            DeviceRecord* records, std::uint32_t* count) {
    if (count == nullptr) {
        return 0;
    }
    const auto& volumes = Snapshot();
    if (records == nullptr) {
        *count = static_cast<std::uint32_t>(volumes.size());
        return volumes.empty() ? 1 : 0;
    }
    // Never more than the caller made room for.
    const std::size_t filled = std::min<std::size_t>(*count, volumes.size());
    for (std::size_t i = 0; i < filled; ++i) {
        FillRecord(records[i], volumes[i]);
    }
    *count = static_cast<std::uint32_t>(filled);
    return 1;
}

// Present because callers refuse the library without them; they do nothing here.
DEVICEINFO_EXPORT std::int32_t _IsDevExist() {
    return 0;
}
DEVICEINFO_EXPORT std::int32_t _RemoveDevByDeviceID() {
    return 0;
}
DEVICEINFO_EXPORT std::int32_t _EjectDev() {
    return 0;
}
DEVICEINFO_EXPORT std::int32_t _RemoveDeviceTree() {
    return 0;
}
