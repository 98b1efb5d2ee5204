#include "board/HotKeys.h"

#include <optional>

#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/ProgramState.h"
#include "platform/Runtime.h"
#include "platform/controls/VirtualKeys.h"

std::vector<HotKeyEntry> HotKeyTable;

namespace {

// Not loaded yet.
[[maybe_unused]] const bool kTableResetRegistered =
    platform::RegisterStateReset([] { HotKeyTable.clear(); });

struct DefaultKey {
    int32_t functionId;
    int16_t keyCode;
    int16_t shift;
};

constexpr DefaultKey kDefaults[] = {
    {kFnDatabaseStatus, 'A', 2},        {kFnSetup, 'S', 2},
    {kFnFirst, platform::kVkLeft, 2},   {kFnPrevious, platform::kVkLeft, 0},
    {kFnNext, platform::kVkRight, 0},   {kFnLast, platform::kVkRight, 2},
    {kFnUp, platform::kVkUp, 0},        {kFnDown, platform::kVkDown, 0},
    {kFnFinish, platform::kVkF9, 0},    {kFnRefresh, platform::kVkF5, 0},
    {kFnClear, platform::kVkDelete, 2}, {kFnLogin, '0', 2},
    {kFnHelp, platform::kVkF1, 0},      {kFnAbout, 'H', 2},
};

// The numeric value of a non-empty text as a 16-bit integer; nullopt when the
// text is empty. A text that is no number counts as 0.
std::optional<int16_t> ReadKeyNumber(const QString& text) {
    if (rt::Trim(text).isEmpty())
        return std::nullopt;
    try {
        return rt::CInt(rt::Val(text));
    } catch (const AppError&) {
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
        case 'A':
            return ctrl ? kFnDatabaseStatus : kFnNone;
        case 'H':
            return ctrl ? kFnAbout : kFnNone;
        case '0':
            return ctrl ? kFnLogin : kFnNone;
        case 'S':
            return ctrl ? kFnSetup : kFnNone;
        case platform::kVkF1:
            return kFnHelp;
        case platform::kVkLeft:
            return ctrl ? kFnFirst : kFnPrevious;
        case platform::kVkRight:
            return ctrl ? kFnLast : kFnNext;
        case platform::kVkUp:
            return kFnUp;
        case platform::kVkDown:
            return kFnDown;
        case platform::kVkF9:
            return kFnFinish;
        case platform::kVkF5:
            return kFnRefresh;
        case platform::kVkDelete:
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
    if (keyCode >= platform::kVkF1 && keyCode <= platform::kVkF16)
        return prefix + 'F' + QString::number(keyCode - platform::kVkF1 + 1);
    if ((keyCode >= '0' && keyCode <= '9') || (keyCode >= 'A' && keyCode <= 'Z')) {
        const QString key = QString(QChar(char16_t(keyCode)));
        return shift == 1 ? key : prefix + key;
    }
    switch (keyCode) {
        case platform::kVkDelete:
            return prefix + QStringLiteral("DEL");
        case platform::kVkShift:
        case platform::kVkControl:
            return prefix;
        case platform::kVkTab:
            return QString();
        case platform::kVkUp:
            return prefix + QStringLiteral("UP");
        case platform::kVkDown:
            return prefix + QStringLiteral("DOWN");
        case platform::kVkLeft:
            return prefix + QStringLiteral("LEFT");
        case platform::kVkRight:
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
