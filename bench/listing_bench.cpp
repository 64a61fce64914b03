// Listing a drive root into the window's folder list against a bare readdir+stat loop over
// the same folder (the floor), for roots of 10,000 and 100,000 folders: the first listing of
// a fresh window and the re-listing in a window that has listed before. Prints each ratio to
// the floor, from the medians when repetitions are asked for; the goals are 1.4 for the first
// listing and 1.3 for the re-listing. RowMemory lists 100,000 folders in a child process and
// reports the peak memory it costs over an empty drive, per row (goal: 120 bytes).

#include "FrmManage/FolderListing.h"
#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/qt/QtEditProtectForm.h"
#include "FullEntry.h"
#include "RatioReporter.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kSizes[] = {10'000, 100'000};
constexpr char kEmptyDrive = 'D';
constexpr const char* kRowMemoryFlag = "--row-memory-of-drive=";

fs::path BenchRoot() {
    return fs::temp_directory_path() / "lunavio-listing-bench";
}

fs::path SimulationFile() {
    return fs::temp_directory_path() / "lunavio-listing-bench.sim";
}

char DriveOf(int folders) {
    return folders == kSizes[0] ? 'E' : 'F';
}

// Half short lower-case names (stored upper-case on FAT), half names too long to mark.
void MakeRoot(const fs::path& root, int folders) {
    fs::create_directories(root);
    char name[32];
    for (int i = 0; i < folders; ++i) {
        std::snprintf(name, sizeof name, i % 2 ? "Folder number %06d" : "f%06d", i);
        fs::create_directory(root / name);
    }
}

void MakeMachine() {
    fs::remove_all(BenchRoot());
    std::ofstream sim(SimulationFile());
    const auto drive = [&](char letter, const std::string& dir) {
        sim << letter << '\t' << (BenchRoot() / dir).string()
            << "\tUSB\\VID_1234&PID_5678\\1\t1\tBENCH\tFAT32\n";
    };
    fs::create_directories(BenchRoot() / "empty");
    drive(kEmptyDrive, "empty");
    for (int folders : kSizes) {
        const std::string dir = std::to_string(folders);
        MakeRoot(BenchRoot() / dir, folders);
        drive(DriveOf(folders), dir);
    }
    setenv("LUNAVIO_SIMULATION", SimulationFile().c_str(), 1);
}

void ReaddirStat(benchmark::State& state) {
    const std::string dir = (BenchRoot() / std::to_string(state.range(0))).string();
    for (auto _ : state) {
        DIR* d = opendir(dir.c_str());
        if (!d) {
            state.SkipWithError("cannot open the root");
            return;
        }
        std::size_t folders = 0;
        struct stat st;
        while (const dirent* e = readdir(d)) {
            if (fstatat(dirfd(d), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) {
                ++folders;
            }
        }
        closedir(d);
        benchmark::DoNotOptimize(folders);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// What the program does with a drive: empty ListView1, list into it, show the rows, let the
// shown window lay them out and paint. The number of rows listed.
int ShowDrive(TFrmEditProtect& window, const DriveProtection& entry) {
    window.ShowDrive(entry, false);
    QApplication::processEvents();
    return static_cast<int>(window.ListView1.RowCount());
}

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

std::unique_ptr<TFrmEditProtect> ShownWindow() {
    auto window = std::make_unique<TFrmEditProtect>(
        [](TFrmEditProtect& w) { return std::make_unique<QtEditProtectForm>(w); });
    static_cast<QtEditProtectForm&>(window->Controls()).show();
    QApplication::processEvents();
    return window;
}

// A new window each time, on memory handed back to the system, as in a program just started.
void FirstListing(benchmark::State& state) {
    VolumeIsFat = true;
    const int folders = static_cast<int>(state.range(0));
    const DriveProtection entry = FullEntry(DriveOf(folders));
    long faults = 0;
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);
        std::unique_ptr<TFrmEditProtect> window = ShownWindow();
        state.ResumeTiming();
        const long before = MinorFaults();
        const bool listed = ShowDrive(*window, entry) == folders;
        faults += MinorFaults() - before;
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
        if (!listed) {
            state.SkipWithError("the listing missed folders");
            return;
        }
    }
    state.counters["page_faults"] =
        benchmark::Counter(static_cast<double>(faults), benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations() * folders);
}

// The same drive again in the same window, as when the user picks it in the selector.
void Relisting(benchmark::State& state) {
    VolumeIsFat = true;
    const int folders = static_cast<int>(state.range(0));
    const DriveProtection entry = FullEntry(DriveOf(folders));
    const std::unique_ptr<TFrmEditProtect> window = ShownWindow();
    ShowDrive(*window, entry);
    const long before = MinorFaults();
    for (auto _ : state) {
        if (ShowDrive(*window, entry) != folders) {
            state.SkipWithError("the listing missed folders");
            return;
        }
    }
    state.counters["page_faults"] = benchmark::Counter(static_cast<double>(MinorFaults() - before),
                                                       benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations() * folders);
}

// The peak memory, in KiB, of a new process of this benchmark that shows a window with the
// drive listed; -1 when the child failed.
long ChildPeakKiB(char drive) {
    std::string command = "'";
    command += fs::read_symlink("/proc/self/exe").string();
    command.append("' ").append(kRowMemoryFlag).push_back(drive);
    FILE* child = popen(command.c_str(), "r");
    if (!child) {
        return -1;
    }
    long peak = -1;
    if (std::fscanf(child, "%ld", &peak) != 1) {
        peak = -1;
    }
    return pclose(child) == 0 ? peak : -1;
}

int ReportPeakWithDriveListed(char drive) {
    VolumeIsFat = true;
    const std::unique_ptr<TFrmEditProtect> window = ShownWindow();
    ShowDrive(*window, FullEntry(drive));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss); // KiB
    return 0;
}

// Peak memory over the same program with an empty drive, per folder row: the name, stored
// name, date and marks, and what Qt's view keeps per row. Load does not change it.
void RowMemory(benchmark::State& state) {
    const int folders = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const long empty = ChildPeakKiB(kEmptyDrive);
        const long listed = ChildPeakKiB(DriveOf(folders));
        if (empty < 0 || listed < 0) {
            state.SkipWithError("the child process failed");
            return;
        }
        state.counters["bytes_per_row"] = static_cast<double>(listed - empty) * 1024 / folders;
        state.counters["peak_growth_MiB"] = static_cast<double>(listed - empty) / 1024;
    }
}

BENCHMARK(ReaddirStat)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMillisecond);
BENCHMARK(FirstListing)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMillisecond);
BENCHMARK(Relisting)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMillisecond);
BENCHMARK(RowMemory)->Arg(kSizes[1])->Iterations(1)->Repetitions(1)->Unit(benchmark::kSecond);

void PrintRatios(const lunavio_bench::RatioReporter& reporter) {
    for (int folders : kSizes) {
        const std::string arg = std::to_string(folders);
        const auto base = reporter.times.find("ReaddirStat/" + arg);
        if (base == reporter.times.end()) {
            continue;
        }
        for (const char* listing : {"FirstListing", "Relisting"}) {
            const auto time = reporter.times.find(std::string(listing) + "/" + arg);
            if (time != reporter.times.end()) {
                std::printf("%6d folders: %-12s %8.2f ms, floor %8.2f ms, ratio %.2f (CPU time "
                            "ratio %.2f)\n",
                            folders, listing, time->second, base->second,
                            time->second / base->second,
                            reporter.cpuTimes.at(time->first) / reporter.cpuTimes.at(base->first));
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc == 2 && std::strncmp(argv[1], kRowMemoryFlag, std::strlen(kRowMemoryFlag)) == 0) {
        return ReportPeakWithDriveListed(argv[1][std::strlen(kRowMemoryFlag)]);
    }
    benchmark::Initialize(&argc, argv);
    MakeMachine();
    lunavio_bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter);
    fs::remove_all(BenchRoot());
    fs::remove(SimulationFile());
    benchmark::Shutdown();
}
