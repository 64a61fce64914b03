#include "platform/Drives.h"

#include "platform/AsciiCase.h"
#include "platform/linux/RealDrives.h"
#include "platform/linux/Simulation.h"
#include "platform/linux/TextFile.h"

#include <atomic>
#include <cstdlib>
#include <sys/stat.h>

namespace platform {
namespace {

// A simulation file describes a handful of drives; anything larger is not one.
constexpr std::size_t kMaxSimulationFileBytes = 1 << 20;

std::atomic<int> osMajorVersion{10};

std::optional<std::filesystem::path> SimulationFile() {
    const char* file = std::getenv("LUNAVIO_SIMULATION");
    if (file == nullptr || *file == '\0') {
        return std::nullopt;
    }
    return std::filesystem::path(file);
}

std::vector<LetteredVolume> CurrentVolumes(bool withLabels) {
    const auto file = SimulationFile();
    if (!file) {
        return linux_detail::RealVolumes(withLabels);
    }
    const auto text = linux_detail::ReadSmallTextFile(*file, kMaxSimulationFileBytes);
    if (!text) {
        return {};
    }
    return linux_detail::ParseSimulationFile(*text, file->parent_path());
}

std::optional<char> LetterOf(std::string_view drivePath) {
    if (drivePath.size() < 3 || drivePath[1] != ':' ||
        (drivePath[2] != '\\' && drivePath[2] != '/')) {
        return std::nullopt;
    }
    const char c = AsciiUpper(drivePath[0]);
    if (c >= 'A' && c <= 'Z') {
        return c;
    }
    return std::nullopt;
}

// The part of a drive path after "X:\" as a relative path, under the rules of LocalPath.
std::optional<std::filesystem::path> RelativePart(std::string_view rest) {
    std::filesystem::path relative;
    while (!rest.empty()) {
        const std::size_t separator = rest.find_first_of("\\/");
        const std::string_view component = rest.substr(0, separator);
        const bool last = separator == std::string_view::npos;
        rest.remove_prefix(last ? rest.size() : separator + 1);
        if (component.find('\0') != std::string_view::npos || component == "..") {
            return std::nullopt;
        }
        if (last && component == "*") {
            break;
        }
        if (component.find_first_of("*?") != std::string_view::npos) {
            return std::nullopt;
        }
        if (!component.empty() && component != ".") {
            relative /= std::filesystem::path(component);
        }
    }
    return relative;
}

std::optional<LetteredVolume> VolumeOf(std::string_view rootPath, bool withLabels) {
    const auto letter = LetterOf(rootPath);
    if (!letter || rootPath.size() != 3) {
        return std::nullopt;
    }
    for (auto& volume : CurrentVolumes(withLabels)) {
        if (volume.letter == *letter) {
            return std::move(volume);
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<LetteredVolume> LetteredVolumes() {
    return CurrentVolumes(true);
}

std::optional<std::filesystem::path> LocalPath(std::string_view drivePath) {
    const auto letter = LetterOf(drivePath);
    if (!letter) {
        return std::nullopt;
    }
    auto relative = RelativePart(drivePath.substr(3));
    if (!relative) {
        return std::nullopt;
    }
    for (const auto& volume : CurrentVolumes(false)) {
        if (volume.letter == *letter) {
            return relative->empty() ? volume.directory : volume.directory / *relative;
        }
    }
    return std::nullopt;
}

std::optional<VolumeInformation> QueryVolumeInformation(std::string_view rootPath) {
    auto volume = VolumeOf(rootPath, true);
    struct stat st {};
    if (!volume || ::stat(volume->directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return VolumeInformation{std::move(volume->label), std::move(volume->fileSystem)};
}

DriveType QueryDriveType(std::string_view rootPath) {
    const auto volume = VolumeOf(rootPath, false);
    if (!volume) {
        return DriveType::NoRootDir;
    }
    return volume->removable ? DriveType::Removable : DriveType::Fixed;
}

int OsMajorVersion() {
    return osMajorVersion.load();
}

void SetOsMajorVersionForTesting(int major) {
    osMajorVersion.store(major);
}

} // namespace platform
