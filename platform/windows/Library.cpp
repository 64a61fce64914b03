#include "platform/Library.h"

#include "platform/Utf8.h"
#include "platform/windows/ErrorText.h"
#include "platform/windows/Win32.h"

#include <cstdint>
#include <string>

namespace platform {
namespace {

// The file a loaded module came from; empty when the system cannot tell.
std::filesystem::path ModuleFile(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

} // namespace

std::string Library::FileName(std::string_view name) {
    return std::string(name) + ".dll";
}

std::shared_ptr<void> Library::Open(const std::filesystem::path& file, std::string& error) {
    // A library that is missing or broken must not stop the program with a system dialog.
    DWORD previous = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
    HMODULE module = ::LoadLibraryW(file.c_str());
    const DWORD failure = ::GetLastError();
    ::SetThreadErrorMode(previous, nullptr);
    if (module == nullptr) {
        // The path as UTF-8: a folder name the ANSI code page cannot hold must not throw here.
        const std::wstring& wide = file.native();
        const auto shown =
            Utf16ToUtf8({reinterpret_cast<const char16_t*>(wide.data()), wide.size()});
        error += shown.value_or("(a path with an unpaired surrogate)") + ": " +
                 windows_detail::ErrorText(failure) + "\n";
        return nullptr;
    }
    return std::shared_ptr<void>(module, [](void* m) { ::FreeLibrary(static_cast<HMODULE>(m)); });
}

void* Library::Symbol(const char* name) const {
    const FARPROC entry = ::GetProcAddress(static_cast<HMODULE>(handle_.get()), name);
    return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(entry));
}

std::filesystem::path Library::File() const {
    return ModuleFile(static_cast<HMODULE>(handle_.get()));
}

std::filesystem::path LibraryFolder() {
    // The module that holds this function: the platform library, wherever the loader found it.
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&LibraryFolder), &module)) {
        return {};
    }
    return ModuleFile(module).parent_path();
}

} // namespace platform
