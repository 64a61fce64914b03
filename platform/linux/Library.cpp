#include "platform/Library.h"

#include <dlfcn.h>
#include <link.h>
#include <string>
#include <system_error>

namespace platform {
namespace {

// The handle, or null with the loader's reason appended to error.
std::shared_ptr<void> Open(const std::string& file, std::string& error) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error += (reason != nullptr ? std::string(reason) : file + ": cannot be loaded") + "\n";
        return nullptr;
    }
    return std::shared_ptr<void>(handle, [](void* h) { dlclose(h); });
}

} // namespace

Library::Library(std::shared_ptr<void> handle) : handle_(std::move(handle)) {}

LibraryLoad Library::Attempt(std::string_view name,
                             const std::vector<std::filesystem::path>& folders, SystemSearch then) {
    const std::string file = "lib" + std::string(name) + ".so";
    LibraryLoad load;
    for (const auto& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        // A path with a slash makes dlopen take exactly that file, never a search.
        if (auto handle = Open((folder / file).string(), load.error)) {
            return {Library(std::move(handle)), {}};
        }
    }
    if (then == SystemSearch::Yes) {
        if (auto handle = Open(file, load.error)) {
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
    return dlsym(handle_.get(), name);
}

std::filesystem::path Library::File() const {
    const link_map* map = nullptr;
    if (dlinfo(handle_.get(), RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
        map->l_name == nullptr) {
        return {};
    }
    return map->l_name;
}

std::filesystem::path LibraryFolder() {
    // This function's own address names the file that holds the platform library, wherever the
    // dynamic loader found it through the program's RUNPATH.
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&LibraryFolder), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    std::error_code error;
    const auto file = std::filesystem::absolute(info.dli_fname, error);
    return error ? std::filesystem::path() : file.parent_path();
}

} // namespace platform
