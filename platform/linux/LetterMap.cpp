#include "platform/linux/LetterMap.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <array>
#include <bitset>

namespace platform::linux_detail {
namespace {

bool SameVolume(const VolumeCandidate& a, const VolumeCandidate& b) {
    return a.mount.mountPoint == b.mount.mountPoint && a.mount.major == b.mount.major &&
           a.mount.minor == b.mount.minor;
}

bool SameDevice(const VolumeCandidate& a, const VolumeCandidate& b) {
    return a.mount.major == b.mount.major && a.mount.minor == b.mount.minor;
}

bool TakesLetter(const VolumeCandidate& candidate) {
    if (candidate.mount.mountPoint == "/" || candidate.mount.root != "/" ||
        IsPseudoFileSystem(candidate.mount.fsType) || !candidate.device) {
        return false;
    }
    const std::string_view disk = candidate.device->diskName;
    if (disk.starts_with("loop") || disk.starts_with("ram") || disk.starts_with("zram")) {
        return false;
    }
    return candidate.device->removable || candidate.device->usb;
}

} // namespace

bool IsPseudoFileSystem(std::string_view fsType) {
    static constexpr std::array<std::string_view, 30> kPseudo = {
        "autofs",  "binfmt_misc", "bpf",        "cgroup",     "cgroup2",     "configfs",
        "cramfs",  "debugfs",     "devpts",     "devtmpfs",   "efivarfs",    "erofs",
        "fusectl", "hugetlbfs",   "mqueue",     "nsfs",       "overlay",     "proc",
        "pstore",  "ramfs",       "rpc_pipefs", "securityfs", "selinuxfs",   "squashfs",
        "sysfs",   "tmpfs",       "tracefs",    "nfsd",       "fuse.portal", "aufs"};
    return std::find(kPseudo.begin(), kPseudo.end(), fsType) != kPseudo.end();
}

std::vector<MappedVolume> UpdateLetterMap(const std::vector<MappedVolume>& previous,
                                          const std::vector<VolumeCandidate>& current) {
    std::vector<MappedVolume> next;
    const auto root = std::find_if(current.rbegin(), current.rend(), [](const auto& candidate) {
        return candidate.mount.mountPoint == "/";
    });
    if (root != current.rend()) {
        next.push_back({'C', *root});
    }

    std::bitset<26> used;
    used.set('C' - 'A');
    std::vector<const VolumeCandidate*> placed;
    const auto devicePlaced = [&](const VolumeCandidate& candidate) {
        return std::any_of(placed.begin(), placed.end(),
                           [&](const auto* other) { return SameDevice(*other, candidate); });
    };

    for (const auto& candidate : current) {
        if (!TakesLetter(candidate) || devicePlaced(candidate)) {
            continue;
        }
        const auto kept = std::find_if(previous.begin(), previous.end(), [&](const auto& mapped) {
            return mapped.letter > 'C' && mapped.letter <= 'Z' &&
                   SameVolume(mapped.volume, candidate);
        });
        if (kept != previous.end() && !used.test(kept->letter - 'A')) {
            used.set(kept->letter - 'A');
            placed.push_back(&candidate);
            next.push_back({kept->letter, candidate});
        }
    }
    for (const auto& candidate : current) {
        if (!TakesLetter(candidate) || devicePlaced(candidate)) {
            continue;
        }
        for (int index = 'D' - 'A'; index < 26; ++index) {
            if (!used.test(index)) {
                used.set(index);
                placed.push_back(&candidate);
                next.push_back({static_cast<char>('A' + index), candidate});
                break;
            }
        }
    }
    std::sort(next.begin(), next.end(),
              [](const auto& a, const auto& b) { return a.letter < b.letter; });
    return next;
}

std::string FileSystemName(std::string_view fsType) {
    std::string lower(fsType);
    std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower<char>);
    const bool fuse = lower.starts_with("fuse");
    if (lower == "vfat" || lower == "msdos") {
        return "FAT32";
    }
    if (lower == "exfat" || (fuse && lower.find("exfat") != std::string::npos)) {
        return "exFAT";
    }
    if (lower == "ntfs" || lower == "ntfs3" || (fuse && lower.find("ntfs") != std::string::npos)) {
        return "NTFS";
    }
    std::string upper(fsType);
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper<char>);
    return upper;
}

std::string DecodeUdevName(std::string_view name) {
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        c = AsciiLower(c);
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
            hex(name[i + 3]) >= 0) {
            out.push_back(static_cast<char>(hex(name[i + 2]) * 16 + hex(name[i + 3])));
            i += 3;
        } else {
            out.push_back(name[i]);
        }
    }
    return out;
}

} // namespace platform::linux_detail
