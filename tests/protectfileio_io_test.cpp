#include "Protectfileio/Protectfileio.h"
#include "SimulatedMachine.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using lunavio_test::ReadFile;
using lunavio_test::SimulatedMachine;
using lunavio_test::WriteFile;

std::vector<WriterNameSlot> Slots(const std::vector<std::u16string>& names) {
    std::vector<WriterNameSlot> slots(names.size());
    for (std::size_t k = 0; k < names.size(); ++k)
        std::copy(names[k].begin(), names[k].end(), slots[k].begin());
    return slots;
}

std::string Encoded(const std::vector<std::u16string>& names, std::uint16_t password,
                    std::uint8_t wait) {
    const ProtectionFile f = EncodeProtectionFile(Slots(names), password, wait);
    return {f.begin(), f.end()};
}

class ProtectionFileIo : public testing::Test {
protected:
    void SetUp() override {
        previous_ = platform::SetMessageBoxHandler(
            [this](const platform::MessageBoxRequest& r) { boxes_.push_back(r); });
    }
    void TearDown() override {
        platform::FailReplaceStepForTesting(std::nullopt);
        platform::SetMessageBoxHandler(previous_);
    }

    struct Read {
        std::int32_t count = -1;
        std::uint16_t password = 0xFFFF;
        std::uint8_t wait = 77;
        std::array<ReaderNameSlot, kMaxPrivateFolders> names{};
    };
    static Read ReadE() {
        Read r;
        r.names[0][0] = u'?';
        ReadProtectionFile('E', r.count, r.password, r.names, r.wait);
        return r;
    }

    SimulatedMachine machine_;
    std::filesystem::path e_ = machine_.AddDrive('E');
    std::filesystem::path file_ = e_ / "MPlay.sys";
    std::vector<platform::MessageBoxRequest> boxes_;
    platform::MessageBoxHandler previous_;
};

TEST_F(ProtectionFileIo, WritesOverALongerFileAndReadsBack) {
    WriteFile(file_, std::string(5000, 'x'));
    const auto slots = Slots({u"A", u"B", u"C"});
    EXPECT_EQ(WriteProtectionFile('E', 3, 0x1234, slots, 3).outcome, WriteOutcome::Written);
    EXPECT_EQ(ReadFile(file_), Encoded({u"A", u"B", u"C"}, 0x1234, 3));
    EXPECT_TRUE(boxes_.empty());

    const Read r = ReadE();
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(r.password, 0x1234);
    EXPECT_EQ(r.wait, 3);
    EXPECT_EQ(std::u16string(r.names[2].data()), u"C");
}

TEST_F(ProtectionFileIo, RefusalsLeaveTheFileAndShowOneMessage) {
    const std::string old = Encoded({u"OLD"}, 0x1111, 1);
    WriteFile(file_, old);
    std::vector<std::u16string> seventeen(17, u"N");
    seventeen[3] = std::u16string(40, u'L');
    const std::u16string thirtyOne(31, u'x');

    struct Case {
        const char* name;
        std::vector<WriterNameSlot> slots;
        std::int32_t count;
        const char* text; // nullptr: no message
        const char* title;
        WriteOutcome outcome;
    };
    WriterNameSlot unterminated;
    unterminated.fill(u'u');
    const std::vector<Case> cases = {
        {"17 names, some too long", Slots(seventeen), 17, "Cannot protect more than 16 folders.",
         "Lunavio Utility", WriteOutcome::Refused},
        {"31 units after a good name", Slots({u"ok", thirtyOne}), 2,
         "Folders to be protected cannot more than 30 characters.", "Tessaro Tool",
         WriteOutcome::Refused},
        {"slot without terminator",
         {unterminated},
         1,
         "Folders to be protected cannot more than 30 characters.",
         "Tessaro Tool",
         WriteOutcome::Refused},
        {"negative count", Slots({u"A"}), -1, nullptr, nullptr, WriteOutcome::Failed},
        {"fewer slots than the count", Slots({u"A"}), 2, nullptr, nullptr, WriteOutcome::Failed},
    };
    for (const auto& c : cases) {
        boxes_.clear();
        EXPECT_EQ(WriteProtectionFile('E', c.count, 0x9999, c.slots, 9).outcome, c.outcome)
            << c.name;
        EXPECT_EQ(ReadFile(file_), old) << c.name;
        if (!c.text) {
            EXPECT_TRUE(boxes_.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(boxes_.size(), 1u) << c.name;
        EXPECT_EQ(boxes_[0].text, c.text) << c.name;
        EXPECT_EQ(boxes_[0].title, c.title) << c.name;
        EXPECT_EQ(boxes_[0].owner, platform::BoxOwner::None) << c.name;
    }
}

TEST_F(ProtectionFileIo, ThirtyUnitNameIsWritten) {
    const std::u16string thirty(30, u'n');
    EXPECT_EQ(WriteProtectionFile('E', 1, 0, Slots({thirty}), 0).outcome, WriteOutcome::Written);
    EXPECT_EQ(std::u16string(ReadE().names[0].data()), thirty);
}

TEST_F(ProtectionFileIo, FailedReplaceKeepsTheOldFileAndSaysWhy) {
    const std::string old = Encoded({u"OLD"}, 0x1111, 1);
    WriteFile(file_, old);
    for (auto step : {platform::ReplaceStep::Create, platform::ReplaceStep::Write,
                      platform::ReplaceStep::Flush, platform::ReplaceStep::Replace}) {
        platform::FailReplaceStepForTesting(step, ENOSPC);
        const WriteResult result = WriteProtectionFile('E', 1, 0x2222, Slots({u"NEW"}), 2);
        EXPECT_EQ(result.outcome, WriteOutcome::Failed);
        ASSERT_TRUE(result.failure);
        EXPECT_EQ(result.failure->step, step);
        EXPECT_EQ(result.failure->fault, platform::FileFault::DiskFull);
        EXPECT_EQ(ReadFile(file_), old);
    }
    EXPECT_TRUE(boxes_.empty());
    platform::FailReplaceStepForTesting(std::nullopt);
    const WriteResult noDrive = WriteProtectionFile('F', 0, 0, {}, 0);
    EXPECT_EQ(noDrive.outcome, WriteOutcome::Failed);
    ASSERT_TRUE(noDrive.failure);
    EXPECT_EQ(noDrive.failure->fault, platform::FileFault::Gone);
}

TEST_F(ProtectionFileIo, InvalidFilesReadAsNoSettings) {
    const std::string valid = Encoded({u"A"}, 0x1234, 3);
    std::string badMagic = valid;
    badMagic[0] = 'z';
    for (const auto& [name, content] : std::vector<std::pair<const char*, std::string>>{
             {"2047 bytes", valid.substr(0, 2047)}, {"bad magic", badMagic}, {"empty", ""}}) {
        WriteFile(file_, content);
        const Read r = ReadE();
        EXPECT_EQ(r.count, 0) << name;
        EXPECT_EQ(r.password, 0) << name;
        EXPECT_EQ(r.wait, 77) << name;          // untouched
        EXPECT_EQ(r.names[0][0], u'?') << name; // untouched
    }
    std::filesystem::remove(file_);
    EXPECT_EQ(ReadE().count, 0);
    EXPECT_EQ(ReadE().password, 0);

    WriteFile(file_, valid + std::string(2048, 'y'));
    EXPECT_EQ(ReadE().count, 1);
}

} // namespace
