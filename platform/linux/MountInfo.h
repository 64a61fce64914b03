#pragma once
// The kernel's mount table (/proc/self/mountinfo).

#include <string>
#include <string_view>
#include <vector>

namespace platform::linux_detail {

struct MountEntry {
    unsigned major = 0; // device number as the table gives it (0 for FUSE, btrfs, pseudo)
    unsigned minor = 0;
    std::string root;       // the mounted folder of the file system; "/" for a whole volume
    std::string mountPoint; // where it is mounted
    std::string fsType;     // "vfat", "ext4", "fuseblk", "fuse.ntfs-3g", ...
    std::string source;     // "/dev/sdb1", "proc", ...
};

// Parses mountinfo text, one mount per line:
//   <id> <parent> <major>:<minor> <root> <mount point> <options> [<optional>...] - <type>
//   <source> <super options>
// The kernel escapes space, tab, newline and backslash in paths as \ooo octal; they are
// decoded. A line that does not have this shape (blank, garbage, no "-" separator, a bad
// device number) is skipped. Entries keep the table's order.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

} // namespace platform::linux_detail
