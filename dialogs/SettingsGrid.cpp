#include "dialogs/SettingsGrid.h"

#include <QHeaderView>
#include <QRect>

#include "core/ModControls.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/VirtualKeys.h"

platform::DataGrid* NewSettingsGrid(QWidget* parent, const QRect& geometry, bool& dropDownOpen) {
    auto* grid = new platform::DataGrid(parent);
    grid->setObjectName(QStringLiteral("dgView"));
    grid->setGeometry(geometry);
    grid->AddColumn(QStringLiteral("Item"), QString());
    grid->AddColumn(QStringLiteral("Value"), QString());
    grid->AddColumn(QStringLiteral("Index"), QString());
    grid->AddColumn(QStringLiteral("RealValue"), QString());
    grid->SetColumnVisible(kIndex, false);
    grid->SetColumnVisible(kRealValue, false);
    grid->horizontalHeader()->setVisible(false);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    // The caption column is read, not edited: one style per character set.
    const platform::CellStyle disabled{QColor(96, 96, 96), QColor(236, 236, 236), false};
    for (const char* suffix : {"", "RO", "GR", "HY", "ES", "TR"})
        grid->AddStyleSet(QStringLiteral("Disabled") + QLatin1String(suffix), disabled);

    QObject::connect(grid, &platform::DataGrid::RowLoaded, grid,
                     [grid] { SetColumnCellStyle(grid, kItem, QStringLiteral("Disabled")); });
    QObject::connect(grid, &platform::DataGrid::Click, grid,
                     [grid] { SelectActiveCellText(grid); });
    // No arrow key is synthesised to place the caret: the value cell's editor
    // is opened with its text selected when the cell becomes current, and a
    // posted key would come back here as the focus returns from the editor.
    QObject::connect(grid, &platform::DataGrid::GotFocus, grid, [grid] {
        if (grid->Rows() > 0)
            grid->SetCol(kValue);
    });
    QObject::connect(grid, &platform::DataGrid::DropDownOpened, grid,
                     [&dropDownOpen] { dropDownOpen = true; });
    QObject::connect(grid, &platform::DataGrid::DropDownClosed, grid,
                     [&dropDownOpen] { dropDownOpen = false; });
    return grid;
}

bool StepValueList(platform::DataGrid* grid) {
    if (grid->Col() != kValue)
        return false;
    const int count = grid->ColumnListCount(kValue);
    if (count == 0)
        return false;
    const int next = (grid->ActiveListPosition() + 1) % count;
    grid->SetCellListPosition(grid->Row(), kValue, next);
    return true;
}

bool SaveOrCancelKey(int keyCode, bool dropDownOpen, const std::function<void()>& save,
                     const std::function<void()>& cancel) {
    if (keyCode == platform::kVkReturn) {
        if (!dropDownOpen)
            save();
        return true;
    }
    if (keyCode == platform::kVkEscape) {
        cancel();
        return true;
    }
    return false;
}
