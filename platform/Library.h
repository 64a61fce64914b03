#pragma once
// Run-time loading of a shared library by its plain name.

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

class Library {
public:
    // Loads lib<name>.so: from each of folders first (by default the program's own folder),
    // then through the system's library search. nullopt when it cannot be loaded.
    static std::optional<Library> Load(std::string_view name);
    static std::optional<Library> Load(std::string_view name,
                                       const std::vector<std::filesystem::path>& folders);

    // The address of an exported entry point; null when the library has none by that name.
    void* Symbol(const char* name) const;

    // Unloads the library when the last copy goes.
private:
    explicit Library(std::shared_ptr<void> handle);
    std::shared_ptr<void> handle_;
};

// The folder the running program was loaded from.
std::filesystem::path ProgramFolder();

} // namespace platform
