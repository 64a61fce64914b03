#include "platform/Library.h"

#include <dlfcn.h>
#include <string>
#include <system_error>

namespace platform {
namespace {

std::shared_ptr<void> Open(const std::string& file) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        return nullptr;
    }
    return std::shared_ptr<void>(handle, [](void* h) { dlclose(h); });
}

} // namespace

Library::Library(std::shared_ptr<void> handle) : handle_(std::move(handle)) {}

std::optional<Library> Library::Load(std::string_view name,
                                     const std::vector<std::filesystem::path>& folders,
                                     SystemSearch then) {
    const std::string file = "lib" + std::string(name) + ".so";
    for (const auto& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        // A path with a slash makes dlopen take exactly that file, never a search.
        if (auto handle = Open((folder / file).string())) {
            return Library(std::move(handle));
        }
    }
    if (then == SystemSearch::Yes) {
        if (auto handle = Open(file)) {
            return Library(std::move(handle));
        }
    }
    return std::nullopt;
}

void* Library::Symbol(const char* name) const {
    return dlsym(handle_.get(), name);
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
