#pragma once
// What the window tests compare saved files with.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace lunavio_test {

using Bytes = std::vector<std::uint8_t>;

// An MPlay.sys built straight from the format, independent of the encoder under test:
// magic, header words, BCD password big-endian, used entries with their mark and UTF-16LE name.
inline Bytes ProtectionFileBytes(const std::vector<std::u16string>& names, std::uint16_t password,
                                 std::uint8_t waitState) {
    Bytes file(2048, 0);
    const std::string magic = "Zembar KR512 Protect:MPlay.sys";
    std::copy(magic.begin(), magic.end(), file.begin());
    file[32] = 1;
    file[34] = waitState;
    file[35] = static_cast<std::uint8_t>(names.size());
    file[36] = 4;
    file[38] = 4;
    file[40] = static_cast<std::uint8_t>(password >> 8);
    file[41] = static_cast<std::uint8_t>(password & 0xFF);
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::size_t entry = 1024 + 64 * k;
        file[entry] = 0xFF;
        file[entry + 1] = 0xFF;
        for (std::size_t i = 0; i < names[k].size(); ++i) {
            file[entry + 2 + 2 * i] = static_cast<std::uint8_t>(names[k][i] & 0xFF);
            file[entry + 3 + 2 * i] = static_cast<std::uint8_t>(names[k][i] >> 8);
        }
    }
    return file;
}

// A file's whole content; nullopt when it cannot be opened.
inline std::optional<Bytes> ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

} // namespace lunavio_test
