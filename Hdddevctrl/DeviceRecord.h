#pragma once
// The device information library's record and entry points, shared by the program and by
// libDeviceInfo.so.

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kRootPathBytes = 8;
inline constexpr std::size_t kDeviceIdBytes = 2048;

// One drive as the library describes it. Text fields are zero-terminated 8-bit text when
// the library behaves; readers must not rely on the terminator.
struct DeviceRecord {
    std::array<char, kRootPathBytes> RootPath; // "E:\"; its first byte is the drive letter
    std::int32_t Eligible;                     // non-zero: the drive may be taken
    std::array<std::uint8_t, 1040> Unused;
    std::array<char, kDeviceIdBytes> DeviceId; // e.g. USB\VID_xxxx&PID_xxxx\<serial>
};
static_assert(sizeof(DeviceRecord) == 3100);
static_assert(offsetof(DeviceRecord, RootPath) == 0);
static_assert(offsetof(DeviceRecord, Eligible) == 8);
static_assert(offsetof(DeviceRecord, DeviceId) == 1052);

// The entry points, by these names with C linkage. Every argument and result is 32 bits
// wide except the record array and the count, which are addresses.
extern "C" {
using DllInitFn = std::int32_t (*)(std::int32_t);
using PrepareDevInfoFn = std::int32_t (*)(std::int32_t);
using ReleaseDevInfoFn = std::int32_t (*)();
// Without records: sets *count to the number of records and returns 1 when there are none.
// With records: fills at most *count of them, sets *count to the number filled, returns 1.
using IsDevExist2Fn = std::int32_t (*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                       DeviceRecord* records, std::uint32_t* count);
}

inline constexpr std::array<const char*, 8> kDeviceInfoEntryPoints = {
    "_DLLInit",     "_PrepareDevInfo",      "_ReleaseDevInfo", "_IsDevExist",
    "_IsDevExist2", "_RemoveDevByDeviceID", "_EjectDev",       "_RemoveDeviceTree"};
