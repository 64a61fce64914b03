// The drives the stand-in device library reports: the lines of the file that
// LUNAVIO_DEVICE_RECORDS names, in the simulation file's format (the letter, the device id
// and the eligible flag count). No variable or no file: no drives.

#include "DeviceInfo/ReportedVolumes.h"
#include "platform/linux/Simulation.h"
#include "platform/windows/Win32.h"

#include <fstream>
#include <iterator>
#include <string>

namespace device_info {

std::vector<platform::LetteredVolume> ReportedVolumes() {
    char file[MAX_PATH + 1] = {};
    const DWORD length = ::GetEnvironmentVariableA("LUNAVIO_DEVICE_RECORDS", file, sizeof(file));
    if (length == 0 || length >= sizeof(file)) {
        return {};
    }
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    return platform::linux_detail::ParseSimulationFile(text, {});
}

} // namespace device_info
