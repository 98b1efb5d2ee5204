#include "support/BenchRun.h"

#include <unistd.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>

namespace {

std::string LoadAverage() {
    std::ifstream file("/proc/loadavg");
    double one = 0, five = 0, fifteen = 0;
    if (!(file >> one >> five >> fifteen))
        return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", one, five, fifteen);
    return text;
}

bool HasFlag(const std::vector<char*>& arguments, const char* name) {
    const size_t length = std::strlen(name);
    return std::any_of(arguments.begin(), arguments.end(), [&](const char* argument) {
        return std::strncmp(argument, name, length) == 0;
    });
}

// Shows every run as the console reporter does and keeps, per benchmark, the
// run that stands for it: the median of its repetitions, or its only run.
class SummaryReporter final : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const std::string name = run.run_name.str();
            // The aggregates follow the repetitions they sum up.
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
                medians_[name] = run;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintSummary(const std::vector<TimeRatio>& ratios, const std::string& loadBefore) const {
        std::printf(
            "\nRatios (station / baseline), medians of the repetitions;"
            " load average (1, 5, 15 min) %s before, %s after:\n",
            loadBefore.c_str(), LoadAverage().c_str());
        bool any = !ratios.empty();
        for (const auto& [name, run] : medians_) {
            for (const auto& [counter, value] : run.counters) {
                const std::string suffix = "_ratio";
                if (counter.size() > suffix.size() &&
                    counter.compare(counter.size() - suffix.size(), suffix.size(), suffix) == 0) {
                    std::printf("  %-60s %-18s %8.3f\n", name.c_str(), counter.c_str(),
                                double(value));
                    any = true;
                }
            }
        }
        if (!any)
            std::printf("  none: these benchmarks are absolute\n");
        for (const TimeRatio& ratio : ratios) {
            const auto numerator = medians_.find(ratio.numerator);
            const auto denominator = medians_.find(ratio.denominator);
            if (numerator == medians_.end() || denominator == medians_.end()) {
                std::printf("  %-60s (not run)\n", ratio.label.c_str());
                continue;
            }
            const double a = numerator->second.GetAdjustedRealTime() /
                             benchmark::GetTimeUnitMultiplier(numerator->second.time_unit);
            const double b = denominator->second.GetAdjustedRealTime() /
                             benchmark::GetTimeUnitMultiplier(denominator->second.time_unit);
            std::printf("  %-60s %-18s %8.3f\n", ratio.label.c_str(), "time_ratio",
                        b > 0 ? a / b : 0.0);
        }
    }

private:
    std::map<std::string, Run> medians_;
};

}  // namespace

int RunBenchmarks(int argc, char** argv, int defaultRepetitions,
                  const std::vector<TimeRatio>& ratios) {
    const std::string loadBefore = LoadAverage();
    std::vector<char*> arguments(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=" + std::to_string(defaultRepetitions);
    std::string aggregatesOnly = "--benchmark_display_aggregates_only=true";
    if (!HasFlag(arguments, "--benchmark_repetitions"))
        arguments.push_back(repetitions.data());
    if (!HasFlag(arguments, "--benchmark_display_aggregates_only") &&
        !HasFlag(arguments, "--benchmark_report_aggregates_only"))
        arguments.push_back(aggregatesOnly.data());
    // Another display format than the console's gets the library's own
    // reporter, without the summary.
    const bool console = !HasFlag(arguments, "--benchmark_format") ||
                         HasFlag(arguments, "--benchmark_format=console");
    int count = int(arguments.size());
    arguments.push_back(nullptr);
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    if (!console) {
        benchmark::RunSpecifiedBenchmarks();
    } else {
        SummaryReporter reporter(::isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color
                                                         : benchmark::ConsoleReporter::OO_None);
        benchmark::RunSpecifiedBenchmarks(&reporter);
        reporter.PrintSummary(ratios, loadBefore);
    }
    benchmark::Shutdown();
    return 0;
}

double Median(std::vector<double> samples) {
    return Percentile(std::move(samples), 0.5);
}

double Percentile(std::vector<double> samples, double fraction) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const size_t index = std::min(samples.size() - 1, size_t(fraction * double(samples.size())));
    return samples[index];
}

double NowUs() {
    return double(std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count()) /
           1000.0;
}

double ProcessCpuUs(qint64 pid) {
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    const QStringList threads = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (threads.isEmpty())
        return -1;
    double ns = 0;
    for (const QString& thread : threads) {
        QFile file(tasks + "/" + thread + "/schedstat");
        // A thread that ended meanwhile has its time in no file any more.
        if (file.open(QIODevice::ReadOnly))
            ns += file.readLine().split(' ').value(0).toDouble();
    }
    return ns / 1000.0;
}
