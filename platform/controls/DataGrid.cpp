#include "platform/controls/DataGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/VirtualKeys.h"

namespace platform {

namespace {

constexpr int kStyleRole = Qt::UserRole + 1;
// The list position a cell's value was chosen at.
constexpr int kListPositionRole = Qt::UserRole + 2;

// The remembered list position of a cell when the list still holds the
// cell's text there; else the first entry of that text, or -1.
int ListPositionOf(const QModelIndex& index, const QStringList& texts) {
    const QString value = index.data(Qt::EditRole).toString();
    bool known = false;
    const int position = index.data(kListPositionRole).toInt(&known);
    if (known && position >= 0 && position < texts.size() && texts[position] == value)
        return position;
    return int(texts.indexOf(value));
}

// Keys that move between rows; in a closed list editor they would step the
// list instead.
bool IsRowKey(const QKeyEvent* key) {
    if (key->modifiers() & Qt::AltModifier)
        return false;
    switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            return true;
        default:
            return false;
    }
}

// A combo box that reports its list opening and closing. A list-only one
// (not editable) reports double-clicks as well: a click opens its list only
// once no second click follows within the double-click time, since a list
// opened at the first click would take the second one and the double-click
// would never reach the cell.
class ListCombo final : public QComboBox {
public:
    ListCombo(QWidget* parent, std::function<void(bool)> onPopup,
              std::function<void()> onDoubleClick)
        : QComboBox(parent),
          onPopup_(std::move(onPopup)),
          onDoubleClick_(std::move(onDoubleClick)) {
        pendingPopup_.setSingleShot(true);
        QObject::connect(&pendingPopup_, &QTimer::timeout, this, [this] { showPopup(); });
    }
    void showPopup() override {
        pendingPopup_.stop();
        if (onPopup_)
            onPopup_(true);
        QComboBox::showPopup();
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        if (onPopup_)
            onPopup_(false);
    }
    void Silence() {
        onPopup_ = nullptr;
        onDoubleClick_ = nullptr;
        pendingPopup_.stop();
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (isEditable() || event->button() != Qt::LeftButton) {
            QComboBox::mousePressEvent(event);
            return;
        }
        event->accept();
        if (pendingPopup_.isActive()) {
            // The second press of a double-click; its double-click event
            // follows and is the same click.
            pendingPopup_.stop();
            doubleClickSeen_ = true;
            DoubleClick();
            return;
        }
        pendingPopup_.start(QApplication::doubleClickInterval());
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (isEditable()) {
            QComboBox::mouseDoubleClickEvent(event);
            return;
        }
        event->accept();
        // A double-click whose first press went to the cell before this
        // editor opened under the pointer.
        pendingPopup_.stop();
        if (doubleClickSeen_)
            doubleClickSeen_ = false;
        else
            DoubleClick();
    }

private:
    void DoubleClick() {
        if (onDoubleClick_)
            onDoubleClick_();
    }

    std::function<void(bool)> onPopup_;
    std::function<void()> onDoubleClick_;
    QTimer pendingPopup_;
    bool doubleClickSeen_ = false;
};

// A text field with a cell button at its right.
class ButtonEdit final : public QWidget {
public:
    explicit ButtonEdit(QWidget* parent) : QWidget(parent) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        Edit = new QLineEdit(this);
        Button = new QToolButton(this);
        Button->setText(QStringLiteral("..."));
        Button->setObjectName(QStringLiteral("CellButton"));
        layout->addWidget(Edit, 1);
        layout->addWidget(Button);
        setFocusProxy(Edit);
    }
    QLineEdit* Edit;
    QToolButton* Button;
};

QLineEdit* LineEditOf(QWidget* editor) {
    if (auto* e = qobject_cast<QLineEdit*>(editor))
        return e;
    if (auto* c = qobject_cast<QComboBox*>(editor))
        return c->lineEdit();
    if (auto* b = dynamic_cast<ButtonEdit*>(editor))
        return b->Edit;
    return nullptr;
}

}  // namespace

class DataGrid::Delegate final : public QStyledItemDelegate {
public:
    explicit Delegate(DataGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* Current() const { return current_; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        const int col = index.column();
        if (!grid_->IsEditable(col))
            return nullptr;
        const Column& c = grid_->columns_[col];
        QWidget* editor = nullptr;
        QLineEdit* line = nullptr;
        switch (c.Style) {
            case ColumnStyle::DropDown: {
                auto* combo = new ListCombo(
                    parent,
                    [g = grid_](bool open) {
                        if (open)
                            emit g->DropDownOpened();
                        else
                            emit g->DropDownClosed();
                    },
                    [g = grid_] { emit g->DblClick(); });
                combo->setEditable(!c.Locked);
                for (int i = 0; i < c.ListTexts.size(); ++i)
                    combo->addItem(c.ListTexts[i], c.ListData.value(i));
                QObject::connect(combo, &QComboBox::activated, combo,
                                 [this, combo] { Commit(combo); });
                // A list-only cell has no line edit to watch: keys are taken
                // at the combo itself, which reports its double-clicks.
                if (c.Locked)
                    combo->installEventFilter(grid_);
                editor = combo;
                line = combo->lineEdit();
                break;
            }
            case ColumnStyle::EditButton: {
                auto* be = new ButtonEdit(parent);
                be->Edit->setReadOnly(c.Locked);
                QObject::connect(be->Button, &QToolButton::clicked, grid_,
                                 [g = grid_] { emit g->BtnClick(); });
                editor = be;
                line = be->Edit;
                break;
            }
            case ColumnStyle::Edit: {
                auto* e = new QLineEdit(parent);
                e->setReadOnly(c.Locked);
                editor = e;
                line = e;
                break;
            }
        }
        if (line) {
            line->installEventFilter(grid_);
            QObject::connect(line, &QLineEdit::textEdited, editor,
                             [this, editor] { Commit(editor); });
        }
        current_ = editor;
        return editor;
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
        if (current_ == editor)
            current_ = nullptr;
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QString value = index.data(Qt::EditRole).toString();
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            const int pos = ListPositionOf(index, grid_->columns_[index.column()].ListTexts);
            // A list-only cell whose value is not in the list (a code the
            // window names itself) still shows its value.
            combo->setPlaceholderText(pos < 0 ? value : QString());
            combo->setCurrentIndex(pos);
            if (combo->isEditable())
                combo->setEditText(value);
        } else if (QLineEdit* line = LineEditOf(editor)) {
            if (line->text() != value)
                line->setText(value);
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        QString value;
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            // A list-only cell whose value is not in the list shows no entry;
            // that must not blank the cell.
            if (!combo->isEditable() && combo->currentIndex() < 0)
                return;
            value = combo->currentText();
            model->setData(index, value, Qt::EditRole);
            model->setData(index, combo->currentIndex(), kListPositionRole);
            return;
        } else if (QLineEdit* line = LineEditOf(editor))
            value = line->text();
        else
            return;
        model->setData(index, value, Qt::EditRole);
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override {
        editor->setGeometry(option.rect);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = grid_->DisplayText(index.row(), index.column());
        if (index.column() < grid_->columns_.size())
            option->displayAlignment = grid_->columns_[index.column()].Alignment;
    }

private:
    // A user's change reaches the cell at once, then the handlers hear of it.
    void Commit(QWidget* editor) const {
        auto* self = const_cast<Delegate*>(this);
        emit self->commitData(editor);
        emit grid_->Change();
    }

    DataGrid* grid_;
    mutable QPointer<QWidget> current_;
};

DataGrid::~DataGrid() {
    for (QComboBox* combo : findChildren<QComboBox*>()) {
        if (auto* list = dynamic_cast<ListCombo*>(combo))
            list->Silence();
    }
}

DataGrid::DataGrid(QWidget* parent) : QTableWidget(parent) {
    delegate_ = new Delegate(this);
    setItemDelegate(delegate_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
    verticalHeader()->setVisible(false);
    setWordWrap(false);
    connect(this, &QTableWidget::cellClicked, this, [this] { emit Click(); });
    connect(this, &QTableWidget::cellDoubleClicked, this, [this] { emit DblClick(); });
    connect(this, &QTableWidget::currentCellChanged, this,
            [this](int, int, int previousRow, int previousCol) {
                if (!filling_)
                    emit RowColChange(previousRow, previousCol);
            });
}

int DataGrid::AddColumn(const QString& name, const QString& caption) {
    const int col = columnCount();
    insertColumn(col);
    Column c;
    c.Name = name;
    columns_.append(c);
    setHorizontalHeaderItem(col, new QTableWidgetItem(caption.isNull() ? name : caption));
    return col;
}

int DataGrid::ColumnIndex(const QString& name) const {
    for (int i = 0; i < columns_.size(); ++i) {
        if (columns_[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString DataGrid::ColumnName(int col) const {
    return col >= 0 && col < columns_.size() ? columns_[col].Name : QString();
}

QString DataGrid::ColumnCaption(int col) const {
    const QTableWidgetItem* h = horizontalHeaderItem(col);
    return h ? h->text() : QString();
}

void DataGrid::SetColumnCaption(int col, const QString& caption) {
    if (QTableWidgetItem* h = horizontalHeaderItem(col))
        h->setText(caption);
}

int DataGrid::ColumnWidth(int col) const {
    return columnWidth(col) * TwipsPerPixelX();
}

void DataGrid::SetColumnWidth(int col, int twips) {
    if (col >= 0 && col < columnCount())
        setColumnWidth(col, std::max(0, twips / TwipsPerPixelX()));
}

bool DataGrid::ColumnVisible(int col) const {
    return col >= 0 && col < columnCount() && !isColumnHidden(col);
}

void DataGrid::SetColumnVisible(int col, bool visible) {
    setColumnHidden(col, !visible);
}

Qt::Alignment DataGrid::ColumnAlignment(int col) const {
    return col >= 0 && col < columns_.size() ? columns_[col].Alignment : Qt::Alignment();
}

void DataGrid::SetColumnAlignment(int col, Qt::Alignment alignment) {
    if (col < 0 || col >= columns_.size())
        return;
    if (!(alignment & Qt::AlignVertical_Mask))
        alignment |= Qt::AlignVCenter;
    columns_[col].Alignment = alignment;
    if (QTableWidgetItem* h = horizontalHeaderItem(col))
        h->setTextAlignment(alignment);
    viewport()->update();
}

QString DataGrid::ColumnNumberFormat(int col) const {
    return col >= 0 && col < columns_.size() ? columns_[col].NumberFormat : QString();
}

void DataGrid::SetColumnNumberFormat(int col, const QString& format) {
    if (col >= 0 && col < columns_.size())
        columns_[col].NumberFormat = format;
    viewport()->update();
}

ColumnStyle DataGrid::ColumnEditStyle(int col) const {
    return col >= 0 && col < columns_.size() ? columns_[col].Style : ColumnStyle::Edit;
}

void DataGrid::SetColumnEditStyle(int col, ColumnStyle style) {
    if (col < 0 || col >= columns_.size() || columns_[col].Style == style)
        return;
    columns_[col].Style = style;
    DiscardEditor(col);
}

bool DataGrid::ColumnLocked(int col) const {
    return col >= 0 && col < columns_.size() && columns_[col].Locked;
}

void DataGrid::SetColumnLocked(int col, bool locked) {
    if (col < 0 || col >= columns_.size() || columns_[col].Locked == locked)
        return;
    columns_[col].Locked = locked;
    DiscardEditor(col);
}

void DataGrid::ClearColumnList(int col) {
    if (col < 0 || col >= columns_.size())
        return;
    DiscardEditor(col);
    columns_[col].ListTexts.clear();
    columns_[col].ListData.clear();
}

void DataGrid::AddColumnListItem(int col, const QString& text, const QVariant& itemData) {
    if (col < 0 || col >= columns_.size())
        return;
    columns_[col].ListTexts.append(text);
    columns_[col].ListData.append(itemData);
}

int DataGrid::ColumnListCount(int col) const {
    return col >= 0 && col < columns_.size() ? int(columns_[col].ListTexts.size()) : 0;
}

QString DataGrid::ColumnListText(int col, int position) const {
    return col >= 0 && col < columns_.size() ? columns_[col].ListTexts.value(position) : QString();
}

QVariant DataGrid::ColumnListItemData(int col, int position) const {
    return col >= 0 && col < columns_.size() ? columns_[col].ListData.value(position) : QVariant();
}

int DataGrid::ActiveListPosition() const {
    const int col = currentColumn();
    if (col < 0 || col >= columns_.size())
        return -1;
    if (auto* combo = qobject_cast<QComboBox*>(ActiveEditor())) {
        if (combo->currentIndex() >= 0 &&
            combo->currentText() == combo->itemText(combo->currentIndex()))
            return combo->currentIndex();
        if (combo->isEditable())
            return int(columns_[col].ListTexts.indexOf(combo->currentText()));
    }
    return ListPositionOf(currentIndex(), columns_[col].ListTexts);
}

void DataGrid::SetCellListPosition(int row, int col, int position) {
    QTableWidgetItem* it = item(row, col);
    if (!it || col >= columns_.size() || position < 0 || position >= columns_[col].ListTexts.size())
        return;
    it->setText(columns_[col].ListTexts[position]);
    it->setData(kListPositionRole, position);
    if (row == currentRow() && col == currentColumn()) {
        if (QWidget* editor = ActiveEditor())
            delegate_->setEditorData(editor, currentIndex());
    }
}

void DataGrid::AddItem(const QString& values) {
    QStringList parts = values.split(QLatin1Char('\t'));
    if (parts.size() > 1 && parts.last().isEmpty())
        parts.removeLast();
    const int row = rowCount();
    filling_ = true;
    insertRow(row);
    for (int col = 0; col < columnCount(); ++col) {
        auto* item = new QTableWidgetItem(parts.value(col));
        if (!allowUpdate_)
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        setItem(row, col, item);
    }
    filling_ = false;
    rowLoaded_.append(false);
    if (redraw_)
        RaiseRowLoaded();
}

void DataGrid::RemoveAll() {
    filling_ = true;
    setRowCount(0);
    filling_ = false;
    rowLoaded_.clear();
}

QString DataGrid::CellText(int row, int col) const {
    const QTableWidgetItem* it = item(row, col);
    if (!it)
        return QString();
    if (row == currentRow() && col == currentColumn()) {
        if (QLineEdit* line = LineEditOf(ActiveEditor()))
            return line->text();
        if (auto* combo = qobject_cast<QComboBox*>(ActiveEditor())) {
            if (combo->isEditable() || combo->currentIndex() >= 0)
                return combo->currentText();
        }
    }
    return it->text();
}

QString DataGrid::CellText(int row, const QString& columnName) const {
    return CellText(row, ColumnIndex(columnName));
}

void DataGrid::SetCellText(int row, int col, const QString& text) {
    if (QTableWidgetItem* it = item(row, col)) {
        it->setText(text);
        it->setData(kListPositionRole, QVariant());
        if (row == currentRow() && col == currentColumn()) {
            if (QWidget* editor = ActiveEditor())
                delegate_->setEditorData(editor, currentIndex());
        }
    }
}

void DataGrid::SetRow(int row) {
    if (row < 0 || row >= rowCount())
        return;
    const int col = currentColumn() >= 0 ? currentColumn() : 0;
    selectionModel()->setCurrentIndex(model()->index(row, col), QItemSelectionModel::NoUpdate);
}

void DataGrid::SetCol(int col) {
    if (col < 0 || col >= columnCount() || rowCount() == 0)
        return;
    const int row = currentRow() >= 0 ? currentRow() : 0;
    selectionModel()->setCurrentIndex(model()->index(row, col), QItemSelectionModel::NoUpdate);
}

QString DataGrid::Text() const {
    return CellText(currentRow(), currentColumn());
}

void DataGrid::SetText(const QString& text) {
    SetCellText(currentRow(), currentColumn(), text);
}

QList<int> DataGrid::SelBookmarks() const {
    QList<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void DataGrid::SelBookmarksRemoveAll() {
    selectionModel()->clearSelection();
}

void DataGrid::SelBookmarksAdd(int bookmark) {
    if (bookmark < 0 || bookmark >= rowCount())
        return;
    selectionModel()->select(model()->index(bookmark, 0),
                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void DataGrid::SetRedraw(bool redraw) {
    redraw_ = redraw;
    setUpdatesEnabled(redraw);
    if (redraw) {
        RaiseRowLoaded();
        viewport()->update();
    }
}

void DataGrid::SetAllowUpdate(bool allow) {
    allowUpdate_ = allow;
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c) {
            if (QTableWidgetItem* it = item(r, c))
                it->setFlags(allow ? it->flags() | Qt::ItemIsEditable
                                   : it->flags() & ~Qt::ItemIsEditable);
        }
    }
}

void DataGrid::AddStyleSet(const QString& name, const CellStyle& style) {
    styles_.insert(name, style);
}

bool DataGrid::HasStyleSet(const QString& name) const {
    return styles_.contains(name);
}

bool DataGrid::SetCellStyleSet(int col, const QString& styleName) {
    if (col < 0 || col >= columnCount() || !styles_.contains(styleName))
        return false;
    if (loadingRow_ >= 0) {
        ApplyCellStyle(loadingRow_, col, styleName);
    } else {
        for (int r = 0; r < rowCount(); ++r)
            ApplyCellStyle(r, col, styleName);
    }
    return true;
}

QString DataGrid::CellStyleSetOf(int row, int col) const {
    const QTableWidgetItem* it = item(row, col);
    return it ? it->data(kStyleRole).toString() : QString();
}

QFont DataGrid::HeadFont() const {
    return horizontalHeader()->font();
}

void DataGrid::SetHeadFont(const QFont& font) {
    horizontalHeader()->setFont(font);
}

void DataGrid::SelectActiveCellText() {
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    if (!ActiveEditor() && IsEditable(current.column()))
        edit(current);
    if (QLineEdit* line = LineEditOf(ActiveEditor()))
        line->selectAll();
}

QWidget* DataGrid::ActiveEditor() const {
    return delegate_ ? delegate_->Current() : nullptr;
}

QString DataGrid::DisplayText(int row, int col) const {
    const QTableWidgetItem* it = item(row, col);
    if (!it)
        return QString();
    const QString value = it->text();
    const QString format = ColumnNumberFormat(col);
    if (format.isEmpty() || !rt::IsNumeric(value))
        return value;
    return rt::Format(rt::Val(value), format);
}

void DataGrid::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    emit GotFocus();
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
    if (DispatchKey(event))
        return;
    QTableWidget::keyPressEvent(event);
}

bool DataGrid::eventFilter(QObject* watched, QEvent* event) {
    const bool editorPart = qobject_cast<QLineEdit*>(watched) || qobject_cast<QComboBox*>(watched);
    if (editorPart && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (DispatchKey(key))
            return true;
        const bool listEditor =
            qobject_cast<QComboBox*>(watched) || qobject_cast<QComboBox*>(watched->parent());
        if (listEditor && IsRowKey(key)) {
            QTableWidget::keyPressEvent(key);
            return true;
        }
    }
    if (editorPart && event->type() == QEvent::MouseButtonDblClick &&
        !dynamic_cast<ListCombo*>(watched)) {
        emit DblClick();
        return true;
    }
    return QTableWidget::eventFilter(watched, event);
}

bool DataGrid::DispatchKey(QKeyEvent* event) {
    int code = VirtualKeyFromEvent(event);
    if (code != 0) {
        emit KeyDown(&code, ShiftStateFromModifiers(event->modifiers()));
        if (code == 0)
            return true;
    }
    const QString text = event->text();
    if (text.size() == 1 && (text[0].isPrint() || text[0] == QChar(8))) {
        int ascii = text[0].unicode();
        emit KeyPress(&ascii);
        if (ascii == 0)
            return true;
    } else if (event->key() == Qt::Key_Backspace) {
        int ascii = 8;
        emit KeyPress(&ascii);
        if (ascii == 0)
            return true;
    }
    return false;
}

void DataGrid::ApplyCellStyle(int row, int col, const QString& styleName) {
    QTableWidgetItem* it = item(row, col);
    if (!it)
        return;
    const CellStyle& s = styles_[styleName];
    it->setData(kStyleRole, styleName);
    it->setForeground(s.ForeColor.isValid() ? QBrush(s.ForeColor) : QBrush());
    it->setBackground(s.BackColor.isValid() ? QBrush(s.BackColor) : QBrush());
    QFont f = font();
    f.setBold(s.Bold);
    it->setFont(f);
}

void DataGrid::RaiseRowLoaded() {
    for (int r = 0; r < rowLoaded_.size(); ++r) {
        if (rowLoaded_[r])
            continue;
        rowLoaded_[r] = true;
        loadingRow_ = r;
        emit RowLoaded(r);
        loadingRow_ = -1;
        // A handler may have cleared the grid.
        if (r >= rowLoaded_.size())
            break;
    }
}

void DataGrid::DiscardEditor(int col) {
    // Every change by the user reached the cell when it was made, so an open
    // editor of the old kind (or with the old list) closes without writing;
    // the next edit opens one of the new kind.
    if (currentColumn() != col)
        return;
    if (QWidget* editor = ActiveEditor())
        closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool DataGrid::IsEditable(int col) const {
    return allowUpdate_ && col >= 0 && col < columns_.size();
}

}  // namespace platform
