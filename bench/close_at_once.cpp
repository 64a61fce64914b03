// Preloaded (LD_PRELOAD) into the window by exit_bench.py: a modal run handles what is
// waiting once (showing and painting the window) and ends, so a run of the program times its
// start-up and its ending alone. The moment the run ends (CLOCK_MONOTONIC, in nanoseconds)
// goes to the file $EXIT_BENCH_CLOCK names, so the bench can tell how long the ending took.

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>
#include <cstdlib>
#include <ctime>

int QEventLoop::exec(ProcessEventsFlags) {
    QCoreApplication::processEvents();
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    if (const char* name = std::getenv("EXIT_BENCH_CLOCK")) {
        if (std::FILE* file = std::fopen(name, "w")) {
            std::fprintf(file, "%lld\n", now.tv_sec * 1000000000LL + now.tv_nsec);
            std::fclose(file);
        }
    }
    return 0;
}
