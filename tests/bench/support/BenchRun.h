#pragma once

#include <benchmark/benchmark.h>

#include <QString>
#include <string>
#include <vector>

// The main of a benchmark program. A bare run repeats every benchmark
// `defaultRepetitions` times and shows only the aggregates (mean, median,
// spread); --benchmark_repetitions and --benchmark_display_aggregates_only on
// the command line override both (--benchmark_repetitions=1 for a quick look).
// At the end it prints a summary: the load average before and after, every
// counter whose name ends in "_ratio" (a station figure over its baseline's
// from the same iteration), and the `ratios` of one benchmark's median time
// over another's. Answers the process's exit code.
struct TimeRatio {
    std::string label;
    std::string numerator;    // a benchmark's name as printed, without the aggregate
    std::string denominator;  // suffix ("BM_Clear/100000/iterations:3")
};
int RunBenchmarks(int argc, char** argv, int defaultRepetitions,
                  const std::vector<TimeRatio>& ratios = {});

// Small statistics over samples (an empty list answers 0).
double Median(std::vector<double> samples);
double Percentile(std::vector<double> samples, double fraction);

// Microseconds of a steady clock, for timing a span inside an iteration.
double NowUs();

// Microseconds of processor time the process has run so far, all its threads
// (from /proc/<pid>/task/*/schedstat); negative when it cannot be read.
double ProcessCpuUs(qint64 pid);
