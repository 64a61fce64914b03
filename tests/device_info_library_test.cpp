#include "Hdddevctrl/DeviceRecord.h"
#include "SimulatedMachine.h"
#include "platform/Library.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using lunavio_test::SimulatedMachine;

class DeviceInfoLibrary : public testing::Test {
protected:
    void SetUp() override {
        library_ = platform::Library::Load("DeviceInfo", {platform::LibraryFolder()},
                                           platform::SystemSearch::No);
        ASSERT_TRUE(library_);
        prepare_ = reinterpret_cast<PrepareDevInfoFn>(library_->Symbol("_PrepareDevInfo"));
        isDevExist2_ = reinterpret_cast<IsDevExist2Fn>(library_->Symbol("_IsDevExist2"));
        ASSERT_TRUE(prepare_ && isDevExist2_);
    }

    std::optional<platform::Library> library_;
    PrepareDevInfoFn prepare_ = nullptr;
    IsDevExist2Fn isDevExist2_ = nullptr;
};

TEST_F(DeviceInfoLibrary, ExportsTheEightEntryPointsByName) {
    for (const char* name : kDeviceInfoEntryPoints) {
        EXPECT_NE(library_->Symbol(name), nullptr) << name;
    }
}

TEST_F(DeviceInfoLibrary, ReportsOneRecordPerSimulatedDrive) {
    SimulatedMachine machine;
    const std::string longId = "USB\\VID_1D6B&PID_0104\\" + std::string(3000, 'S');
    machine.AddDrive('E', "\tUSB\\VID_1D6B&PID_0104\\SER1\t1");
    machine.AddDrive('F', "\t" + longId + "\t0");
    prepare_(0);

    std::uint32_t count = 0;
    EXPECT_NE(isDevExist2_(0, 0, 0, 0, nullptr, &count), 1);
    ASSERT_EQ(count, 2u);

    std::vector<DeviceRecord> records(count, DeviceRecord{});
    ASSERT_EQ(isDevExist2_(0, 0, 0, 0, records.data(), &count), 1);
    ASSERT_EQ(count, 2u);

    const std::array<char, kRootPathBytes> rootE = {'E', ':', '\\'};
    EXPECT_EQ(records[0].RootPath, rootE);
    EXPECT_EQ(records[0].Eligible, 1);
    EXPECT_STREQ(records[0].DeviceId.data(), "USB\\VID_1D6B&PID_0104\\SER1");

    EXPECT_EQ(records[1].RootPath[0], 'F');
    EXPECT_EQ(records[1].Eligible, 0);
    EXPECT_EQ(std::string(records[1].DeviceId.data(), kDeviceIdBytes - 1),
              longId.substr(0, kDeviceIdBytes - 1));
    EXPECT_EQ(records[1].DeviceId.back(), '\0');
}

TEST_F(DeviceInfoLibrary, FillsNoMoreRecordsThanItIsGivenRoomFor) {
    SimulatedMachine machine;
    machine.AddDrive('E');
    machine.AddDrive('F');
    machine.AddDrive('G');
    prepare_(0);

    std::vector<DeviceRecord> records(2);
    std::memset(records.data(), 0x5A, sizeof(DeviceRecord) * records.size());
    std::uint32_t count = 1;
    ASSERT_EQ(isDevExist2_(0, 0, 0, 0, records.data(), &count), 1);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(records[0].RootPath[0], 'E');
    EXPECT_EQ(records[1].RootPath[0], 0x5A);
}

TEST_F(DeviceInfoLibrary, EmptyMachineHasNothingToFetch) {
    SimulatedMachine machine;
    prepare_(0);
    std::uint32_t count = 7;
    EXPECT_EQ(isDevExist2_(0, 0, 0, 0, nullptr, &count), 1);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(isDevExist2_(0, 0, 0, 0, nullptr, nullptr), 0);
}

} // namespace
