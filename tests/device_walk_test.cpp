// The device walk of our DeviceInfo.dll on enumerations captured as plain data: what Windows
// reports of its lettered drives and disks, and the records the library makes of them.

#include "DeviceInfo/VolumeWalk.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using namespace device_info;
using platform::DriveType;

constexpr std::uint32_t kCdRom = 2; // FILE_DEVICE_CD_ROM
constexpr std::uint32_t kBusSd = 0xC, kBusNvme = 0x11;

StorageDeviceNumber Disk(std::uint32_t number) {
    return {7, number}; // FILE_DEVICE_DISK
}

// What a real tree has above a device on USB: its hub and the host controller.
std::vector<std::string> OnUsbHost(std::vector<std::string> ids) {
    for (const char* id :
         {"USB\\ROOT_HUB30\\4&2A4B1C3&0&0",
          "PCI\\VEN_8086&DEV_A36D&SUBSYS_85551043&REV_10\\3&11583659&0&A0", "ACPI\\PNP0A08\\0",
          "ACPI_HAL\\PNP0C08\\0", "ROOT\\ACPI_HAL\\0000", "HTREE\\ROOT\\0"}) {
        ids.emplace_back(id);
    }
    return ids;
}

// A desktop PC: C: on an internal NVMe disk, D: a DVD drive, E: and F: the two partitions of
// a disk on USB, G: and H: the two slots of a USB card reader, I: the SD slot of a PCI card
// reader, J: a portable SSD on USB Attached SCSI, Z: a network share.
SystemSnapshot Desktop() {
    return {{{'C', DriveType::Fixed, Disk(0)},
             {'D', DriveType::CdRom, StorageDeviceNumber{kCdRom, 0}},
             {'E', DriveType::Fixed, Disk(1)},
             {'F', DriveType::Fixed, Disk(1)},
             {'G', DriveType::Removable, Disk(2)},
             {'H', DriveType::Removable, Disk(3)},
             {'I', DriveType::Removable, Disk(4)},
             {'J', DriveType::Fixed, Disk(5)},
             {'Z', DriveType::Remote, std::nullopt}},
            {{Disk(0),
              {"SCSI\\DISK&VEN_NVME&PROD_SAMSUNG_MZVLB512\\5&2E7B0A8&0&000000",
               "PCI\\VEN_144D&DEV_A808&SUBSYS_A801144D&REV_00\\4&2B8260C3&0&00E8",
               "ACPI\\PNP0A08\\0", "HTREE\\ROOT\\0"},
              kBusNvme,
              false},
             {Disk(1),
              OnUsbHost({"USBSTOR\\DISK&VEN_ZEMBAR&PROD_LUNAVIO_KR512&REV_0100\\2012050103090&0",
                         "USB\\VID_3B17&PID_0512\\2012050103090"}),
              kBusTypeUsb, false},
             {Disk(2),
              OnUsbHost({"USBSTOR\\DISK&VEN_GENERIC-&PROD_SD_MMC&REV_1.00\\000000000819&0",
                         "USB\\VID_0BDA&PID_0158\\000000000819"}),
              kBusTypeUsb, true},
             {Disk(3),
              OnUsbHost({"USBSTOR\\DISK&VEN_GENERIC-&PROD_CF&REV_1.00\\000000000819&1",
                         "USB\\VID_0BDA&PID_0158\\000000000819"}),
              kBusTypeUsb, true},
             {Disk(4),
              {"SD\\VID_03&OID_5344&PID_SC16G&REV_8.0\\5&3A2D2A5F&0&0",
               "PCI\\VEN_10EC&DEV_5229&SUBSYS_11001043&REV_01\\4&3B1D3E2&0&00E4",
               "ACPI\\PNP0A08\\0", "HTREE\\ROOT\\0"},
              kBusSd,
              true},
             {Disk(5),
              OnUsbHost({"SCSI\\DISK&VEN_SAMSUNG&PROD_PORTABLE_SSD_T5\\7&1F2C8D1A&0&000000",
                         "USB\\VID_04E8&PID_61F5\\1234567DB1EF"}),
              kBusTypeUsb, false}}};
}

// One line per record: letter, folder, device id, eligible.
std::string Records(const std::vector<platform::LetteredVolume>& volumes) {
    std::string text;
    for (const auto& v : volumes) {
        text += std::string(1, v.letter) + " " + v.directory.string() + " " + v.deviceId + " " +
                (v.eligible ? "1" : "0") + "\n";
    }
    return text;
}

struct WalkCase {
    const char* name;
    SystemSnapshot snapshot;
    std::string records;
};

void PrintTo(const WalkCase& c, std::ostream* out) {
    *out << c.name;
}

class DeviceWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(DeviceWalk, GivesOneRecordPerLetteredVolume) {
    EXPECT_EQ(Records(WalkVolumes(GetParam().snapshot)), GetParam().records);
}

const WalkCase kWalkCases[] = {
    {"desktop", Desktop(),
     // The network share has no record, the DVD's CD-ROM 0 is not disk 0, and a disk that
     // is not on USB names itself.
     "C C:\\ SCSI\\DISK&VEN_NVME&PROD_SAMSUNG_MZVLB512\\5&2E7B0A8&0&000000 0\n"
     "D D:\\  0\n"
     "E E:\\ USB\\VID_3B17&PID_0512\\2012050103090 1\n"
     "F F:\\ USB\\VID_3B17&PID_0512\\2012050103090 1\n"
     "G G:\\ USB\\VID_0BDA&PID_0158\\000000000819 1\n"
     "H H:\\ USB\\VID_0BDA&PID_0158\\000000000819 1\n"
     "I I:\\ SD\\VID_03&OID_5344&PID_SC16G&REV_8.0\\5&3A2D2A5F&0&0 1\n"
     "J J:\\ USB\\VID_04E8&PID_61F5\\1234567DB1EF 1\n"},
    {"nothing_lettered", {{}, Desktop().disks}, ""},
    {"composite_device_names_its_interface",
     {{{'E', DriveType::Fixed, Disk(1)}},
      {{Disk(1),
        OnUsbHost({"USBSTOR\\DISK&VEN_ZEMBAR&PROD_KR512\\SER&0",
                   "USB\\VID_3B17&PID_0512&MI_00\\6&1C2B3A4&0&0000",
                   "USB\\VID_3B17&PID_0512\\SER"}),
        kBusTypeUsb, false}}},
     "E E:\\ USB\\VID_3B17&PID_0512&MI_00\\6&1C2B3A4&0&0000 1\n"},
    {"usb_prefix_in_lower_case",
     {{{'E', DriveType::Fixed, Disk(1)}},
      {{Disk(1), {"usbstor\\disk&ven_x\\1&0", "usb\\vid_3b17&pid_0512\\1"}, kBusTypeUsb, false}}},
     "E E:\\ usb\\vid_3b17&pid_0512\\1 1\n"},
    {"on_usb_bus_without_usb_device_in_tree",
     {{{'E', DriveType::Fixed, Disk(1)}},
      {{Disk(1), {"SCSI\\DISK&VEN_X\\1&0", "ROOT\\SCSIADAPTER\\0000"}, kBusTypeUsb, false}}},
     "E E:\\ SCSI\\DISK&VEN_X\\1&0 1\n"},
    {"disk_that_names_no_device",
     {{{'E', DriveType::Removable, Disk(1)}}, {{Disk(1), {}, 0, true}}},
     "E E:\\  1\n"},
    // A volume over several disks, a drive the system could not open, a RAM disk.
    {"volumes_without_a_disk",
     {{{'E', DriveType::Fixed, std::nullopt},
       {'F', DriveType::Removable, Disk(9)},
       {'R', DriveType::RamDisk, std::nullopt}},
      Desktop().disks},
     "E E:\\  0\nF F:\\  0\nR R:\\  0\n"},
    {"no_disks_reported",
     {{{'E', DriveType::Fixed, Disk(1)}, {'F', DriveType::Fixed, Disk(1)}}, {}},
     "E E:\\  0\nF F:\\  0\n"},
    {"letters_sorted_once_each_and_only_a_to_z",
     {{{'F', DriveType::Fixed, Disk(1)},
       {'E', DriveType::Fixed, std::nullopt},
       {'F', DriveType::Fixed, std::nullopt},
       {'e', DriveType::Fixed, Disk(1)},
       {'\0', DriveType::Fixed, Disk(1)},
       {'[', DriveType::Fixed, Disk(1)},
       {'G', DriveType::NoRootDir, Disk(1)}},
      {{Disk(1), {"USB\\VID_3B17&PID_0512\\1"}, kBusTypeUsb, false}}},
     "E E:\\  0\nF F:\\ USB\\VID_3B17&PID_0512\\1 1\n"},
};

INSTANTIATE_TEST_SUITE_P(Captured, DeviceWalk, testing::ValuesIn(kWalkCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
