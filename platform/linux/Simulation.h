#pragma once
// The simulation file: a text description of the whole machine's drives.

#include "platform/Drives.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace platform::linux_detail {

// Parses a simulation file's text, one drive per line, fields separated by single tabs:
//   <letter> <directory> <device id> [<eligible 0|1> [<volume label> [<file system name>]]]
// Lines that are empty (after a trailing CR is dropped), hold only spaces and tabs, or start
// with '#' are ignored. A letter is one character A-Z or a-z and is stored upper-case. A
// relative directory is taken from baseFolder. A missing or empty device id, label or eligible
// field gives "", "" and true; a missing or empty file system name gives "NTFS".
// A bad line is skipped, the others still count: a letter that is not one ASCII letter, a
// letter already given by an earlier line, an empty or missing directory, an eligible field
// other than 0 or 1, more than six fields. The result is in letter order.
std::vector<LetteredVolume> ParseSimulationFile(std::string_view text,
                                                const std::filesystem::path& baseFolder);

} // namespace platform::linux_detail
