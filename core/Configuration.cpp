#include "core/Configuration.h"

#include <errno.h>
#include <algorithm>
#include <limits>
#include <optional>

#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModSkin.h"
#include "core/ModSpecialFolders.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/ProgramState.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/SkinManager.h"

namespace {

using R = ConfigurationRecord;
using Load = SettingLoad;
using Rule = SettingRule;
using Kind = OptionKind;
constexpr double kNoLimit = std::numeric_limits<double>::infinity();

constexpr SettingRead kNotRead{Rule::NotRead};
constexpr SettingRead kText{Rule::Text};
constexpr SettingRead kTrimmedText{Rule::TrimmedText};
constexpr SettingRead kTextOrDefault{Rule::TextOrDefault};
constexpr SettingRead kThreeDigits{Rule::ThreeDigits};
constexpr SettingRead kBoolean{Rule::Boolean};
constexpr SettingRead kCountry{Rule::WholeNumberUnlessNegative};
constexpr SettingRead Number(double low, double high) {
    return {Rule::Number, low, high};
}
constexpr SettingRead WholeNumber(double low, double high) {
    return {Rule::WholeNumber, low, high};
}
// A value that is no port keeps the default.
constexpr SettingRead kPort = WholeNumber(1, 65535);

constexpr bool kDatabaseModeOnly = true;
constexpr SettingOption Grid(int position, const char* caption, OptionKind kind,
                             bool databaseModeOnly = false) {
    return {position, caption, kind, databaseModeOnly};
}

// One row per setting: key, member, default, what a load does before it
// reads, how it reads, and the options-grid row (position, caption text,
// kind, whether only mode 2 shows it). The order is the file's key order; a
// new setting goes before the skin and the ports, which are written last.
constexpr Setting kSettings[] = {
    {"Communication", &R::Communication, 0, Load::Reset, Number(0, 2)},
    {"DatabaseType", &R::DatabaseType, 0, Load::Reset, Number(-kNoLimit, kNoLimit)},
    {"DatabasePath", &R::DatabasePath, "", Load::ResetToDatabaseFile, kText},
    {"ServerName", &R::ServerName, "", Load::Keep, kText},
    {"LocalServerName", &R::LocalServerName, "", Load::Keep, kText},
    {"DatabaseName", &R::DatabaseName, "", Load::Keep, kText},
    {"UserName", &R::UserName, "", Load::Keep, kText},
    {"Password", &R::Password, "", Load::Keep, kText},
    {"Country", &R::Country, 0, Load::Keep, kCountry},
    {"Language", &R::Language, "BG", Load::Reset, kTextOrDefault},
    {"AutoLock", &R::AutoLock, false, Load::ResetDatabaseModeOnly, kBoolean,
     Grid(70, "strAutoLock", Kind::OnOff, kDatabaseModeOnly)},
    {"WarningSaveChages", &R::WarningSaveChages, false, Load::Reset, kBoolean},
    {"Restriction", &R::Restriction, true, Load::Reset, kBoolean,
     Grid(10, "strRestriction", Kind::OnOff)},
    {"ObjectCodeRange", &R::ObjectCodeRange, 1, Load::ResetDatabaseModeOnly, WholeNumber(1, 10),
     Grid(50, "strObjectCodeRange", Kind::CodeRange, kDatabaseModeOnly)},
    {"Assistant", &R::Assistant, true, Load::Reset, kBoolean,
     Grid(20, "strAssistant", Kind::OnOff)},
    {"GoodsGroups", &R::GoodsGroups, "", Load::ResetDatabaseModeOnly, kText,
     Grid(60, "strGoodsGroups", Kind::GoodsGroups, kDatabaseModeOnly)},
    {"SoundNotification", &R::SoundNotification, true, Load::Reset, kBoolean,
     Grid(30, "strSoundNotification", Kind::OnOff)},
    {"PrefixUsers", &R::PrefixUsers, "971", Load::Reset, kThreeDigits,
     Grid(90, "strPrefixUsers", Kind::Digits, kDatabaseModeOnly)},
    {"UserDefineKeys", &R::UserDefineKeys, false, Load::Keep, kBoolean},
    {"FinishWholeOrder", &R::FinishWholeOrder, true, Load::Reset, kBoolean,
     Grid(80, "strFinishWholeOrder", Kind::OnOff, kDatabaseModeOnly)},
    {"Password_2", &R::Password_2, "", Load::Reset, kTrimmedText},
    {"FocusNewOrder", &R::FocusNewOrder, false, Load::Reset, kBoolean,
     Grid(40, "strFocusNewOrder", Kind::OnOff)},
    {"Skin", &R::Skin, "", Load::Keep, kNotRead},  // chosen before the load, by SelectSkin
    {"PortUDP", &R::PortUDP, 7002, Load::Reset, kPort},
    {"PortTCP", &R::PortTCP, 7003, Load::Reset, kPort},
};

// The member's type decides the default's type and the rules that fit: text
// rules for text, Boolean for flags, the number rules for numbers.
constexpr bool RowFitsItsMember(const Setting& s) {
    const bool text = s.member.index() == 0;
    const bool flag = s.member.index() == 1;
    const bool number = s.member.index() >= 2;
    if (s.initial.index() != std::min<size_t>(s.member.index(), 2))
        return false;
    switch (s.read.rule) {
        case Rule::NotRead:
            return true;
        case Rule::Text:
        case Rule::TrimmedText:
        case Rule::TextOrDefault:
        case Rule::ThreeDigits:
            return text;
        case Rule::Boolean:
            return flag;
        case Rule::Number:
        case Rule::WholeNumber:
        case Rule::WholeNumberUnlessNegative:
            return number;
    }
    return false;
}

constexpr bool EveryRowFitsItsMember() {
    for (const Setting& s : kSettings) {
        if (!RowFitsItsMember(s))
            return false;
    }
    return true;
}
static_assert(EveryRowFitsItsMember());

void SetDefault(ConfigurationRecord& c, const Setting& s) {
    if (const auto text = std::get_if<const char*>(&s.initial))
        s.Text(c) = QString::fromUtf8(*text);
    else if (const auto flag = std::get_if<bool>(&s.initial))
        s.Flag(c) = *flag;
    else
        s.SetNumber(c, std::get<int32_t>(s.initial));
}

// A number rounded half to even when the result lies in low..high.
std::optional<int32_t> Rounded(double value, double low, double high) {
    const double r = rt::RoundHalfEven(value);
    if (!(r >= low && r <= high && r >= std::numeric_limits<int32_t>::min() &&
          r <= std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    return int32_t(r);
}

// The whole text as a number: a numeric text, or True (-1) or False (0).
std::optional<double> WholeNumberOf(const QString& text) {
    if (const auto n = rt::ParseNumber(text))
        return n;
    if (const auto b = rt::TryCBool(text))
        return *b ? -1 : 0;
    return std::nullopt;
}

std::optional<int32_t> WholeNumberIn(const QString& text, double low, double high) {
    const auto n = WholeNumberOf(text);
    return n ? Rounded(*n, low, high) : std::nullopt;
}

QString Read(const QString& key) {
    return ReadIniValue(key, QStringLiteral("Value"), ConfigurationSettings.ConfigFile, 255);
}

void ReadSetting(ConfigurationRecord& c, const Setting& s) {
    if (s.read.rule == Rule::NotRead)
        return;
    const QString text = Read(QString::fromLatin1(s.key));
    switch (s.read.rule) {
        case Rule::NotRead:
            break;
        case Rule::Text:
            s.Text(c) = text;
            break;
        case Rule::TrimmedText:
            s.Text(c) = rt::Trim(text);
            break;
        case Rule::TextOrDefault:
            if (text.isEmpty())
                SetDefault(c, s);
            else
                s.Text(c) = text;
            break;
        case Rule::ThreeDigits: {
            const QString digits = rt::Trim(GetDigitsOnly(text));
            if (digits.size() == 3)
                s.Text(c) = digits;
            break;
        }
        case Rule::Boolean:
            if (const auto b = rt::TryCBool(text))
                s.Flag(c) = *b;
            break;
        case Rule::Number: {
            const double v = rt::Val(text);
            if (!text.isEmpty() && v >= s.read.low && v <= s.read.high) {
                if (const auto n = Rounded(v, -kNoLimit, kNoLimit))
                    s.SetNumber(c, *n);
            }
            break;
        }
        case Rule::WholeNumber:
            if (const auto n = WholeNumberIn(text, s.read.low, s.read.high))
                s.SetNumber(c, *n);
            break;
        case Rule::WholeNumberUnlessNegative:
            if (rt::Val(text) >= 0) {
                if (const auto n = WholeNumberIn(text, std::numeric_limits<int16_t>::min(),
                                                 std::numeric_limits<int16_t>::max()))
                    s.SetNumber(c, *n);
            }
            break;
    }
}

Variant ValueOf(const ConfigurationRecord& c, const Setting& s) {
    switch (s.member.index()) {
        case 0:
            return s.Text(c);
        case 1:
            return s.Flag(c);
    }
    return s.Number(c);
}

}  // namespace

QString& Setting::Text(ConfigurationRecord& record) const {
    return record.*std::get<QString ConfigurationRecord::*>(member);
}
const QString& Setting::Text(const ConfigurationRecord& record) const {
    return record.*std::get<QString ConfigurationRecord::*>(member);
}
bool& Setting::Flag(ConfigurationRecord& record) const {
    return record.*std::get<bool ConfigurationRecord::*>(member);
}
bool Setting::Flag(const ConfigurationRecord& record) const {
    return record.*std::get<bool ConfigurationRecord::*>(member);
}
int32_t Setting::Number(const ConfigurationRecord& record) const {
    if (const auto narrow = std::get_if<int16_t ConfigurationRecord::*>(&member))
        return record.*(*narrow);
    return record.*std::get<int32_t ConfigurationRecord::*>(member);
}
void Setting::SetNumber(ConfigurationRecord& record, int32_t value) const {
    if (const auto narrow = std::get_if<int16_t ConfigurationRecord::*>(&member))
        record.*(*narrow) = int16_t(value);
    else
        record.*std::get<int32_t ConfigurationRecord::*>(member) = value;
}

ConfigurationRecord::ConfigurationRecord() {
    for (const Setting& s : kSettings)
        SetDefault(*this, s);
}

std::span<const Setting> Settings() {
    return kSettings;
}

const Setting* FindSetting(QStringView key) {
    for (const Setting& s : kSettings) {
        if (key == QLatin1String(s.key))
            return &s;
    }
    return nullptr;
}

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

int32_t PortFromText(const QString& text, int32_t fallback) {
    return WholeNumberIn(text, kPort.low, kPort.high).value_or(fallback);
}

bool LoadConfiguration() {
    GetConfigFileName();
    ConfigurationRecord& c = ConfigurationSettings;
    // Saves that a kill cut short leave their temporary file beside it.
    platform::RemoveAtomicWriteLeftovers(c.ConfigFile);
    c.Loaded = true;
    for (const Setting& s : kSettings) {
        if (s.load == Load::Reset || s.load == Load::ResetDatabaseModeOnly)
            SetDefault(c, s);
        else if (s.load == Load::ResetToDatabaseFile)
            s.Text(c) = platform::ProgramFolder() + QStringLiteral("/quillbarrow.mdb");
    }
    bool result = false;
    if (FileExists(c.ConfigFile)) {
        for (const Setting& s : kSettings)
            ReadSetting(c, s);
        result = true;
    }
    if (!DatabaseMode()) {
        for (const Setting& s : kSettings) {
            if (s.load == Load::ResetDatabaseModeOnly)
                SetDefault(c, s);
        }
    }
    return result;
}

bool SaveConfiguration(const ConfigurationRecord& c) {
    QList<platform::IniEntry> entries;
    for (const Setting& s : kSettings)
        entries.append(
            {QString::fromLatin1(s.key), QStringLiteral("Value"), ValueOf(c, s).ToString()});
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

bool SaveConfiguration() {
    return SaveConfiguration(ConfigurationSettings);
}

const Setting* SettingLosingLetters(const ConfigurationRecord& c, QString* letters) {
    letters->clear();
    const QString page = platform::AnsiCodePageName();
    for (const Setting& s : kSettings) {
        if (s.member.index() != 0)
            continue;
        *letters = platform::MissingCharacters(s.Text(c), page);
        if (!letters->isEmpty())
            return &s;
    }
    return nullptr;
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
