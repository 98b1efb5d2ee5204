#include "FuzzSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
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

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size(),
               path);
}

QString ProfileValueAsRead(QString value) {
    value.replace(QLatin1String("\r\n"), QLatin1String(" "));
    value.replace('\r', ' ').replace('\n', ' ').remove(QChar(0));
    const auto blank = [](QChar c) { return c == ' ' || c == '\t'; };
    while (!value.isEmpty() && blank(value.front()))
        value.remove(0, 1);
    while (!value.isEmpty() && blank(value.back()))
        value.chop(1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
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
