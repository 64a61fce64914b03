// One folder as the listing meets it: a name, a last-write time and a drive's private folder
// slots (used, empty or without terminator), on a FAT volume or not. The row agrees with the
// listing rules written out here independently: names passed over, "Name too long", the
// short-name test, the stored name, the private mark and the date text; the 8-bit variant
// gives the same row; and the calendar fields of a file time agree with gmtime.

#include "FrmManage/FolderListing.h"
#include "FuzzCheck.h"
#include "platform/linux/TextConversion.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <fuzzer/FuzzedDataProvider.h>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

class Rows : public FolderRowSink {
public:
    void AppendFolderRow(const FolderRow& row) override { rows.push_back(row); }
    std::vector<FolderRow> rows;
};

bool IsSeparator(char16_t u) {
    return u == u'.' || u == u' ' || u >= 127;
}

// 8.3: at most one separator, at most 8 units before it and at most 3 after it.
bool ReferenceShort(std::u16string_view name) {
    const auto separators = std::count_if(name.begin(), name.end(), IsSeparator);
    if (separators == 0)
        return name.size() <= 8;
    const std::size_t first = std::find_if(name.begin(), name.end(), IsSeparator) - name.begin();
    return separators == 1 && first <= 8 && name.size() - first - 1 <= 3;
}

std::u16string AsciiCase(std::u16string_view name, bool upper) {
    std::u16string out(name);
    for (char16_t& u : out) {
        if (upper && u >= u'a' && u <= u'z')
            u = static_cast<char16_t>(u - 32);
        if (!upper && u >= u'A' && u <= u'Z')
            u = static_cast<char16_t>(u + 32);
    }
    return out;
}

std::u16string ReferenceStored(std::u16string_view name, bool fat) {
    const std::u16string upper = AsciiCase(name, true);
    if (fat && ReferenceShort(name) && (name == upper || name == AsciiCase(name, false)))
        return upper;
    return std::u16string(name);
}

std::string ReferenceModified(const std::optional<platform::SystemTime>& t) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (!t || t->year == 0 || t->month == 0 || t->month > 12)
        return "(Unknown)";
    std::ostringstream text;
    text << kMonths[t->month - 1] << '.' << t->day << ',' << t->year << ' ' << std::setfill('0')
         << std::setw(2) << t->hour << ':' << std::setw(2) << t->minute << ':' << std::setw(2)
         << t->second;
    return text.str();
}

bool ReferencePrivate(const DriveProtection& entry, std::u16string_view stored) {
    for (const PathSlot& slot : entry.PrivateFolders) {
        const std::u16string_view whole(slot.data(), slot.size());
        const std::u16string_view text = whole.substr(0, whole.find(u'\0'));
        if (text.empty())
            return false;
        if (text.size() > 3 && text.substr(3) == stored)
            return true;
    }
    return false;
}

// The calendar fields of a Unix time against gmtime, and the documented limits of a file
// time (from 1601, below 2^63 units of 100 ns).
void CheckCalendar(std::int64_t seconds, std::int64_t nanoseconds) {
    const auto time = platform::linux_detail::UnixTimeToSystemTime(seconds, nanoseconds);
    const __int128 units =
        (static_cast<__int128>(seconds) + 11644473600) * 10'000'000 + nanoseconds / 100;
    const bool representable = nanoseconds >= 0 && nanoseconds < 1'000'000'000 && units >= 0 &&
                               units < (static_cast<__int128>(1) << 63);
    FUZZ_CHECK(time.has_value() == representable);
    if (!time)
        return;
    if (units == 0) {
        FUZZ_CHECK(time->year == 0 && time->month == 0 && time->day == 0 && time->hour == 0 &&
                   time->minute == 0 && time->second == 0);
        return;
    }
    const std::time_t t = seconds;
    std::tm tm{};
    FUZZ_CHECK(::gmtime_r(&t, &tm) != nullptr);
    FUZZ_CHECK(time->year == tm.tm_year + 1900 && time->month == tm.tm_mon + 1 &&
               time->day == tm.tm_mday && time->hour == tm.tm_hour && time->minute == tm.tm_min &&
               time->second == tm.tm_sec);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    VolumeIsFat = input.ConsumeBool();

    // Names are mostly short and ASCII, as folder names are; any unit may come.
    std::u16string name;
    for (auto n = input.ConsumeIntegralInRange<std::size_t>(0, 40); n > 0; --n) {
        name += input.ConsumeBool() ? input.ConsumeIntegralInRange<char16_t>(' ', '~')
                                    : input.ConsumeIntegral<char16_t>();
    }

    DriveProtection entry{};
    entry.DriveLetter = u'E';
    for (PathSlot& slot : entry.PrivateFolders) {
        switch (input.ConsumeIntegralInRange(0, 4)) {
        case 0: // the folder itself, or its other case
        case 1: {
            const std::u16string text = u"E:\\" + AsciiCase(name, input.ConsumeBool());
            std::copy_n(text.begin(), std::min(text.size(), slot.size() - 1), slot.begin());
            break;
        }
        case 2: // a slot without terminator
            std::fill(slot.begin(), slot.end(), input.ConsumeIntegralInRange<char16_t>(1, 0xFFFF));
            break;
        case 3: { // some other text, maybe shorter than "E:\"
            const std::string text = input.ConsumeRandomLengthString(8);
            std::copy(text.begin(), text.end(), slot.begin());
            break;
        }
        default: // empty: ends the list
            break;
        }
    }

    const auto seconds = input.ConsumeIntegral<std::int64_t>();
    const auto nanoseconds = input.ConsumeBool()
                                 ? input.ConsumeIntegralInRange<std::int64_t>(0, 999'999'999)
                                 : input.ConsumeIntegral<std::int64_t>();
    CheckCalendar(seconds, nanoseconds);
    std::optional<platform::SystemTime> lastWrite;
    if (input.ConsumeBool()) {
        lastWrite = platform::linux_detail::UnixTimeToSystemTime(seconds, nanoseconds);
    } else if (input.ConsumeBool()) {
        lastWrite = platform::SystemTime{
            input.ConsumeIntegral<std::uint16_t>(), input.ConsumeIntegral<std::uint16_t>(),
            input.ConsumeIntegral<std::uint16_t>(), input.ConsumeIntegral<std::uint16_t>(),
            input.ConsumeIntegral<std::uint16_t>(), input.ConsumeIntegral<std::uint16_t>()};
    }

    FUZZ_CHECK(IsShortName(name) == ReferenceShort(name));

    Rows wide;
    AddFolderRowW(entry, wide, name, lastWrite);
    const bool passedOver = name == u"." || name == u".." || name == u"Recycled" ||
                            name == u"System Volume Information";
    FUZZ_CHECK(wide.rows.size() == (passedOver ? 0u : 1u));
    if (passedOver)
        return 0;
    const FolderRow& row = wide.rows[0];
    FUZZ_CHECK(row.name == name);
    FUZZ_CHECK(row.nameTooLong == (name.size() >= 19));
    FUZZ_CHECK(row.storedName == ReferenceStored(name, VolumeIsFat));
    FUZZ_CHECK(row.Modified() == ReferenceModified(lastWrite));
    FUZZ_CHECK(row.IsPrivate() == ReferencePrivate(entry, row.storedName));
    FUZZ_CHECK(row.stateIndex == kPrivateStateIndex || row.stateIndex == kPublicStateIndex);

    // The 8-bit variant meets the same folder under its UTF-8 name.
    const auto narrow = platform::linux_detail::Utf16ToUtf8(name);
    if (narrow) {
        Rows eight;
        AddFolderRowA(entry, eight, *narrow, lastWrite);
        FUZZ_CHECK(eight.rows.size() == 1);
        const FolderRow& same = eight.rows[0];
        FUZZ_CHECK(same.name == row.name && same.storedName == row.storedName &&
                   same.Modified() == row.Modified() && same.nameTooLong == row.nameTooLong &&
                   same.stateIndex == row.stateIndex);
    }
    return 0;
}
