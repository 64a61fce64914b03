#pragma once
// Benchmarks report their cost as a ratio to a floor measured in the same run.

#include <benchmark/benchmark.h>
#include <map>
#include <string>
#include <vector>

namespace lunavio_bench {

// The console output, plus the real and CPU time of each benchmark to print the ratios from:
// the median when repetitions were asked for, else the one run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    std::map<std::string, double> cpuTimes;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!run.error_occurred && (median || run.repetitions <= 1)) {
                times[run.run_name.str()] = run.GetAdjustedRealTime();
                cpuTimes[run.run_name.str()] = run.GetAdjustedCPUTime();
            }
        }
    }
};

} // namespace lunavio_bench
