#include "platform/Drives.h"

#include "platform/AsciiCase.h"
#include "platform/linux/RealDrives.h"
#include "platform/linux/Simulation.h"
#include "platform/linux/TextFile.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
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

using Volumes = std::shared_ptr<const std::vector<LetteredVolume>>;

bool SameVersion(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// A file changed within the last few seconds may change again without its time stamps moving
// (they follow a coarse clock, and FAT's keep two seconds), so until then its identity proves
// nothing and it is read on every query.
bool Settled(const struct stat& st) {
    constexpr time_t kSettleSeconds = 3;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return st.st_ctim.tv_sec + kSettleSeconds < now.tv_sec;
}

// The simulation file's drives, read again only when the file is another or has changed
// since it was last read: path lookups come by the dozen per save and listing.
Volumes SimulatedVolumes(const std::filesystem::path& file) {
    static std::mutex mutex;
    static std::filesystem::path cachedFile;
    static struct stat cachedVersion {};
    static Volumes cached;

    struct stat version {};
    const bool found = ::stat(file.c_str(), &version) == 0;
    const std::lock_guard lock(mutex);
    if (found && cached && cachedFile == file && SameVersion(cachedVersion, version)) {
        return cached;
    }
    const auto text = linux_detail::ReadSmallTextFile(file, kMaxSimulationFileBytes);
    auto volumes = std::make_shared<const std::vector<LetteredVolume>>(
        text ? linux_detail::ParseSimulationFile(*text, file.parent_path())
             : std::vector<LetteredVolume>{});
    const bool keep = found && Settled(version);
    cached = keep ? volumes : nullptr;
    cachedFile = keep ? file : std::filesystem::path();
    cachedVersion = version;
    return volumes;
}

Volumes CurrentVolumes(bool withLabels) {
    if (const auto file = SimulationFile()) {
        return SimulatedVolumes(*file);
    }
    return std::make_shared<const std::vector<LetteredVolume>>(
        linux_detail::RealVolumes(withLabels));
}

const LetteredVolume* Find(const std::vector<LetteredVolume>& volumes, char letter) {
    const auto found =
        std::find_if(volumes.begin(), volumes.end(),
                     [letter](const LetteredVolume& v) { return v.letter == letter; });
    return found == volumes.end() ? nullptr : &*found;
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
    const Volumes volumes = CurrentVolumes(withLabels);
    if (const LetteredVolume* volume = Find(*volumes, *letter)) {
        return *volume;
    }
    return std::nullopt;
}

} // namespace

std::vector<LetteredVolume> LetteredVolumes() {
    return *CurrentVolumes(true);
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
    const Volumes volumes = CurrentVolumes(false);
    const LetteredVolume* volume = Find(*volumes, *letter);
    if (!volume) {
        return std::nullopt;
    }
    return relative->empty() ? volume->directory : volume->directory / *relative;
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
