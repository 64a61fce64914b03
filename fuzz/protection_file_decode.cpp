// MPlay.sys content of any length and bytes. The decoder must agree with a plain reading of
// the layout done here byte by byte, never take a count above 16, and leave every name
// terminated inside its 32-unit slot with the unused slots empty.

#include "FuzzCheck.h"
#include "Protectfileio/Protectfileio.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace {

struct Expected {
    int count = 0;
    std::uint16_t password = 0;
    std::uint8_t waitState = 0;
    std::vector<std::u16string> names;
};

// The layout read the simple way: magic and its zero as one 31-byte compare, fields at their
// offsets, each name unit by unit until its zero or its 31st unit.
std::optional<Expected> Reference(const std::uint8_t* data, std::size_t size) {
    static const char kMagicWithZero[31] = "Zembar KR512 Protect:MPlay.sys";
    if (size < 2048 || std::memcmp(data, kMagicWithZero, sizeof kMagicWithZero) != 0 ||
        data[35] > 16)
        return std::nullopt;
    Expected expected;
    expected.count = data[35];
    expected.password = static_cast<std::uint16_t>(data[40] * 256 + data[41]);
    expected.waitState = data[34];
    for (int k = 0; k < expected.count; ++k) {
        const std::uint8_t* entry = data + 1024 + 64 * k + 2;
        std::u16string name;
        for (int i = 0; i < 31 && (entry[2 * i] != 0 || entry[2 * i + 1] != 0); ++i)
            name.push_back(static_cast<char16_t>(entry[2 * i] + 256 * entry[2 * i + 1]));
        expected.names.push_back(name);
    }
    return expected;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto settings = DecodeProtectionFile({data, size});
    const auto expected = Reference(data, size);
    FUZZ_CHECK(settings.has_value() == expected.has_value());
    if (!settings)
        return 0;
    FUZZ_CHECK(settings->folderCount == expected->count);
    FUZZ_CHECK(settings->password == expected->password);
    FUZZ_CHECK(settings->waitState == expected->waitState);
    for (std::size_t k = 0; k < settings->names.size(); ++k) {
        const ReaderNameSlot& slot = settings->names[k];
        const std::u16string want = k < expected->names.size() ? expected->names[k] : u"";
        FUZZ_CHECK(std::u16string_view(slot.data(), want.size()) == want);
        // Terminated right after the name, and nothing but zeros behind it.
        for (std::size_t i = want.size(); i < slot.size(); ++i)
            FUZZ_CHECK(slot[i] == u'\0');
    }
    return 0;
}
