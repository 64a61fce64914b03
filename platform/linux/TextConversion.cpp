#include "platform/linux/TextConversion.h"

#include "platform/Utf8.h"

namespace platform::linux_detail {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The code point of the sequence at text[0], and its length; length 0 when invalid.
std::pair<char32_t, std::size_t> DecodeOne(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length = 0;
    char32_t minimum = 0;
    char32_t point = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, point = lead & 0x07;
    } else {
        return {0, 0};
    }
    if (text.size() < length) {
        return {0, 0};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return {0, 0};
        }
        point = (point << 6) | (byte(i) & 0x3F);
    }
    if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return {0, 0};
    }
    return {point, length};
}

constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr std::int64_t kUnitsPerSecond = 10'000'000;

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's civil_from_days).
void CivilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view text, std::size_t maxUnits) {
    std::u16string wide;
    Utf8ToUtf16(text, maxUnits, wide);
    return wide;
}

void Utf8ToUtf16(std::string_view text, std::size_t maxUnits, std::u16string& wide) {
    wide.clear();
    while (!text.empty()) {
        auto [point, length] = DecodeOne(text);
        if (length == 0) {
            point = kReplacement;
            length = 1;
        }
        const std::size_t units = point >= 0x10000 ? 2 : 1;
        if (wide.size() + units > maxUnits) {
            break;
        }
        if (units == 2) {
            wide.push_back(static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(point));
        }
        text.remove_prefix(length);
    }
}

std::optional<SystemTime> UnixTimeToSystemTime(std::int64_t seconds, std::int64_t nanoseconds) {
    // Seconds since 1601, kept in range so the units below cannot overflow.
    constexpr std::int64_t kMaxSeconds = INT64_MAX / kUnitsPerSecond;
    if (nanoseconds < 0 || nanoseconds >= 1'000'000'000 || seconds < -kSecondsFrom1601To1970 ||
        seconds > kMaxSeconds - kSecondsFrom1601To1970) {
        return std::nullopt;
    }
    const std::int64_t sinceEpoch1601 = seconds + kSecondsFrom1601To1970;
    const std::int64_t units = sinceEpoch1601 * kUnitsPerSecond;
    if (units > INT64_MAX - nanoseconds / 100) {
        return std::nullopt;
    }
    if (units + nanoseconds / 100 == 0) {
        return SystemTime{};
    }
    const std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    const std::int64_t secondOfDay = seconds - days * 86400;
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, year, month, day);
    SystemTime time;
    time.year = static_cast<std::uint16_t>(year);
    time.month = static_cast<std::uint16_t>(month);
    time.day = static_cast<std::uint16_t>(day);
    time.hour = static_cast<std::uint16_t>(secondOfDay / 3600);
    time.minute = static_cast<std::uint16_t>(secondOfDay / 60 % 60);
    time.second = static_cast<std::uint16_t>(secondOfDay % 60);
    return time;
}

} // namespace platform::linux_detail
