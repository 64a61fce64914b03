// Any bytes, read twice: as 8-bit text (UTF-8 on this platform) cut to a unit count the input
// chooses, and as UTF-16LE units. The conversions agree with a reference decoder built on the
// table of well-formed UTF-8 sequences, and valid text survives the round trip unchanged.

#include "FuzzCheck.h"
#include "platform/linux/TextConversion.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

using platform::linux_detail::Utf16ToUtf8;
using platform::linux_detail::Utf8ToUtf16;

// The length of the well-formed sequence at the start of s (Unicode's table of well-formed
// UTF-8 byte sequences), 0 when there is none.
std::size_t WellFormedLength(std::string_view s) {
    struct Row {
        unsigned char leadLow, leadHigh, secondLow, secondHigh;
        std::size_t length;
    };
    static const Row kRows[] = {
        {0x00, 0x7F, 0, 0, 1},       {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
        {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3},
        {0xF0, 0xF0, 0x90, 0xBF, 4}, {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
    };
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    for (const Row& row : kRows) {
        if (byte(0) < row.leadLow || byte(0) > row.leadHigh)
            continue;
        if (s.size() < row.length)
            return 0;
        if (row.length > 1 && (byte(1) < row.secondLow || byte(1) > row.secondHigh))
            return 0;
        for (std::size_t i = 2; i < row.length; ++i)
            if (byte(i) < 0x80 || byte(i) > 0xBF)
                return 0;
        return row.length;
    }
    return 0;
}

// UTF-8 to UTF-16 the reference way: each ill-formed byte one U+FFFD, stopping at the first
// character whose units would not fit in maxUnits. Also says whether the text was valid.
std::u16string Reference(std::string_view s, std::size_t maxUnits, bool& valid) {
    std::u16string out;
    valid = true;
    while (!s.empty()) {
        const std::size_t length = WellFormedLength(s);
        char32_t point = 0xFFFD;
        if (length == 0) {
            valid = false;
        } else {
            static const unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
            point = static_cast<unsigned char>(s[0]) & kLeadMask[length];
            for (std::size_t i = 1; i < length; ++i)
                point = point * 64 + (static_cast<unsigned char>(s[i]) - 0x80);
        }
        std::u16string units;
        if (point > 0xFFFF) {
            units += static_cast<char16_t>(0xD800 + ((point - 0x10000) / 0x400));
            units += static_cast<char16_t>(0xDC00 + ((point - 0x10000) % 0x400));
        } else {
            units += static_cast<char16_t>(point);
        }
        if (out.size() + units.size() > maxUnits)
            break;
        out += units;
        s.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

bool HasUnpairedSurrogate(std::u16string_view units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        const bool high = units[i] >= 0xD800 && units[i] < 0xDC00;
        const bool low = units[i] >= 0xDC00 && units[i] < 0xE000;
        if (low)
            return true;
        if (high) {
            if (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] >= 0xE000)
                return true;
            ++i;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    // The first byte chooses the cut: 0 to 254 units, or 255 for no cut at all.
    const std::size_t maxUnits = data[0] == 255 ? std::u16string::npos : data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    bool valid = false;
    const std::u16string wide = Utf8ToUtf16(text, maxUnits);
    FUZZ_CHECK(wide == Reference(text, maxUnits, valid));
    FUZZ_CHECK(wide.size() <= maxUnits);
    const auto narrow = Utf16ToUtf8(wide);
    FUZZ_CHECK(narrow);
    if (valid && maxUnits == std::u16string::npos)
        FUZZ_CHECK(*narrow == text);

    std::u16string units;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(text[i]) |
                                       static_cast<unsigned char>(text[i + 1]) << 8);
    const auto encoded = Utf16ToUtf8(units);
    FUZZ_CHECK(encoded.has_value() == !HasUnpairedSurrogate(units));
    if (encoded) {
        bool encodedValid = false;
        FUZZ_CHECK(Reference(*encoded, std::u16string::npos, encodedValid) == units);
        FUZZ_CHECK(encodedValid);
    }
    return 0;
}
