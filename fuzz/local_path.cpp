// Any drive path ("E:\MUSIC\*", "f:/a/./b", ...) on a simulated machine with drives E and F.
// LocalPath agrees with a reference that splits the path its own way, and a path it gives is
// always inside its drive's folder.

#include "FuzzCheck.h"
#include "platform/Drives.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

lunavio_fuzz::ScratchFolder* scratch = nullptr;

std::filesystem::path DriveFolder(char letter) {
    return scratch->Path() / "drives" / std::string(1, letter);
}

// The rules of a drive path, written as a list of components checked one by one.
std::optional<std::filesystem::path> Reference(std::string_view path) {
    if (path.size() < 3 || path[1] != ':' || (path[2] != '\\' && path[2] != '/'))
        return std::nullopt;
    const char letter = path[0];
    if (letter != 'E' && letter != 'e' && letter != 'F' && letter != 'f')
        return std::nullopt;
    std::vector<std::string> components(1);
    for (char c : path.substr(3)) {
        if (c == '\\' || c == '/')
            components.emplace_back();
        else
            components.back() += c;
    }
    std::filesystem::path result = DriveFolder(letter == 'e' || letter == 'E' ? 'E' : 'F');
    for (std::size_t i = 0; i < components.size(); ++i) {
        const std::string& c = components[i];
        const bool last = i + 1 == components.size();
        if (c.find('\0') != std::string::npos || c == "..")
            return std::nullopt;
        if (last && c == "*")
            break;
        if (c.find('*') != std::string::npos || c.find('?') != std::string::npos)
            return std::nullopt;
        if (!c.empty() && c != ".")
            result /= c;
    }
    return result;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static lunavio_fuzz::ScratchFolder folder;
    scratch = &folder;
    const auto file = folder.Path() / "machine.sim";
    std::ofstream(file) << "E\t" << DriveFolder('E').string() << "\tUSB\\VID_3B17&PID_0512\\1\n"
                        << "f\tdrives/F\tUSB\\VID_3B17&PID_0512\\1\t0\n";
    ::setenv("LUNAVIO_SIMULATION", file.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view drivePath(reinterpret_cast<const char*>(data), size);
    const auto local = platform::LocalPath(drivePath);
    const auto expected = Reference(drivePath);
    FUZZ_CHECK(local == expected);
    if (local) {
        const std::filesystem::path drive =
            DriveFolder(drivePath[0] == 'e' || drivePath[0] == 'E' ? 'E' : 'F');
        const auto relative = local->lexically_relative(drive);
        FUZZ_CHECK(!relative.empty() && *relative.begin() != "..");
    }
    return 0;
}
