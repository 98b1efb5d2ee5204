#include <gtest/gtest.h>
#include <QDialog>
#include <QLineEdit>

#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "core/ModControls.h"
#include "platform/controls/DataGrid.h"

namespace {

class ControlRoutinesTest : public ::testing::Test {};

}  // namespace

TEST_F(ControlRoutinesTest, ColumnWidthExtraFollowsTheScrollBarWidth) {
    const int s = GetScrollBarWidth(true);
    const int margin = s >= 300 ? 90 : s >= 240 ? 75 : s >= 180 ? 60 : 45;
    EXPECT_EQ(GetColumnWidthExtra(true), s + margin);
    EXPECT_EQ(GetColumnWidthExtra(false), 2 * s + margin);
}

TEST_F(ControlRoutinesTest, ToolTipOnlyWithTheAssistant) {
    QWidget w;
    ConfigurationSettings.Assistant = true;
    SetToolTip(&w, "Finish", "F11");
    EXPECT_EQ(w.toolTip(), "Finish  (F11)");
    SetToolTip(&w, "Finish");
    EXPECT_EQ(w.toolTip(), "Finish");
    ConfigurationSettings.Assistant = false;
    SetToolTip(&w, "Finish", "F11");
    EXPECT_EQ(w.toolTip(), "");
}

TEST_F(ControlRoutinesTest, CellStyleSuffixByLanguage) {
    platform::DataGrid g;
    g.AddColumn("Item");
    g.AddColumn("Value");
    g.AddItem("a\tb\t");
    for (const char* name : {"Disabled", "DisabledRO", "DisabledGR"})
        g.AddStyleSet(name, platform::CellStyle{Qt::gray, Qt::lightGray, false});
    ConfigurationSettings.Language = "SR";
    SetColumnCellStyle(&g, 0, "Disabled");
    EXPECT_EQ(g.CellStyleSetOf(0, 0), "DisabledRO");
    ConfigurationSettings.Language = "GR";
    SetColumnCellStyle(&g, 0, "Disabled");
    EXPECT_EQ(g.CellStyleSetOf(0, 0), "DisabledGR");
    ConfigurationSettings.Language = "EN";
    SetColumnCellStyle(&g, 0, "Disabled");
    EXPECT_EQ(g.CellStyleSetOf(0, 0), "Disabled");
    // A style the grid lacks changes nothing.
    ConfigurationSettings.Language = "TR";
    SetColumnCellStyle(&g, 0, "Disabled");
    EXPECT_EQ(g.CellStyleSetOf(0, 0), "Disabled");
    EXPECT_EQ(CellStyleSuffix("DE"), "RO");
    EXPECT_EQ(CellStyleSuffix("HY"), "HY");
    EXPECT_EQ(CellStyleSuffix("ro"), "");
}

TEST_F(ControlRoutinesTest, CurrentRowBecomesTheOnlySelectedRow) {
    platform::DataGrid g;
    g.AddColumn("A");
    for (int i = 0; i < 4; ++i)
        g.AddItem("x\t");
    g.SelBookmarksAdd(0);
    g.SelBookmarksAdd(1);
    g.SetRow(2);
    SelectCurrentGridRow(&g);
    EXPECT_EQ(g.SelBookmarks(), (QList<int>{2}));
    EXPECT_TRUE(g.Redraw());
    SelectCurrentGridRow(nullptr);
}

TEST_F(ControlRoutinesTest, SelectAllTextAndCloseButton) {
    QLineEdit edit("12345");
    SelectAllText(&edit);
    EXPECT_EQ(edit.selectedText(), "12345");
    QDialog d;
    d.show();
    DisableCloseButton(&d);
    EXPECT_TRUE(IsCloseButtonDisabled(&d));
    EXPECT_FALSE(d.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(d.isVisible());
    EnableCloseButton(&d, true);
    EXPECT_FALSE(IsCloseButtonDisabled(&d));
    EXPECT_TRUE(d.windowFlags().testFlag(Qt::WindowCloseButtonHint));
}
