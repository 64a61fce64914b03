#include "platform/RegFile.h"
#include "platform/Registry.h"

#include <iterator>
#include <utility>

namespace platform {
namespace {

// Windows' subkey name buffer, terminator included.
constexpr std::size_t kSubkeyNameChars = 260;

const RegistryNode& NodeOf(const std::shared_ptr<const void>& key) {
    return *static_cast<const RegistryNode*>(key.get());
}

} // namespace

RegistryKey::RegistryKey(std::shared_ptr<const void> key) : key_(std::move(key)) {}

std::optional<RegistryKey> RegistryKey::Open(std::string_view path) const {
    const RegistryNode* node = &NodeOf(key_);
    for (const std::string_view name : SplitKeyPath(path)) {
        const auto it = node->subkeys.find(name);
        if (it == node->subkeys.end())
            return std::nullopt;
        node = &it->second;
    }
    // The subkey keeps the whole parsed file alive.
    return RegistryKey(std::shared_ptr<const void>(key_, node));
}

std::optional<std::string> RegistryKey::EnumSubkey(std::uint32_t index) const {
    const RegistryNode& node = NodeOf(key_);
    if (index >= node.subkeys.size())
        return std::nullopt;
    const std::string& name = std::next(node.subkeys.begin(), index)->first;
    if (name.size() + 1 > kSubkeyNameChars)
        return std::nullopt;
    return name;
}

std::optional<std::uint32_t> RegistryKey::QueryDword(std::string_view name) const {
    const RegistryNode& node = NodeOf(key_);
    const auto it = node.values.find(name);
    if (it == node.values.end())
        return std::nullopt;
    const RegistryValue& v = it->second;
    // Whatever its type, as a 4-byte query buffer takes it: a three-letter string is a number.
    if (v.data.size() != 4)
        return std::nullopt;
    return static_cast<std::uint32_t>(v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                                      (static_cast<std::uint32_t>(v.data[3]) << 24));
}

} // namespace platform
