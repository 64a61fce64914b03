#include "platform/linux/LetterMap.h"
#include "platform/linux/MountInfo.h"
#include "platform/linux/RealDrives.h"
#include "platform/linux/Sysfs.h"

#include <gtest/gtest.h>

namespace {

using namespace platform::linux_detail;

const std::filesystem::path kSysfs = std::filesystem::path(LUNAVIO_TEST_DATA) / "sysfs";

std::string Summary(const std::vector<MountEntry>& entries) {
    std::string out;
    for (const auto& e : entries) {
        out += (out.empty() ? "" : ";") + std::to_string(e.major) + ":" + std::to_string(e.minor) +
               "|" + e.root + "|" + e.mountPoint + "|" + e.fsType + "|" + e.source;
    }
    return out;
}

struct MountCase {
    const char* name;
    std::string text;
    std::string expected;
};

class MountInfoParse : public testing::TestWithParam<MountCase> {};

TEST_P(MountInfoParse, GivesTheWellFormedMounts) {
    EXPECT_EQ(Summary(ParseMountInfo(GetParam().text)), GetParam().expected);
}

const MountCase kMountCases[] = {
    {"plain", "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue\n",
     "98:0|/mnt1|/mnt2|ext3|/dev/root"},
    {"no_optional_fields", "22 1 8:17 / /media/usb rw - vfat /dev/sdb1 rw",
     "8:17|/|/media/usb|vfat|/dev/sdb1"},
    {"several_optional_fields",
     "22 1 8:17 / /m rw shared:5 master:2 propagate_from:1 - exfat /dev/sdb1 rw",
     "8:17|/|/m|exfat|/dev/sdb1"},
    {"escaped_space_tab_backslash",
     "22 1 8:17 / /media/MY\\040DISK\\011x\\134y rw - vfat /dev/sdb1 rw",
     "8:17|/|/media/MY DISK\tx\\y|vfat|/dev/sdb1"},
    {"bad_escape_kept", "22 1 8:17 / /a\\9x\\04 rw - vfat /dev/sdb1 rw",
     "8:17|/|/a\\9x\\04|vfat|/dev/sdb1"},
    {"bind_mount_of_subfolder", "30 1 8:17 /photos /srv/photos rw - vfat /dev/sdb1 rw",
     "8:17|/photos|/srv/photos|vfat|/dev/sdb1"},
    {"fuse_anonymous_device", "40 1 0:52 / /media/ntfs rw - fuseblk /dev/sdc1 rw,user_id=0",
     "0:52|/|/media/ntfs|fuseblk|/dev/sdc1"},
    {"blank_and_garbage_lines_skipped",
     "\n   \ngarbage\n1 2 3\n21 26 0:20 / /proc rw - proc proc rw\n", "0:20|/|/proc|proc|proc"},
    {"no_separator_skipped", "22 1 8:17 / /m rw shared:5 vfat /dev/sdb1 rw", ""},
    {"missing_source_skipped", "22 1 8:17 / /m rw - vfat", ""},
    {"bad_device_number_skipped",
     "22 1 8:x / /m rw - vfat /dev/sdb1 rw\n22 1 817 / /m rw - vfat s r", ""},
    {"bad_ids_skipped", "x 1 8:1 / /m rw - vfat /dev/sdb1 rw", ""},
    {"very_long_line", "22 1 8:17 / /" + std::string(100000, 'a') + " rw - vfat /dev/sdb1 rw",
     "8:17|/|/" + std::string(100000, 'a') + "|vfat|/dev/sdb1"},
    {"huge_device_number_skipped", "22 1 99999999999:1 / /m rw - vfat /dev/sdb1 rw", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, MountInfoParse, testing::ValuesIn(kMountCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SysfsBlockDevice, DeviceIdsOfUsbAndOtherDisks) {
    const struct {
        const char* name;
        unsigned major, minor;
        const char* deviceId;
        const char* disk;
        bool removable, usb;
    } cases[] = {
        {"usb_disk_partition", 8, 17, "USB\\VID_0bc2&PID_ab38\\NA8ABCDE", "sdb", false, true},
        {"usb_disk_whole", 8, 16, "USB\\VID_0bc2&PID_ab38\\NA8ABCDE", "sdb", false, true},
        {"usb_stick_without_partitions_or_serial", 8, 32, "USB\\VID_1B1c&PID_1A0F\\", "sdc", true,
         true},
        {"ata_disk_partition", 8, 1, "STORAGE\\sda", "sda", false, false},
        {"loop_device", 7, 0, "STORAGE\\loop0", "loop0", false, false},
    };
    for (const auto& c : cases) {
        const auto facts = ReadBlockDevice(kSysfs, c.major, c.minor);
        ASSERT_TRUE(facts) << c.name;
        EXPECT_EQ(DeviceIdOf(*facts), c.deviceId) << c.name;
        EXPECT_EQ(facts->diskName, c.disk) << c.name;
        EXPECT_EQ(facts->removable, c.removable) << c.name;
        EXPECT_EQ(facts->usb, c.usb) << c.name;
    }
    EXPECT_EQ(ReadBlockDevice(kSysfs, 8, 17)->sysPath.filename(), "sdb1");
}

TEST(SysfsBlockDevice, UnknownDevicesAndMissingTreesGiveNothing) {
    EXPECT_FALSE(ReadBlockDevice(kSysfs, 8, 99));
    EXPECT_FALSE(ReadBlockDevice(kSysfs, 9, 9)) << "link leading out of the devices folder";
    EXPECT_FALSE(ReadBlockDevice(kSysfs / "nothing", 8, 17));
}

// The unmounted volumes of USB disks: partitions, and disks without any; not a disk that has
// partitions, an extended partition's container, a partition held by another device, an
// empty card reader or a disk off USB.
TEST(SysfsBlockDevice, UnmountedUsbVolumes) {
    const auto nodes = [](const std::vector<MountEntry>& mounts) {
        std::string out;
        for (const auto& volume : UnmountedUsbVolumes(kSysfs, mounts)) {
            out += (out.empty() ? "" : " ") + volume.deviceNode;
        }
        return out;
    };
    EXPECT_EQ(nodes({}), "/dev/sdb1 /dev/sdc /dev/sdd1 /dev/sdd5");
    EXPECT_EQ(nodes({{8, 17, "/", "/media/usb", "vfat", "/dev/sdb1"},
                     {8, 53, "/photos", "/srv/photos", "vfat", "/dev/sdd5"}}),
              "/dev/sdc /dev/sdd1");
    EXPECT_EQ(UnmountedUsbVolumes(kSysfs, {})[2].deviceId, "USB\\VID_3b17&PID_0512\\ZB0001");
    EXPECT_TRUE(UnmountedUsbVolumes(kSysfs / "nothing", {}).empty());
}

VolumeCandidate Mount(std::string mountPoint, unsigned minor, bool removable, bool usb,
                      std::string fsType = "vfat", std::string root = "/",
                      std::string disk = "sdb") {
    VolumeCandidate candidate;
    candidate.mount = {8, minor, std::move(root), std::move(mountPoint), std::move(fsType), "src"};
    candidate.device = BlockDeviceFacts{};
    candidate.device->diskName = std::move(disk);
    candidate.device->removable = removable;
    candidate.device->usb = usb;
    return candidate;
}

std::string Letters(const std::vector<MappedVolume>& map) {
    std::string out;
    for (const auto& m : map) {
        out +=
            (out.empty() ? "" : " ") + std::string(1, m.letter) + "=" + m.volume.mount.mountPoint;
    }
    return out;
}

TEST(LetterMap, AssignsFreesAndKeepsLetters) {
    const auto root = Mount("/", 1, false, false, "ext4", "/", "sda");
    const auto usb = Mount("/media/usb", 17, false, true);
    const auto stick = Mount("/media/stick", 33, true, false);
    const auto third = Mount("/media/third", 49, true, true);

    const struct {
        const char* name;
        std::vector<VolumeCandidate> previous;
        std::vector<VolumeCandidate> current;
        const char* expected;
    } cases[] = {
        {"root_only", {}, {root}, "C=/"},
        {"usb_and_removable_from_D", {}, {root, usb, stick}, "C=/ D=/media/usb E=/media/stick"},
        {"non_removable_disk_has_none", {}, {root, Mount("/data", 2, false, false, "ext4")}, "C=/"},
        {"pseudo_and_image_have_none",
         {},
         {root, Mount("/snap/x", 3, true, true, "squashfs"), Mount("/run", 4, true, true, "tmpfs"),
          Mount("/mnt/iso", 5, true, false, "vfat", "/", "loop0")},
         "C=/"},
        {"no_block_device_has_none",
         {},
         {root,
          [] {
              auto c = Mount("/media/x", 6, true, true);
              c.device.reset();
              return c;
          }()},
         "C=/"},
        {"bind_mount_of_subfolder_has_none",
         {},
         {root, usb, Mount("/srv/photos", 17, false, true, "vfat", "/photos")},
         "C=/ D=/media/usb"},
        {"same_device_twice_one_letter",
         {},
         {root, usb, Mount("/mnt/again", 17, false, true)},
         "C=/ D=/media/usb"},
        {"letter_stays_when_earlier_goes", {root, usb, stick}, {root, stick}, "C=/ E=/media/stick"},
        {"freed_letter_reused_lowest_first",
         {root, usb, stick},
         {root, stick, third},
         "C=/ D=/media/third E=/media/stick"},
        {"no_root_no_C", {}, {usb}, "D=/media/usb"},
        {"last_root_mount_wins",
         {},
         {root, Mount("/", 9, false, false, "ext4", "/", "sdz")},
         "C=/"},
    };
    for (const auto& c : cases) {
        const auto previous = UpdateLetterMap({}, c.previous);
        EXPECT_EQ(Letters(UpdateLetterMap(previous, c.current)), c.expected) << c.name;
    }
    const auto twice = UpdateLetterMap({}, {root, Mount("/", 9, false, false, "ext4", "/", "sdz")});
    EXPECT_EQ(twice[0].volume.mount.minor, 9u);
}

TEST(LetterMap, RemountedVolumeIsNewAndLettersRunOutAtZ) {
    const auto root = Mount("/", 1, false, false, "ext4", "/", "sda");
    std::vector<VolumeCandidate> many{root};
    for (unsigned i = 0; i < 30; ++i) {
        many.push_back(Mount("/media/v" + std::to_string(i), 100 + i, true, false));
    }
    const auto map = UpdateLetterMap({}, many);
    ASSERT_EQ(map.size(), 24u);
    EXPECT_EQ(map.back().letter, 'Z');
    EXPECT_EQ(map.back().volume.mount.mountPoint, "/media/v22");

    const auto first = UpdateLetterMap(
        {}, {root, Mount("/media/a", 17, true, false), Mount("/media/b", 33, true, false)});
    const auto moved = UpdateLetterMap(
        first, {root, Mount("/media/b", 33, true, false), Mount("/media/a2", 17, true, false)});
    EXPECT_EQ(Letters(moved), "C=/ D=/media/a2 E=/media/b");
}

TEST(VolumeNames, FileSystemNamesAndUdevLabels) {
    const std::pair<const char*, const char*> names[] = {
        {"vfat", "FAT32"},
        {"msdos", "FAT32"},
        {"exfat", "exFAT"},
        {"ntfs", "NTFS"},
        {"ntfs3", "NTFS"},
        {"fuseblk.ntfs", "NTFS"},
        {"fuse.ntfs-3g", "NTFS"},
        {"fuse.exfat", "exFAT"},
        {"fuseblk", "FUSEBLK"},
        {"ext4", "EXT4"},
        {"", ""},
    };
    for (const auto& [type, name] : names) {
        EXPECT_EQ(FileSystemName(type), name) << type;
    }
    EXPECT_EQ(DecodeUdevName("MY\\x20MEDIA"), "MY MEDIA");
    EXPECT_EQ(DecodeUdevName("a\\x2fb\\xZZ\\x2"), "a/b\\xZZ\\x2");
}

} // namespace
