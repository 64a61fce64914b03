#pragma once
// Enumeration of a drive's folder by pattern ("E:\*"), in a wide and an 8-bit form.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A last-write time as UTC calendar fields; all zero when the file system stores no time.
struct SystemTime {
    std::uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct FindDataW {
    std::u16string name; // UTF-16
    bool isDirectory = false;
    std::optional<SystemTime> lastWrite; // nullopt: the time cannot be expressed as calendar fields
};

struct FindDataA {
    std::string name; // the raw name bytes, in the locale's encoding
    bool isDirectory = false;
    std::optional<SystemTime> lastWrite;
};

// Calls visit for every entry of the folder, "." and ".." included, in the file system's
// order. False when the folder cannot be enumerated; visit is then never called.
bool EnumerateDirectoryW(std::u16string_view pattern,
                         const std::function<void(const FindDataW&)>& visit);
bool EnumerateDirectoryA(std::string_view pattern,
                         const std::function<void(const FindDataA&)>& visit);

// 8-bit text in the locale's encoding to UTF-16, cut to at most maxUnits units.
std::u16string AnsiToWide(std::string_view text, std::size_t maxUnits);

} // namespace platform
