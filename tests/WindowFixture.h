#pragma once
// The machine the window tests run on and a recorder for the window's message boxes. No
// toolkit: the tests of the window's handlers and those of its Qt widgets share it.

#include "ProtectionFileFixtures.h"
#include "RegistryFile.h"
#include "SimulatedMachine.h"
#include "platform/MessageBox.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lunavio_test {

// The simulation line of a drive of the device that the model list names.
inline std::string DeviceDriveLine(char letter, std::string_view folder, std::string_view label,
                                   std::string_view fileSystem) {
    return std::string{letter} + '\t' + std::string(folder) + "\tUSB\\VID_1234&PID_5678\\1\t1\t" +
           std::string(label) + '\t' + std::string(fileSystem) + '\n';
}

// E "MEDIA", FAT32: ALPHA (private), BETA, GAMMA; password 1234, wait state 3.
inline const std::string kDriveE = DeviceDriveLine('E', "e", "MEDIA", "FAT32");
// F without a label, NTFS: MOVIES, MUSIC, PHOTOS, A_FOLDER_NAME_OF_25_UNITS (private, "Name
// too long"); password 9876, wait state 7.
inline const std::string kDriveF = DeviceDriveLine('F', "f", "", "NTFS");
// G "BACKUP", NTFS: ARCHIVE; no MPlay.sys.
inline const std::string kDriveG = DeviceDriveLine('G', "g", "BACKUP", "NTFS");

inline const Bytes kFileOfE = ProtectionFileBytes({u"ALPHA"}, 0x1234, 3);
inline const Bytes kFileOfF = ProtectionFileBytes({u"A_FOLDER_NAME_OF_25_UNITS"}, 0x9876, 7);

// The folders e, f and g as above, a model list naming the device, and E and F plugged in.
class DeviceMachine {
public:
    DeviceMachine() : registry_(ZembarKey() + ModelKey("KR512", 1, 0x1234, 0x5678)) {
        for (const char* folder : {"e/ALPHA", "e/BETA", "e/GAMMA", "f/MOVIES", "f/MUSIC",
                                   "f/PHOTOS", "f/A_FOLDER_NAME_OF_25_UNITS", "g/ARCHIVE"}) {
            std::filesystem::create_directories(Root() / folder);
        }
        const auto write = [](const std::filesystem::path& file, const Bytes& bytes) {
            WriteFile(file, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        };
        write(Folder("e") / "MPlay.sys", kFileOfE);
        write(Folder("f") / "MPlay.sys", kFileOfF);
        Plug({kDriveE, kDriveF});
    }

    const std::filesystem::path& Root() const { return machine_.Root(); }
    std::filesystem::path Folder(std::string_view name) const { return Root() / name; }
    std::filesystem::path ModelList() const { return registry_.File(); }

    // Makes lines the machine's drives, in one step as an editor saves (a watcher sees one
    // change).
    void Plug(const std::vector<std::string>& lines) const {
        std::string text;
        for (const std::string& line : lines) {
            text += line;
        }
        const std::filesystem::path next = Root() / "machine.txt.next";
        WriteFile(next, text);
        std::filesystem::rename(next, Root() / "machine.txt");
    }

private:
    SimulatedMachine machine_;
    RegistryFile registry_;
};

// Records the boxes instead of showing them. whileOpen runs once inside the next box, as a
// device notice that a real box's event loop delivers while the box is open.
class BoxRecorder {
public:
    BoxRecorder()
        : previous_(
              platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& request) {
                  boxes.push_back(request);
                  if (auto hook = std::exchange(whileOpen, nullptr)) {
                      hook();
                  }
              })) {}
    ~BoxRecorder() { platform::SetMessageBoxHandler(previous_); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const platform::MessageBoxRequest& box : boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }

    std::vector<platform::MessageBoxRequest> boxes;
    std::function<void()> whileOpen;

private:
    platform::MessageBoxHandler previous_;
};

} // namespace lunavio_test
