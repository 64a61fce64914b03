#pragma once
// The current user's registry, read from a .reg file ($LUNAVIO_REGISTRY, else
// lunavio/hkcu.reg under $XDG_CONFIG_HOME, else under each of $XDG_CONFIG_DIRS).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct RegistryNode; // one key of a parsed registry file

// An open key. The file is read when a root key is opened; keys opened below it share it.
class RegistryKey {
public:
    // Opens path (e.g. "SOFTWARE\\Zembar") below HKEY_CURRENT_USER; nullopt when the key does
    // not exist, or the file does not, is no regular file or is larger than 16 MiB.
    static std::optional<RegistryKey> OpenCurrentUser(std::string_view path);

    // Opens path below this key; nullopt when it does not exist.
    std::optional<RegistryKey> Open(std::string_view path) const;

    // The name of subkey index in the order Windows gives (upper-cased names compared);
    // nullopt past the last subkey or when the name and its terminator do not fit 260 chars.
    std::optional<std::string> EnumSubkey(std::uint32_t index) const;

    // The value's data as a little-endian 32-bit number, only when it is exactly 4 bytes.
    std::optional<std::uint32_t> QueryDword(std::string_view name) const;

private:
    RegistryKey(std::shared_ptr<const RegistryNode> root, const RegistryNode* node);
    std::shared_ptr<const RegistryNode> root_;
    const RegistryNode* node_;
};

// Where the current user's registry comes from, so a user can be told where to put the model
// list. On Windows it is the registry itself, "HKEY_CURRENT_USER\\SOFTWARE\\Zembar".
struct RegistrySource {
    std::string read;                // the file that is read; empty when none was found
    std::vector<std::string> looked; // every place looked, in order, the one read included
};
RegistrySource CurrentUserRegistrySource();

} // namespace platform
