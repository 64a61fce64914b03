// windows-listing-bench.exe DRIVE [REPETITIONS]: the first listing of a drive root in a new
// setup window on the Win32 controls, shown and painted, against a bare FindFirstFileW/
// FindNextFileW loop over the same root (the floor), alternated in one run. Prints the
// medians of wall-clock and CPU time (the thread's user and system time) and their ratios;
// exit status 1 when a listing misses folders or the CPU ratio is above the goal of 1.3.
// (Google Benchmark is not built for MinGW; scripts/bench-windows.sh runs this under Wine.)

#include "FrmManage/FolderListing.h"
#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/win32/ControlIds.h"
#include "FrmManage/win32/Win32Form.h"
#include "FullEntry.h"
#include "platform/windows/UniqueHandle.h"

#include <algorithm>
#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr double kGoal = 1.3;

struct Times {
    double wall = 0, cpu = 0; // milliseconds
};

double CpuMilliseconds() {
    FILETIME created, exited, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e4;
}

double WallMilliseconds() {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart);
}

Times Timed(const std::function<void()>& work) {
    const double wall = WallMilliseconds(), cpu = CpuMilliseconds();
    work();
    return {WallMilliseconds() - wall, CpuMilliseconds() - cpu};
}

void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// The floor: the enumeration alone, counting folders ("." and ".." too where a root has them).
std::size_t FindLoop(char drive) {
    const wchar_t pattern[] = {static_cast<wchar_t>(drive), L':', L'\\', L'*', L'\0'};
    WIN32_FIND_DATAW data;
    const auto find =
        platform::windows_detail::Owned<&::FindClose>(::FindFirstFileW(pattern, &data));
    if (!find) {
        return 0;
    }
    std::size_t folders = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ++folders;
        }
    } while (::FindNextFileW(find.get(), &data));
    return folders;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: windows-listing-bench DRIVE [REPETITIONS]\n");
        return 2;
    }
    const char drive = argv[1][0];
    const int repetitions = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 7;
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&classes);
    VolumeIsFat = true;
    const DriveProtection entry = FullEntry(drive);
    const std::size_t folders = FindLoop(drive);

    std::vector<double> floorWall, floorCpu, firstWall, firstCpu;
    bool missed = false;
    const auto floor = [&] {
        const Times times = Timed([&] { missed |= FindLoop(drive) != folders; });
        floorWall.push_back(times.wall);
        floorCpu.push_back(times.cpu);
    };
    const auto first = [&] {
        // A new window, shown (its creation is not timed), as in a program just started.
        TFrmEditProtect window(Win32FormFactory());
        ::ShowWindow(SetupWindowHandle(), SW_SHOWNA);
        Pump();
        const HWND list = ::GetDlgItem(SetupWindowHandle(), win32::kIdFolders);
        const Times times = Timed([&] {
            window.ShowDrive(entry, false);
            ::UpdateWindow(list); // the shown rows painted
            Pump();
        });
        // A drive root has no "." and "..", a folder mapped as one may have them.
        const std::size_t rows = window.ListView1.RowCount();
        missed |= rows != folders && rows + 2 != folders;
        firstWall.push_back(times.wall);
        firstCpu.push_back(times.cpu);
    };
    for (int i = 0; i < repetitions; ++i) {
        if (i % 2 == 0) {
            floor();
            first();
        } else {
            first();
            floor();
        }
    }
    const double wallRatio = Median(firstWall) / Median(floorWall);
    const double cpuRatio = Median(firstCpu) / Median(floorCpu);
    std::printf("entries %zu, medians of %d alternated repetitions\n", folders, repetitions);
    std::printf("FindFirstFileW loop  %8.1f ms wall  %8.1f ms cpu\n", Median(floorWall),
                Median(floorCpu));
    std::printf("first listing        %8.1f ms wall  %8.1f ms cpu\n", Median(firstWall),
                Median(firstCpu));
    std::printf("ratio                %8.2f wall     %8.2f cpu   (goal <= %.1f)\n", wallRatio,
                cpuRatio, kGoal);
    if (missed) {
        std::fprintf(stderr, "a listing missed folders\n");
        return 1;
    }
    return cpuRatio <= kGoal ? 0 : 1;
}
