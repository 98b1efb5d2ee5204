#include "support/StationExecutable.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include "common/TestNet.h"
#include "platform/IniFile.h"

StationExecutable::StationExecutable() {
    QDir().mkpath(DataFolder());
}

StationExecutable::~StationExecutable() {
    Stop();
}

bool StationExecutable::Configure(const QList<QPair<QString, QString>>& settings) {
    QList<platform::IniEntry> entries{{"Restriction", "Value", "False"},
                                      {"SoundNotification", "Value", "False"}};
    for (const auto& [section, value] : settings)
        entries.append({section, "Value", value});
    return platform::IniWriteMany(DataFolder() + "KestrelleApp.config", entries);
}

bool StationExecutable::ConfigureMessageServer(int port) {
    return Configure({{"Communication", "1"}, {"PortTCP", QString::number(port)}});
}

bool StationExecutable::ConfigureDatagrams(int port) {
    return Configure({{"Communication", "0"}, {"PortUDP", QString::number(port)}});
}

bool StationExecutable::WriteBackup(const QByteArray& bytes) {
    QFile file(DataFolder() + "BackUp.log");
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

bool StationExecutable::Start() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KESTRELLE_COMMON_APPDATA", appData_.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process_.setProcessEnvironment(env);
    // Its output is not read (Qt's notes would break up the benchmark's
    // table); what counts is what it writes and answers.
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start(QStringLiteral(KESTRELLE_BIN_DIR "/kestrelle"), {});
    return process_.waitForStarted(10000);
}

bool StationExecutable::StartMessageServer(int port) {
    return ConfigureMessageServer(port) && Start() && WaitForPort(SOCK_STREAM, port);
}

bool StationExecutable::StartDatagrams(int port) {
    return ConfigureDatagrams(port) && Start() && WaitForPort(SOCK_DGRAM, port);
}

bool StationExecutable::WaitForPort(int type, int port, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        if (PortTaken(type, port))
            return true;
        if (!Running())
            return false;
        QThread::msleep(5);
    }
    return false;
}

void StationExecutable::Stop() {
    if (!Running())
        return;
    process_.terminate();
    if (!process_.waitForFinished(15000)) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

int StationExecutable::BackupCount() const {
    // The count is the file's first section, rewritten in place by every
    // save: its head is read, which costs the same at any size, so that a
    // watch polling it sees a save within its interval, not within a parse
    // of the whole file, which grows with the orders held.
    QFile file(DataFolder() + "BackUp.log");
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    static const QByteArray kHead = "[OrdersCount]\r\nValue=";
    const QByteArray head = file.read(64);
    if (const qsizetype end = head.indexOf('\r', kHead.size()); head.startsWith(kHead) && end > 0) {
        bool ok = false;
        const int count = head.mid(kHead.size(), end - kHead.size()).trimmed().toInt(&ok);
        if (ok)
            return count;
    }
    platform::IniClearCache();
    return platform::IniLookup(DataFolder() + "BackUp.log", "OrdersCount", "Value")
        .value_or(QString())
        .toInt();
}

QSet<QString> StationExecutable::BackupFirstRows(int* doubled) const {
    const QString backup = DataFolder() + "BackUp.log";
    const int count = BackupCount();
    QSet<QString> rows;
    for (int i = 0; i < count; ++i) {
        const QString section = QStringLiteral("Order_%1").arg(i, 2, 10, QLatin1Char('0'));
        const QString row = platform::IniLookup(backup, section, "Row_000").value_or(QString());
        if (doubled && rows.contains(row))
            ++*doubled;
        rows.insert(row);
    }
    return rows;
}
