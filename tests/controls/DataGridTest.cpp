#include <gtest/gtest.h>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "common/TestSupport.h"
#include "platform/controls/DataGrid.h"

using platform::CellStyle;
using platform::ColumnStyle;
using platform::DataGrid;

namespace {

// The shape of the station options grid: caption, value, key, stored value.
void AddOptionColumns(DataGrid& g) {
    g.AddColumn("Item", "Item");
    g.AddColumn("Value", "Value");
    g.AddColumn("Index");
    g.AddColumn("RealValue");
}

}  // namespace

TEST(DataGridTest, RowsAreTabSeparatedWithOrWithoutTrailingTab) {
    DataGrid g;
    AddOptionColumns(g);
    g.AddItem("Restriction\tActive\tRestriction\t1\t");
    g.AddItem("Prefix\t971\tPrefixUsers");  // short row: missing cells are empty
    g.AddItem("\t\t\t\t");
    ASSERT_EQ(g.Rows(), 3);
    EXPECT_EQ(g.CellText(0, 3), "1");
    EXPECT_EQ(g.CellText(0, "realvalue"), "1");
    EXPECT_EQ(g.CellText(1, 2), "PrefixUsers");
    EXPECT_EQ(g.CellText(1, 3), "");
    EXPECT_EQ(g.CellText(2, 0), "");
    EXPECT_EQ(g.ColumnIndex("VALUE"), 1);
    EXPECT_EQ(g.ColumnIndex("Missing"), -1);
    g.RemoveAll();
    EXPECT_EQ(g.Rows(), 0);
}

TEST(DataGridTest, NumberFormatChangesOnlyTheShownText) {
    DataGrid g;
    g.AddColumn("Name");
    const int qty = g.AddColumn("Quantity");
    g.SetColumnNumberFormat(qty, "0.000");
    g.AddItem("Soup\t2.5\t");
    g.AddItem("Bread\tabc\t");
    EXPECT_EQ(g.CellText(0, qty), "2.5");
    EXPECT_TRUE(g.DisplayText(0, qty) == "2.500" || g.DisplayText(0, qty) == "2,500")
        << g.DisplayText(0, qty).toStdString();
    EXPECT_EQ(g.DisplayText(1, qty), "abc");
}

TEST(DataGridTest, RowLoadedWaitsForRedrawAndStylesTheLoadingRow) {
    DataGrid g;
    AddOptionColumns(g);
    g.AddStyleSet("Disabled", CellStyle{Qt::gray, Qt::lightGray, false});
    QList<int> loaded;
    QObject::connect(&g, &DataGrid::RowLoaded, [&](int row) {
        loaded.append(row);
        // Only the loading row's Item cell is styled.
        EXPECT_TRUE(g.SetCellStyleSet(0, "Disabled"));
    });
    g.SetRedraw(false);
    g.AddItem("a\tb\tc\td\t");
    g.AddItem("e\tf\tg\th\t");
    EXPECT_TRUE(loaded.isEmpty());
    g.SetRedraw(true);
    EXPECT_EQ(loaded, (QList<int>{0, 1}));
    g.AddItem("i\tj\tk\tl\t");
    EXPECT_EQ(loaded, (QList<int>{0, 1, 2}));
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(g.CellStyleSetOf(r, 0), "Disabled");
        EXPECT_EQ(g.CellStyleSetOf(r, 1), "");
    }
    EXPECT_FALSE(g.SetCellStyleSet(0, "NoSuchStyle"));
}

TEST(DataGridTest, BookmarksAndCurrentCell) {
    DataGrid g;
    g.AddColumn("A");
    g.AddColumn("B");
    for (int i = 0; i < 5; ++i)
        g.AddItem(QString("%1\tx\t").arg(i));
    g.SelBookmarksAdd(1);
    g.SelBookmarksAdd(3);
    g.SelBookmarksAdd(99);  // no such row
    EXPECT_EQ(g.SelBookmarks(), (QList<int>{1, 3}));
    g.SelBookmarksRemoveAll();
    EXPECT_TRUE(g.SelBookmarks().isEmpty());
    g.SetRow(4);
    g.SetCol(1);
    EXPECT_EQ(g.Row(), 4);
    EXPECT_EQ(g.Col(), 1);
    g.SetRow(7);  // out of range: stays
    EXPECT_EQ(g.Row(), 4);
}

TEST(DataGridTest, DropDownCellOffersItsListWithItemData) {
    DataGrid g;
    AddOptionColumns(g);
    const int value = 1;
    g.SetColumnEditStyle(value, ColumnStyle::DropDown);
    g.SetColumnLocked(value, true);
    g.AddColumnListItem(value, "", 0);
    g.AddColumnListItem(value, "Drinks", 17);
    g.AddColumnListItem(value, "Meals", 23);
    g.AddItem("Group 1\t\t\t0\t");
    g.show();
    int changes = 0;
    QObject::connect(&g, &DataGrid::Change, [&] { ++changes; });
    g.SetRow(0);
    g.SetCol(value);
    g.SelectActiveCellText();
    auto* combo = qobject_cast<QComboBox*>(g.ActiveEditor());
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->isEditable());
    ASSERT_EQ(combo->count(), 3);
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(g.Text(), "Meals");
    EXPECT_EQ(g.ActiveListPosition(), 2);
    EXPECT_EQ(g.ColumnListItemData(value, g.ActiveListPosition()).toInt(), 23);
}

TEST(DataGridTest, AGridGoingAwayReportsNoListClosing) {
    auto* g = new DataGrid;
    AddOptionColumns(*g);
    g->SetColumnEditStyle(1, ColumnStyle::DropDown);
    g->AddColumnListItem(1, "Drinks", 17);
    g->AddItem("Group 1\t\t\t0\t");
    g->show();
    g->SetRow(0);
    g->SetCol(1);
    g->SelectActiveCellText();
    auto* combo = qobject_cast<QComboBox*>(g->ActiveEditor());
    ASSERT_NE(combo, nullptr);
    int closings = 0;
    QObject::connect(g, &DataGrid::DropDownClosed, [&] { ++closings; });
    combo->showPopup();
    combo->hidePopup();
    ASSERT_EQ(closings, 1);
    // Receivers must never hear from a grid that is half destroyed.
    delete g;
    EXPECT_EQ(closings, 1);
}

TEST(DataGridTest, KeyPressHandlerFiltersTypedCharacters) {
    DataGrid g;
    AddOptionColumns(g);
    g.AddItem("Prefix\t\tPrefixUsers\t\t");
    g.show();
    // Only digits and Backspace, as the operator-card prefix takes.
    QObject::connect(&g, &DataGrid::KeyPress, [](int* ascii) {
        if (!((*ascii >= '0' && *ascii <= '9') || *ascii == 8))
            *ascii = 0;
    });
    g.SetRow(0);
    g.SetCol(1);
    g.SelectActiveCellText();
    auto* edit = qobject_cast<QLineEdit*>(g.ActiveEditor());
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, "12a34");
    EXPECT_EQ(g.Text(), "1234");
    EXPECT_EQ(g.CellText(0, 1), "1234");  // committed as typed
}

TEST(DataGridTest, KeyDownHandlerCanSwallowAKey) {
    DataGrid g;
    g.AddColumn("A");
    g.AddItem("x\t");
    g.SetAllowUpdate(false);
    int lastCode = 0, lastShift = -1;
    QObject::connect(&g, &DataGrid::KeyDown, [&](int* code, int shift) {
        lastCode = *code;
        lastShift = shift;
        *code = 0;
    });
    QTest::keyClick(&g, Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(lastCode, 0x74);
    EXPECT_EQ(lastShift, 1);
}

TEST(DataGridTest, CellButtonRaisesBtnClickAndLockedTextStaysUnchanged) {
    DataGrid g;
    AddOptionColumns(g);
    g.SetColumnEditStyle(1, ColumnStyle::EditButton);
    g.SetColumnLocked(1, true);
    g.AddItem("Groups\tAll\tGoodsGroups\t\t");
    g.show();
    int clicks = 0;
    QObject::connect(&g, &DataGrid::BtnClick, [&] { ++clicks; });
    g.SetRow(0);
    g.SetCol(1);
    g.SelectActiveCellText();
    QWidget* editor = g.ActiveEditor();
    ASSERT_NE(editor, nullptr);
    auto* button = editor->findChild<QToolButton*>("CellButton");
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(clicks, 1);
    auto* line = editor->findChild<QLineEdit*>();
    ASSERT_NE(line, nullptr);
    QTest::keyClicks(line, "zz");
    EXPECT_EQ(g.Text(), "All");
}

TEST(DataGridTest, ColumnPropertiesInTwips) {
    DataGrid g;
    const int c = g.AddColumn("Name", "Name");
    g.SetColumnWidth(c, 1500);
    EXPECT_NEAR(g.ColumnWidth(c), 1500, 15);
    g.SetColumnVisible(c, false);
    EXPECT_FALSE(g.ColumnVisible(c));
    g.SetColumnCaption(c, "Имe");
    EXPECT_EQ(g.ColumnCaption(c), "Имe");
    g.SetColumnAlignment(c, Qt::AlignRight);
    EXPECT_TRUE(g.ColumnAlignment(c) & Qt::AlignRight);
}

TEST(DataGridTest, ListsSwappedPerRowNeverBlankAValue) {
    // The options grid's pattern: each move of the current cell rebuilds the
    // value column's list for the row it lands on.
    DataGrid g;
    AddOptionColumns(g);
    g.AddItem("Restriction\tActive\tRestriction\t1\t");
    g.AddItem("Range\t5\tObjectCodeRange\t5\t");
    g.AddItem("Sound\tsomething odd\tSoundNotification\t1\t");
    g.show();
    QObject::connect(&g, &DataGrid::RowColChange, [&g](int, int) {
        const int value = 1;
        if (g.Col() != value)
            g.SetCol(value);
        g.SetColumnEditStyle(value, ColumnStyle::DropDown);
        g.ClearColumnList(value);
        if (g.CellText(g.Row(), 2) == "ObjectCodeRange") {
            for (int i = 0; i < 10; ++i)
                g.AddColumnListItem(value, QString::number(i));
        } else {
            g.AddColumnListItem(value, "Inactive");
            g.AddColumnListItem(value, "Active");
        }
        g.SetColumnLocked(value, true);
        g.SelectActiveCellText();
    });
    for (int row : {0, 1, 2, 1, 0, 2}) {
        g.SetRow(row);
        auto* combo = qobject_cast<QComboBox*>(g.ActiveEditor());
        ASSERT_NE(combo, nullptr) << row;
        EXPECT_EQ(combo->count(), row == 1 ? 10 : 2) << row;
    }
    EXPECT_EQ(g.CellText(0, 1), "Active");
    EXPECT_EQ(g.CellText(1, 1), "5");
    EXPECT_EQ(g.CellText(2, 1), "something odd");
}

TEST(DataGridTest, DoubleClickOnAnOpenCellIsTheGridsDoubleClick) {
    DataGrid g;
    AddOptionColumns(g);
    g.SetColumnEditStyle(1, ColumnStyle::DropDown);
    g.SetColumnLocked(1, true);
    g.AddColumnListItem(1, "Inactive");
    g.AddColumnListItem(1, "Active");
    g.AddItem("Sound\tInactive\tSoundNotification\t0\t");
    g.show();
    int doubles = 0;
    QObject::connect(&g, &DataGrid::DblClick, [&] {
        ++doubles;
        // The handler steps to the next entry, as the options grid does.
        const int next = (g.ActiveListPosition() + 1) % g.ColumnListCount(1);
        g.SetText(g.ColumnListText(1, next));
    });
    g.SetRow(0);
    g.SetCol(1);
    g.SelectActiveCellText();
    QWidget* editor = g.ActiveEditor();
    ASSERT_NE(editor, nullptr);
    QTest::mouseDClick(editor, Qt::LeftButton);
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(g.CellText(0, 1), "Active");
    EXPECT_EQ(g.ActiveListPosition(), 1);
}
