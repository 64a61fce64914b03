#include "platform/Library.h"

namespace platform {

Library::Library(std::shared_ptr<void> handle) : handle_(std::move(handle)) {}

LibraryLoad Library::Attempt(std::string_view name,
                             const std::vector<std::filesystem::path>& folders, SystemSearch then) {
    const std::string file = FileName(name);
    LibraryLoad load;
    for (const auto& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        if (auto handle = Open(folder / file, load.error)) {
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

} // namespace platform
