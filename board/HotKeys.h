#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// Board function numbers of the hot keys.
inline constexpr int32_t kFnDatabaseStatus = 1;
inline constexpr int32_t kFnSetup = 2;
inline constexpr int32_t kFnFirst = 5;
inline constexpr int32_t kFnPrevious = 6;
inline constexpr int32_t kFnNext = 7;
inline constexpr int32_t kFnLast = 8;
inline constexpr int32_t kFnUp = 9;
inline constexpr int32_t kFnDown = 10;
inline constexpr int32_t kFnFinish = 11;
inline constexpr int32_t kFnRefresh = 12;
inline constexpr int32_t kFnClear = 13;
inline constexpr int32_t kFnLogin = 14;
inline constexpr int32_t kFnHelp = 15;
inline constexpr int32_t kFnAbout = 16;
inline constexpr int32_t kFnNone = 100;

struct HotKeyEntry {
    int32_t FunctionId = 0;
    QString Name;
    int16_t KeyCode = 0;
    int16_t Shift = 0;
    int32_t Permission = 3;
};

// The hot-key table: rebuilt by LoadHotKeys for the current notification
// mode, in the order lookups search it.
extern std::vector<HotKeyEntry> HotKeyTable;

void LoadHotKeys();
void AddHotKey(int32_t functionId, const QString& name);
void SetDefaultHotKey(int index);
bool IsHotKeyConfigurable(const HotKeyEntry& entry);

// The function of a key press (virtual-key code, Shift mask 1 Shift, 2 Ctrl,
// 4 Alt): from the table when UserDefineKeys is on, else from the fixed map;
// 100 when none.
int32_t GetHotKeyFunction(int16_t keyCode, int16_t shift);

// The text of the first entry's key for the function; "" when none.
QString GetFunctionKeyText(int32_t functionId);
QString KeyToText(int16_t keyCode, int16_t shift);
