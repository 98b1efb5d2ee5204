#include "platform/Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {

QString ProgramFolder() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2);
}

QString CommonAppDataFolder() {
    QString base = QString::fromLocal8Bit(qgetenv("KESTRELLE_COMMON_APPDATA"));
    if (base.isEmpty())
        base = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    while (base.size() > 1 && base.endsWith('/'))
        base.chop(1);
    return base;
}

QString SpecialFolderPath(int id) {
    constexpr int kCommonAppData = 35;
    return id == kCommonAppData ? CommonAppDataFolder() : QString();
}

}  // namespace platform
