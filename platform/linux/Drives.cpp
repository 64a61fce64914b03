#include "platform/Drives.h"

#include "platform/AsciiCase.h"
#include "platform/linux/RealDrives.h"
#include "platform/linux/Simulation.h"
#include "platform/linux/SimulationWatch.h"
#include "platform/linux/TextFile.h"
#include "platform/linux/UniqueFd.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace platform {
namespace {

// A simulation file describes a handful of drives; anything larger is not one.
constexpr std::size_t kMaxSimulationFileBytes = 1 << 20;

std::atomic<int> osMajorVersion{10};

// The simulation file's name, empty when there is none.
std::string_view SimulationFile() {
    const char* file = std::getenv("LUNAVIO_SIMULATION");
    return file == nullptr ? std::string_view() : std::string_view(file);
}

using Volumes = std::shared_ptr<const std::vector<LetteredVolume>>;

// Folders whose changes may come from another machine, unseen by inotify.
bool IsRemote(const std::filesystem::path& folder) {
    constexpr long kRemote[] = {0x6969 /* NFS */, 0x517B /* SMB */, 0xFF534D42 /* CIFS */,
                                0xFE534D42 /* SMB2 */, 0x65735546 /* FUSE */};
    struct statfs fs {};
    return ::statfs(folder.c_str(), &fs) != 0 ||
           std::find(std::begin(kRemote), std::end(kRemote), static_cast<long>(fs.f_type)) !=
               std::end(kRemote);
}

// The simulation file's drives, kept while nothing in the file's folder changes: a lookup
// then costs one read of an inotify descriptor instead of reading and parsing the file, and
// path lookups come by the dozen per save and listing. The folder is watched before the file
// is read, so no change goes unseen. A file that is a link, or lies on a remote or unwatchable
// folder, is read on every lookup; it is watched all the same, for the device notices.
class SimulationCache {
public:
    // A forked child must not read the parent's events (each would miss what the other
    // read), so it starts without a watch.
    SimulationCache() {
        ::pthread_atfork([] { Instance().mutex_.lock(); }, [] { Instance().mutex_.unlock(); },
                         [] {
                             SimulationCache& cache = Instance();
                             cache.inotify_ = linux_detail::UniqueFd();
                             cache.folderWatch_ = cache.fileWatch_ = -1;
                             cache.cached_.reset();
                             cache.hook_ = nullptr;
                             cache.mutex_.unlock();
                         });
    }

    static SimulationCache& Instance() {
        static SimulationCache cache;
        return cache;
    }

    Volumes VolumesOf(std::string_view name) {
        const std::lock_guard lock(mutex_);
        Drain();
        if (cached_ && name == name_) {
            return cached_;
        }
        const std::filesystem::path file(name);
        const bool trusted = Follow(file) && Trustworthy(file);
        const auto text = linux_detail::ReadSmallTextFile(file, kMaxSimulationFileBytes);
        auto volumes = std::make_shared<const std::vector<LetteredVolume>>(
            text ? linux_detail::ParseSimulationFile(*text, file.parent_path())
                 : std::vector<LetteredVolume>{});
        cached_ = trusted ? volumes : nullptr;
        name_ = name;
        return volumes;
    }

    int Descriptor() {
        const std::lock_guard lock(mutex_);
        return inotify_ ? inotify_.get() : -1;
    }

    void ReadChanges() {
        const std::lock_guard lock(mutex_);
        Drain();
    }

    void SetHook(std::function<void()> hook) {
        const std::lock_guard lock(mutex_);
        hook_ = std::move(hook);
    }

private:
    static constexpr std::uint32_t kFolderChanges =
        IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
        IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    static constexpr std::uint32_t kFileChanges =
        IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;

    // Reads every waiting event. Any event, or a failing descriptor, drops the cached drives
    // and runs the hook.
    void Drain() {
        if (!inotify_) {
            return;
        }
        bool changed = false;
        alignas(inotify_event) char events[4096];
        for (;;) {
            const ssize_t got = ::read(inotify_.get(), events, sizeof events);
            if (got > 0) {
                changed = true;
            } else if (got == 0 || errno != EINTR) {
                changed = changed || got == 0 || errno != EAGAIN;
                break;
            }
        }
        if (changed) {
            cached_.reset();
            if (hook_) {
                hook_();
            }
        }
    }

    // Re-points a watch; old is dropped when the new one is another.
    void Rewatch(int& watch, const std::filesystem::path& path, std::uint32_t changes) {
        const int now = ::inotify_add_watch(inotify_.get(), path.c_str(), changes);
        if (watch >= 0 && watch != now) {
            ::inotify_rm_watch(inotify_.get(), watch);
        }
        watch = now;
    }

    // Watches file's folder and the file itself (through a link, the file it names) afresh,
    // earlier changes read; false when the folder cannot be watched.
    bool Follow(const std::filesystem::path& file) {
        if (!inotify_) {
            inotify_ = linux_detail::UniqueFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
            if (!inotify_) {
                return false;
            }
        }
        std::error_code error;
        const auto absolute = std::filesystem::absolute(file, error);
        Rewatch(folderWatch_, absolute.parent_path(), kFolderChanges);
        Rewatch(fileWatch_, absolute, kFileChanges);
        Drain();
        return folderWatch_ >= 0;
    }

    // Whether the folder's watch sees every change of the file: a link on the way could be
    // pointed elsewhere without a change in the watched folder, and a remote folder's
    // changes come from another machine.
    static bool Trustworthy(const std::filesystem::path& file) {
        const auto folder = file.parent_path();
        std::error_code error;
        struct stat st {};
        return file.is_absolute() && std::filesystem::canonical(folder, error) == folder &&
               ::lstat(file.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && !IsRemote(folder);
    }

    std::mutex mutex_;
    linux_detail::UniqueFd inotify_;
    int folderWatch_ = -1;
    int fileWatch_ = -1;
    std::string name_;
    Volumes cached_;
    std::function<void()> hook_;
};

Volumes CurrentVolumes(bool withLabels) {
    if (const std::string_view file = SimulationFile(); !file.empty()) {
        return SimulationCache::Instance().VolumesOf(file);
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

// The part of a drive path after "X:\" as a relative path ('/' between components), under the
// rules of LocalPath.
std::optional<std::string> RelativePart(std::string_view rest) {
    std::string relative;
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
            relative.append(relative.empty() ? "" : "/").append(component);
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

namespace linux_detail {

int SimulationWatchDescriptor() {
    return SimulationCache::Instance().Descriptor();
}

void ReadSimulationChanges() {
    SimulationCache::Instance().ReadChanges();
}

void SetSimulationChangeHook(std::function<void()> hook) {
    SimulationCache::Instance().SetHook(std::move(hook));
}

} // namespace linux_detail

std::vector<LetteredVolume> LetteredVolumes() {
    return *CurrentVolumes(true);
}

std::vector<UnmountedVolume> UnmountedVolumes() {
    const char* tree = std::getenv("LUNAVIO_SYSFS");
    const bool given = tree != nullptr && *tree != '\0';
    // A simulated machine has no disks of its own.
    if (!given && !SimulationFile().empty()) {
        return {};
    }
    return linux_detail::UnmountedUsbVolumes(given ? tree : "/sys", linux_detail::ReadMountTable());
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
    if (relative->empty()) {
        return volume->directory;
    }
    std::string local = volume->directory.native();
    if (!local.ends_with('/')) {
        local += '/';
    }
    local += *relative;
    return std::filesystem::path(std::move(local));
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
