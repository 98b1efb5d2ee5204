// Look-ups in a dictionary-sized INI file: 2,000 sections, 10 languages.
//   build/bench/ini_bench
#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QTemporaryDir>

#include "platform/Files.h"
#include "platform/IniFile.h"
#include "support/BenchRun.h"

namespace {

const char* const kLanguages[] = {"BG", "EN", "RU", "RO", "GR", "DE", "ES", "TR", "SR", "HY"};

struct Dictionary {
    QTemporaryDir dir;
    QString file;
    Dictionary() {
        file = dir.path() + "/Dictionary_Kestrelle.lng";
        QString text;
        for (int s = 0; s < 2000; ++s) {
            text += QString("[Form%1|Control%2]\r\n").arg(s / 20).arg(s);
            for (const char* lang : kLanguages)
                text += QString("%1=Text of control %2 in %1\r\n").arg(lang).arg(s);
        }
        platform::WriteFileAtomically(file, text.toLatin1());
    }
};

Dictionary& Dict() {
    static Dictionary d;
    return d;
}

void BM_LookUp(benchmark::State& state) {
    const QString file = Dict().file;
    int i = 0;
    for (auto _ : state) {
        const QString section = QString("Form%1|Control%2").arg((i % 2000) / 20).arg(i % 2000);
        benchmark::DoNotOptimize(platform::IniRead(file, section, kLanguages[i % 10], 1024));
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookUp)->Iterations(100000);

// A write by this process, then the first look-up that must see it.
void BM_LookUpAfterWrite(benchmark::State& state) {
    const QString file = Dict().file;
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        platform::IniWrite(file, "Form3|Control70", "EN", QString("changed %1").arg(i++));
        state.ResumeTiming();
        benchmark::DoNotOptimize(platform::IniRead(file, "Form3|Control70", "EN", 1024));
    }
}
BENCHMARK(BM_LookUpAfterWrite)->Iterations(200);

// The write itself: the whole file is rewritten atomically.
void BM_Write(benchmark::State& state) {
    const QString file = Dict().file;
    int i = 0;
    for (auto _ : state)
        platform::IniWrite(file, "Form3|Control70", "EN", QString("changed %1").arg(i++));
}
BENCHMARK(BM_Write)->Iterations(200);

// A change by another writer (the cache must notice and parse again).
void BM_LookUpAfterForeignChange(benchmark::State& state) {
    const QString file = Dict().file;
    for (auto _ : state) {
        state.PauseTiming();
        platform::IniClearCache();
        state.ResumeTiming();
        benchmark::DoNotOptimize(platform::IniRead(file, "Form3|Control70", "EN", 1024));
    }
}
BENCHMARK(BM_LookUpAfterForeignChange)->Iterations(200);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunBenchmarks(argc, argv, 5);
}
