#pragma once
// Run-time loading of a shared library by its plain name.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Whether a load falls back to the system's library search after the given folders.
enum class SystemSearch { Yes, No };

struct LibraryLoad;

class Library {
public:
    // Loads lib<name>.so from the first of folders that holds a loadable one, then (with
    // SystemSearch::Yes) through the system's library search. All symbols are bound at load.
    static LibraryLoad Attempt(std::string_view name,
                               const std::vector<std::filesystem::path>& folders,
                               SystemSearch then = SystemSearch::Yes);

    // As Attempt; nullopt when it cannot be loaded.
    static std::optional<Library> Load(std::string_view name,
                                       const std::vector<std::filesystem::path>& folders,
                                       SystemSearch then = SystemSearch::Yes);

    // The address of an exported entry point; null when the library has none by that name.
    void* Symbol(const char* name) const;

    // The file the library was loaded from; empty when the system cannot tell.
    std::filesystem::path File() const;

    // Copies share the handle; the library is unloaded when the last copy goes.
private:
    explicit Library(std::shared_ptr<void> handle);
    std::shared_ptr<void> handle_;
};

// A load's outcome: the library, or why it could not be loaded.
struct LibraryLoad {
    std::optional<Library> library;
    std::string error; // the loader's reason for each place tried, one per line; empty on success
};

// The folder of the program's own shared libraries: the one the platform library was loaded
// from. Beside the program in the build folder, the private library folder once installed.
// Empty when it cannot be found.
std::filesystem::path LibraryFolder();

} // namespace platform
