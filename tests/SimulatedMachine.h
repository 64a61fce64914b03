#pragma once
// A temporary folder that holds a simulation file and the drive folders it names, made the
// process's whole machine for the life of the object.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace lunavio_test {

class SimulatedMachine {
public:
    explicit SimulatedMachine(
        const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
        std::string pattern = (base / "lunavio-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        ::setenv("LUNAVIO_SIMULATION", (root_ / "machine.txt").c_str(), 1);
        Describe("");
    }
    ~SimulatedMachine() {
        ::unsetenv("LUNAVIO_SIMULATION");
        std::error_code ignored;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    SimulatedMachine(const SimulatedMachine&) = delete;
    SimulatedMachine& operator=(const SimulatedMachine&) = delete;

    const std::filesystem::path& Root() const { return root_; }

    // Replaces the simulation file's text.
    void Describe(std::string_view text) const {
        std::ofstream(root_ / "machine.txt", std::ios::binary | std::ios::trunc) << text;
    }

    // Creates a drive folder under the root and a line for it with the given extra fields.
    std::filesystem::path AddDrive(char letter, std::string_view extra = "\tUSB\\VID_1234") {
        auto folder = root_ / (std::string("drive") + letter);
        std::filesystem::create_directories(folder);
        lines_ +=
            std::string(1, letter) + "\t" + folder.filename().string() + std::string(extra) + "\n";
        Describe(lines_);
        return folder;
    }

private:
    std::filesystem::path root_;
    std::string lines_;
};

inline void WriteFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace lunavio_test
