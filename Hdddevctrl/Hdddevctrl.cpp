#include "Hdddevctrl/Hdddevctrl.h"

#include "Hdddevctrl/DeviceDiscovery.h"
#include "app/Texts.h"
#include "platform/AsciiCase.h"
#include "platform/Drives.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/TerminatedText.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <span>
#include <string>
#include <string_view>

namespace {

void ShowLoaderError(const char* text) {
    platform::ShowMessageBox({text, kLoaderTitle});
}

} // namespace

std::vector<ModelListEntry> ReadModelList(const platform::RegistryKey& key) {
    std::uint32_t subkeys = 0;
    while (key.EnumSubkey(subkeys)) {
        ++subkeys;
    }
    std::vector<ModelListEntry> models;
    for (std::uint32_t index = 0; index < subkeys; ++index) {
        const auto name = key.EnumSubkey(index);
        const auto subkey = name ? key.Open(*name) : std::nullopt;
        if (!subkey) {
            continue;
        }
        models.push_back({*name, subkey->QueryDword("PrivateFolderSupport"),
                          subkey->QueryDword("VenderID"), subkey->QueryDword("ProductID")});
    }
    return models;
}

std::string HexTag(std::string_view prefix, std::uint32_t number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(number));
    return std::string(prefix) + digits;
}

bool ModelMatches(const ModelListEntry& model, std::string_view deviceId) {
    if (!model.venderId || !model.productId) {
        return false;
    }
    return deviceId.find(HexTag("VID_", *model.venderId)) != std::string_view::npos &&
           deviceId.find(HexTag("PID_", *model.productId)) != std::string_view::npos;
}

bool PassesVersionCheck(const DeviceRecord& record, int osMajor) {
    if (osMajor >= 5) {
        return record.Eligible != 0;
    }
    if (osMajor == 4) {
        return platform::QueryDriveType(platform::TerminatedText(record.RootPath)) ==
               platform::DriveType::Fixed;
    }
    return true;
}

DeviceDiscovery::DeviceDiscovery(std::vector<std::filesystem::path> folders,
                                 platform::SystemSearch then)
    : folders_(std::move(folders)), then_(then) {}

DeviceDiscovery::DeviceDiscovery(EntryPoints entryPoints)
    : then_(platform::SystemSearch::No), entry_(entryPoints) {}

bool DeviceDiscovery::LoadLibrary() {
    entry_ = {};
    platform::LibraryLoad load = platform::Library::Attempt("DeviceInfo", folders_, then_);
    library_ = std::move(load.library);
    libraryStatus_ = {};
    if (!library_) {
        libraryStatus_.error = load.error.empty() ? "no place to look for it" : load.error;
        ShowLoaderError(kLoadLibraryFailedText);
        return false;
    }
    std::array<void*, kDeviceInfoEntryPoints.size()> found{};
    std::transform(kDeviceInfoEntryPoints.begin(), kDeviceInfoEntryPoints.end(), found.begin(),
                   [this](const char* name) { return library_->Symbol(name); });
    if (const auto missing = std::find(found.begin(), found.end(), nullptr);
        missing != found.end()) {
        libraryStatus_.error = library_->File().string() + " lacks the entry point " +
                               kDeviceInfoEntryPoints[missing - found.begin()];
        library_.reset();
        ShowLoaderError(kLoadFunctionFailedText);
        return false;
    }
    libraryStatus_ = {.loaded = true, .file = library_->File(), .error = {}};
    entry_.dllInit = reinterpret_cast<DllInitFn>(found[0]);
    entry_.prepareDevInfo = reinterpret_cast<PrepareDevInfoFn>(found[1]);
    entry_.releaseDevInfo = reinterpret_cast<ReleaseDevInfoFn>(found[2]);
    entry_.isDevExist2 = reinterpret_cast<IsDevExist2Fn>(found[4]);
    return true;
}

bool DeviceDiscovery::FetchRecords() {
    if (records_) {
        records_.reset();
        allocated_ = 0;
        count_ = 0;
        entry_.releaseDevInfo();
    }
    entry_.dllInit(0);
    entry_.prepareDevInfo(0);

    std::uint32_t count = 0;
    if (entry_.isDevExist2(0, 0, 0, 0, nullptr, &count) == 1) {
        return true;
    }
    // The count comes from outside code; an absurd one must not exhaust memory.
    const std::uint32_t allocated = std::min(count, kMaxDeviceRecords);
    std::unique_ptr<DeviceRecord[]> records(new (std::nothrow) DeviceRecord[allocated]());
    if (!records) {
        return false;
    }
    count = allocated;
    if (entry_.isDevExist2(0, 0, 0, 0, records.get(), &count) != 1) {
        return false;
    }
    records_ = std::move(records);
    allocated_ = allocated;
    count_ = count;
    for (DeviceRecord& record : std::span<DeviceRecord>(records_.get(), Records().size())) {
        for (char& c : record.DeviceId) {
            if (c == '\0') {
                break;
            }
            c = platform::AsciiUpper(c);
        }
    }
    return true;
}

bool DeviceDiscovery::FetchRecordsToExplain() {
    if (entry_.isDevExist2 == nullptr) {
        return false;
    }
    osMajor_ = platform::OsMajorVersion();
    return FetchRecords();
}

std::span<const DeviceRecord> DeviceDiscovery::Records() const {
    // The library may report more records than it was given room for.
    return {records_.get(), records_ ? std::min(count_, allocated_) : 0};
}

int DeviceDiscovery::GetDrives(DeviceDriveList& list) {
    lastResult_ = Discover(list);
    lastDrives_.assign(list.begin(), list.begin() + std::max(lastResult_, 0));
    return lastResult_;
}

int DeviceDiscovery::Discover(DeviceDriveList& list) {
    if (entry_.isDevExist2 == nullptr && !LoadLibrary()) {
        return -1;
    }
    const auto key = platform::RegistryKey::OpenCurrentUser("SOFTWARE\\Zembar");
    if (!key) {
        return 0;
    }
    std::vector<ModelListEntry> models = ReadModelList(*key);
    std::erase_if(models, [](const ModelListEntry& model) { return !model.Supported(); });
    if (models.size() > kMaxSupportedModels) {
        models.resize(kMaxSupportedModels);
    }

    osMajor_ = platform::OsMajorVersion();
    if (!FetchRecords()) {
        return -1;
    }
    const std::span<const DeviceRecord> records = Records();

    std::size_t written = 0;
    for (const ModelListEntry& model : models) {
        for (const DeviceRecord& record : records) {
            if (written == list.size()) {
                return static_cast<int>(written);
            }
            // An empty root path would put a letter 0 into the list, which ends the table.
            if (record.RootPath[0] == '\0' ||
                !ModelMatches(model, platform::TerminatedText(record.DeviceId)) ||
                !PassesVersionCheck(record, osMajor_)) {
                continue;
            }
            list[written++] = record.RootPath[0];
        }
    }
    return static_cast<int>(written);
}

DeviceDiscovery& ProcessDeviceDiscovery() {
    static DeviceDiscovery discovery({platform::LibraryFolder()}, platform::SystemSearch::Yes);
    return discovery;
}

int GetDeviceDrives(DeviceDriveList& list) {
    return ProcessDeviceDiscovery().GetDrives(list);
}

bool LoadDeviceInfoLibrary() {
    return ProcessDeviceDiscovery().LoadLibrary();
}
