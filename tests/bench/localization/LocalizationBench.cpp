// Text look-ups and window translation against a dictionary of the size a
// station ships: every built-in name in ten languages.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QTemporaryDir>

#include "localization/BuiltInTexts.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/DataGrid.h"
#include "support/BenchRun.h"

namespace {

QTemporaryDir* Dir() {
    static QTemporaryDir dir;
    return &dir;
}

QString Dictionary() {
    static QString path = [] {
        QString text;
        ResManagerClass& rm = ResManager();
        if (rm.CountResources() == 0)
            RegisterBuiltInTexts();
        const QStringList langs = QString::fromLatin1(kDefaultLanguageList).split(',');
        for (const ResourceEntry& e : rm.Resources()) {
            text += "[" + e.Name + "]\r\n";
            for (const QString& l : langs)
                text += l + "=" + e.Text + " " + l + "\r\n";
        }
        for (int i = 0; i < 40; ++i)
            text += QString("[BenchForm|lbl%1]\r\nEN=Label %1\r\n").arg(i);
        const QString p = Dir()->path() + "/Dictionary_Kestrelle.lng";
        platform::WriteFileAtomically(p, platform::ToAnsi(text));
        rm.SetDictionaryFile(p);
        return p;
    }();
    return path;
}

void BM_GetResStringHit(benchmark::State& state) {
    Dictionary();
    ResManager().SetCurrentLanguage("EN");
    for (auto _ : state)
        benchmark::DoNotOptimize(ResManager().GetResString("strVBNo"));
}
BENCHMARK(BM_GetResStringHit);

// Greek texts are in their own code page, not the station's.
void BM_GetResStringOtherCodePage(benchmark::State& state) {
    Dictionary();
    ResManager().SetCurrentLanguage("GR");
    for (auto _ : state)
        benchmark::DoNotOptimize(ResManager().GetResString("strVBNo"));
}
BENCHMARK(BM_GetResStringOtherCodePage);

void BM_GetResStringBuiltInFallback(benchmark::State& state) {
    Dictionary();
    ResManager().SetCurrentLanguage("XX");
    for (auto _ : state)
        benchmark::DoNotOptimize(ResManager().GetResString("strVBNo"));
}
BENCHMARK(BM_GetResStringBuiltInFallback);

void BM_SetLanguageFortyControls(benchmark::State& state) {
    Dictionary();
    QDialog w;
    w.setObjectName("BenchForm");
    for (int i = 0; i < 30; ++i)
        (new QLabel(&w))->setObjectName(QString("lbl%1").arg(i));
    for (int i = 0; i < 6; ++i)
        new platform::CommandButton("btnTab", i, &w);
    auto* grid = new platform::DataGrid(&w);
    grid->setObjectName("dgView");
    for (int j = 0; j < 8; ++j)
        grid->AddColumn(QString("C%1").arg(j));
    for (auto _ : state)
        ResManager().SetLanguage(&w, "EN");
}
BENCHMARK(BM_SetLanguageFortyControls)->Unit(benchmark::kMicrosecond);

void BM_MessageBoxLoad(benchmark::State& state) {
    for (auto _ : state) {
        MsgBoxExForm f;
        f.SetConfigFile(Dir()->path() + "/KestrelleApp.config");
        f.SetDictionaryFile(Dictionary());
        f.SetPrompt("Не може да бъде направена връзка с базата данни!\r\nВтори ред");
        f.SetMsgBoxStyle(292);
        f.FormLoad();
    }
}
BENCHMARK(BM_MessageBoxLoad)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir appData;
    qputenv("KESTRELLE_COMMON_APPDATA", appData.path().toLocal8Bit());
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv, 5);
}
