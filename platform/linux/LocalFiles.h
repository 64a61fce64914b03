#pragma once
// Files of the Linux machine given by their own path, not by drive path.

#include "platform/Files.h"

#include <cstdint>
#include <filesystem>
#include <span>

namespace platform::linux_detail {

// ReplaceFile for a local path: the same steps, refusals and test seam.
ReplaceResult ReplaceLocalFile(const std::filesystem::path& path,
                               std::span<const std::uint8_t> bytes);

} // namespace platform::linux_detail
