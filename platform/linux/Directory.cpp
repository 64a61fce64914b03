#include "platform/Directory.h"

#include "platform/Drives.h"
#include "platform/Utf8.h"
#include "platform/linux/TextConversion.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace platform {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

struct Entry {
    std::string_view name;
    bool isDirectory = false;
    std::optional<SystemTime> lastWrite;
};

// Symbolic links are followed: a link to a folder lists as a folder with the folder's time;
// a broken link lists as a file with the link's own time. An entry that vanished since it
// was read lists with no time (all fields zero).
Entry Describe(int dirFd, const dirent& entry) {
    Entry described;
    described.name = entry.d_name;
    struct stat st {};
    if (::fstatat(dirFd, entry.d_name, &st, 0) != 0 &&
        ::fstatat(dirFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        described.isDirectory = entry.d_type == DT_DIR;
        described.lastWrite = SystemTime{};
        return described;
    }
    described.isDirectory =
        entry.d_type == DT_DIR ||
        ((entry.d_type == DT_UNKNOWN || entry.d_type == DT_LNK) && S_ISDIR(st.st_mode));
    described.lastWrite = linux_detail::UnixTimeToSystemTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    return described;
}

// The folder of a pattern "<letter>:\...\*"; only the pattern that lists everything is
// known, as that is the only one asked for.
std::optional<std::filesystem::path> PatternFolder(std::string_view pattern) {
    if (pattern.size() < 4 || !pattern.ends_with('*') ||
        (pattern[pattern.size() - 2] != '\\' && pattern[pattern.size() - 2] != '/')) {
        return std::nullopt;
    }
    return LocalPath(pattern);
}

template <typename Visit> bool Enumerate(std::string_view pattern, const Visit& visit) {
    const auto folder = PatternFolder(pattern);
    if (!folder) {
        return false;
    }
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder->c_str()));
    if (!dir) {
        return false;
    }
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        visit(Describe(dirFd, *entry));
    }
    return true;
}

} // namespace

bool EnumerateDirectoryW(std::u16string_view pattern,
                         const std::function<void(const FindDataW&)>& visit) {
    const auto narrow = Utf16ToUtf8(pattern);
    if (!narrow) {
        return false;
    }
    FindDataW data;
    return Enumerate(*narrow, [&](const Entry& entry) {
        linux_detail::Utf8ToUtf16(entry.name, entry.name.size(), data.name);
        data.isDirectory = entry.isDirectory;
        data.lastWrite = entry.lastWrite;
        visit(data);
    });
}

bool EnumerateDirectoryA(std::string_view pattern,
                         const std::function<void(const FindDataA&)>& visit) {
    FindDataA data;
    return Enumerate(pattern, [&](const Entry& entry) {
        data.name.assign(entry.name);
        data.isDirectory = entry.isDirectory;
        data.lastWrite = entry.lastWrite;
        visit(data);
    });
}

// This platform's 8-bit encoding is UTF-8.
std::u16string AnsiToWide(std::string_view text, std::size_t maxUnits) {
    return linux_detail::Utf8ToUtf16(text, maxUnits);
}

} // namespace platform
