#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <QVariant>

class QComboBox;

namespace platform {

// How a column's cells are edited.
enum class ColumnStyle { Edit, EditButton, DropDown };

// A named look for cells: the grid holds one per character set ("Disabled",
// "DisabledRO", ...), chosen by name.
struct CellStyle {
    QColor ForeColor;
    QColor BackColor;
    bool Bold = false;
};

// The data grid of the windows. Columns are addressed by index or by name;
// rows are added as TAB-separated text (one value per column, a trailing TAB
// allowed); a row's bookmark is its index. Widths are in twips. Cell values
// are kept as given; a column's number format changes only how they show.
//
// Notifications (signals, delivered synchronously on the user-interface
// thread; handlers may change the grid): GotFocus, Click, DblClick, KeyDown
// and KeyPress (the handler may zero the code to swallow the key), RowColChange
// after the current cell moved, RowLoaded while a row is drawn for the first
// time after it was added (cell styles set then apply to that row),
// DropDownOpened/DropDownClosed around a cell's list, Change after the user
// changed the active cell's value, BtnClick from a cell button. Up, Down,
// Page Up and Page Down in a cell's list editor move the current row, as
// they do elsewhere in the grid; the list itself is stepped only while open.
class DataGrid final : public QTableWidget {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    // Drop-down editors still open report no closing: their receivers must
    // not hear from a grid that is half destroyed.
    ~DataGrid() override;

    // Columns.
    int AddColumn(const QString& name, const QString& caption = QString());
    int ColumnCount() const { return columnCount(); }
    // -1 when no column has that name (names compare without case).
    int ColumnIndex(const QString& name) const;
    QString ColumnName(int col) const;
    QString ColumnCaption(int col) const;
    void SetColumnCaption(int col, const QString& caption);
    int ColumnWidth(int col) const;
    void SetColumnWidth(int col, int twips);
    bool ColumnVisible(int col) const;
    void SetColumnVisible(int col, bool visible);
    Qt::Alignment ColumnAlignment(int col) const;
    void SetColumnAlignment(int col, Qt::Alignment alignment);
    QString ColumnNumberFormat(int col) const;
    void SetColumnNumberFormat(int col, const QString& format);
    ColumnStyle ColumnEditStyle(int col) const;
    void SetColumnEditStyle(int col, ColumnStyle style);
    // The column's Boolean option: a locked column takes no typed text; its
    // drop-down lists and cell buttons still work.
    bool ColumnLocked(int col) const;
    void SetColumnLocked(int col, bool locked);

    // The drop-down list of a column: texts with item data.
    void ClearColumnList(int col);
    void AddColumnListItem(int col, const QString& text, const QVariant& itemData = QVariant());
    int ColumnListCount(int col) const;
    QString ColumnListText(int col, int position) const;
    QVariant ColumnListItemData(int col, int position) const;
    // Position of the active cell's entry in its column's list; -1 when its
    // text is not in the list. Entries of the same text are told apart by the
    // position they were chosen at.
    int ActiveListPosition() const;
    // Sets a cell to the list entry at that position (its text), remembering
    // the position; an open list editor of the cell shows that entry.
    void SetCellListPosition(int row, int col, int position);

    // Rows.
    void AddItem(const QString& tabSeparatedValues);
    void RemoveAll();
    int Rows() const { return rowCount(); }
    QString CellText(int row, int col) const;
    void SetCellText(int row, int col, const QString& text);
    QString CellText(int row, const QString& columnName) const;

    // The current cell; -1 when there is none.
    int Row() const { return currentRow(); }
    void SetRow(int row);
    int Col() const { return currentColumn(); }
    void SetCol(int col);
    // The active cell's value, including text typed into an open editor.
    QString Text() const;
    void SetText(const QString& text);

    // Selected-row bookmarks.
    QList<int> SelBookmarks() const;
    void SelBookmarksRemoveAll();
    void SelBookmarksAdd(int bookmark);

    // Redraw switch: while off, the grid neither paints nor raises RowLoaded.
    bool Redraw() const { return redraw_; }
    void SetRedraw(bool redraw);

    // Editing as a whole; off: no cell takes a value from the user.
    bool AllowUpdate() const { return allowUpdate_; }
    void SetAllowUpdate(bool allow);

    void AddStyleSet(const QString& name, const CellStyle& style);
    bool HasStyleSet(const QString& name) const;
    // Inside RowLoaded: the loading row's cell; elsewhere every row's cell of
    // the column. False for an unknown style name or column.
    bool SetCellStyleSet(int col, const QString& styleName);
    QString CellStyleSetOf(int row, int col) const;

    QFont HeadFont() const;
    void SetHeadFont(const QFont& font);

    // Selects the whole text of the active cell, opening its editor.
    void SelectActiveCellText();

    // The open editor of the active cell, or nullptr (tests type into it).
    QWidget* ActiveEditor() const;

    // The text a cell shows: its value in the column's number format.
    QString DisplayText(int row, int col) const;

signals:
    void GotFocus();
    void Click();
    void DblClick();
    void KeyDown(int* keyCode, int shift);
    void KeyPress(int* keyAscii);
    void RowColChange(int lastRow, int lastCol);
    void RowLoaded(int bookmark);
    void DropDownOpened();
    void DropDownClosed();
    void Change();
    void BtnClick();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Delegate;
    struct Column {
        QString Name;
        Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
        QString NumberFormat;
        ColumnStyle Style = ColumnStyle::Edit;
        bool Locked = false;
        QStringList ListTexts;
        QList<QVariant> ListData;
    };

    void ApplyCellStyle(int row, int col, const QString& styleName);
    void RaiseRowLoaded();
    bool IsEditable(int col) const;
    void DiscardEditor(int col);
    // True when the key was swallowed by a handler.
    bool DispatchKey(QKeyEvent* event);

    QList<Column> columns_;
    QHash<QString, CellStyle> styles_;
    QList<bool> rowLoaded_;
    int loadingRow_ = -1;
    bool redraw_ = true;
    bool allowUpdate_ = true;
    bool filling_ = false;
    Delegate* delegate_ = nullptr;
};

}  // namespace platform
