#include "SimulatedMachine.h"
#include "platform/Directory.h"
#include "platform/linux/TextConversion.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace {

using lunavio_test::SimulatedMachine;
using lunavio_test::WriteFile;
using platform::SystemTime;
using platform::linux_detail::UnixTimeToSystemTime;
using platform::linux_detail::Utf8ToUtf16;

std::string Fields(const std::optional<SystemTime>& t) {
    if (!t) {
        return "none";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t->year, t->month, t->day,
                  t->hour, t->minute, t->second);
    return text;
}

TEST(FileTimeConversion, GivesUtcFieldsAsTheWindowsConversionWould) {
    constexpr std::int64_t k1601 = -11644473600;
    const struct {
        const char* name;
        std::int64_t seconds;
        std::int64_t nanoseconds;
        const char* expected;
    } cases[] = {
        {"unix_epoch", 0, 0, "1970-01-01 00:00:00"},
        {"example_date", 1141722303, 0, "2006-03-07 09:05:03"},
        {"leap_day", 951782400, 999999999, "2000-02-29 00:00:00"},
        {"before_unix_epoch", -1, 0, "1969-12-31 23:59:59"},
        {"zero_file_time", k1601, 0, "0000-00-00 00:00:00"},
        {"first_unit_after_1601", k1601, 100, "1601-01-01 00:00:00"},
        {"below_one_unit_is_zero_time", k1601, 99, "0000-00-00 00:00:00"},
        {"before_1601", k1601 - 1, 0, "none"},
        {"last_second_that_fits", 910692730085, 0, "30828-09-14 02:48:05"},
        {"beyond_2_pow_63_units", 910692730086, 0, "none"},
        {"far_future", INT64_MAX, 0, "none"},
        {"far_past", INT64_MIN, 0, "none"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Fields(UnixTimeToSystemTime(c.seconds, c.nanoseconds)), c.expected) << c.name;
    }
}

TEST(Utf8Decoding, ReplacesInvalidBytesAndCutsWholeUnits) {
    const struct {
        const char* name;
        std::string_view text;
        std::size_t maxUnits;
        std::u16string expected;
    } cases[] = {
        {"ascii", "MUSIC", 259, u"MUSIC"},
        {"two_and_three_bytes", "\xC3\xA9t\xE2\x82\xAC", 259, u"\u00E9t\u20AC"},
        {"four_bytes_to_pair", "\xF0\x9F\x8E\xB5", 259, u"\U0001F3B5"},
        {"cut_at_limit", "abcdef", 3, u"abc"},
        {"pair_not_split", "a\xF0\x9F\x8E\xB5", 2, u"a"},
        {"latin1_byte", "caf\xE9", 259, u"caf\uFFFD"},
        {"stray_continuation",
         "\x80"
         "a",
         259, u"\uFFFDa"},
        {"overlong", "\xC0\xAF", 259, u"\uFFFD\uFFFD"},
        {"surrogate_encoded", "\xED\xA0\x80", 259, u"\uFFFD\uFFFD\uFFFD"},
        {"above_max", "\xF4\x90\x80\x80", 259, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"cut_short_at_end", "a\xE2\x82", 259, u"a\uFFFD\uFFFD"},
        {"embedded_nul_kept", std::string_view("a\0b", 3), 259, std::u16string(u"a\0b", 3)},
        {"zero_limit", "abc", 0, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.text, c.maxUnits), c.expected) << c.name;
        EXPECT_EQ(platform::AnsiToWide(c.text, c.maxUnits), c.expected) << c.name;
    }
}

struct Listed {
    bool isDirectory;
    std::string time;
};

class EnumerationTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(e_ / "MUSIC");
        std::filesystem::create_directory(e_ / "Fotos \xC3\xA9t\xC3\xA9");
        std::filesystem::create_directory(e_ / "old");
        WriteFile(e_ / "MPlay.sys", "x");
        std::filesystem::create_directory_symlink(e_ / "MUSIC", e_ / "link");
        SetTime("MUSIC", 1141722303);
        SetTime("Fotos \xC3\xA9t\xC3\xA9", 1167955209);
        SetTime("old", 0);
        SetTime("MPlay.sys", 1141722303);
    }
    void SetTime(const char* name, std::int64_t seconds) const {
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (e_ / name).c_str(), times, 0), 0);
    }
    SimulatedMachine machine_;
    std::filesystem::path e_ = machine_.AddDrive('E');
};

TEST_F(EnumerationTest, WideListingGivesNamesKindsAndTimes) {
    std::map<std::u16string, Listed> seen;
    EXPECT_TRUE(platform::EnumerateDirectoryW(u"E:\\*", [&](const platform::FindDataW& d) {
        seen[d.name] = {d.isDirectory, Fields(d.lastWrite)};
    }));
    ASSERT_EQ(seen.size(), 7u);
    EXPECT_TRUE(seen[u"."].isDirectory);
    EXPECT_TRUE(seen[u".."].isDirectory);
    EXPECT_EQ(seen[u"MUSIC"].time, "2006-03-07 09:05:03");
    EXPECT_TRUE(seen[u"MUSIC"].isDirectory);
    EXPECT_EQ(seen[u"Fotos \u00E9t\u00E9"].time, "2007-01-05 00:00:09");
    EXPECT_EQ(seen[u"old"].time, "1970-01-01 00:00:00");
    EXPECT_FALSE(seen[u"MPlay.sys"].isDirectory);
    EXPECT_EQ(seen[u"MPlay.sys"].time, "2006-03-07 09:05:03");
    EXPECT_TRUE(seen[u"link"].isDirectory) << "a link to a folder lists as that folder";
    EXPECT_EQ(seen[u"link"].time, "2006-03-07 09:05:03");
}

TEST_F(EnumerationTest, EightBitListingGivesTheSameEntriesWithRawNames) {
    std::map<std::u16string, Listed> wide;
    std::map<std::u16string, Listed> narrow;
    ASSERT_TRUE(platform::EnumerateDirectoryW(u"e:\\*", [&](const platform::FindDataW& d) {
        wide[d.name] = {d.isDirectory, Fields(d.lastWrite)};
    }));
    bool sawRawName = false;
    ASSERT_TRUE(platform::EnumerateDirectoryA("E:\\*", [&](const platform::FindDataA& d) {
        sawRawName |= d.name == "Fotos \xC3\xA9t\xC3\xA9";
        narrow[platform::AnsiToWide(d.name, 259)] = {d.isDirectory, Fields(d.lastWrite)};
    }));
    EXPECT_TRUE(sawRawName);
    ASSERT_EQ(wide.size(), narrow.size());
    for (const auto& [name, listed] : wide) {
        EXPECT_EQ(narrow[name].isDirectory, listed.isDirectory);
        EXPECT_EQ(narrow[name].time, listed.time);
    }
}

TEST_F(EnumerationTest, UndecodableNamesStillList) {
    std::filesystem::create_directory(e_ / "caf\xE9");
    std::vector<std::u16string> names;
    EXPECT_TRUE(platform::EnumerateDirectoryW(
        u"E:\\*", [&](const platform::FindDataW& d) { names.push_back(d.name); }));
    EXPECT_NE(std::find(names.begin(), names.end(), u"caf\uFFFD"), names.end());
}

TEST_F(EnumerationTest, FailsWithoutVisitingForBadPatternsAndMissingFolders) {
    int visits = 0;
    const auto count = [&](const platform::FindDataA&) { ++visits; };
    for (const char* pattern : {"F:\\*", "E:\\MPlay.sys", "E:\\*.sys", "E:\\nothing\\*",
                                "E:\\MPlay.sys\\*", "E:\\..\\*", "E:*", ""}) {
        EXPECT_FALSE(platform::EnumerateDirectoryA(pattern, count)) << pattern;
    }
    const char16_t lone[] = {u'E', u':', u'\\', 0xD800, u'\\', u'*', 0};
    EXPECT_FALSE(
        platform::EnumerateDirectoryW(lone, [&](const platform::FindDataW&) { ++visits; }));
    EXPECT_EQ(visits, 0);
}

} // namespace
