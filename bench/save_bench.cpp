// A save round trip (WriteProtectionFile, then ReadProtectionFile) on a simulated drive in
// tmpfs, against a bare C loop doing the same system work: create a temporary file, write
// 2048 bytes, fsync, rename it over MPlay.sys, fsync the folder, then open and read 2048
// bytes. Prints the ratio save / floor of the medians, in real and in CPU time; the goal is
// 1.3 or less. Runs interleaved and repeated unless told otherwise, as the machine may be busy
// with other work (then the CPU time ratio is the steadier one).

#include "Protectfileio/Protectfileio.h"
#include "RatioReporter.h"

#include <array>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path BenchRoot() {
    std::error_code error;
    const fs::path base =
        fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    return base / "lunavio-save-bench";
}

void MakeMachine() {
    fs::remove_all(BenchRoot());
    fs::create_directories(BenchRoot() / "e");
    const fs::path simulation = BenchRoot() / "machine.sim";
    std::ofstream(simulation) << "E\te\tUSB\\VID_1234&PID_5678\\1\t1\tBENCH\tFAT32\n";
    setenv("LUNAVIO_SIMULATION", simulation.c_str(), 1);
}

void BareSaveRoundTrip(benchmark::State& state) {
    const std::string folder = (BenchRoot() / "e").string();
    const std::string target = folder + "/MPlay.sys";
    const std::string temporary = folder + "/.MPlay.sys.bare";
    std::array<unsigned char, kProtectionFileSize> bytes{};
    bytes[0] = 'Z';
    std::array<unsigned char, kProtectionFileSize> back{};
    for (auto _ : state) {
        int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
            fsync(fd) != 0 || close(fd) != 0 || rename(temporary.c_str(), target.c_str()) != 0) {
            state.SkipWithError("the bare save failed");
            return;
        }
        fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        fsync(fd);
        close(fd);
        fd = open(target.c_str(), O_RDONLY | O_CLOEXEC);
        const ssize_t got = read(fd, back.data(), back.size());
        close(fd);
        if (got != static_cast<ssize_t>(back.size())) {
            state.SkipWithError("the bare read failed");
            return;
        }
        benchmark::DoNotOptimize(back.data());
    }
}

void SaveRoundTrip(benchmark::State& state) {
    std::vector<WriterNameSlot> names(3);
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::u16string name = u"FOLDER " + std::u16string(1, static_cast<char16_t>(u'A' + k));
        std::copy(name.begin(), name.end(), names[k].begin());
    }
    std::array<ReaderNameSlot, kMaxPrivateFolders> read{};
    for (auto _ : state) {
        if (WriteProtectionFile('E', 3, 0x1234, names, 5).outcome != WriteOutcome::Written) {
            state.SkipWithError("the save failed");
            return;
        }
        std::int32_t count = 0;
        std::uint16_t password = 0;
        std::uint8_t waitState = 0;
        ReadProtectionFile('E', count, password, read, waitState);
        if (count != 3) {
            state.SkipWithError("the reload found another file");
            return;
        }
        benchmark::DoNotOptimize(read.data());
    }
}

BENCHMARK(BareSaveRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(SaveRoundTrip)->Unit(benchmark::kMicrosecond);

// Google Benchmark's own flags, with interleaved repetitions unless the command line says.
std::vector<char*> WithDefaults(int argc, char** argv) {
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char repetitions[] = "--benchmark_repetitions=20";
    std::vector<char*> args(argv, argv + argc);
    const auto given = [&](const char* flag) {
        for (int i = 1; i < argc; ++i) {
            if (std::string(argv[i]).starts_with(flag)) {
                return true;
            }
        }
        return false;
    };
    if (!given("--benchmark_enable_random_interleaving")) {
        args.push_back(interleave);
    }
    if (!given("--benchmark_repetitions")) {
        args.push_back(repetitions);
    }
    return args;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> args = WithDefaults(argc, argv);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    MakeMachine();
    lunavio_bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto& [kind, times] :
         {std::pair{"real", &reporter.times}, std::pair{"CPU", &reporter.cpuTimes}}) {
        const auto floor = times->find("BareSaveRoundTrip");
        const auto save = times->find("SaveRoundTrip");
        if (floor != times->end() && save != times->end()) {
            std::printf("save round trip, %s time: bare %.2f us, WriteProtectionFile + "
                        "ReadProtectionFile %.2f us, ratio %.2f\n",
                        kind, floor->second, save->second, save->second / floor->second);
        }
    }
    fs::remove_all(BenchRoot());
    benchmark::Shutdown();
}
