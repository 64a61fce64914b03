#include "platform/Library.h"

#include <dlfcn.h>
#include <link.h>
#include <string>
#include <system_error>

namespace platform {

std::string Library::FileName(std::string_view name) {
    return "lib" + std::string(name) + ".so";
}

std::shared_ptr<void> Library::Open(const std::filesystem::path& file, std::string& error) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error +=
            (reason != nullptr ? std::string(reason) : file.string() + ": cannot be loaded") + "\n";
        return nullptr;
    }
    return std::shared_ptr<void>(handle, [](void* h) { dlclose(h); });
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
    // The loader names it as found, "<bin>/../lib/...": the folder of the program, which the
    // kernel gives resolved, so the ".." can be folded away as text.
    std::error_code error;
    const auto file = std::filesystem::absolute(info.dli_fname, error);
    return error ? std::filesystem::path() : file.lexically_normal().parent_path();
}

} // namespace platform
