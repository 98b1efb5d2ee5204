#include "FuzzSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

QString Init() {
    static QTemporaryDir* appData = nullptr;
    if (appData)
        return appData->path();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("KESTRELLE_SHORTDATE"))
        qputenv("KESTRELLE_SHORTDATE", "dd.MM.yyyy");
    // Leaked on purpose: the folder and the application outlive every input,
    // and libFuzzer ends the process without unwinding.
    appData = new QTemporaryDir;
    qputenv("KESTRELLE_COMMON_APPDATA", appData->path().toLocal8Bit());
    static int argc = 1;
    static char name[] = "kestrelle_fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    return appData->path();
}

void Fail(const char* file, int line, const char* what, const QString& detail) {
    QString shown = detail;
    shown.replace(QChar(0), QLatin1String("\\0"));
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n%s\n", file, line, what,
                 shown.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

QList<QByteArray> Pieces(const uint8_t* data, size_t size) {
    const QByteArray all(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray separator(kPieceSeparator);
    QList<QByteArray> pieces;
    qsizetype start = 0;
    for (qsizetype at; (at = all.indexOf(separator, start)) >= 0; start = at + separator.size())
        pieces.append(all.mid(start, at - start));
    pieces.append(all.mid(start));
    return pieces;
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

}  // namespace fuzz
