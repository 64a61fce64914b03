#include "platform/Registry.h"

#include "platform/RegFile.h"

#include <iterator>
#include <utility>

namespace platform {
namespace {

// Windows' subkey name buffer, terminator included.
constexpr std::size_t kSubkeyNameChars = 260;

} // namespace

RegistryKey::RegistryKey(std::shared_ptr<const RegistryNode> root, const RegistryNode* node)
    : root_(std::move(root)), node_(node) {}

std::optional<RegistryKey> RegistryKey::Open(std::string_view path) const {
    const RegistryNode* node = node_;
    for (const std::string_view name : SplitKeyPath(path)) {
        const auto it = node->subkeys.find(name);
        if (it == node->subkeys.end())
            return std::nullopt;
        node = &it->second;
    }
    return RegistryKey(root_, node);
}

std::optional<std::string> RegistryKey::EnumSubkey(std::uint32_t index) const {
    if (index >= node_->subkeys.size())
        return std::nullopt;
    const std::string& name = std::next(node_->subkeys.begin(), index)->first;
    if (name.size() + 1 > kSubkeyNameChars)
        return std::nullopt;
    return name;
}

std::optional<std::uint32_t> RegistryKey::QueryDword(std::string_view name) const {
    const auto it = node_->values.find(name);
    if (it == node_->values.end())
        return std::nullopt;
    const RegistryValue& v = it->second;
    // Whatever its type, as a 4-byte query buffer takes it: a three-letter string is a number.
    if (v.data.size() != 4)
        return std::nullopt;
    return static_cast<std::uint32_t>(v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                                      (static_cast<std::uint32_t>(v.data[3]) << 24));
}

} // namespace platform
