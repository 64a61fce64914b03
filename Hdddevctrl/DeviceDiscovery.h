#pragma once
// The state behind GetDeviceDrives: the device library, its entry points and the last record
// array. The program uses one process-wide instance; tests build their own.

#include "Hdddevctrl/DeviceRecord.h"
#include "Hdddevctrl/Hdddevctrl.h"
#include "platform/Library.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

// Most models read from the registry; further ones are ignored.
inline constexpr std::size_t kMaxSupportedModels = 256;
// Most records fetched from the library; a larger announced count is cut to this.
inline constexpr std::uint32_t kMaxDeviceRecords = 1024;

class DeviceDiscovery {
public:
    // The four entry points that discovery calls.
    struct EntryPoints {
        DllInitFn dllInit = nullptr;
        PrepareDevInfoFn prepareDevInfo = nullptr;
        ReleaseDevInfoFn releaseDevInfo = nullptr;
        IsDevExist2Fn isDevExist2 = nullptr;
    };

    // Loads libDeviceInfo.so from folders, then (with SystemSearch::Yes) the system search.
    DeviceDiscovery(std::vector<std::filesystem::path> folders, platform::SystemSearch then);
    // A library already in hand, given by its entry points (all four set); nothing is loaded.
    explicit DeviceDiscovery(EntryPoints entryPoints);

    // LoadDeviceInfoLibrary: true when the library is loaded with all eight entry points;
    // otherwise the library is unloaded, the loader's message shown and the result false.
    bool LoadLibrary();

    // GetDeviceDrives: letters written to list (at most 26), 0 for none or no registry key,
    // -1 when the library cannot be loaded or the records cannot be fetched.
    int GetDrives(DeviceDriveList& list);

private:
    // Frees an earlier array (and tells the library), then fetches anew. False when the
    // records cannot be fetched.
    bool FetchRecords();

    std::vector<std::filesystem::path> folders_;
    platform::SystemSearch then_;
    std::optional<platform::Library> library_;
    EntryPoints entry_;                       // all null until a library is in hand
    std::unique_ptr<DeviceRecord[]> records_; // null when no array is held
    std::uint32_t allocated_ = 0;             // records in records_
    std::uint32_t count_ = 0;                 // the count the library left
};

// The instance GetDeviceDrives and LoadDeviceInfoLibrary use: the program's folder first.
DeviceDiscovery& ProcessDeviceDiscovery();
