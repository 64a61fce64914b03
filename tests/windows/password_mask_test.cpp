// The password box's editing: four positions, digits only, as keys and code change them.

#include "FrmManage/win32/PasswordMask.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

PasswordMask At(std::string text, std::size_t start, std::size_t end) {
    return {std::move(text), start, end};
}

TEST(PasswordMask, TextFromCodeFillsThePositionsWithItsDigits) {
    EXPECT_EQ(MaskedText("0417"), "0417");
    EXPECT_EQ(MaskedText(""), "    ");
    EXPECT_EQ(MaskedText("12"), "12  ");
    EXPECT_EQ(MaskedText("1 3"), "1 3 ");
    EXPECT_EQ(MaskedText("123456"), "1234");
    // A stored nibble above 9 gives a character that takes no position.
    EXPECT_EQ(MaskedText(":234"), "234 ");
}

TEST(PasswordMask, CompleteOnlyWithFourDigits) {
    EXPECT_TRUE(At("0000", 0, 0).Complete());
    EXPECT_FALSE(At("000 ", 0, 0).Complete());
    EXPECT_FALSE(At("    ", 0, 0).Complete());
}

struct Typing {
    const char* name;
    PasswordMask before;
    const char* typed;
    const char* text; // nullptr: refused
    std::size_t caret;
};

void PrintTo(const Typing& typing, std::ostream* out) {
    *out << typing.name;
}

class TypeDigitsTest : public testing::TestWithParam<Typing> {};

TEST_P(TypeDigitsTest, OverwritesFromTheCaretAndTakesDigitsOnly) {
    const Typing& c = GetParam();
    const std::optional<PasswordMask> after = TypeDigits(c.before, c.typed);
    if (!c.text) {
        EXPECT_FALSE(after);
        return;
    }
    ASSERT_TRUE(after);
    EXPECT_EQ(after->text, c.text);
    EXPECT_EQ(after->start, c.caret);
    EXPECT_EQ(after->end, c.caret);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypeDigitsTest,
    testing::Values(Typing{"IntoEmpty", At("    ", 0, 0), "7", "7   ", 1},
                    Typing{"Overwrites", At("1234", 1, 1), "9", "1934", 2},
                    Typing{"AtTheEndChangesNothing", At("1234", 4, 4), "9", "1234", 4},
                    Typing{"ReplacesTheSelection", At("1234", 1, 3), "5", "15 4", 2},
                    Typing{"LetterRefused", At("1234", 0, 0), "a", nullptr, 0},
                    Typing{"SpaceRefused", At("12  ", 2, 2), " ", nullptr, 0},
                    Typing{"PasteTakesItsDigits", At("    ", 0, 4), "4-3x21", "4321", 4},
                    Typing{"PasteStopsAtTheLastPosition", At("    ", 2, 2), "987", "  98", 4},
                    Typing{"PasteWithoutDigitsRefused", At("1234", 0, 4), "abc", nullptr, 0},
                    Typing{"SelectionPastTheEndIsKeptInside", At("1234", 3, 9), "0", "1230", 4}),
    [](const testing::TestParamInfo<Typing>& info) { return info.param.name; });

TEST(PasswordMask, BackspaceBlanksThePositionBeforeTheCaret) {
    const auto after = ErasePositions(At("1234", 4, 4), true);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->text, "123 ");
    EXPECT_EQ(after->start, 3u);
    EXPECT_FALSE(ErasePositions(At("1234", 0, 0), true));
}

TEST(PasswordMask, DeleteBlanksThePositionAfterTheCaretAndStays) {
    const auto after = ErasePositions(At("1234", 1, 1), false);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->text, "1 34");
    EXPECT_EQ(after->start, 1u);
    EXPECT_EQ(after->end, 1u);
    EXPECT_FALSE(ErasePositions(At("1234", 4, 4), false));
}

TEST(PasswordMask, EitherKeyBlanksASelection) {
    for (const bool backward : {true, false}) {
        const auto after = ErasePositions(At("1234", 1, 3), backward);
        ASSERT_TRUE(after);
        EXPECT_EQ(after->text, "1  4");
        EXPECT_EQ(after->start, 1u);
        EXPECT_EQ(after->end, 1u);
    }
}

} // namespace
