#include "platform/Drives.h"

#include "platform/windows/Win32.h"

#include <atomic>
#include <string>
#include <vector>

namespace platform {
namespace {

// 0: ask the system.
std::atomic<int> osMajorVersionForTesting{0};

// Buffers of the classic size for a volume's name and its file system's name.
constexpr DWORD kNameChars = MAX_PATH + 1;

std::optional<std::string> Terminated(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(text);
}

} // namespace

std::vector<UnmountedVolume> UnmountedVolumes() {
    return {};
}

std::vector<LetteredVolume> LetteredVolumes() {
    // An empty card reader or disc drive must not ask the user to insert a medium.
    DWORD previous = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous);
    std::vector<LetteredVolume> volumes;
    const DWORD letters = ::GetLogicalDrives();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string root = DriveRoot(letter);
        const DriveType type = QueryDriveType(root);
        // A network drive may take long to answer, and is no device's drive.
        if (!(letters & (1u << (letter - 'A'))) || type == DriveType::Remote ||
            type == DriveType::NoRootDir) {
            continue;
        }
        LetteredVolume volume;
        volume.letter = letter;
        volume.directory = root;
        volume.removable = type == DriveType::Removable;
        // Windows names no device here; the device library's records do.
        volume.eligible = volume.removable;
        if (auto info = QueryVolumeInformation(root)) {
            volume.label = std::move(info->label);
            volume.fileSystem = std::move(info->fileSystem);
        }
        volumes.push_back(std::move(volume));
    }
    ::SetThreadErrorMode(previous, nullptr);
    return volumes;
}

std::optional<VolumeInformation> QueryVolumeInformation(std::string_view rootPath) {
    const auto root = Terminated(rootPath);
    char label[kNameChars] = {};
    char fileSystem[kNameChars] = {};
    if (!root || !::GetVolumeInformationA(root->c_str(), label, kNameChars, nullptr, nullptr,
                                          nullptr, fileSystem, kNameChars)) {
        return std::nullopt;
    }
    return VolumeInformation{label, fileSystem};
}

DriveType QueryDriveType(std::string_view rootPath) {
    const auto root = Terminated(rootPath);
    if (!root) {
        return DriveType::NoRootDir;
    }
    const UINT type = ::GetDriveTypeA(root->c_str());
    return type <= DRIVE_RAMDISK ? static_cast<DriveType>(type) : DriveType::Unknown;
}

int OsMajorVersion() {
    if (const int major = osMajorVersionForTesting.load(); major != 0) {
        return major;
    }
    // Without the program's manifest naming Windows 10 this stops at 6 (Windows 8).
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    static_assert(sizeof(OSVERSIONINFOA) == 148);
    if (!::GetVersionExA(&info)) {
        return 0;
    }
    return static_cast<int>(info.dwMajorVersion);
}

void SetOsMajorVersionForTesting(int major) {
    osMajorVersionForTesting.store(major);
}

} // namespace platform
