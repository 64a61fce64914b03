// Valid settings (up to 16 names of up to 30 units, any password and wait state): the encoded
// file has exactly the documented bytes, and decoding it gives the settings back.

#include "FuzzCheck.h"
#include "Protectfileio/Protectfileio.h"

#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <vector>

namespace {

// The byte at offset at of a file holding names, password and waitState, from the layout.
std::uint8_t ExpectedByte(std::size_t at, const std::vector<std::u16string>& names,
                          std::uint16_t password, std::uint8_t waitState) {
    static const char kMagic[] = "Zembar KR512 Protect:MPlay.sys";
    if (at < 30)
        return static_cast<std::uint8_t>(kMagic[at]);
    switch (at) {
    case 32:
        return 1;
    case 34:
        return waitState;
    case 35:
        return static_cast<std::uint8_t>(names.size());
    case 36:
        return 4;
    case 38:
        return 4;
    case 40:
        return static_cast<std::uint8_t>(password >> 8);
    case 41:
        return static_cast<std::uint8_t>(password);
    default:
        break;
    }
    if (at < 1024)
        return 0;
    const std::size_t entry = (at - 1024) / 64;
    const std::size_t within = (at - 1024) % 64;
    if (entry >= names.size())
        return 0;
    if (within < 2)
        return 0xFF;
    const std::size_t unit = (within - 2) / 2;
    if (unit >= names[entry].size())
        return 0;
    const char16_t u = names[entry][unit];
    return static_cast<std::uint8_t>(within % 2 == 0 ? u & 0xFF : u >> 8);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto password = input.ConsumeIntegral<std::uint16_t>();
    const auto waitState = input.ConsumeIntegral<std::uint8_t>();
    std::vector<std::u16string> names(input.ConsumeIntegralInRange<std::size_t>(0, 16));
    std::vector<WriterNameSlot> slots(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) {
        const auto length = input.ConsumeIntegralInRange<std::size_t>(0, 30);
        for (std::size_t i = 0; i < length; ++i) // any unit but the terminator
            names[k].push_back(input.ConsumeIntegralInRange<char16_t>(1, 0xFFFF));
        std::copy(names[k].begin(), names[k].end(), slots[k].begin());
        // Units behind the terminator belong to no name and must not reach the file.
        for (std::size_t i = length + 1; i < slots[k].size(); ++i)
            slots[k][i] = input.ConsumeIntegral<char16_t>();
    }

    const ProtectionFile file = EncodeProtectionFile(slots, password, waitState);
    for (std::size_t at = 0; at < file.size(); ++at)
        FUZZ_CHECK(file[at] == ExpectedByte(at, names, password, waitState));

    const auto settings = DecodeProtectionFile(file);
    FUZZ_CHECK(settings);
    FUZZ_CHECK(settings->folderCount == static_cast<int>(names.size()));
    FUZZ_CHECK(settings->password == password);
    FUZZ_CHECK(settings->waitState == waitState);
    for (std::size_t k = 0; k < names.size(); ++k)
        FUZZ_CHECK(std::u16string_view(settings->names[k].data()) == names[k]);
    return 0;
}
