#include "platform/linux/Sysfs.h"

#include "platform/linux/TextFile.h"

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
    const bool isPartition = std::filesystem::exists(device / "partition", error);
    const auto disk = isPartition ? device.parent_path() : device;
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

std::string DeviceIdOf(const BlockDeviceFacts& facts) {
    if (facts.usb) {
        return "USB\\VID_" + facts.vendorId + "&PID_" + facts.productId + "\\" + facts.serial;
    }
    return "STORAGE\\" + facts.diskName;
}

} // namespace platform::linux_detail
