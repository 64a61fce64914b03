// Any text as /proc/self/mountinfo. Every entry the parser keeps has non-empty fields, there
// are no more entries than lines, and the entries written back in the kernel's escaped form
// parse to the same entries.

#include "FuzzCheck.h"
#include "platform/linux/MountInfo.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

using platform::linux_detail::MountEntry;

// The kernel's escaping: space, tab, newline and backslash as \ooo.
std::string Escaped(std::string_view field) {
    std::string out;
    for (char c : field) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\') {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned char>(c));
            out += octal;
        } else {
            out += c;
        }
    }
    return out;
}

bool Same(const MountEntry& a, const MountEntry& b) {
    return a.major == b.major && a.minor == b.minor && a.root == b.root &&
           a.mountPoint == b.mountPoint && a.fsType == b.fsType && a.source == b.source;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto entries = platform::linux_detail::ParseMountInfo(text);
    FUZZ_CHECK(entries.size() <=
               static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);

    std::string table;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const MountEntry& e = entries[i];
        FUZZ_CHECK(!e.root.empty() && !e.mountPoint.empty() && !e.fsType.empty() &&
                   !e.source.empty());
        table += std::to_string(20 + i) + " 1 " + std::to_string(e.major) + ':' +
                 std::to_string(e.minor) + ' ' + Escaped(e.root) + ' ' + Escaped(e.mountPoint) +
                 " rw,relatime shared:1 - " + Escaped(e.fsType) + ' ' + Escaped(e.source) + " rw\n";
    }
    const auto again = platform::linux_detail::ParseMountInfo(table);
    FUZZ_CHECK(again.size() == entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        FUZZ_CHECK(Same(again[i], entries[i]));
    return 0;
}
