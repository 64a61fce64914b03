// Device discovery on Windows from end to end: the real registry, the device library loaded
// from the program's folder (the stand-in DeviceInfo.dll) and the system's drive types.

#include "Hdddevctrl/Hdddevctrl.h"
#include "platform/Drives.h"
#include "platform/windows/Win32.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

namespace fs = std::filesystem;

void SetDword(HKEY key, const char* name, DWORD value) {
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// The supported-model list with one model, removed again at the end.
class ZembarModel {
public:
    ZembarModel(DWORD vendor, DWORD product) {
        HKEY key = nullptr;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Zembar\\KR512", 0, nullptr, 0, KEY_WRITE,
                          nullptr, &key, nullptr);
        SetDword(key, "PrivateFolderSupport", 1);
        SetDword(key, "VenderID", vendor);
        SetDword(key, "ProductID", product);
        ::RegCloseKey(key);
    }
    ~ZembarModel() { ::RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\Zembar"); }
    ZembarModel(const ZembarModel&) = delete;
    ZembarModel& operator=(const ZembarModel&) = delete;
};

std::string Discover() {
    DeviceDriveList list{};
    const int count = GetDeviceDrives(list);
    return count < 0 ? "failed" : std::string(list.data(), static_cast<std::size_t>(count));
}

// One process for all cases: the registry key and the records file are the machine's.
TEST(WindowsDiscovery, MatchesRegistryModelsAgainstTheLibraryRecords) {
    const fs::path records =
        fs::temp_directory_path() / ("lunavio-records-" + std::to_string(::GetCurrentProcessId()));
    std::ofstream(records, std::ios::binary) << "# letter\tdirectory\tdevice id\teligible\n"
                                                "P\t.\tUSB\\VID_3B17&PID_0512\\1\t1\n"
                                                "Q\t.\tusb\\vid_3b17&pid_0512\\2\t1\n"
                                                "R\t.\tUSB\\VID_3B17&PID_0512\\3\t0\n"
                                                "S\t.\tUSB\\VID_1111&PID_0512\\4\t1\n"
                                                "C\t.\tUSB\\VID_3B17&PID_0512\\5\t0\n";
    ::SetEnvironmentVariableA("LUNAVIO_DEVICE_RECORDS", records.string().c_str());
    // Only C is a drive of this machine among the reported letters.
    ASSERT_EQ(::GetLogicalDrives() & 0b1111 << ('P' - 'A'), 0u);

    EXPECT_EQ(Discover(), "") << "no supported-model key";
    {
        const ZembarModel model(0x3B17, 0x0512);
        EXPECT_EQ(Discover(), "PQ") << "eligible records of the model";
        // Windows NT 4 knew no eligible flag: the library's fixed disks are taken instead.
        platform::SetOsMajorVersionForTesting(4);
        EXPECT_EQ(Discover(), "C");
        platform::SetOsMajorVersionForTesting(0);
    }
    {
        const ZembarModel other(0x3B17, 0x0513);
        EXPECT_EQ(Discover(), "");
    }
    fs::remove(records);
}

} // namespace
