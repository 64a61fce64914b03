#include "platform/linux/MountInfo.h"

#include <charconv>
#include <optional>

namespace platform::linux_detail {
namespace {

// The next space-separated field of line, or nullopt at its end.
std::optional<std::string_view> NextField(std::string_view& line) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        line = {};
        return std::nullopt;
    }
    line.remove_prefix(start);
    const std::size_t end = line.find(' ');
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    return field;
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

std::string Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value < 256) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

bool ParseNumber(std::string_view text, unsigned& value) {
    const auto* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

std::optional<MountEntry> ParseLine(std::string_view line) {
    const auto id = NextField(line);
    const auto parent = NextField(line);
    const auto device = NextField(line);
    const auto root = NextField(line);
    const auto mountPoint = NextField(line);
    const auto options = NextField(line);
    if (!options) {
        return std::nullopt;
    }
    unsigned ignored = 0;
    if (!ParseNumber(*id, ignored) || !ParseNumber(*parent, ignored)) {
        return std::nullopt;
    }
    MountEntry entry;
    const std::size_t colon = device->find(':');
    if (colon == std::string_view::npos || !ParseNumber(device->substr(0, colon), entry.major) ||
        !ParseNumber(device->substr(colon + 1), entry.minor)) {
        return std::nullopt;
    }
    for (;;) {
        const auto optional = NextField(line);
        if (!optional) {
            return std::nullopt;
        }
        if (*optional == "-") {
            break;
        }
    }
    const auto fsType = NextField(line);
    const auto source = NextField(line);
    if (!source) {
        return std::nullopt;
    }
    entry.root = Unescape(*root);
    entry.mountPoint = Unescape(*mountPoint);
    entry.fsType = Unescape(*fsType);
    entry.source = Unescape(*source);
    return entry;
}

} // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (auto entry = ParseLine(line)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

} // namespace platform::linux_detail
