#include "Protectfileio/Protectfileio.h"
#include "RegistryFile.h"
#include "SimulatedMachine.h"
#include "app/DriveTable.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using lunavio_test::ModelKey;
using lunavio_test::RegistryFile;
using lunavio_test::SimulatedMachine;
using lunavio_test::ZembarKey;

const std::string kModel = ModelKey("KR512", 1, 0x1D6B, 0x0104);
const std::string kDeviceLine = "\tUSB\\VID_1D6B&PID_0104\\SER\t1";

void WriteProtection(const std::filesystem::path& folder, const std::vector<std::u16string>& names,
                     std::uint16_t password, std::uint8_t waitState) {
    std::vector<WriterNameSlot> slots(names.size(), WriterNameSlot{});
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::copy(names[i].begin(), names[i].end(), slots[i].begin());
    }
    const ProtectionFile file = EncodeProtectionFile(slots, password, waitState);
    lunavio_test::WriteFile(folder / "MPlay.sys",
                            {reinterpret_cast<const char*>(file.data()), file.size()});
}

PathSlot Slot(std::u16string_view text) {
    PathSlot slot{};
    std::copy(text.begin(), text.end(), slot.begin());
    return slot;
}

DriveProtection Entry(char16_t letter, std::uint16_t password, std::uint16_t waitState,
                      const std::vector<std::u16string>& paths = {}) {
    DriveProtection entry{};
    entry.DriveLetter = letter;
    entry.Password = password;
    entry.WaitState = waitState;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        entry.PrivateFolders[i] = Slot(paths[i]);
    }
    return entry;
}

bool operator==(const DriveProtection& a, const DriveProtection& b) {
    return a.DriveLetter == b.DriveLetter && a.Password == b.Password &&
           a.WaitState == b.WaitState && a.PrivateFolders == b.PrivateFolders;
}

void ExpectTable(const std::vector<DriveProtection>& used) {
    for (std::size_t i = 0; i < kDriveTableEntries; ++i) {
        const DriveProtection expected = i < used.size() ? used[i] : DriveProtection{};
        EXPECT_TRUE(DriveTable[i] == expected) << "entry " << i;
    }
}

TEST(BuildDriveTable, NothingFoundLeavesTheTableZero) {
    SimulatedMachine machine;
    WriteProtection(machine.AddDrive('E', kDeviceLine), {u"A"}, 0x1234, 3);
    RegistryFile registry(ZembarKey() + ModelKey("KR512", 1, 0x1D6B, 0x9999));
    DriveTable[0].DriveLetter = u'X'; // left over from an earlier build

    EXPECT_EQ(BuildDriveTable(), 0);
    ExpectTable({});
}

TEST(BuildDriveTable, DriveWithoutFileHasAnEntryWithoutSettings) {
    SimulatedMachine machine;
    machine.AddDrive('E', kDeviceLine);
    RegistryFile registry(ZembarKey() + kModel);

    EXPECT_EQ(BuildDriveTable(), 1);
    ExpectTable({Entry(u'E', 0, 0)});
}

TEST(BuildDriveTable, NamesFillSlotsAsRootPaths) {
    SimulatedMachine machine;
    WriteProtection(machine.AddDrive('E', kDeviceLine), {u"A", u"B", u"C"}, 0x1234, 9);
    RegistryFile registry(ZembarKey() + kModel);

    EXPECT_EQ(BuildDriveTable(), 1);
    ExpectTable({Entry(u'E', 0x1234, 9, {u"E:\\A", u"E:\\B", u"E:\\C"})});
}

TEST(BuildDriveTable, DriveWithoutFileAfterOneWithFileHasWaitStateZero) {
    SimulatedMachine machine;
    WriteProtection(machine.AddDrive('E', kDeviceLine), {u"MUSIC"}, 0x4321, 7);
    machine.AddDrive('F', kDeviceLine);
    RegistryFile registry(ZembarKey() + kModel);

    EXPECT_EQ(BuildDriveTable(), 2);
    ExpectTable({Entry(u'E', 0x4321, 7, {u"E:\\MUSIC"}), Entry(u'F', 0, 0)});
}

TEST(BuildDriveTable, SameLetterTwiceGivesTwoIdenticalEntries) {
    SimulatedMachine machine;
    WriteProtection(machine.AddDrive('E', kDeviceLine), {u"A"}, 0x1111, 1);
    RegistryFile registry(ZembarKey() + kModel + ModelKey("KR512B", 1, 0x1D6B, 0x0104));

    EXPECT_EQ(BuildDriveTable(), 2);
    const DriveProtection e = Entry(u'E', 0x1111, 1, {u"E:\\A"});
    ExpectTable({e, e});
}

TEST(BuildDriveTable, NineLettersFillSevenEntries) {
    SimulatedMachine machine;
    std::vector<DriveProtection> expected;
    for (char letter = 'E'; letter <= 'M'; ++letter) {
        const auto waitState = static_cast<std::uint8_t>(letter - 'E' + 1);
        WriteProtection(machine.AddDrive(letter, kDeviceLine), {}, 0x1000, waitState);
        expected.push_back(Entry(static_cast<char16_t>(letter), 0x1000, waitState));
    }
    expected.resize(kDriveTableEntries);
    RegistryFile registry(ZembarKey() + kModel);

    EXPECT_EQ(BuildDriveTable(), 9);
    ExpectTable(expected);
}

// The whole start-up path: the real libDeviceInfo.so, the demo's registry and machine.
TEST(BuildDriveTable, FindsTheDemoDrivesWithTheirFiles) {
    ::setenv("LUNAVIO_SIMULATION", LUNAVIO_DEMO_DIR "/lunavio.sim", 1);
    ::setenv("LUNAVIO_REGISTRY", LUNAVIO_DEMO_DIR "/hkcu.reg", 1);
    const int found = BuildDriveTable();
    ::unsetenv("LUNAVIO_SIMULATION");
    ::unsetenv("LUNAVIO_REGISTRY");

    EXPECT_EQ(found, 2);
    ExpectTable({Entry(u'E', 0x2580, 3, {u"E:\\PHOTOS", u"E:\\Movies"}), Entry(u'F', 0, 0)});
}

} // namespace
