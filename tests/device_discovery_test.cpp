#include "Hdddevctrl/DeviceDiscovery.h"
#include "Hdddevctrl/DiscoveryDiagnosis.h"
#include "RegistryFile.h"
#include "SimulatedMachine.h"
#include "platform/Drives.h"
#include "platform/Library.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

using lunavio_test::ModelKey;
using lunavio_test::RegistryFile;
using lunavio_test::ZembarKey;

const std::filesystem::path kFakes = LUNAVIO_FAKES_DIR;

// Model A is what most fake records carry; model B is only on a lower-case record.
const std::string kModelA = ModelKey("KR512", 1, 0x1D6B, 0x0104);
const std::string kLastModelA = ModelKey("Z999", 1, 0x1D6B, 0x0104);
const std::string kModelB = ModelKey("KR600", 1, 0xABCD, 0x12EF);

const std::string kInit = "DLLInit(0) PrepareDevInfo(0) IsDevExist2(0,0,0,0,none) ";
std::string Fetch(int count) {
    return kInit + "IsDevExist2(0,0,0,0,array[" + std::to_string(count) + "]) ";
}

// A discovery over one fake library, with the boxes it shows and the calls the fake saw.
class FakeDevice {
public:
    explicit FakeDevice(const std::string& scenario)
        : discovery_({kFakes / scenario}, platform::SystemSearch::No),
          spy_(platform::Library::Load("DeviceInfo", {kFakes / scenario},
                                       platform::SystemSearch::No)) {
        previous_ = platform::SetMessageBoxHandler(
            [this](const platform::MessageBoxRequest& box) { boxes_.push_back(box); });
        if (spy_) {
            reinterpret_cast<void (*)()>(spy_->Symbol("FakeClearLog"))();
        }
    }
    ~FakeDevice() {
        platform::SetMessageBoxHandler(std::move(previous_));
        platform::SetOsMajorVersionForTesting(10);
    }

    // The result and the letters written.
    std::pair<int, std::string> Discover() {
        list_.fill('\x7f');
        const int result = discovery_.GetDrives(list_);
        return {result, std::string(list_.data(), static_cast<std::size_t>(std::max(result, 0)))};
    }
    std::string Calls() const {
        return spy_ ? reinterpret_cast<const char* (*)()>(spy_->Symbol("FakeCallLog"))() : "";
    }
    const std::vector<platform::MessageBoxRequest>& Boxes() const { return boxes_; }
    DeviceDiscovery& Discovery() { return discovery_; }

private:
    DeviceDriveList list_{};
    DeviceDiscovery discovery_;
    std::optional<platform::Library> spy_; // a second handle on the same loaded fake
    std::vector<platform::MessageBoxRequest> boxes_;
    platform::MessageBoxHandler previous_;
};

struct LoaderCase {
    const char* name;
    const char* scenario;
    const char* message;
};

class LoaderFailure : public testing::TestWithParam<LoaderCase> {};

TEST_P(LoaderFailure, RefusesWithItsMessageOnEveryDiscovery) {
    RegistryFile registry(ZembarKey() + kModelA);
    FakeDevice device(GetParam().scenario);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(device.Discover().first, -1);
        ASSERT_EQ(device.Boxes().size(), attempt + 1u);
        EXPECT_EQ(device.Boxes().back().text, GetParam().message);
        EXPECT_EQ(device.Boxes().back().title, "Error");
        EXPECT_EQ(device.Boxes().back().owner, platform::BoxOwner::None);
    }
    EXPECT_FALSE(device.Discovery().LoadLibrary());
    EXPECT_EQ(device.Calls(), "");
}

INSTANTIATE_TEST_SUITE_P(Device, LoaderFailure,
                         testing::Values(LoaderCase{"Missing", "NoSuchFolder",
                                                    "Load DeviceInfo.dll failed."},
                                         LoaderCase{"LacksEjectDev", "LacksEjectDev",
                                                    "Load function of DeviceInfo.dll failed."},
                                         LoaderCase{"LacksIsDevExist2", "LacksIsDevExist2",
                                                    "Load function of DeviceInfo.dll failed."}),
                         [](const auto& info) { return std::string(info.param.name); });

struct DiscoveryCase {
    const char* name;
    const char* scenario;
    std::string registry;
    int osMajor;
    int result;
    std::string letters;
    std::string calls;
};

// count models that match nothing (M000, M001, ...), then last.
std::string Models(int count, const std::string& last) {
    std::string text = ZembarKey();
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "M%03d", i);
        text += ModelKey(name, 1, 0xFFFF, 0xFFFF);
    }
    return text + last;
}

std::string ManyModelA(int count) {
    std::string text = ZembarKey();
    for (int i = 0; i < count; ++i) {
        text += ModelKey("A" + std::to_string(100 + i), 1, 0x1D6B, 0x0104);
    }
    return text;
}

class Discovery : public testing::TestWithParam<DiscoveryCase> {};

TEST_P(Discovery, FindsTheDeviceLettersInOrder) {
    const DiscoveryCase& c = GetParam();
    RegistryFile registry(c.registry);
    FakeDevice device(c.scenario);
    platform::SetOsMajorVersionForTesting(c.osMajor);

    const auto [result, letters] = device.Discover();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(letters, c.letters);
    EXPECT_EQ(device.Calls(), c.calls);
    EXPECT_TRUE(device.Boxes().empty());
}

// Standard records: E (A), F (B in lower case), G (A, not eligible), H (A, texts reversed),
// I (other product), no root (A), Z (VID_0000&PID_0000).
INSTANTIATE_TEST_SUITE_P(
    Device, Discovery,
    testing::Values(
        DiscoveryCase{"NoZembarKeyCallsNothing", "Standard",
                      "[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n\r\n", 10, 0, "", ""},
        DiscoveryCase{"KeyWithoutSubkeysStillFetches", "Standard", ZembarKey(), 10, 0, "",
                      Fetch(7)},
        DiscoveryCase{"EligibleOnesOnNewSystems", "Standard", ZembarKey() + kModelA, 10, 2, "EH",
                      Fetch(7)},
        DiscoveryCase{"EveryMatchOnOldSystems", "Standard", ZembarKey() + kModelA, 3, 3, "EGH",
                      Fetch(7)},
        DiscoveryCase{"LowerCaseIdMatches", "Standard", ZembarKey() + kModelB, 10, 1, "F",
                      Fetch(7)},
        DiscoveryCase{"UnsupportedModelContributesNothing", "Standard",
                      ZembarKey() + ModelKey("KR512", 0, 0x1D6B, 0x0104), 10, 0, "", Fetch(7)},
        DiscoveryCase{"UnreadableNumbersMatchNothing", "Standard",
                      ZembarKey() + ModelKey("KR512", 1, -1, -1), 10, 0, "", Fetch(7)},
        DiscoveryCase{"RecordMatchingTwoModelsComesTwice", "Standard",
                      ZembarKey() + kModelA + ModelKey("KR512B", 1, 0x1D6B, 0x0104), 10, 4, "EHEH",
                      Fetch(7)},
        DiscoveryCase{"GroupedByModelInRegistryOrder", "Standard",
                      ZembarKey() + ModelKey("b_first", 1, 0xABCD, 0x12EF) +
                          ModelKey("A_SECOND", 1, 0x1D6B, 0x0104),
                      10, 3, "EHF", Fetch(7)},
        DiscoveryCase{"StopsAt26Letters", "Standard", ManyModelA(14), 10, 26,
                      "EHEHEHEHEHEHEHEHEHEHEHEHEH", Fetch(7)},
        DiscoveryCase{"Takes256Models", "Standard", Models(255, kLastModelA), 10, 2, "EH",
                      Fetch(7)},
        DiscoveryCase{"IgnoresModelsPast256", "Standard", Models(256, kLastModelA), 10, 0, "",
                      Fetch(7)},
        DiscoveryCase{"SecondCallFails", "SecondCallFails", ZembarKey() + kModelA, 10, -1, "",
                      Fetch(7)},
        DiscoveryCase{"NothingToFetch", "NoRecords", ZembarKey() + kModelA, 10, 0, "", kInit},
        DiscoveryCase{"UnterminatedFields", "Unterminated", ZembarKey() + kModelA, 10, 2, "JK",
                      Fetch(2)},
        DiscoveryCase{"CountGrowsAfterTheFetch", "CountGrows", ZembarKey() + kModelA, 10, 2, "LM",
                      Fetch(2)},
        DiscoveryCase{"AbsurdCountIsCapped", "HugeCount", ZembarKey() + kModelA, 10, 2, "LM",
                      Fetch(static_cast<int>(kMaxDeviceRecords))}),
    [](const auto& info) { return std::string(info.param.name); });

// On the oldest systems that check anything, the drive type decides, not the Eligible flag.
TEST(DeviceVersionCheck, MajorFourTakesFixedDrivesOnly) {
    lunavio_test::SimulatedMachine machine;
    machine.AddDrive('E', "\tUSB\\VID_1D6B&PID_0104\t1"); // removable
    machine.AddDrive('G', "\tUSB\\VID_1D6B&PID_0104\t0"); // fixed
    machine.AddDrive('H', "\tUSB\\VID_1D6B&PID_0104\t0"); // fixed
    RegistryFile registry(ZembarKey() + kModelA);
    FakeDevice device("Standard");
    platform::SetOsMajorVersionForTesting(4);
    EXPECT_EQ(device.Discover(), std::make_pair(2, std::string("GH")));
}

struct RepeatCase {
    const char* scenario;
    bool release; // an array was kept, so the second discovery releases it
};

class RepeatedDiscovery : public testing::TestWithParam<RepeatCase> {};

TEST_P(RepeatedDiscovery, ReleasesOnlyAfterFreeingAnEarlierArray) {
    RegistryFile registry(ZembarKey() + kModelA);
    FakeDevice device(GetParam().scenario);
    const auto first = device.Discover();
    const std::string firstCalls = device.Calls();
    const auto second = device.Discover();

    EXPECT_EQ(second, first);
    const std::string expected =
        firstCalls + (GetParam().release ? "ReleaseDevInfo " : "") + firstCalls;
    EXPECT_EQ(device.Calls(), expected);
}

INSTANTIATE_TEST_SUITE_P(Device, RepeatedDiscovery,
                         testing::Values(RepeatCase{"Standard", true},
                                         RepeatCase{"NoRecords", false},
                                         RepeatCase{"SecondCallFails", false}),
                         [](const auto& info) { return std::string(info.param.scenario); });

// --- Diagnosis ------------------------------------------------------------------------------

// Every record of the standard fake, explained from what the discovery saw.
TEST(DiscoveryDiagnosis, ExplainsEveryVolumeFromWhatDiscoverySaw) {
    const lunavio_test::SimulatedMachine noOtherVolumes;
    RegistryFile registry(ZembarKey() + kModelA + ModelKey("OLD", 0, 0x1D6B, 0x0105));
    FakeDevice device("Standard");
    ASSERT_EQ(device.Discover(), std::make_pair(2, std::string("EH")));

    const DiscoveryDiagnosis d = DiagnoseDiscovery(device.Discovery());
    EXPECT_TRUE(d.library.loaded);
    EXPECT_EQ(d.library.file, kFakes / "Standard" / "libDeviceInfo.so");
    ASSERT_EQ(d.models.size(), 2u);
    EXPECT_TRUE(d.models[0].Supported());
    EXPECT_FALSE(d.models[1].Supported());
    EXPECT_EQ(NoDriveReason(d), "");

    // The models add line only where the numbers alone keep a volume out; a model that is
    // listed without support is named, so the line turns it on.
    const struct {
        char letter;
        bool deviceDrive;
        std::string reason;
        std::string addModel;
    } expected[] = {
        {'E', true, "a drive of the device, model KR512 (VID_1D6B, PID_0104)", ""},
        {'F', false, "no supported model matches its vendor and product numbers",
         "private-folders models add abcd:12ef"},
        {'G', false, "not eligible: the device library marks it neither USB nor removable", ""},
        {'H', true, "a drive of the device, model KR512 (VID_1D6B, PID_0104)", ""},
        {'I', false, "model OLD (VID_1D6B, PID_0105) does not support private folders",
         "private-folders models add 1d6b:0105 OLD"},
        {'Z', false, "no supported model matches its vendor and product numbers",
         "private-folders models add 0000:0000"},
    };
    ASSERT_EQ(d.volumes.size(), std::size(expected));
    for (std::size_t i = 0; i < d.volumes.size(); ++i) {
        EXPECT_EQ(d.volumes[i].letter, expected[i].letter);
        EXPECT_EQ(d.volumes[i].deviceDrive, expected[i].deviceDrive) << expected[i].letter;
        EXPECT_EQ(d.volumes[i].reason, expected[i].reason) << expected[i].letter;
        EXPECT_EQ(d.volumes[i].addModelCommand, expected[i].addModel) << expected[i].letter;
        EXPECT_EQ(d.volumes[i].folder, (std::string{expected[i].letter, ':', '\\'}));
    }
    EXPECT_EQ(d.volumes[2].eligible, false);
    EXPECT_EQ(d.volumes[1].deviceId, "USB\\VID_ABCD&PID_12EF\\LOWER"); // as compared
}

// The reason names the first thing that kept discovery from finding a drive.
TEST(DiscoveryDiagnosis, NoDriveReasonNamesTheFirstObstacle) {
    const lunavio_test::SimulatedMachine noOtherVolumes;
    const std::string absent = (noOtherVolumes.Root() / "absent.reg").string();
    const struct {
        const char* scenario;
        std::optional<std::string> registry; // nullopt: no model list file at all
        std::string reason;
        std::string libraryError;
        bool capturedSysfs = false;
    } cases[] = {
        {"NoSuchFolder", ZembarKey() + kModelA, "The device library could not be loaded",
         "libDeviceInfo.so"},
        {"LacksIsDevExist2", ZembarKey() + kModelA, "The device library could not be loaded",
         "lacks the entry point _IsDevExist2"},
        {"Standard", std::nullopt, "No model list was found (looked for " + absent + ")", ""},
        {"Standard", ZembarKey() + ModelKey("OLD", 0, 0x1D6B, 0x0104),
         "names no model that supports private folders", ""},
        {"Standard", "", "names no model that supports private folders", ""},
        {"SecondCallFails", ZembarKey() + kModelA, "The device library could not list the drives",
         ""},
        {"Standard", ZembarKey() + ModelKey("KR900", 1, 0x9999, 0x9999),
         "No supported disk is among the mounted volumes", ""},
        // The captured tree holds two unmounted partitions of a 3b17:0512 disk.
        {"Standard", ZembarKey() + ModelKey("KR900", 1, 0x3B17, 0x0512),
         "The disk's drives /dev/sdd1 and /dev/sdd5 are not mounted: open them in the file "
         "manager, or run \"udisksctl mount -b /dev/sdd1\" and \"udisksctl mount -b /dev/sdd5\"",
         "", true},
    };
    for (const auto& c : cases) {
        std::optional<RegistryFile> registry;
        if (c.registry) {
            registry.emplace(*c.registry);
        } else {
            ::setenv("LUNAVIO_REGISTRY", absent.c_str(), 1);
        }
        if (c.capturedSysfs) {
            ::setenv("LUNAVIO_SYSFS", (std::filesystem::path(LUNAVIO_TEST_DATA) / "sysfs").c_str(),
                     1);
        }
        FakeDevice device(c.scenario);
        device.Discover();
        const DiscoveryDiagnosis d = DiagnoseDiscovery(device.Discovery());
        ::unsetenv("LUNAVIO_SYSFS");
        const std::string reason = NoDriveReason(d);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_TRUE(reason.ends_with("; run \"private-folders drives\" for details.")) << reason;
        EXPECT_NE(d.library.error.find(c.libraryError), std::string::npos) << d.library.error;
        EXPECT_EQ(d.library.loaded, c.libraryError.empty()) << c.scenario;
        ::unsetenv("LUNAVIO_REGISTRY");
    }
}

} // namespace
