#include "core/ModSpecialFolders.h"

#include <QDir>
#include <QFileInfo>

#include "platform/Folders.h"

QString GetProductFolderName(int appIndex) {
    switch (appIndex) {
        case kAppFerromont:
            return QStringLiteral("Ferromont");
        case kAppKestrelle:
            return QStringLiteral("Kestrelle");
        default:
            return QString();
    }
}

namespace {
QString ConfigFileName(int appIndex) {
    return appIndex == kAppKestrelle ? QStringLiteral("KestrelleApp.config") : QString();
}
}  // namespace

QString GetSpecialFolderPath(int csidl, long long ownerWindow) {
    Q_UNUSED(ownerWindow);
    const QString path = platform::SpecialFolderPath(csidl);
    if (path.isEmpty())
        return QString();
    return path.endsWith('/') ? path : path + '/';
}

QString GetAppDataFolder(int appIndex, int folderKind, bool create, long long ownerWindow) {
    const QString product = GetProductFolderName(appIndex);
    if (product.isEmpty())
        return QString();
    QString relative = QStringLiteral("Quillbarrow/%/").replace('%', product);
    switch (folderKind) {
        case kFolderLogs:
            relative += QStringLiteral("Logs/");
            break;
        case kFolderScales:
            relative += QStringLiteral("Scales/");
            break;
        case kFolderTemplates:
            relative += QStringLiteral("Templates/");
            break;
        default:
            break;
    }
    const QString path = GetSpecialFolderPath(kCsidlCommonAppData, ownerWindow) + relative;
    if (create && appIndex != kAppFerromont)
        CreateFolderPath(path);
    return path;
}

bool FolderExists(const QString& path) {
    if (path.isEmpty() || path == "." || path == ".." || path == "/")
        return false;
    const QFileInfo info(path.endsWith('/') ? path : path + '/');
    return info.isDir();
}

bool CreateFolderPath(const QString& path) {
    if (FolderExists(path))
        return true;
    QString trimmed = path;
    if (trimmed.endsWith('/'))
        trimmed.chop(1);
    QString accumulated;
    const QStringList parts = trimmed.split('/');
    for (const QString& part : parts) {
        accumulated += part + '/';
        // An empty element is the root (or a doubled separator): nothing to make.
        if (!part.isEmpty() && !FolderExists(accumulated))
            QDir().mkdir(accumulated);
    }
    return FolderExists(path);
}

QString GetAppConfigFilePath(int appIndex, bool withFolder) {
    const QString name = ConfigFileName(appIndex);
    if (name.isEmpty())
        return QString();
    if (!withFolder)
        return name;
    return GetAppDataFolder(appIndex, 0, true) + name;
}

QString GetErrorLogPath(int appIndex, bool inLogsFolder) {
    if (!inLogsFolder)
        return QStringLiteral("Error.log");
    return GetAppDataFolder(appIndex, kFolderLogs, true) + QStringLiteral("Error.log");
}

QString GetFullProductName(int appIndex) {
    return QStringLiteral("Quillbarrow ") + GetProductFolderName(appIndex);
}

int GetAppIndexFromConfigName(const QString& configName) {
    return configName == ConfigFileName(kAppKestrelle) ? kAppKestrelle : 1;
}
