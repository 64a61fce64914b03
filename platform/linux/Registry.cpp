#include "platform/Registry.h"

#include "platform/RegFile.h"
#include "platform/linux/TextFile.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

namespace platform {
namespace {

// A list of device models is a few kilobytes; far more is no registry file of this program.
constexpr std::size_t kMaxRegistryFileBytes = 16 << 20;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// $LUNAVIO_REGISTRY alone when set, else lunavio/hkcu.reg under each XDG configuration folder.
std::vector<std::filesystem::path> RegistryFileCandidates() {
    if (const std::string set = Env("LUNAVIO_REGISTRY"); !set.empty())
        return {set};
    std::vector<std::filesystem::path> folders;
    if (const std::string home = Env("XDG_CONFIG_HOME"); !home.empty())
        folders.emplace_back(home);
    else if (const std::string userHome = Env("HOME"); !userHome.empty())
        folders.emplace_back(std::filesystem::path(userHome) / ".config");
    std::string dirs = Env("XDG_CONFIG_DIRS");
    if (dirs.empty())
        dirs = "/etc/xdg";
    std::istringstream list(dirs);
    for (std::string dir; std::getline(list, dir, ':');)
        if (!dir.empty())
            folders.emplace_back(dir);
    std::vector<std::filesystem::path> candidates;
    for (const auto& folder : folders)
        candidates.push_back(folder / "lunavio" / "hkcu.reg");
    return candidates;
}

// The first candidate that is a regular file.
std::optional<std::filesystem::path>
RegistryFilePath(const std::vector<std::filesystem::path>& candidates) {
    for (const auto& candidate : candidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec))
            return candidate;
    }
    return std::nullopt;
}

} // namespace

std::optional<RegistryKey> RegistryKey::OpenCurrentUser(std::string_view path) {
    const auto file = RegistryFilePath(RegistryFileCandidates());
    if (!file)
        return std::nullopt;
    // Only a regular file is read: a pipe or device there must not hang the start-up.
    const auto bytes = linux_detail::ReadSmallTextFile(*file, kMaxRegistryFileBytes);
    if (!bytes)
        return std::nullopt;
    const auto root = std::make_shared<const RegistryNode>(ParseRegFile(*bytes));
    return RegistryKey(root, root.get()).Open(path);
}

RegistrySource CurrentUserRegistrySource() {
    const auto candidates = RegistryFileCandidates();
    RegistrySource source;
    if (const auto file = RegistryFilePath(candidates))
        source.read = file->string();
    for (const auto& candidate : candidates)
        source.looked.push_back(candidate.string());
    return source;
}

} // namespace platform
