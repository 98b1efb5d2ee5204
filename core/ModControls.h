#pragma once

#include <QString>

class QWidget;
namespace platform {
class DataGrid;
}

// Routines that act on one control of any window.

// Selects the whole text of a text box (line or multi-line).
void SelectAllText(QWidget* textBox);

// The window's close box: out of the window manager's offer when disabled.
// A shown window (a modal dialog in its loop) is changed in place. Closing
// from inside the program still reaches the window's close handler, which
// decides.
void DisableCloseButton(QWidget* window);
void EnableCloseButton(QWidget* window, bool enable);
// True while the window's close box is disabled.
bool IsCloseButtonDisabled(const QWidget* window);

// The column's cell style: styleName plus the suffix of the configured
// language's character set ("RO" for RO, SR and DE; "GR", "HY", "ES", "TR";
// none otherwise). Inside the grid's RowLoaded handler it styles the loading
// row; a style the grid lacks changes nothing.
void SetColumnCellStyle(platform::DataGrid* grid, int col, const QString& styleName);
// The style suffix of a language code.
QString CellStyleSuffix(const QString& language);

void SelectActiveCellText(platform::DataGrid* grid);
// Makes the current row the only selected row, with redrawing held off.
void SelectCurrentGridRow(platform::DataGrid* grid);

// The scroll-bar width s in twips plus a margin (45; 60 from 180 twips, 75
// from 240, 90 from 300): s + margin when flag is set, 2 × s + margin when not.
int GetColumnWidthExtra(bool flag);

// The tool tip: emptied, then with the Assistant setting on the text, followed
// by "  (" & keyText & ")" when a key text is given.
void SetToolTip(QWidget* control, const QString& text, const QString& keyText = QString());
