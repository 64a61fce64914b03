#pragma once
// Small-file reading shared by the Linux readers of the machine's state.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace platform::linux_detail {

// The whole content of a file of at most maxBytes. nullopt when it cannot be opened or read,
// is not a regular file, or is larger (a huge file gives no result rather than a cut one).
// Files of /proc and /sys report size 0, so the limit is enforced while reading.
std::optional<std::string> ReadSmallTextFile(const std::filesystem::path& file,
                                             std::size_t maxBytes);

} // namespace platform::linux_detail
