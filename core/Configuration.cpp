#include "core/Configuration.h"

#include <errno.h>

#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModSkin.h"
#include "core/ModSpecialFolders.h"
#include "platform/AppError.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/ProgramState.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/SkinManager.h"

ConfigurationRecord ConfigurationSettings;

namespace {
// A fresh start reads the settings into the record of defaults.
[[maybe_unused]] const bool kSettingsResetRegistered =
    platform::RegisterStateReset([] { ConfigurationSettings = ConfigurationRecord(); });
}  // namespace

QString GetConfigFileName() {
    if (rt::Trim(ConfigurationSettings.ConfigFile).isEmpty())
        ConfigurationSettings.ConfigFile = GetAppConfigFilePath(kAppKestrelle, true);
    return ConfigurationSettings.ConfigFile;
}

QString GetProgramDataFolder() {
    return GetAppDataFolder(kAppKestrelle, 0, true);
}

namespace {

QString Read(const QString& key) {
    return ReadIniValue(key, QStringLiteral("Value"), ConfigurationSettings.ConfigFile, 255);
}

void ReadBoolean(const QString& key, bool& field) {
    if (const auto b = rt::TryCBool(Read(key)))
        field = *b;
}

}  // namespace

int32_t PortFromText(const QString& text, int32_t fallback) {
    int32_t port = 0;
    rt::IgnoreErrors([&] { port = rt::CLng(text); });
    return port > 0 && port <= 65535 ? port : fallback;
}

bool LoadConfiguration() {
    GetConfigFileName();
    ConfigurationRecord& c = ConfigurationSettings;
    // Saves that a kill cut short leave their temporary file beside it.
    platform::RemoveAtomicWriteLeftovers(c.ConfigFile);
    c.Loaded = true;
    c.Communication = 0;
    c.DatabaseType = 0;
    c.DatabasePath = platform::ProgramFolder() + QStringLiteral("/quillbarrow.mdb");
    c.Language = QStringLiteral("BG");
    c.Restriction = true;
    c.AutoLock = false;
    c.GoodsGroups.clear();
    c.WarningSaveChages = false;
    c.Assistant = true;
    c.SoundNotification = true;
    c.ObjectCodeRange = 1;
    c.PrefixUsers = QStringLiteral("971");
    c.FinishWholeOrder = true;
    c.FocusNewOrder = false;
    c.PortUDP = 7002;
    c.PortTCP = 7003;
    c.Password_2.clear();

    bool result = false;
    if (FileExists(c.ConfigFile)) {
        rt::IgnoreErrors([&] {
            const QString text = Read("Communication");
            const double v = rt::Val(text);
            if (!text.isEmpty() && v >= 0 && v <= 2)
                c.Communication = rt::CLng(v);
        });
        rt::IgnoreErrors([&] { c.DatabaseType = rt::CLng(rt::Val(Read("DatabaseType"))); });
        c.DatabasePath = Read("DatabasePath");
        c.ServerName = Read("ServerName");
        c.LocalServerName = Read("LocalServerName");
        c.DatabaseName = Read("DatabaseName");
        c.UserName = Read("UserName");
        c.Password = Read("Password");
        c.Language = Read("Language");
        if (c.Language.isEmpty())
            c.Language = QStringLiteral("BG");
        rt::IgnoreErrors([&] {
            const QString text = Read("Country");
            if (rt::Val(text) >= 0)
                c.Country = rt::CInt(text);
        });
        ReadBoolean("Restriction", c.Restriction);
        ReadBoolean("AutoLock", c.AutoLock);
        c.GoodsGroups = Read("GoodsGroups");
        ReadBoolean("WarningSaveChages", c.WarningSaveChages);
        ReadBoolean("Assistant", c.Assistant);
        ReadBoolean("SoundNotification", c.SoundNotification);
        {
            const QString digits = rt::Trim(GetDigitsOnly(Read("PrefixUsers")));
            if (digits.size() == 3)
                c.PrefixUsers = digits;
        }
        rt::IgnoreErrors([&] { c.ObjectCodeRange = rt::CInt(Read("ObjectCodeRange")); });
        if (c.ObjectCodeRange < 1 || c.ObjectCodeRange > 10)
            c.ObjectCodeRange = 1;
        ReadBoolean("UserDefineKeys", c.UserDefineKeys);
        ReadBoolean("FinishWholeOrder", c.FinishWholeOrder);
        c.Password_2 = rt::Trim(Read("Password_2"));
        ReadBoolean("FocusNewOrder", c.FocusNewOrder);
        // The ports the settings dialog edits take effect: they are kept under
        // keys of their own and a value that is no port keeps the default.
        c.PortUDP = PortFromText(Read("PortUDP"), c.PortUDP);
        c.PortTCP = PortFromText(Read("PortTCP"), c.PortTCP);
        result = true;
    }
    if (c.Communication != 2) {
        c.ObjectCodeRange = 1;
        c.GoodsGroups.clear();
        c.AutoLock = false;
    }
    return result;
}

bool SaveConfiguration() {
    const ConfigurationRecord& c = ConfigurationSettings;
    QList<platform::IniEntry> entries;
    const auto write = [&](const char* key, const Variant& value) {
        entries.append({QString::fromLatin1(key), QStringLiteral("Value"), value.ToString()});
    };
    write("Communication", c.Communication);
    write("DatabaseType", c.DatabaseType);
    write("DatabasePath", c.DatabasePath);
    write("ServerName", c.ServerName);
    write("LocalServerName", c.LocalServerName);
    write("DatabaseName", c.DatabaseName);
    write("UserName", c.UserName);
    write("Password", c.Password);
    write("Country", c.Country);
    write("Language", c.Language);
    write("AutoLock", c.AutoLock);
    write("WarningSaveChages", c.WarningSaveChages);
    write("Restriction", c.Restriction);
    write("ObjectCodeRange", int32_t(c.ObjectCodeRange));
    write("Assistant", c.Assistant);
    write("GoodsGroups", c.GoodsGroups);
    write("SoundNotification", c.SoundNotification);
    write("PrefixUsers", c.PrefixUsers);
    write("UserDefineKeys", c.UserDefineKeys);
    write("FinishWholeOrder", c.FinishWholeOrder);
    write("Password_2", c.Password_2);
    write("FocusNewOrder", c.FocusNewOrder);
    write("Skin", c.Skin);
    write("PortUDP", c.PortUDP);
    write("PortTCP", c.PortTCP);
    errno = 0;
    if (platform::IniWriteMany(c.ConfigFile, entries))
        return true;
    // A value the file could not give back fails without a system error.
    const int error = errno ? errno : EINVAL;
    ErrorLogger().Add(kSystemError, error,
                      platform::SystemErrorText(error) + QStringLiteral(" (") + c.ConfigFile + ')',
                      QStringLiteral("Configuration.SaveConfiguration"));
    return false;
}

void SelectSkin() {
    const QString file = GetConfigFileName();
    const QString text = ReadIniValue(QStringLiteral("Skin"), QStringLiteral("Value"), file, 255);
    const QString trimmed = rt::Trim(text);
    if (trimmed.isEmpty() || trimmed == "0")
        ConfigurationSettings.Skin = QStringLiteral("Default");
    else if (trimmed == "1")
        ConfigurationSettings.Skin = QStringLiteral("Blue");
    else if (trimmed == "2")
        ConfigurationSettings.Skin = QStringLiteral("Lila");
    else
        ConfigurationSettings.Skin = text;
    SkinManager().SetSelectedSkin(ConfigurationSettings.Skin);
}

void ReadCommandLineSwitches() {
    ConfigurationSettings.StandartMessage =
        platform::CommandLine().toLower().contains(QStringLiteral("standartmessage"));
}
