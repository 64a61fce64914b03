// Our DeviceInfo.dll reports what the device walk makes of the system's volumes and disks.

#include "DeviceInfo/windows/SystemSnapshot.h"

#include "DeviceInfo/ReportedVolumes.h"
#include "platform/windows/UniqueHandle.h"
#include "platform/windows/Win32.h"

#include <array>
#include <cfgmgr32.h>
#include <cstddef>
#include <setupapi.h>
#include <string>
#include <winioctl.h>

namespace device_info {
namespace {

using platform::windows_detail::Owned;
using platform::windows_detail::UniqueFile;
using UniqueDeviceInfoSet = platform::windows_detail::UniqueHandle<&::SetupDiDestroyDeviceInfoList>;

// An empty card reader or disc drive must not ask the user to insert a medium.
class QuietCriticalErrors {
public:
    QuietCriticalErrors() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_); }
    ~QuietCriticalErrors() { ::SetThreadErrorMode(previous_, nullptr); }
    QuietCriticalErrors(const QuietCriticalErrors&) = delete;
    QuietCriticalErrors& operator=(const QuietCriticalErrors&) = delete;

private:
    DWORD previous_ = 0;
};

// Device trees are a handful of levels deep; a bound guards against a strange one.
constexpr int kMaxTreeDepth = 64;

// Opened for queries only: no access rights asked, so no administrator needed.
UniqueFile OpenForQuery(const char* path) {
    return Owned<&::CloseHandle>(::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
}

std::optional<StorageDeviceNumber> DeviceNumber(HANDLE device) {
    STORAGE_DEVICE_NUMBER number{};
    DWORD returned = 0;
    if (!::DeviceIoControl(device, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                           sizeof(number), &returned, nullptr) ||
        returned < sizeof(number)) {
        return std::nullopt;
    }
    return StorageDeviceNumber{number.DeviceType, number.DeviceNumber};
}

// Bus type and removable flag from the device descriptor's fixed part; the strings that
// follow it are not needed.
void ReadStorageProperty(HANDLE disk, DiskFacts& facts) {
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    alignas(STORAGE_DEVICE_DESCRIPTOR) std::array<std::byte, 1024> buffer{};
    DWORD returned = 0;
    if (!::DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), buffer.data(),
                           static_cast<DWORD>(buffer.size()), &returned, nullptr) ||
        returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(STORAGE_BUS_TYPE)) {
        return;
    }
    const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer.data());
    facts.busType = static_cast<std::uint32_t>(descriptor->BusType);
    facts.removableMedia = descriptor->RemovableMedia != 0;
}

std::vector<std::string> InstanceIdChain(DEVINST device) {
    std::vector<std::string> ids;
    for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
        std::array<char, MAX_DEVICE_ID_LEN + 1> id{};
        if (::CM_Get_Device_IDA(device, id.data(), static_cast<ULONG>(id.size()), 0) !=
            CR_SUCCESS) {
            break;
        }
        ids.emplace_back(id.data());
        DEVINST parent = 0;
        if (::CM_Get_Parent(&parent, device, 0) != CR_SUCCESS) {
            break;
        }
        device = parent;
    }
    return ids;
}

std::vector<VolumeFacts> LetteredDrives() {
    std::vector<VolumeFacts> volumes;
    const DWORD letters = ::GetLogicalDrives();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (!(letters & (1u << (letter - 'A')))) {
            continue;
        }
        VolumeFacts volume;
        volume.letter = letter;
        volume.driveType = platform::QueryDriveType(std::string{letter, ':', '\\'});
        // A network drive has no device here, and may take long to answer.
        if (volume.driveType != platform::DriveType::Remote &&
            volume.driveType != platform::DriveType::NoRootDir) {
            const char device[] = {'\\', '\\', '.', '\\', letter, ':', '\0'};
            if (const UniqueFile handle = OpenForQuery(device)) {
                volume.device = DeviceNumber(handle.get());
            }
        }
        volumes.push_back(volume);
    }
    return volumes;
}

// The interface's device path and its device instance; nullopt when the system will not say.
std::optional<std::pair<std::string, DEVINST>> InterfaceDetail(HDEVINFO set,
                                                               SP_DEVICE_INTERFACE_DATA& entry) {
    DWORD size = 0;
    ::SetupDiGetDeviceInterfaceDetailA(set, &entry, nullptr, 0, &size, nullptr);
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        return std::nullopt;
    }
    // Whole DWORDs keep the detail structure aligned.
    std::vector<DWORD> buffer(size / sizeof(DWORD) + 1);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!::SetupDiGetDeviceInterfaceDetailA(set, &entry, detail,
                                            static_cast<DWORD>(buffer.size() * sizeof(DWORD)),
                                            nullptr, &device)) {
        return std::nullopt;
    }
    return std::pair{std::string(detail->DevicePath), device.DevInst};
}

std::vector<DiskFacts> PresentDisks() {
    std::vector<DiskFacts> disks;
    const UniqueDeviceInfoSet set = Owned<&::SetupDiDestroyDeviceInfoList>(::SetupDiGetClassDevsA(
        &GUID_DEVINTERFACE_DISK, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set) {
        return disks;
    }
    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof(entry);
    for (DWORD index = 0;
         ::SetupDiEnumDeviceInterfaces(set.get(), nullptr, &GUID_DEVINTERFACE_DISK, index, &entry);
         ++index) {
        const auto detail = InterfaceDetail(set.get(), entry);
        if (!detail) {
            continue;
        }
        const UniqueFile disk = OpenForQuery(detail->first.c_str());
        const auto number = disk ? DeviceNumber(disk.get()) : std::nullopt;
        if (!number) {
            continue;
        }
        DiskFacts facts;
        facts.device = *number;
        facts.instanceIds = InstanceIdChain(detail->second);
        ReadStorageProperty(disk.get(), facts);
        disks.push_back(std::move(facts));
    }
    return disks;
}

} // namespace

SystemSnapshot TakeSystemSnapshot() {
    const QuietCriticalErrors quiet;
    return SystemSnapshot{LetteredDrives(), PresentDisks()};
}

std::vector<platform::LetteredVolume> ReportedVolumes() {
    return WalkVolumes(TakeSystemSnapshot());
}

} // namespace device_info
