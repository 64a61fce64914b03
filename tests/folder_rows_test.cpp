#include "FrmManage/FolderRows.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using platform::SystemTime;

FolderRow MakeRow(std::u16string name, std::u16string stored, SystemTime time = {},
                  int stateIndex = kPublicStateIndex) {
    FolderRow row;
    row.nameTooLong = name.size() >= 19;
    row.name = std::move(name);
    row.storedName = std::move(stored);
    row.lastWrite = time;
    row.stateIndex = stateIndex;
    return row;
}

void ExpectRow(const FolderRowView& actual, const FolderRow& expected) {
    EXPECT_EQ(actual.name, expected.name);
    EXPECT_EQ(actual.storedName, expected.storedName);
    EXPECT_EQ(actual.Modified(), expected.Modified());
    EXPECT_EQ(actual.nameTooLong, expected.nameTooLong);
    EXPECT_EQ(actual.stateIndex, expected.stateIndex);
}

TEST(FolderRows, GivesBackEveryRowAsAppended) {
    const std::u16string longest(FolderRows::kMaxTextUnits, u'L');
    const FolderRow rows[] = {
        MakeRow(u"music", u"MUSIC", {2006, 3, 7, 9, 5, 3}, kPrivateStateIndex),
        MakeRow(u"Music", u"Music", {2007, 1, 5, 0, 0, 9}),
        MakeRow(u"", u""),
        MakeRow(u"same", u""),
        MakeRow(u"", u"STORED"),
        MakeRow(u"\U0001F600 \u65e5\u672c", u"\U0001F600 \u65e5\u672c",
                {65535, 12, 65535, 65535, 65535, 65535}),
        MakeRow(longest, longest),
        MakeRow(u"short", longest),
        MakeRow(longest, u"short", {}, kPrivateStateIndex),
    };
    FolderRows store;
    for (const FolderRow& row : rows) {
        store.Append(row);
    }
    ASSERT_EQ(store.Size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        ExpectRow(store.Row(i), rows[i]);
    }
}

TEST(FolderRows, CutsTextsToANameBlock) {
    const std::u16string tooLong(FolderRows::kMaxTextUnits + 40, u'x');
    FolderRows store;
    store.Append(MakeRow(tooLong, tooLong + u"y"));
    EXPECT_EQ(store.Row(0).name, tooLong.substr(0, FolderRows::kMaxTextUnits));
    EXPECT_EQ(store.Row(0).storedName, tooLong.substr(0, FolderRows::kMaxTextUnits));
}

// Enough rows of the longest texts to fill many blocks of entries and of text; earlier
// views stay valid while rows are added, and a cleared store is filled again.
TEST(FolderRows, ManyRowsAcrossBlocksAndAfterClear) {
    const auto rowOf = [](int i, std::size_t units) {
        std::u16string name;
        for (const char digit : std::to_string(i)) {
            name += static_cast<char16_t>(digit);
        }
        name.resize(units, static_cast<char16_t>(0x4e00 + i % 2000));
        const std::u16string stored = i % 3 ? name : name.substr(1) + u"!";
        return MakeRow(name, stored, {static_cast<std::uint16_t>(1601 + i), 1, 1},
                       i % 7 ? kPublicStateIndex : kPrivateStateIndex);
    };
    FolderRows store;
    for (const std::size_t units : {FolderRows::kMaxTextUnits, std::size_t{7}}) {
        SCOPED_TRACE(units);
        store.Clear();
        EXPECT_EQ(store.Size(), 0u);
        constexpr int kRows = 10'000;
        store.Append(rowOf(0, units));
        const FolderRowView first = store.Row(0);
        for (int i = 1; i < kRows; ++i) {
            store.Append(rowOf(i, units));
        }
        ASSERT_EQ(store.Size(), static_cast<std::size_t>(kRows));
        ExpectRow(first, rowOf(0, units));
        for (int i = 0; i < kRows; ++i) {
            ExpectRow(store.Row(static_cast<std::size_t>(i)), rowOf(i, units));
        }
        EXPECT_THROW(store.Row(kRows), std::out_of_range);
    }
}

TEST(FolderRows, SetStateIndexChangesOneRow) {
    FolderRows store;
    store.Append(MakeRow(u"A", u"A"));
    store.Append(MakeRow(u"B", u"B", {}, kPrivateStateIndex));
    store.SetStateIndex(0, kPrivateStateIndex);
    store.SetStateIndex(1, kPublicStateIndex);
    EXPECT_TRUE(store.Row(0).IsPrivate());
    EXPECT_FALSE(store.Row(1).IsPrivate());
    EXPECT_EQ(store.Row(1).name, u"B");
    EXPECT_THROW(store.SetStateIndex(2, kPrivateStateIndex), std::out_of_range);
}

} // namespace
