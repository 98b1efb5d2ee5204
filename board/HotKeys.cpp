#include "board/HotKeys.h"

#include <QCoreApplication>
#include <optional>

#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"

std::vector<HotKeyEntry> HotKeyTable;

namespace {

struct DefaultKey {
    int32_t functionId;
    int16_t keyCode;
    int16_t shift;
};

constexpr DefaultKey kDefaults[] = {
    {1, 65, 2},  {2, 83, 2},   {5, 37, 2},   {6, 37, 0},  {7, 39, 0},  {8, 39, 2},   {9, 38, 0},
    {10, 40, 0}, {11, 120, 0}, {12, 116, 0}, {13, 46, 2}, {14, 48, 2}, {15, 112, 0}, {16, 72, 2},
};

// The numeric value of a non-empty text as a 16-bit integer; nullopt when the
// text is empty. A text that is no number counts as 0.
std::optional<int16_t> ReadKeyNumber(const QString& text) {
    if (rt::Trim(text).isEmpty())
        return std::nullopt;
    try {
        return rt::CInt(rt::Val(text));
    } catch (...) {
        return int16_t(0);
    }
}

}  // namespace

bool IsHotKeyConfigurable(const HotKeyEntry& entry) {
    return entry.FunctionId != kFnHelp;
}

void SetDefaultHotKey(int index) {
    if (index < 0 || index >= int(HotKeyTable.size()))
        return;
    HotKeyEntry& e = HotKeyTable[size_t(index)];
    e.KeyCode = 0;
    e.Shift = 0;
    for (const DefaultKey& d : kDefaults) {
        if (d.functionId == e.FunctionId) {
            e.KeyCode = d.keyCode;
            e.Shift = d.shift;
            break;
        }
    }
}

void AddHotKey(int32_t functionId, const QString& name) {
    HotKeyTable.push_back(HotKeyEntry{functionId, name, 0, 0, 3});
    const int index = int(HotKeyTable.size()) - 1;
    SetDefaultHotKey(index);
    HotKeyEntry& e = HotKeyTable.back();
    if (IsHotKeyConfigurable(e)) {
        const QString section = QStringLiteral("FUNCTION") + rt::Format(functionId, "000");
        const QString file = ConfigurationSettings.ConfigFile;
        if (const auto key = ReadKeyNumber(ReadIniValue(section, "KeyCode", file, 255)))
            e.KeyCode = *key;
        if (const auto shift = ReadKeyNumber(ReadIniValue(section, "Shift", file, 255)))
            e.Shift = *shift;
        if (const auto permission = ReadKeyNumber(ReadIniValue(section, "Permission", file, 255))) {
            e.Permission = (*permission < 0 || *permission > 3) ? 0 : *permission;
        }
    }
    QCoreApplication::processEvents();
}

void LoadHotKeys() {
    HotKeyTable.clear();
    const bool database = DatabaseMode();
    const auto add = [](int32_t id, const char* resource) {
        AddHotKey(id, ResManager().GetResString(QString::fromLatin1(resource)));
    };
    add(kFnHelp, "strHelp");
    add(kFnFinish, "strFinish");
    if (database)
        add(kFnLogin, "strChangeUser");
    add(kFnAbout, "strAbout");
    add(kFnDatabaseStatus, "strActiveBase");
    add(kFnSetup, "strSetup");
    add(kFnFirst, "strFirstOrder");
    add(kFnPrevious, "strPreviousOrder");
    add(kFnNext, "strNextOrder");
    add(kFnLast, "strLastOrder");
    if (!database)
        add(kFnClear, "strDeleteOrder");
    if (database) {
        add(kFnUp, "strRowUP");
        add(kFnDown, "strRowDown");
        add(kFnRefresh, "strRefresh");
    }
}

int32_t GetHotKeyFunction(int16_t keyCode, int16_t shift) {
    if (ConfigurationSettings.UserDefineKeys) {
        for (const HotKeyEntry& e : HotKeyTable) {
            if (e.KeyCode == keyCode && e.Shift == shift)
                return e.FunctionId;
        }
        return kFnNone;
    }
    const bool ctrl = shift == 2;
    switch (keyCode) {
        case 65:
            return ctrl ? kFnDatabaseStatus : kFnNone;
        case 72:
            return ctrl ? kFnAbout : kFnNone;
        case 48:
            return ctrl ? kFnLogin : kFnNone;
        case 83:
            return ctrl ? kFnSetup : kFnNone;
        case 112:
            return kFnHelp;
        case 37:
            return ctrl ? kFnFirst : kFnPrevious;
        case 39:
            return ctrl ? kFnLast : kFnNext;
        case 38:
            return kFnUp;
        case 40:
            return kFnDown;
        case 120:
            return kFnFinish;
        case 116:
            return kFnRefresh;
        case 46:
            return ctrl ? kFnClear : kFnNone;
        default:
            return kFnNone;
    }
}

QString KeyToText(int16_t keyCode, int16_t shift) {
    static const char* const kPrefixes[] = {"",     "SHIFT+",     "CTRL+",     "CTRL+SHIFT+",
                                            "ALT+", "SHIFT+ALT+", "CTRL+ALT+", "CTRL+SHIFT+ALT+"};
    const QString prefix =
        (shift >= 1 && shift <= 7) ? QString::fromLatin1(kPrefixes[shift]) : QString();
    if (keyCode >= 112 && keyCode <= 127)
        return prefix + 'F' + QString::number(keyCode - 111);
    if ((keyCode >= 48 && keyCode <= 57) || (keyCode >= 65 && keyCode <= 90)) {
        const QString key = QString(QChar(char16_t(keyCode)));
        return shift == 1 ? key : prefix + key;
    }
    switch (keyCode) {
        case 46:
            return prefix + QStringLiteral("DEL");
        case 16:
        case 17:
            return prefix;
        case 9:
            return QString();
        case 38:
            return prefix + QStringLiteral("UP");
        case 40:
            return prefix + QStringLiteral("DOWN");
        case 37:
            return prefix + QStringLiteral("LEFT");
        case 39:
            return prefix + QStringLiteral("RIGHT");
        default:
            return '{' + QString::number(keyCode) + '}';
    }
}

QString GetFunctionKeyText(int32_t functionId) {
    for (const HotKeyEntry& e : HotKeyTable) {
        if (e.FunctionId == functionId)
            return KeyToText(e.KeyCode, e.Shift);
    }
    return QString();
}
