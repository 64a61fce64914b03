#include "Protectfileio/Protectfileio.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

// Drive E, names A, B, C, password 1234, wait state 3, written out by hand from the layout:
// every byte not listed here is zero.
ProtectionFile GoldenABC() {
    ProtectionFile f{};
    const std::vector<std::pair<std::size_t, std::vector<std::uint8_t>>> nonZero = {
        // "Zembar KR512 Protect:MPlay.sys", then the terminator at 30 and a zero at 31.
        {0, {0x5A, 0x65, 0x6D, 0x62, 0x61, 0x72, 0x20, 0x4B, 0x52, 0x35,
             0x31, 0x32, 0x20, 0x50, 0x72, 0x6F, 0x74, 0x65, 0x63, 0x74,
             0x3A, 0x4D, 0x50, 0x6C, 0x61, 0x79, 0x2E, 0x73, 0x79, 0x73}},
        // word 1 LE, wait 3, count 3, word 4 LE, word 4 LE, password 12 34 big-endian.
        {32, {0x01, 0x00, 0x03, 0x03, 0x04, 0x00, 0x04, 0x00, 0x12, 0x34}},
        {1024, {0xFF, 0xFF, 0x41, 0x00}}, // entry 0: mark, "A", terminator follows
        {1088, {0xFF, 0xFF, 0x42, 0x00}}, // entry 1: "B"
        {1152, {0xFF, 0xFF, 0x43, 0x00}}, // entry 2: "C"
    };
    for (const auto& [at, bytes] : nonZero)
        for (std::size_t i = 0; i < bytes.size(); ++i)
            f[at + i] = bytes[i];
    return f;
}

WriterNameSlot Slot(const std::u16string& name) {
    WriterNameSlot slot{};
    std::copy(name.begin(), name.end(), slot.begin());
    return slot;
}

std::vector<WriterNameSlot> Slots(const std::vector<std::u16string>& names) {
    std::vector<WriterNameSlot> slots;
    for (const auto& n : names)
        slots.push_back(Slot(n));
    return slots;
}

std::u16string NameOf(const ReaderNameSlot& slot) {
    return std::u16string(slot.data());
}

TEST(ProtectionCodec, EncodesTheGoldenFileByteForByte) {
    const auto slots = Slots({u"A", u"B", u"C"});
    EXPECT_EQ(EncodeProtectionFile(slots, 0x1234, 3), GoldenABC());
}

TEST(ProtectionCodec, DecodesTheGoldenFile) {
    const ProtectionFile golden = GoldenABC();
    const auto s = DecodeProtectionFile(golden);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->folderCount, 3);
    EXPECT_EQ(s->password, 0x1234);
    EXPECT_EQ(s->waitState, 3);
    EXPECT_EQ(NameOf(s->names[0]), u"A");
    EXPECT_EQ(NameOf(s->names[1]), u"B");
    EXPECT_EQ(NameOf(s->names[2]), u"C");
    EXPECT_EQ(s->names[3], ReaderNameSlot{});
}

TEST(ProtectionCodec, SixteenFullNamesFillTheFileAndComeBack) {
    std::vector<std::u16string> names;
    for (int k = 0; k < 16; ++k)
        names.push_back(std::u16string(30, static_cast<char16_t>(u'\u00C0' + k)));
    const ProtectionFile f = EncodeProtectionFile(Slots(names), 0, 255);
    // Entry 15's last name unit sits at 2044..2045, its terminator at 2046..2047.
    EXPECT_EQ(f[2044], 0xCF);
    EXPECT_EQ(f[2045], 0x00);
    EXPECT_EQ(f[2046], 0x00);
    EXPECT_EQ(f[2047], 0x00);
    EXPECT_EQ(f[34], 0xFF);
    EXPECT_EQ(f[40], 0x00);
    EXPECT_EQ(f[41], 0x00);
    const auto s = DecodeProtectionFile(f);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->folderCount, 16);
    EXPECT_EQ(s->waitState, 255);
    EXPECT_EQ(s->password, 0);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(NameOf(s->names[k]), names[k]) << k;
}

TEST(ProtectionCodec, ZeroNamesLeaveTheEntriesZero) {
    const ProtectionFile f = EncodeProtectionFile({}, 0x9876, 1);
    for (std::size_t i = 1024; i < f.size(); ++i)
        ASSERT_EQ(f[i], 0) << i;
    const auto s = DecodeProtectionFile(f);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->folderCount, 0);
    EXPECT_EQ(s->password, 0x9876);
}

struct DecodeCase {
    const char* name;
    std::vector<std::uint8_t> content;
    std::optional<int> count; // nullopt: rejected
};

std::vector<std::uint8_t> GoldenWith(std::size_t at, std::uint8_t value) {
    const ProtectionFile g = GoldenABC();
    std::vector<std::uint8_t> v(g.begin(), g.end());
    v[at] = value;
    return v;
}

std::vector<std::uint8_t> GoldenBytes() {
    const ProtectionFile g = GoldenABC();
    return {g.begin(), g.end()};
}

TEST(ProtectionCodec, DecodeTable) {
    auto longer = GoldenBytes();
    longer.resize(4096, 0xEE);
    auto shorter = GoldenBytes();
    shorter.pop_back();
    auto plain = GoldenBytes();
    for (std::size_t at : {32u, 36u, 38u, 1024u, 1025u, 1088u, 1089u})
        plain[at] = 0;

    const std::vector<DecodeCase> cases = {
        {"2047 bytes", shorter, std::nullopt},
        {"4096 bytes, valid start", longer, 3},
        {"magic case differs", GoldenWith(0, 'z'), std::nullopt},
        {"magic last char differs", GoldenWith(29, 'S'), std::nullopt},
        {"magic terminator not zero", GoldenWith(30, 'x'), std::nullopt},
        {"byte 31 not examined", GoldenWith(31, 0x55), 3},
        {"zero header words and marks", plain, 3},
        {"count 16", GoldenWith(35, 16), 16},
        {"count 17", GoldenWith(35, 17), std::nullopt},
        {"count 255", GoldenWith(35, 255), std::nullopt},
        {"empty", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto s = DecodeProtectionFile(c.content);
        ASSERT_EQ(s.has_value(), c.count.has_value()) << c.name;
        if (s) {
            EXPECT_EQ(s->folderCount, *c.count) << c.name;
        }
    }
}

TEST(ProtectionCodec, NameWithoutTerminatorIsCutAtThirtyOneUnits) {
    ProtectionFile f = GoldenABC();
    // Entry 0's 62 name bytes all 'x' (no zero unit), entry 1's mark overwritten too.
    for (std::size_t i = 1026; i < 1088; i += 2)
        f[i] = 'x';
    const auto s = DecodeProtectionFile(f);
    ASSERT_TRUE(s);
    EXPECT_EQ(NameOf(s->names[0]), std::u16string(31, u'x'));
    EXPECT_EQ(NameOf(s->names[1]), u"B");
}

} // namespace
