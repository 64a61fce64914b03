// Any text as a simulation file. The drives it gives are at most 26, in strictly rising
// letter order A to Z, each with a folder under the file's own folder (or an absolute one) and
// a file system name; written back line by line they parse to the same drives.

#include "FuzzCheck.h"
#include "platform/linux/Simulation.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

using platform::LetteredVolume;

bool Same(const LetteredVolume& a, const LetteredVolume& b) {
    return a.letter == b.letter && a.directory == b.directory && a.deviceId == b.deviceId &&
           a.eligible == b.eligible && a.removable == b.removable && a.label == b.label &&
           a.fileSystem == b.fileSystem && a.blockDevice == b.blockDevice;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path base = "/machine";
    const auto volumes = platform::linux_detail::ParseSimulationFile(
        {reinterpret_cast<const char*>(data), size}, base);
    FUZZ_CHECK(volumes.size() <= 26);

    std::string file = "# written back\r\n";
    char previous = 'A' - 1;
    for (const LetteredVolume& v : volumes) {
        FUZZ_CHECK(v.letter > previous && v.letter <= 'Z');
        previous = v.letter;
        FUZZ_CHECK(v.directory.is_absolute() && !v.fileSystem.empty() && v.blockDevice.empty());
        FUZZ_CHECK(v.removable == v.eligible);
        // Every field given, so no default applies; CRLF, so a CR that ends the input's last
        // field stays part of it.
        file += std::string(1, v.letter) + '\t' + v.directory.string() + '\t' + v.deviceId + '\t' +
                (v.eligible ? "1" : "0") + '\t' + v.label + '\t' + v.fileSystem + "\r\n";
    }
    const auto again = platform::linux_detail::ParseSimulationFile(file, "/elsewhere");
    FUZZ_CHECK(again.size() == volumes.size());
    for (std::size_t i = 0; i < volumes.size(); ++i)
        FUZZ_CHECK(Same(again[i], volumes[i]));
    return 0;
}
