#pragma once
// The state behind GetDeviceDrives: the device library, its entry points and the last record
// array. The program uses one process-wide instance; tests build their own.

#include "Hdddevctrl/DeviceRecord.h"
#include "Hdddevctrl/Hdddevctrl.h"
#include "platform/Library.h"
#include "platform/Registry.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Most models read from the registry; further ones are ignored.
inline constexpr std::size_t kMaxSupportedModels = 256;
// Most records fetched from the library; a larger announced count is cut to this.
inline constexpr std::uint32_t kMaxDeviceRecords = 1024;

// One subkey of the model list (HKEY_CURRENT_USER\\SOFTWARE\\Zembar) as read; a value that
// cannot be read as a 32-bit number is nullopt.
struct ModelListEntry {
    std::string name;
    std::optional<std::uint32_t> support; // "PrivateFolderSupport"
    std::optional<std::uint32_t> venderId;
    std::optional<std::uint32_t> productId;

    // A model supports private folders when its "PrivateFolderSupport" reads and is not 0.
    bool Supported() const { return support && *support != 0; }
};

// The subkeys of key in the registry's order: the count ends at the first index that cannot
// be enumerated, and a subkey that cannot be opened is left out.
std::vector<ModelListEntry> ReadModelList(const platform::RegistryKey& key);

// "VID_1D6B": the prefix and the number in upper-case hexadecimal, at least four digits.
std::string HexTag(std::string_view prefix, std::uint32_t number);

// Whether an upper-cased device id contains the model's vendor and product tags, anywhere
// and in any order; a model whose numbers could not be read matches nothing.
bool ModelMatches(const ModelListEntry& model, std::string_view deviceId);

// Whether a matching record is taken on an operating system of this major version: from 5
// on when it is eligible, on 4 when its root is a fixed disk, below 4 always.
bool PassesVersionCheck(const DeviceRecord& record, int osMajor);

// How the last load of the device library went.
struct LibraryStatus {
    bool loaded = false;
    std::filesystem::path file; // where it was loaded from, when loaded
    std::string error;          // why it was not, when not
};

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

    // What the last GetDrives saw and found, for explaining it: the library's state, the
    // records fetched (device ids upper-cased; none when the fetch failed or never ran), the
    // operating system version used, the result and the letters written.
    const LibraryStatus& Library() const { return libraryStatus_; }
    std::span<const DeviceRecord> Records() const;
    int OsMajor() const { return osMajor_; }
    int LastResult() const { return lastResult_; }
    const std::vector<char>& LastDrives() const { return lastDrives_; }

    // For explaining a discovery that stopped before it asked the library (no model list):
    // fetches the records as discovery would have, so that each volume's device is known.
    // Discovery's result and letters stay as they were. False when no library is loaded or
    // the records cannot be fetched.
    bool FetchRecordsToExplain();

private:
    // Frees an earlier array (and tells the library), then fetches anew with the device ids
    // upper-cased. False when the records cannot be fetched.
    bool FetchRecords();

    std::vector<std::filesystem::path> folders_;
    platform::SystemSearch then_;
    int Discover(DeviceDriveList& list);

    std::optional<platform::Library> library_;
    LibraryStatus libraryStatus_;
    int osMajor_ = 0;
    int lastResult_ = 0;
    std::vector<char> lastDrives_;
    EntryPoints entry_;                       // all null until a library is in hand
    std::unique_ptr<DeviceRecord[]> records_; // null when no array is held
    std::uint32_t allocated_ = 0;             // records in records_
    std::uint32_t count_ = 0;                 // the count the library left
};

// The instance GetDeviceDrives and LoadDeviceInfoLibrary use: the program's own library folder
// first.
DeviceDiscovery& ProcessDeviceDiscovery();
