#include "platform/Library.h"

#include "platform/windows/Win32.h"

#include <cstdint>
#include <string>

namespace platform {
namespace {

// A library that is missing or broken must not stop the program with a system dialog.
template <typename LoadCall> std::shared_ptr<void> Open(const LoadCall& load) {
    DWORD previous = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
    HMODULE module = load();
    ::SetThreadErrorMode(previous, nullptr);
    if (module == nullptr) {
        return nullptr;
    }
    return std::shared_ptr<void>(module, [](void* m) { ::FreeLibrary(static_cast<HMODULE>(m)); });
}

} // namespace

Library::Library(std::shared_ptr<void> handle) : handle_(std::move(handle)) {}

std::optional<Library> Library::Load(std::string_view name,
                                     const std::vector<std::filesystem::path>& folders,
                                     SystemSearch then) {
    const std::string file = std::string(name) + ".dll";
    for (const auto& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        // A full path makes the loader take exactly that file, never a search.
        const std::wstring path = (folder / file).wstring();
        if (auto handle = Open([&] { return ::LoadLibraryW(path.c_str()); })) {
            return Library(std::move(handle));
        }
    }
    if (then == SystemSearch::Yes) {
        if (auto handle = Open([&] { return ::LoadLibraryA(file.c_str()); })) {
            return Library(std::move(handle));
        }
    }
    return std::nullopt;
}

void* Library::Symbol(const char* name) const {
    const FARPROC entry = ::GetProcAddress(static_cast<HMODULE>(handle_.get()), name);
    return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(entry));
}

std::filesystem::path ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path).parent_path();
        }
        path.resize(path.size() * 2);
    }
}

} // namespace platform
