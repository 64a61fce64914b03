#include "platform/Registry.h"

#include "platform/windows/ErrorText.h"
#include "platform/windows/Win32.h"

#include <array>
#include <memory>
#include <string>
#include <type_traits>

namespace platform {
namespace {

// Windows' subkey name buffer, terminator included.
constexpr DWORD kSubkeyNameChars = 260;

HKEY HandleOf(const std::shared_ptr<const void>& key) {
    return static_cast<HKEY>(const_cast<void*>(key.get()));
}

// Opens path below parent for reading: only the model list's set-up writes, through its own
// calls below.
std::shared_ptr<const void> OpenBelow(HKEY parent, std::string_view path) {
    if (path.find('\0') != std::string_view::npos) {
        return nullptr;
    }
    HKEY key = nullptr;
    if (::RegOpenKeyExA(parent, std::string(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::shared_ptr<const void>(
        key, [](const void* k) { ::RegCloseKey(static_cast<HKEY>(const_cast<void*>(k))); });
}

} // namespace

RegistryKey::RegistryKey(std::shared_ptr<const void> key) : key_(std::move(key)) {}

std::optional<RegistryKey> RegistryKey::OpenCurrentUser(std::string_view path) {
    // The predefined key is never closed.
    return RegistryKey(std::shared_ptr<const void>(HKEY_CURRENT_USER, [](const void*) {}))
        .Open(path);
}

std::optional<RegistryKey> RegistryKey::Open(std::string_view path) const {
    auto key = OpenBelow(HandleOf(key_), path);
    if (!key) {
        return std::nullopt;
    }
    return RegistryKey(std::move(key));
}

std::optional<std::string> RegistryKey::EnumSubkey(std::uint32_t index) const {
    std::array<char, kSubkeyNameChars> name{};
    DWORD length = kSubkeyNameChars;
    if (::RegEnumKeyExA(HandleOf(key_), index, name.data(), &length, nullptr, nullptr, nullptr,
                        nullptr) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(name.data(), length);
}

std::optional<std::uint32_t> RegistryKey::QueryDword(std::string_view name) const {
    if (name.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    // Whatever its type, as a 4-byte buffer takes it; a longer value does not fit. Windows
    // is little-endian, as the stored number is.
    std::uint32_t value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExA(HandleOf(key_), std::string(name).c_str(), nullptr, nullptr,
                           reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        size != sizeof(value)) {
        return std::nullopt;
    }
    return value;
}

std::string CurrentUserRegistryTarget() {
    return "HKEY_CURRENT_USER\\SOFTWARE\\Zembar";
}

RegistryWrite SetCurrentUserDwords(std::string_view path, std::span<const NamedDword> values) {
    RegistryWrite write{"HKEY_CURRENT_USER\\" + std::string(path), {}, {}};
    if (path.find('\0') != std::string_view::npos) {
        write.error = windows_detail::ErrorText(ERROR_INVALID_PARAMETER);
        return write;
    }
    const std::string name(path);
    HKEY opened = nullptr;
    DWORD disposition = 0;
    LSTATUS status = ::RegCreateKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0,
                                       KEY_SET_VALUE, nullptr, &opened, &disposition);
    if (status != ERROR_SUCCESS) {
        write.error = windows_detail::ErrorText(static_cast<DWORD>(status));
        return write;
    }
    const std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&::RegCloseKey)> key(
        opened, &::RegCloseKey);
    for (const NamedDword& value : values) {
        const DWORD data = value.value;
        status = ::RegSetValueExA(key.get(), value.name.c_str(), 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&data), sizeof data);
        if (status != ERROR_SUCCESS) {
            write.error = windows_detail::ErrorText(static_cast<DWORD>(status));
            if (disposition == REG_CREATED_NEW_KEY) {
                ::RegDeleteTreeA(HKEY_CURRENT_USER, name.c_str());
            }
            return write;
        }
    }
    return write;
}

RegistryWrite DeleteCurrentUserKey(std::string_view path) {
    RegistryWrite write{"HKEY_CURRENT_USER\\" + std::string(path), {}, {}};
    if (path.find('\0') != std::string_view::npos) {
        write.error = windows_detail::ErrorText(ERROR_INVALID_PARAMETER);
        return write;
    }
    const LSTATUS status = ::RegDeleteTreeA(HKEY_CURRENT_USER, std::string(path).c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        write.error = windows_detail::ErrorText(static_cast<DWORD>(status));
    }
    return write;
}

RegistrySource CurrentUserRegistrySource() {
    // The model list is the registry itself.
    const std::string key = "HKEY_CURRENT_USER\\SOFTWARE\\Zembar";
    return {key, {key}};
}

} // namespace platform
