#include "platform/Library.h"

#include "platform/windows/ErrorText.h"
#include "platform/windows/Win32.h"

#include <cstdint>
#include <string>

namespace platform {
namespace {

// The handle, or null with the loader's reason appended to error. A library that is missing
// or broken must not stop the program with a system dialog.
template <typename LoadCall>
std::shared_ptr<void> Open(const std::string& shown, const LoadCall& load, std::string& error) {
    DWORD previous = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
    HMODULE module = load();
    const DWORD failure = ::GetLastError();
    ::SetThreadErrorMode(previous, nullptr);
    if (module == nullptr) {
        error += shown + ": " + windows_detail::ErrorText(failure) + "\n";
        return nullptr;
    }
    return std::shared_ptr<void>(module, [](void* m) { ::FreeLibrary(static_cast<HMODULE>(m)); });
}

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

Library::Library(std::shared_ptr<void> handle) : handle_(std::move(handle)) {}

LibraryLoad Library::Attempt(std::string_view name,
                             const std::vector<std::filesystem::path>& folders, SystemSearch then) {
    const std::string file = std::string(name) + ".dll";
    LibraryLoad load;
    for (const auto& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        // A full path makes the loader take exactly that file, never a search.
        const std::filesystem::path path = folder / file;
        if (auto handle = Open(
                path.string(), [&] { return ::LoadLibraryW(path.c_str()); }, load.error)) {
            return {Library(std::move(handle)), {}};
        }
    }
    if (then == SystemSearch::Yes) {
        if (auto handle = Open(
                file, [&] { return ::LoadLibraryA(file.c_str()); }, load.error)) {
            return {Library(std::move(handle)), {}};
        }
    }
    if (!load.error.empty()) {
        load.error.pop_back();
    }
    return load;
}

std::optional<Library> Library::Load(std::string_view name,
                                     const std::vector<std::filesystem::path>& folders,
                                     SystemSearch then) {
    return Attempt(name, folders, then).library;
}

void* Library::Symbol(const char* name) const {
    const FARPROC entry = ::GetProcAddress(static_cast<HMODULE>(handle_.get()), name);
    return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(entry));
}

std::filesystem::path Library::File() const {
    return ModuleFile(static_cast<HMODULE>(handle_.get()));
}

std::filesystem::path LibraryFolder() {
    // The platform layer is linked into the program, so its module is the program's.
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&LibraryFolder), &module)) {
        return {};
    }
    return ModuleFile(module).parent_path();
}

} // namespace platform
