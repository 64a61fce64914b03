// A device library that tells lies on purpose. Built once per scenario (FAKE_SCENARIO); each
// build lands in its own folder as libDeviceInfo.so. Reports the calls it saw through
// FakeCallLog.

#include "Hdddevctrl/DeviceRecord.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum class Scenario {
    Standard,        // the records below
    SecondCallFails, // the fetch with the array does not return 1
    NoRecords,       // the first call returns 1 (with a count that must be ignored)
    Unterminated,    // root paths and ids that fill their fields without a terminator
    CountGrows,      // fills the records it was given room for, then claims many more
    HugeCount,       // announces an absurd count
    LacksEjectDev,
    LacksIsDevExist2,
};
constexpr auto kScenario = Scenario::FAKE_SCENARIO;

struct FakeRecord {
    std::string root;
    std::int32_t eligible;
    std::string id;
};

[[maybe_unused]] std::vector<FakeRecord> Records() {
    switch (kScenario) {
    case Scenario::Unterminated: {
        // The ids end in the vendor and product texts at the field's very last byte.
        const std::string tag = "vid_1d6b&pid_0104";
        const std::string id = std::string(kDeviceIdBytes - tag.size(), 'X') + tag;
        return {{"J:\\ROOT1", 1, id}, {"K:\\ROOT2", 1, id}};
    }
    case Scenario::CountGrows:
    case Scenario::HugeCount:
        return {{"L:\\", 1, "USB\\VID_1D6B&PID_0104\\1"}, {"M:\\", 1, "USB\\VID_1D6B&PID_0104\\2"}};
    default:
        return {
            {"E:\\", 1, "USB\\VID_1D6B&PID_0104\\SER1"},
            {"F:\\", 1, "usb\\vid_abcd&pid_12ef\\lower"},
            {"G:\\", 0, "USB\\VID_1D6B&PID_0104\\NOT-ELIGIBLE"},
            {"H:\\", 1, "PID_0104 before VID_1D6B"},
            {"I:\\", 1, "USB\\VID_1D6B&PID_0105\\OTHER-PRODUCT"},
            {"", 1, "USB\\VID_1D6B&PID_0104\\NO-ROOT"},
            {"Z:\\", 1, "USB\\VID_0000&PID_0000\\ZEROS"},
        };
    }
}

std::string& Log() {
    static std::string log;
    return log;
}

void Note(const std::string& call) {
    Log() += call + " ";
}

// Copies text into a field, with a terminator only when there is room for one.
template <std::size_t N> void Put(std::array<char, N>& field, const std::string& text) {
    std::memcpy(field.data(), text.data(), std::min(text.size(), N));
}

[[maybe_unused]] bool AllZero(const DeviceRecord* records, std::uint32_t count) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(records);
    return std::all_of(bytes, bytes + sizeof(DeviceRecord) * count,
                       [](unsigned char b) { return b == 0; });
}

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT const char* FakeCallLog() {
    return Log().c_str();
}
FAKE_EXPORT void FakeClearLog() {
    Log().clear();
}

FAKE_EXPORT std::int32_t _DLLInit(std::int32_t a) {
    Note("DLLInit(" + std::to_string(a) + ")");
    return 1;
}
FAKE_EXPORT std::int32_t _PrepareDevInfo(std::int32_t a) {
    Note("PrepareDevInfo(" + std::to_string(a) + ")");
    return 1;
}
FAKE_EXPORT std::int32_t _ReleaseDevInfo() {
    Note("ReleaseDevInfo");
    return 1;
}

#if !FAKE_LACKS_IS_DEV_EXIST2
FAKE_EXPORT std::int32_t _IsDevExist2(std::int32_t a, std::int32_t b, std::int32_t c,
                                      std::int32_t d, DeviceRecord* records, std::uint32_t* count) {
    const std::string args = std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) +
                             "," + std::to_string(d) + ",";
    const auto fake = Records();
    if (records == nullptr) {
        Note("IsDevExist2(" + args + "none)");
        switch (kScenario) {
        case Scenario::NoRecords:
            *count = 3;
            return 1;
        case Scenario::HugeCount:
            *count = 0xFFFFFFFFu;
            return 0;
        default:
            *count = static_cast<std::uint32_t>(fake.size());
            return 0;
        }
    }
    Note("IsDevExist2(" + args + "array[" + std::to_string(*count) + "]" +
         (AllZero(records, *count) ? "" : " not zeroed") + ")");
    if (kScenario == Scenario::SecondCallFails) {
        return 0;
    }
    const std::size_t filled = std::min<std::size_t>(*count, fake.size());
    for (std::size_t i = 0; i < filled; ++i) {
        Put(records[i].RootPath, fake[i].root);
        records[i].Eligible = fake[i].eligible;
        Put(records[i].DeviceId, fake[i].id);
    }
    *count = kScenario == Scenario::CountGrows ? 40u : static_cast<std::uint32_t>(filled);
    return 1;
}
#endif

FAKE_EXPORT std::int32_t _IsDevExist() {
    return 0;
}
FAKE_EXPORT std::int32_t _RemoveDevByDeviceID() {
    return 0;
}
#if !FAKE_LACKS_EJECT_DEV
FAKE_EXPORT std::int32_t _EjectDev() {
    return 0;
}
#endif
FAKE_EXPORT std::int32_t _RemoveDeviceTree() {
    return 0;
}
