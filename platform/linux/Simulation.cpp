#include "platform/linux/Simulation.h"

#include <algorithm>
#include <array>
#include <optional>

namespace platform::linux_detail {
namespace {

constexpr std::size_t kMaxFields = 6;

std::optional<LetteredVolume> ParseLine(std::string_view line,
                                        const std::filesystem::path& baseFolder) {
    std::array<std::string_view, kMaxFields> fields{};
    std::size_t count = 0;
    for (std::size_t start = 0;;) {
        if (count == kMaxFields) {
            return std::nullopt;
        }
        const std::size_t tab = line.find('\t', start);
        fields[count++] = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
        if (tab == std::string_view::npos) {
            break;
        }
        start = tab + 1;
    }

    const std::string_view letter = fields[0];
    const std::string_view directory = fields[1];
    const std::string_view eligible = fields[3];
    if (letter.size() != 1 || directory.empty()) {
        return std::nullopt;
    }
    const char c = letter[0];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
        return std::nullopt;
    }
    if (!eligible.empty() && eligible != "0" && eligible != "1") {
        return std::nullopt;
    }

    LetteredVolume volume;
    volume.letter = static_cast<char>(c & ~0x20);
    volume.directory = baseFolder / std::filesystem::path(directory);
    volume.deviceId = fields[2];
    volume.eligible = eligible != "0";
    volume.removable = volume.eligible;
    volume.label = fields[4];
    volume.fileSystem = fields[5].empty() ? std::string("NTFS") : std::string(fields[5]);
    return volume;
}

} // namespace

std::vector<LetteredVolume> ParseSimulationFile(std::string_view text,
                                                const std::filesystem::path& baseFolder) {
    std::vector<LetteredVolume> volumes;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.find_first_not_of(" \t") == std::string_view::npos || line.starts_with('#')) {
            continue;
        }
        auto volume = ParseLine(line, baseFolder);
        if (!volume) {
            continue;
        }
        const bool taken = std::any_of(volumes.begin(), volumes.end(),
                                       [&](const auto& v) { return v.letter == volume->letter; });
        if (!taken) {
            volumes.push_back(std::move(*volume));
        }
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const auto& a, const auto& b) { return a.letter < b.letter; });
    return volumes;
}

} // namespace platform::linux_detail
