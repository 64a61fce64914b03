// Listing a drive root against a bare readdir+stat loop over the same folder, for roots of
// 10,000 and 100,000 folders: the listing rules alone (into a plain vector) and the listing
// into the window's ListView1 (offscreen). Prints the ratio listing / baseline per size; the
// goal is 1.5 or less, with both costs linear in the number of folders.

#include "FrmManage/FolderListView.h"
#include "FrmManage/FolderListing.h"
#include "FrmManage/FrmEditProtect.h"

#include <QApplication>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kSizes[] = {10'000, 100'000};

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
    for (int folders : kSizes) {
        const std::string dir = std::to_string(folders);
        MakeRoot(BenchRoot() / dir, folders);
        sim << DriveOf(folders) << '\t' << (BenchRoot() / dir).string()
            << "\tUSB\\VID_1234&PID_5678\\1\t1\tBENCH\tFAT32\n";
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

class VectorRows : public FolderRowSink, public PasswordTextSink {
public:
    std::vector<FolderRow> rows;
    std::string password;
    void AppendFolderRow(const FolderRow& row) override { rows.push_back(row); }
    void SetPasswordText(const std::string& text) override { password = text; }
};

// Every slot filled, none matching: the most comparisons per row.
DriveProtection FullEntry(char letter) {
    DriveProtection entry{};
    entry.DriveLetter = static_cast<char16_t>(letter);
    entry.Password = 0x1234;
    for (std::size_t i = 0; i < kPrivateFolderSlots; ++i) {
        PathSlot& slot = entry.PrivateFolders[i];
        slot[0] = entry.DriveLetter;
        slot[1] = u':';
        slot[2] = u'\\';
        slot[3] = u'F';
        slot[4] = static_cast<char16_t>(u'a' + i);
    }
    return entry;
}

void ListRoot(benchmark::State& state) {
    VolumeIsFat = true;
    const DriveProtection entry = FullEntry(DriveOf(static_cast<int>(state.range(0))));
    VectorRows list;
    for (auto _ : state) {
        list.rows.clear(); // as the window empties its list before listing again
        ListRootFoldersW(entry, list, list);
        if (list.rows.size() != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("the listing missed folders");
            return;
        }
        benchmark::DoNotOptimize(list.rows.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The window's own path: empty ListView1, list into it, show the rows, let the shown window
// lay them out and paint.
void ListIntoWindow(benchmark::State& state) {
    VolumeIsFat = true;
    const DriveProtection entry = FullEntry(DriveOf(static_cast<int>(state.range(0))));
    TFrmEditProtect window;
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        window.ShowDrive(entry, false);
        QApplication::processEvents();
        if (window.ListView1->RowCount() != state.range(0)) {
            state.SkipWithError("the listing missed folders");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(ReaddirStat)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMillisecond);
BENCHMARK(ListRoot)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMillisecond);
BENCHMARK(ListIntoWindow)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMillisecond);

// The console output, plus the real time of each benchmark to print the ratios from: the
// median when repetitions were asked for, else the one run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!run.error_occurred && (median || run.repetitions <= 1)) {
                times[run.run_name.str()] = run.GetAdjustedRealTime();
            }
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    MakeMachine();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int folders : kSizes) {
        const std::string arg = std::to_string(folders);
        const auto base = reporter.times.find(std::string("ReaddirStat/").append(arg));
        if (base == reporter.times.end()) {
            continue;
        }
        for (const char* listing : {"ListRoot", "ListIntoWindow"}) {
            const auto time = reporter.times.find(std::string(listing).append("/").append(arg));
            if (time != reporter.times.end()) {
                std::printf("%6d folders: readdir+stat %.2f ms, %s %.2f ms, ratio %.2f\n", folders,
                            base->second, listing, time->second, time->second / base->second);
            }
        }
    }
    fs::remove_all(BenchRoot());
    fs::remove(SimulationFile());
    benchmark::Shutdown();
}
