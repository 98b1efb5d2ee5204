#pragma once

#include <functional>

class QRect;
class QWidget;
namespace platform {
class DataGrid;
}

// The grid of the settings dialogs (the station options and the goods-group
// picker): one row per setting, in four columns: the caption, the value
// shown, the key or code, and the stored value. The last two are never shown.
enum SettingsGridColumn { kItem = 0, kValue = 1, kIndex = 2, kRealValue = 3 };

// A new grid "dgView" on parent, without column heads, one row selected at a
// time, with the "Disabled" cell style of every character set; each row's
// caption is drawn in it. A click selects the active cell's text, and
// entering the grid makes the value column current. dropDownOpen is true
// while a cell's list is open; the flag belongs to the dialog that owns the
// grid.
platform::DataGrid* NewSettingsGrid(QWidget* parent, const QRect& geometry, bool& dropDownOpen);

// The double-click step of the value column: the active cell takes the next
// entry of the column's list, from the last back to the first, by position
// (two entries may share a text). False, and nothing changed, when another
// column is current or the list is empty.
bool StepValueList(platform::DataGrid* grid);

// The keys the settings dialogs share, by virtual-key code: Enter saves
// unless a cell's list is open (the list takes it), Escape cancels. True when
// the key was one of them.
bool SaveOrCancelKey(int keyCode, bool dropDownOpen, const std::function<void()>& save,
                     const std::function<void()>& cancel);
