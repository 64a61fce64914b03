#include "platform/Registry.h"

#include "platform/RegFile.h"
#include "platform/linux/LocalFiles.h"
#include "platform/linux/TextFile.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
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

// The user's own file: $LUNAVIO_REGISTRY alone when set, else the first XDG candidate.
std::filesystem::path UserRegistryFile() {
    if (const std::string set = Env("LUNAVIO_REGISTRY"); !set.empty())
        return set;
    std::filesystem::path folder;
    if (const std::string home = Env("XDG_CONFIG_HOME"); !home.empty())
        folder = home;
    else if (const std::string userHome = Env("HOME"); !userHome.empty())
        folder = std::filesystem::path(userHome) / ".config";
    return folder / "lunavio" / "hkcu.reg";
}

// Creates folder and the folders above it that are missing, the user's alone (0700), as XDG
// asks of the folders a program makes.
std::error_code MakeFolders(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> missing;
    std::error_code ec;
    for (auto part = folder; part.has_relative_path() && !std::filesystem::exists(part, ec);
         part = part.parent_path()) {
        missing.push_back(part);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) {
            return {errno, std::generic_category()};
        }
    }
    return {};
}

// Reads the user's file (or, when it does not exist yet, the file read so far), edits its text
// and replaces the user's file with the result.
template <typename Edit> RegistryWrite ChangeUserFile(Edit edit) {
    std::error_code ec;
    const auto target = std::filesystem::absolute(UserRegistryFile(), ec);
    RegistryWrite write{target.string(), {}, {}};
    if (ec || target.filename().empty()) {
        write.error = "there is no folder for it (set HOME or XDG_CONFIG_HOME)";
        return write;
    }
    std::filesystem::path source = target;
    if (!std::filesystem::exists(std::filesystem::symlink_status(target, ec))) {
        const auto read = RegistryFilePath(RegistryFileCandidates());
        source = read.value_or(std::filesystem::path());
        write.copiedFrom = read ? read->string() : "";
    }
    std::string bytes;
    if (!source.empty()) {
        const auto text = linux_detail::ReadSmallTextFile(source, kMaxRegistryFileBytes);
        if (!text) {
            write.error = source.string() + " cannot be read as a registry file";
            return write;
        }
        bytes = *text;
    }
    const RegFileEdit edited = edit(bytes);
    if (!edited.fault.empty()) {
        write.error = edited.fault;
        return write;
    }
    if (edited.bytes == bytes) {
        write.copiedFrom.clear();
        return write; // nothing to change, and no file to create
    }
    const auto folder = target.parent_path();
    if (const auto error = MakeFolders(folder)) {
        write.error = "cannot create " + folder.string() + ": " + error.message();
        return write;
    }
    const auto result = linux_detail::ReplaceLocalFile(
        target, {reinterpret_cast<const std::uint8_t*>(edited.bytes.data()), edited.bytes.size()});
    if (!result) {
        // A link is refused as a save refuses one: the file it leads to is edited by hand.
        write.error = result.error->fault == FileFault::NotAFile
                          ? "it is no regular file (a link, folder or device); edit it by hand"
                      : result.error->detail.empty() ? "it cannot be written"
                                                     : result.error->detail;
    }
    return write;
}

} // namespace

std::string CurrentUserRegistryTarget() {
    std::error_code ec;
    return std::filesystem::absolute(UserRegistryFile(), ec).string();
}

RegistryWrite SetCurrentUserDwords(std::string_view path, std::span<const NamedDword> values) {
    return ChangeUserFile(
        [&](const std::string& bytes) { return SetRegFileDwords(bytes, path, values); });
}

RegistryWrite DeleteCurrentUserKey(std::string_view path) {
    return ChangeUserFile([&](const std::string& bytes) { return DeleteRegFileKey(bytes, path); });
}

std::optional<RegistryKey> RegistryKey::OpenCurrentUser(std::string_view path) {
    const auto file = RegistryFilePath(RegistryFileCandidates());
    if (!file)
        return std::nullopt;
    // Only a regular file is read: a pipe or device there must not hang the start-up.
    const auto bytes = linux_detail::ReadSmallTextFile(*file, kMaxRegistryFileBytes);
    if (!bytes)
        return std::nullopt;
    return RegistryKey(std::make_shared<const RegistryNode>(ParseRegFile(*bytes))).Open(path);
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
