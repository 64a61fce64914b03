#pragma once
// The current user's registry: on Windows the real one; elsewhere read from a .reg file
// ($LUNAVIO_REGISTRY, else lunavio/hkcu.reg under $XDG_CONFIG_HOME, else under each of
// $XDG_CONFIG_DIRS).

#include "platform/RegFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// An open key, closed when its last copy goes. A registry file is read when a root key is
// opened; keys opened below it share it.
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
    explicit RegistryKey(std::shared_ptr<const void> key);
    std::shared_ptr<const void> key_; // this platform's key: a file's node, or a key handle
};

// Where the current user's registry comes from, so a user can be told where to put the model
// list. On Windows it is the registry itself, "HKEY_CURRENT_USER\\SOFTWARE\\Zembar".
struct RegistrySource {
    std::string read;                // the file that is read; empty when none was found
    std::vector<std::string> looked; // every place looked, in order, the one read included
};
RegistrySource CurrentUserRegistrySource();

// Changes for setting up the model list. On Windows they go to the registry itself. Elsewhere
// they go to the user's own file, $LUNAVIO_REGISTRY when set, else lunavio/hkcu.reg under
// $XDG_CONFIG_HOME, replaced as a save replaces MPlay.sys (a complete new file, flushed, renamed
// over the old one) with every other line kept. A new file starts as a copy of the file read
// until then (a list of $XDG_CONFIG_DIRS), so no model is lost by having a list of one's own.
struct RegistryWrite {
    std::string target;     // the file, or on Windows the key, that was to be changed
    std::string copiedFrom; // the file a new one was copied from; else empty
    std::string error;      // why nothing was changed; empty when it was
};

// Where the changes go: the file, or on Windows "HKEY_CURRENT_USER\\SOFTWARE\\Zembar".
std::string CurrentUserRegistryTarget();

// Sets the dword values in the key at path below HKEY_CURRENT_USER, which is created with its
// parents when missing. On Windows the values are written in the order given, so a reader
// meets the last one last; a key this call created is deleted again when a write fails.
RegistryWrite SetCurrentUserDwords(std::string_view path, std::span<const NamedDword> values);

// Deletes the key at path below HKEY_CURRENT_USER with its subkeys; a missing key is no error.
RegistryWrite DeleteCurrentUserKey(std::string_view path);

} // namespace platform
