#pragma once
// A .reg file in a temporary folder, made the current user's registry for the life of the
// object.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace lunavio_test {

class RegistryFile {
public:
    explicit RegistryFile(std::string_view keys) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lunavio-reg-XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
        const auto file = folder_ / "hkcu.reg";
        std::ofstream(file, std::ios::binary) << "Windows Registry Editor Version 5.00\r\n\r\n"
                                              << keys;
        ::setenv("LUNAVIO_REGISTRY", file.c_str(), 1);
    }
    ~RegistryFile() {
        ::unsetenv("LUNAVIO_REGISTRY");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    RegistryFile(const RegistryFile&) = delete;
    RegistryFile& operator=(const RegistryFile&) = delete;

    std::filesystem::path File() const { return folder_ / "hkcu.reg"; }

private:
    std::filesystem::path folder_;
};

// The key that lists the device models.
inline std::string ZembarKey() {
    return "[HKEY_CURRENT_USER\\SOFTWARE\\Zembar]\r\n\r\n";
}

// One model subkey of the Zembar key; a negative number leaves that value out.
inline std::string ModelKey(std::string_view name, long support, long vender, long product) {
    std::string text = "[HKEY_CURRENT_USER\\SOFTWARE\\Zembar\\" + std::string(name) + "]\r\n";
    const auto value = [&text](const char* valueName, long number) {
        if (number < 0) {
            return;
        }
        char dword[24];
        std::snprintf(dword, sizeof dword, "%08lx", number);
        text += "\"" + std::string(valueName) + "\"=dword:" + dword + "\r\n";
    };
    value("PrivateFolderSupport", support);
    value("VenderID", vender);
    value("ProductID", product);
    return text + "\r\n";
}

} // namespace lunavio_test
