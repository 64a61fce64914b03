#include "platform/linux/TextFile.h"

#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::linux_detail {

std::optional<std::string> ReadSmallTextFile(const std::filesystem::path& file,
                                             std::size_t maxBytes) {
    // O_NONBLOCK: a FIFO must not hang the caller at open; it is refused below.
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            return text;
        }
        if (text.size() + static_cast<std::size_t>(got) > maxBytes) {
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace platform::linux_detail
