// Our DeviceInfo.dll on the system it runs on (under Wine in CI), called as a program calls
// it: the records must name exactly the system's lettered local drives.

#include "Hdddevctrl/DeviceRecord.h"
#include "platform/Library.h"
#include "platform/windows/Win32.h"

#include <cstring>
#include <gtest/gtest.h>
#include <iostream>
#include <string>
#include <vector>

namespace {

class OurDeviceInfo : public testing::Test {
protected:
    void SetUp() override {
        // The build keeps it in DeviceInfo/ beside bin/, where the tests' stand-in lies.
        library_ = platform::Library::Load("DeviceInfo",
                                           {platform::LibraryFolder().parent_path() / "DeviceInfo"},
                                           platform::SystemSearch::No);
        ASSERT_TRUE(library_);
        init_ = reinterpret_cast<DllInitFn>(library_->Symbol("_DLLInit"));
        prepare_ = reinterpret_cast<PrepareDevInfoFn>(library_->Symbol("_PrepareDevInfo"));
        release_ = reinterpret_cast<ReleaseDevInfoFn>(library_->Symbol("_ReleaseDevInfo"));
        isDevExist2_ = reinterpret_cast<IsDevExist2Fn>(library_->Symbol("_IsDevExist2"));
        ASSERT_TRUE(init_ && prepare_ && release_ && isDevExist2_);
        init_(0);
        prepare_(0);
    }

    std::optional<platform::Library> library_;
    DllInitFn init_ = nullptr;
    PrepareDevInfoFn prepare_ = nullptr;
    ReleaseDevInfoFn release_ = nullptr;
    IsDevExist2Fn isDevExist2_ = nullptr;
};

// The letters the system reports, but its network drives.
std::string LocalDriveLetters() {
    std::string letters;
    const DWORD drives = ::GetLogicalDrives();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const char root[] = {letter, ':', '\\', '\0'};
        const UINT type = ::GetDriveTypeA(root);
        if ((drives & (1u << (letter - 'A'))) && type != DRIVE_REMOTE &&
            type != DRIVE_NO_ROOT_DIR) {
            letters += letter;
        }
    }
    return letters;
}

TEST_F(OurDeviceInfo, ExportsTheEightEntryPointsByName) {
    for (const char* name : kDeviceInfoEntryPoints) {
        EXPECT_NE(library_->Symbol(name), nullptr) << name;
    }
}

TEST_F(OurDeviceInfo, ReportsEveryLetteredLocalDrive) {
    std::uint32_t count = 0;
    const std::int32_t counted = isDevExist2_(0, 0, 0, 0, nullptr, &count);
    EXPECT_EQ(counted == 1, count == 0) << "1 only when there is nothing to fetch";

    std::vector<DeviceRecord> records(count);
    std::memset(records.data(), 0x5A, sizeof(DeviceRecord) * records.size());
    const std::uint32_t announced = count;
    ASSERT_EQ(isDevExist2_(0, 0, 0, 0, records.data(), &count), 1);
    ASSERT_EQ(count, announced);

    std::string letters;
    for (const DeviceRecord& record : records) {
        letters += record.RootPath[0];
        const std::array<char, kRootPathBytes> root = {record.RootPath[0], ':', '\\'};
        EXPECT_EQ(record.RootPath, root);
        EXPECT_NE(std::memchr(record.DeviceId.data(), '\0', kDeviceIdBytes), nullptr);
        // What the machine's drives are, in the test's log.
        std::cout << root.data() << "  device id \"" << record.DeviceId.data() << "\", eligible "
                  << record.Eligible << "\n";
    }
    EXPECT_EQ(letters, LocalDriveLetters());
}

TEST_F(OurDeviceInfo, FillsNoMoreRecordsThanItIsGivenRoomFor) {
    std::uint32_t count = 0;
    isDevExist2_(0, 0, 0, 0, nullptr, &count);
    ASSERT_GE(count, 2u) << "C: and one more drive";

    std::vector<DeviceRecord> records(2);
    std::memset(records.data(), 0x5A, sizeof(DeviceRecord) * records.size());
    count = 1;
    ASSERT_EQ(isDevExist2_(0, 0, 0, 0, records.data(), &count), 1);
    EXPECT_EQ(count, 1u);
    EXPECT_NE(records[0].RootPath[0], 0x5A);
    EXPECT_EQ(records[1].RootPath[0], 0x5A);
}

TEST_F(OurDeviceInfo, ReleaseLeavesNothingToFetch) {
    release_();
    std::uint32_t count = 7;
    EXPECT_EQ(isDevExist2_(0, 0, 0, 0, nullptr, &count), 1);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(isDevExist2_(0, 0, 0, 0, nullptr, nullptr), 0);
}

} // namespace
