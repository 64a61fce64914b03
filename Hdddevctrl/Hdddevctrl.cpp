#include "Hdddevctrl/Hdddevctrl.h"

#include "Hdddevctrl/DeviceDiscovery.h"
#include "platform/AsciiCase.h"
#include "platform/Drives.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <span>
#include <string>
#include <string_view>

namespace {

// A model whose vendor or product number could not be read has no number and matches nothing.
struct SupportedModel {
    std::optional<std::uint32_t> venderId;
    std::optional<std::uint32_t> productId;
};

void ShowLoaderError(const char* text) {
    platform::ShowMessageBox({text, "Error"});
}

// Text of a fixed field up to its terminator, or the whole field when it has none.
template <std::size_t N> std::string_view FieldText(const std::array<char, N>& field) {
    const auto end = std::find(field.begin(), field.end(), '\0');
    return {field.data(), static_cast<std::size_t>(end - field.begin())};
}

std::vector<SupportedModel> ReadSupportedModels(const platform::RegistryKey& key) {
    std::uint32_t subkeys = 0;
    while (key.EnumSubkey(subkeys)) {
        ++subkeys;
    }
    std::vector<SupportedModel> models;
    for (std::uint32_t index = 0; index < subkeys && models.size() < kMaxSupportedModels; ++index) {
        const auto name = key.EnumSubkey(index);
        const auto subkey = name ? key.Open(*name) : std::nullopt;
        if (!subkey) {
            continue;
        }
        const auto support = subkey->QueryDword("PrivateFolderSupport");
        if (support && *support != 0) {
            models.push_back({subkey->QueryDword("VenderID"), subkey->QueryDword("ProductID")});
        }
    }
    return models;
}

// "VID_1D6B": upper-case hexadecimal, at least four digits.
std::string HexTag(std::string_view prefix, std::uint32_t number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(number));
    return std::string(prefix) + digits;
}

bool Matches(const SupportedModel& model, std::string_view deviceId) {
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
        return platform::QueryDriveType(FieldText(record.RootPath)) == platform::DriveType::Fixed;
    }
    return true;
}

} // namespace

DeviceDiscovery::DeviceDiscovery(std::vector<std::filesystem::path> folders,
                                 platform::SystemSearch then)
    : folders_(std::move(folders)), then_(then) {}

DeviceDiscovery::DeviceDiscovery(EntryPoints entryPoints)
    : then_(platform::SystemSearch::No), entry_(entryPoints) {}

bool DeviceDiscovery::LoadLibrary() {
    entry_ = {};
    library_ = platform::Library::Load("DeviceInfo", folders_, then_);
    if (!library_) {
        ShowLoaderError("Load DeviceInfo.dll failed.");
        return false;
    }
    std::array<void*, kDeviceInfoEntryPoints.size()> found{};
    std::transform(kDeviceInfoEntryPoints.begin(), kDeviceInfoEntryPoints.end(), found.begin(),
                   [this](const char* name) { return library_->Symbol(name); });
    if (std::find(found.begin(), found.end(), nullptr) != found.end()) {
        library_.reset();
        ShowLoaderError("Load function of DeviceInfo.dll failed.");
        return false;
    }
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
    return true;
}

int DeviceDiscovery::GetDrives(DeviceDriveList& list) {
    if (entry_.isDevExist2 == nullptr && !LoadLibrary()) {
        return -1;
    }
    const auto key = platform::RegistryKey::OpenCurrentUser("SOFTWARE\\Zembar");
    if (!key) {
        return 0;
    }
    const std::vector<SupportedModel> models = ReadSupportedModels(*key);

    const int osMajor = platform::OsMajorVersion();
    if (!FetchRecords()) {
        return -1;
    }
    // The library may report more records than it was given room for.
    const std::span<DeviceRecord> records(records_.get(), std::min(count_, allocated_));
    for (DeviceRecord& record : records) {
        for (char& c : record.DeviceId) {
            if (c == '\0') {
                break;
            }
            c = platform::AsciiUpper(c);
        }
    }

    std::size_t written = 0;
    for (const SupportedModel& model : models) {
        for (const DeviceRecord& record : records) {
            if (written == list.size()) {
                return static_cast<int>(written);
            }
            // An empty root path would put a letter 0 into the list, which ends the table.
            if (record.RootPath[0] == '\0' || !Matches(model, FieldText(record.DeviceId)) ||
                !PassesVersionCheck(record, osMajor)) {
                continue;
            }
            list[written++] = record.RootPath[0];
        }
    }
    return static_cast<int>(written);
}

DeviceDiscovery& ProcessDeviceDiscovery() {
    static DeviceDiscovery discovery({platform::ProgramFolder()}, platform::SystemSearch::Yes);
    return discovery;
}

int GetDeviceDrives(DeviceDriveList& list) {
    return ProcessDeviceDiscovery().GetDrives(list);
}

bool LoadDeviceInfoLibrary() {
    return ProcessDeviceDiscovery().LoadLibrary();
}
