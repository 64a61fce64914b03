#pragma once
// UTF-8 to UTF-16 conversion and the calendar fields of file times.

#include "platform/Directory.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::linux_detail {

// UTF-8 to UTF-16, at most maxUnits units (a pair that would not fit is left out whole).
// Each byte that does not begin a valid sequence (stray continuation, overlong form,
// surrogate, above U+10FFFF, cut short) becomes one U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text, std::size_t maxUnits);
// The same into out, whose earlier content is replaced (its storage is reused).
void Utf8ToUtf16(std::string_view text, std::size_t maxUnits, std::u16string& out);

// A Unix time as the UTC calendar fields of the equivalent Windows file time
// ((seconds + 11644473600) * 10^7 + nanoseconds / 100, in 100 ns units from 1601).
// A file time of exactly 0 gives all fields zero; one before 1601 or of 2^63 units or more
// (beyond what the calendar conversion accepts) gives nullopt.
std::optional<SystemTime> UnixTimeToSystemTime(std::int64_t seconds, std::int64_t nanoseconds);

} // namespace platform::linux_detail
