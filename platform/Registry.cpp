#include "platform/Registry.h"

#include <QDir>
#include <QFileInfo>

#include "platform/Folders.h"
#include "platform/IniFile.h"

namespace platform {

namespace {
QString RootName(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot:
            return QStringLiteral("HKEY_CLASSES_ROOT");
        case RegistryRoot::CurrentUser:
            return QStringLiteral("HKEY_CURRENT_USER");
        case RegistryRoot::LocalMachine:
            return QStringLiteral("HKEY_LOCAL_MACHINE");
        case RegistryRoot::Users:
            return QStringLiteral("HKEY_USERS");
    }
    return QString();
}

// Key paths compare without regard to case or a trailing backslash.
QString NormaliseKey(QString key) {
    while (key.endsWith('\\'))
        key.chop(1);
    while (key.startsWith('\\'))
        key.remove(0, 1);
    return key;
}
}  // namespace

QString RegistryFile(RegistryRoot root) {
    return CommonAppDataFolder() + QStringLiteral("/Registry/") + RootName(root) +
           QStringLiteral(".ini");
}

bool RegistryWriteString(RegistryRoot root, const QString& keyPath, const QString& valueName,
                         const QString& value) {
    const QString file = RegistryFile(root);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    // The unnamed default value is stored under "@".
    return IniWrite(file, NormaliseKey(keyPath),
                    valueName.isEmpty() ? QStringLiteral("@") : valueName, value);
}

std::optional<QString> RegistryReadString(RegistryRoot root, const QString& keyPath,
                                          const QString& valueName) {
    return IniLookup(RegistryFile(root), NormaliseKey(keyPath),
                     valueName.isEmpty() ? QStringLiteral("@") : valueName);
}

}  // namespace platform
