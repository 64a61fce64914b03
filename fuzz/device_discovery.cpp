// Discovery over a device library whose every answer the input chooses: the count it
// announces, whether its calls succeed, how many records it fills, the count it leaves after
// filling (honest, smaller, larger, absurd), and each record's bytes (root paths and ids with
// or without a terminator). Two discoveries per input on one instance, each under a registry
// and an operating system version the input picks. The letters agree with a reference
// matcher; the list is never written past its 26 letters nor past the count returned; the
// array handed to the library always holds the records it was told; the entry points are
// called in their documented order, the array released exactly when one is held.

#include "FuzzCheck.h"
#include "Hdddevctrl/DeviceDiscovery.h"
#include "platform/Drives.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <fuzzer/FuzzedDataProvider.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Model {
    const char* subkey;
    std::uint32_t support;
    std::optional<std::uint32_t> vender; // nullopt: the value is not 4 bytes
    std::optional<std::uint32_t> product;
};

// In the registry's enumeration order (upper-cased names).
const Model kModels[] = {
    {"A_KR512", 1, 0x3B17, 0x0512},
    {"B_KR512_AGAIN", 1, 0x3B17, 0x0512},
    {"C_OFF", 0, 0x1234, 0x5678},
    {"D_WIDE", 1, 0x1D6B, 0x12345},
    {"E_NO_PRODUCT", 1, 0xABCD, std::nullopt},
    {"F_LOWER", 1, 0x00EF, 0xBEEF},
};

// Most records one library answer fills from the input; the rest of the array stays zero.
constexpr std::uint32_t kMostFilled = 32;

std::string registryWithModels;
std::string registryWithoutKey;

// What the library was asked and answered during one discovery.
struct Exchange {
    std::string calls; // I _DLLInit, P _PrepareDevInfo, R _ReleaseDevInfo, 2 _IsDevExist2
    std::int32_t firstResult = 0;
    std::uint32_t announced = 0;
    std::int32_t secondResult = 0;
    std::uint32_t given = 0; // the count that came with the array
    std::uint32_t left = 0;  // the count the library left
    std::vector<DeviceRecord> filled;
};

FuzzedDataProvider* input = nullptr;
Exchange exchange;

std::uint32_t ChooseCount(std::uint32_t around) {
    switch (input->ConsumeIntegralInRange(0, 4)) {
    case 0:
        return around;
    case 1:
        return input->ConsumeIntegralInRange<std::uint32_t>(0, around);
    case 2:
        return around + input->ConsumeIntegralInRange<std::uint32_t>(1, 64);
    case 3:
        return input->ConsumeIntegral<std::uint32_t>();
    default:
        return input->ConsumeIntegralInRange<std::uint32_t>(0, 40);
    }
}

std::int32_t ChooseResult() {
    return input->ConsumeBool() ? 1 : input->ConsumeIntegral<std::int32_t>();
}

void Fill(DeviceRecord& record) {
    const std::string root = input->ConsumeRandomLengthString(kRootPathBytes);
    std::copy(root.begin(), root.end(), record.RootPath.begin());
    record.Eligible = input->ConsumeIntegral<std::int32_t>();
    const std::string id = input->ConsumeRandomLengthString(kDeviceIdBytes);
    std::copy(id.begin(), id.end(), record.DeviceId.begin());
    if (input->ConsumeBool()) // no terminator anywhere in the field
        std::fill(record.DeviceId.begin() + id.size(), record.DeviceId.end(), 'x');
}

bool IsZero(const DeviceRecord& record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    return std::all_of(bytes, bytes + sizeof record, [](unsigned char b) { return b == 0; });
}

extern "C" {

std::int32_t FakeDllInit(std::int32_t zero) {
    FUZZ_CHECK(zero == 0);
    exchange.calls += 'I';
    return input->ConsumeIntegral<std::int32_t>();
}

std::int32_t FakePrepareDevInfo(std::int32_t zero) {
    FUZZ_CHECK(zero == 0);
    exchange.calls += 'P';
    return input->ConsumeIntegral<std::int32_t>();
}

std::int32_t FakeReleaseDevInfo() {
    exchange.calls += 'R';
    return input->ConsumeIntegral<std::int32_t>();
}

std::int32_t FakeIsDevExist2(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d,
                             DeviceRecord* records, std::uint32_t* count) {
    FUZZ_CHECK(a == 0 && b == 0 && c == 0 && d == 0 && count != nullptr);
    exchange.calls += '2';
    if (records == nullptr) {
        exchange.firstResult = ChooseResult();
        exchange.announced = *count = ChooseCount(input->ConsumeIntegralInRange(0, 40));
        return exchange.firstResult;
    }
    // The array holds what was announced, up to discovery's own bound, and comes zeroed.
    exchange.given = *count;
    FUZZ_CHECK(exchange.given == std::min(exchange.announced, kMaxDeviceRecords));
    if (exchange.given > 0) {
        FUZZ_CHECK(IsZero(records[0]) && IsZero(records[exchange.given - 1]));
        records[exchange.given - 1].Unused.back() = 0xA5; // the sanitizer checks the array's end
    }
    const auto filled = input->ConsumeIntegralInRange(0u, std::min(exchange.given, kMostFilled));
    for (std::uint32_t i = 0; i < filled; ++i)
        Fill(records[i]);
    exchange.filled.assign(records, records + filled);
    exchange.secondResult = ChooseResult();
    exchange.left = *count = ChooseCount(filled);
    return exchange.secondResult;
}

} // extern "C"

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

template <std::size_t N> std::string Text(const std::array<char, N>& field) {
    const std::string whole(field.begin(), field.end());
    return whole.substr(0, whole.find('\0'));
}

// Under simulation F is the fixed drive, E a removable one; everything else has no root.
bool IsFixedRoot(const std::string& root) {
    return root.size() == 3 && (root[0] == 'F' || root[0] == 'f') && root[1] == ':' &&
           (root[2] == '\\' || root[2] == '/');
}

std::vector<char> ExpectedLetters(int osMajor) {
    const std::uint32_t visible = std::min(exchange.left, exchange.given);
    std::vector<char> letters;
    for (const Model& model : kModels) {
        if (model.support == 0 || !model.vender || !model.product)
            continue;
        char vender[16], product[16];
        std::snprintf(vender, sizeof vender, "VID_%04X", *model.vender);
        std::snprintf(product, sizeof product, "PID_%04X", *model.product);
        for (std::uint32_t i = 0; i < visible && i < exchange.filled.size(); ++i) {
            const DeviceRecord& r = exchange.filled[i];
            const std::string id = Upper(Text(r.DeviceId));
            const bool passes = osMajor >= 5   ? r.Eligible != 0
                                : osMajor == 4 ? IsFixedRoot(Text(r.RootPath))
                                               : true;
            if (r.RootPath[0] != '\0' && id.find(vender) != std::string::npos &&
                id.find(product) != std::string::npos && passes && letters.size() < 26)
                letters.push_back(r.RootPath[0]);
        }
    }
    return letters;
}

std::string WriteRegistry(const std::filesystem::path& file, bool withKey) {
    std::ofstream out(file);
    out << "Windows Registry Editor Version 5.00\n\n";
    for (const Model& model : kModels) {
        out << "[HKEY_CURRENT_USER\\SOFTWARE\\" << (withKey ? "Zembar" : "Other") << '\\'
            << model.subkey << "]\n"
            << "\"PrivateFolderSupport\"=dword:" << std::hex << model.support << '\n';
        for (const auto& [name, value] :
             {std::pair{"VenderID", model.vender}, std::pair{"ProductID", model.product}}) {
            if (value)
                out << '"' << name << "\"=dword:" << *value << '\n';
            else
                out << '"' << name << "\"=\"x\"\n";
        }
    }
    return file.string();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static lunavio_fuzz::ScratchFolder folder;
    registryWithModels = WriteRegistry(folder.Path() / "models.reg", true);
    registryWithoutKey = WriteRegistry(folder.Path() / "other.reg", false);
    const auto machine = folder.Path() / "machine.sim";
    std::ofstream(machine) << "E\te\tUSB\\VID_3B17&PID_0512\\1\t1\n"
                           << "F\tf\tUSB\\VID_3B17&PID_0512\\2\t0\n";
    ::setenv("LUNAVIO_SIMULATION", machine.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    input = &provider;
    DeviceDiscovery discovery(DeviceDiscovery::EntryPoints{FakeDllInit, FakePrepareDevInfo,
                                                           FakeReleaseDevInfo, FakeIsDevExist2});
    bool held = false; // whether discovery keeps a record array from its last fetch

    for (int round = 0; round < 2; ++round) {
        const bool withKey = provider.ConsumeIntegralInRange(0, 7) != 0;
        ::setenv("LUNAVIO_REGISTRY", (withKey ? registryWithModels : registryWithoutKey).c_str(),
                 1);
        const int osMajor = std::array{3, 4, 5, 10}[provider.ConsumeIntegralInRange(0, 3)];
        platform::SetOsMajorVersionForTesting(osMajor);
        exchange = {};

        const auto list = std::make_unique<DeviceDriveList>();
        const int result = discovery.GetDrives(*list);

        std::string calls;
        int expected = 0;
        std::vector<char> letters;
        if (withKey) {
            calls = std::string(held ? "R" : "") + "IP2";
            if (exchange.firstResult != 1) {
                calls += '2';
                if (exchange.secondResult == 1)
                    letters = ExpectedLetters(osMajor);
                expected = exchange.secondResult == 1 ? static_cast<int>(letters.size()) : -1;
            }
            held = exchange.firstResult != 1 && exchange.secondResult == 1;
        }
        FUZZ_CHECK(exchange.calls == calls);
        FUZZ_CHECK(result == expected);
        FUZZ_CHECK(std::equal(letters.begin(), letters.end(), list->begin()));
        FUZZ_CHECK(std::all_of(list->begin() + letters.size(), list->end(),
                               [](char c) { return c == '\0'; }));
    }
    platform::SetOsMajorVersionForTesting(10);
    return 0;
}
