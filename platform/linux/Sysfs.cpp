#include "platform/linux/Sysfs.h"

#include "platform/linux/TextFile.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <system_error>

namespace platform::linux_detail {
namespace {

// sysfs attributes are one short line.
constexpr std::size_t kMaxAttributeBytes = 4096;
// Device paths are a dozen folders deep; a bound guards against a strange tree.
constexpr int kMaxDepth = 64;

std::optional<std::string> Attribute(const std::filesystem::path& folder, const char* name) {
    auto text = ReadSmallTextFile(folder / name, kMaxAttributeBytes);
    if (!text) {
        return std::nullopt;
    }
    while (!text->empty() && (text->back() == '\n' || text->back() == ' ')) {
        text->pop_back();
    }
    return text;
}

bool IsWithin(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

} // namespace

std::optional<BlockDeviceFacts> ReadBlockDevice(const std::filesystem::path& root, unsigned major,
                                                unsigned minor) {
    std::error_code error;
    const auto canonicalRoot = std::filesystem::canonical(root, error);
    if (error) {
        return std::nullopt;
    }
    const auto link =
        canonicalRoot / "dev" / "block" / (std::to_string(major) + ":" + std::to_string(minor));
    const auto device = std::filesystem::canonical(link, error);
    const auto devices = canonicalRoot / "devices";
    if (error || !IsWithin(device, devices)) {
        return std::nullopt;
    }

    BlockDeviceFacts facts;
    facts.sysPath = device;
    facts.partition = std::filesystem::exists(device / "partition", error);
    const auto disk = facts.partition ? device.parent_path() : device;
    facts.diskName = disk.filename().string();
    facts.removable = Attribute(disk, "removable") == "1";

    auto folder = disk.parent_path();
    for (int depth = 0; depth < kMaxDepth && IsWithin(folder, devices); ++depth) {
        auto vendor = Attribute(folder, "idVendor");
        auto product = Attribute(folder, "idProduct");
        if (vendor && product) {
            facts.usb = true;
            facts.vendorId = std::move(*vendor);
            facts.productId = std::move(*product);
            facts.serial = Attribute(folder, "serial").value_or("");
            break;
        }
        folder = folder.parent_path();
    }
    return facts;
}

std::vector<BlockVolume> ListBlockVolumes(const std::filesystem::path& root) {
    std::vector<BlockVolume> all;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(root / "dev" / "block", error)) {
        const std::string name = entry.path().filename().string();
        const auto colon = name.find(':');
        BlockVolume volume;
        const char* end = name.data() + name.size();
        if (colon == std::string::npos ||
            std::from_chars(name.data(), name.data() + colon, volume.major).ptr !=
                name.data() + colon ||
            std::from_chars(name.data() + colon + 1, end, volume.minor).ptr != end) {
            continue;
        }
        auto facts = ReadBlockDevice(root, volume.major, volume.minor);
        if (!facts) {
            continue;
        }
        // The kernel spells a '/' of a device name as '!' ("cciss!c0d0").
        std::string node = facts->sysPath.filename().string();
        std::replace(node.begin(), node.end(), '!', '/');
        volume.node = "/dev/" + node;
        volume.facts = std::move(*facts);
        all.push_back(std::move(volume));
    }
    std::set<std::filesystem::path> partitioned;
    for (const BlockVolume& volume : all) {
        if (volume.facts.partition) {
            partitioned.insert(volume.facts.sysPath.parent_path());
        }
    }
    const auto unusable = [&](const BlockVolume& volume) {
        const auto& path = volume.facts.sysPath;
        const auto size = Attribute(path, "size");
        std::error_code noHolders;
        const bool held = !std::filesystem::is_empty(path / "holders", noHolders);
        return partitioned.contains(path) || size == "0" ||
               (volume.facts.partition && (size == "1" || size == "2")) || (held && !noHolders);
    };
    std::erase_if(all, unusable);
    std::sort(all.begin(), all.end(), [](const BlockVolume& a, const BlockVolume& b) {
        return std::pair(a.major, a.minor) < std::pair(b.major, b.minor);
    });
    return all;
}

std::string DeviceIdOf(const BlockDeviceFacts& facts) {
    if (facts.usb) {
        return "USB\\VID_" + facts.vendorId + "&PID_" + facts.productId + "\\" + facts.serial;
    }
    return "STORAGE\\" + facts.diskName;
}

} // namespace platform::linux_detail
