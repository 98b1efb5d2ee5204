// The station options grid on the settings dialog's second tab: its rows,
// the editing rules of each kind of row, and what Save copies back.
#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "core/ModSkin.h"
#include "data/ModOperations.h"
#include "dialogs/SetupForm.h"
#include "dialogs/StationOptions.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/SkinManager.h"

namespace {

class SetupOptionsGridTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
        ConfigurationSettings.ConfigFile = PathIn(QStringLiteral("KestrelleApp.config"));
        ConfigurationSettings.Communication = 2;
        ResManager().SetCurrentLanguage(QStringLiteral("BG"));
        ResManager().LoadLanguages(QString(), ConfigurationSettings.ConfigFile, AppData());
        SkinManager().SetSelectedSkin(QStringLiteral("Default"));
    }
    void TearDown() override {
        form_.reset();
        TempAppDataTest::TearDown();
    }

    // Opens the dialog on the options tab.
    platform::DataGrid* Open() {
        form_ = std::make_unique<SetupForm>(ConfigurationSettings);
        form_->show();
        QApplication::processEvents();
        TabButton(1)->Press();
        grid_ = form_->findChild<platform::DataGrid*>(QStringLiteral("dgView"));
        return grid_;
    }
    platform::CommandButton* TabButton(int i) {
        return static_cast<platform::CommandButton*>(
            platform::FindIndexedControl(form_.get(), QStringLiteral("btnTab"), i));
    }
    void Save() { form_->findChild<platform::CommandButton*>("btnSave")->Press(); }
    int RowOf(const QString& key) {
        for (int r = 0; r < grid_->Rows(); ++r) {
            if (grid_->CellText(r, 2) == key)
                return r;
        }
        return -1;
    }
    // Makes the key's value cell current, as a click would.
    void Select(const QString& key) {
        grid_->SetRow(RowOf(key));
        grid_->SetCol(1);
    }
    QString Value(const QString& key) { return grid_->CellText(RowOf(key), 1); }
    QString Real(const QString& key) { return grid_->CellText(RowOf(key), 3); }
    // Chooses a list entry in the open drop-down of the current cell.
    void Choose(int position) {
        auto* combo = qobject_cast<QComboBox*>(grid_->ActiveEditor());
        ASSERT_TRUE(combo);
        combo->setCurrentIndex(position);
        emit combo->activated(position);
    }
    // Opens the real drop-down list of the current cell.
    QComboBox* OpenList() {
        auto* combo = qobject_cast<QComboBox*>(grid_->ActiveEditor());
        if (combo)
            combo->showPopup();
        return combo;
    }
    // The button of the current cell, shown as a click into the cell shows it.
    QToolButton* CellButton() {
        grid_->SelectActiveCellText();
        QWidget* editor = grid_->ActiveEditor();
        return editor ? editor->findChild<QToolButton*>(QStringLiteral("CellButton")) : nullptr;
    }
    QLineEdit* Editor() {
        QWidget* e = grid_->ActiveEditor();
        if (auto* line = qobject_cast<QLineEdit*>(e))
            return line;
        return e ? e->findChild<QLineEdit*>() : nullptr;
    }

    std::unique_ptr<SetupForm> form_;
    platform::DataGrid* grid_ = nullptr;
};

TEST(SetupOptionTexts, DisplayTextsByKey) {
    if (ResManager().CountResources() == 0)
        RegisterBuiltInTexts();
    EXPECT_EQ(GetOptionDisplayText("Restriction", -1), Res("strEnable"));
    EXPECT_EQ(GetOptionDisplayText("AutoLock", 0), Res("strDisable"));
    EXPECT_EQ(GetOptionDisplayText("ObjectCodeRange", 0), "001 - 100");
    EXPECT_EQ(GetOptionDisplayText("ObjectCodeRange", 9), "001 - 1000");
    EXPECT_EQ(GetOptionDisplayText("ObjectCodeRange", 10), QString());
    EXPECT_EQ(GetOptionDisplayText("GoodsGroups", 1), Res("strByChoice"));
    EXPECT_EQ(GetOptionDisplayText("GoodsGroups", 2), QString());
    EXPECT_EQ(GetOptionDisplayText("PrefixUsers", 7), "007");
}

TEST(SetupOptionTexts, CopyRulesByKey) {
    ConfigurationRecord c;
    CopyOptionIntoRecord(c, "Restriction", "0", "x");
    EXPECT_FALSE(c.Restriction);
    CopyOptionIntoRecord(c, "FocusNewOrder", "1", "x");
    EXPECT_TRUE(c.FocusNewOrder);
    CopyOptionIntoRecord(c, "ObjectCodeRange", "4", "x");
    EXPECT_EQ(c.ObjectCodeRange, 5);
    CopyOptionIntoRecord(c, "PrefixUsers", "", "x");
    EXPECT_EQ(c.PrefixUsers, "000");
    CopyOptionIntoRecord(c, "PrefixUsers", "12", "x");
    EXPECT_EQ(c.PrefixUsers, "012");
    CopyOptionIntoRecord(c, "GoodsGroups", "1", "101|205");
    EXPECT_EQ(c.GoodsGroups, "101|205");
    CopyOptionIntoRecord(c, "WarningSaveChages", "1", "x");
    EXPECT_FALSE(c.WarningSaveChages) << "keys without a row set nothing";
}

TEST_F(SetupOptionsGridTest, RowsFollowTheModeShownOnTheFirstTab) {
    ConfigurationSettings.Communication = 0;
    Open();
    ASSERT_EQ(grid_->Rows(), 4);
    EXPECT_EQ(grid_->CellText(0, 2), "Restriction");
    EXPECT_EQ(grid_->CellText(3, 2), "FocusNewOrder");
    EXPECT_EQ(grid_->CellText(0, 0), Res("strRestriction"));
    EXPECT_EQ(grid_->CellStyleSetOf(0, 0), "Disabled");
    TabButton(0)->Press();
    form_->findChild<QComboBox*>("cbCommunicationMethod")->setCurrentIndex(2);
    TabButton(1)->Press();
    ASSERT_EQ(grid_->Rows(), 9);
    EXPECT_EQ(grid_->CellText(8, 2), "PrefixUsers");
    EXPECT_EQ(Value("PrefixUsers"), "971");
    EXPECT_FALSE(grid_->ColumnVisible(2));
    EXPECT_FALSE(grid_->ColumnVisible(3));
}

TEST_F(SetupOptionsGridTest, ObjectCodeRangeShowsAndStoresItsPosition) {
    ConfigurationSettings.ObjectCodeRange = 10;
    Open();
    EXPECT_EQ(Value("ObjectCodeRange"), "001 - 1000");
    EXPECT_EQ(Real("ObjectCodeRange"), "9");
    Select("ObjectCodeRange");
    EXPECT_EQ(grid_->ColumnListCount(1), 10);
    EXPECT_TRUE(grid_->ColumnLocked(1));
    grid_->DblClick();
    EXPECT_EQ(Value("ObjectCodeRange"), "001 - 100") << "the last entry wraps to the first";
    Choose(3);
    EXPECT_EQ(Value("ObjectCodeRange"), "301 - 400");
    EXPECT_EQ(Real("ObjectCodeRange"), "3");
    Save();
    EXPECT_EQ(ConfigurationSettings.ObjectCodeRange, 4);
}

TEST_F(SetupOptionsGridTest, BooleanRowsOfferDisableThenEnableAndWrap) {
    ConfigurationSettings.AutoLock = true;
    ConfigurationSettings.Restriction = true;
    Open();
    EXPECT_EQ(Value("AutoLock"), Res("strEnable"));
    EXPECT_EQ(Real("AutoLock"), "1");
    Select("AutoLock");
    ASSERT_EQ(grid_->ColumnListCount(1), 2);
    EXPECT_EQ(grid_->ColumnListText(1, 0), Res("strDisable"));
    EXPECT_EQ(grid_->ColumnListText(1, 1), Res("strEnable"));
    emit grid_->DblClick();
    EXPECT_EQ(Value("AutoLock"), Res("strDisable"));
    EXPECT_EQ(Real("AutoLock"), "0");
    emit grid_->DblClick();
    EXPECT_EQ(Value("AutoLock"), Res("strEnable"));
    emit grid_->DblClick();
    Select("Restriction");
    Choose(0);
    Save();
    EXPECT_FALSE(ConfigurationSettings.AutoLock);
    EXPECT_FALSE(ConfigurationSettings.Restriction);
    EXPECT_TRUE(ConfigurationSettings.Assistant);
}

TEST_F(SetupOptionsGridTest, PrefixTakesThreeDigits) {
    Open();
    Select("PrefixUsers");
    EXPECT_FALSE(grid_->ColumnLocked(1));
    EXPECT_EQ(grid_->ColumnEditStyle(1), platform::ColumnStyle::Edit);
    QLineEdit* line = Editor();
    ASSERT_TRUE(line);
    line->clear();
    QTest::keyClicks(line, QStringLiteral("12a34"));
    EXPECT_EQ(line->text(), "123");
    EXPECT_EQ(Real("PrefixUsers"), "123");
    // Pasted text is filtered like typed text.
    QApplication::clipboard()->setText(QStringLiteral("a5b"));
    line->clear();
    line->paste();
    EXPECT_EQ(line->text(), "5");
    EXPECT_EQ(Real("PrefixUsers"), "5");
    PressPasteKeys(line);
    EXPECT_EQ(Real("PrefixUsers"), "555");
    line->clear();
    QTest::keyClicks(line, QStringLiteral("7"));
    EXPECT_EQ(Real("PrefixUsers"), "7");
    Save();
    EXPECT_EQ(ConfigurationSettings.PrefixUsers, "007");
}

TEST_F(SetupOptionsGridTest, ClearedPrefixStoresZeros) {
    Open();
    Select("PrefixUsers");
    QLineEdit* line = Editor();
    ASSERT_TRUE(line);
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Backspace);
    EXPECT_EQ(Real("PrefixUsers"), "");
    Save();
    EXPECT_EQ(ConfigurationSettings.PrefixUsers, "000");
}

TEST_F(SetupOptionsGridTest, GoodsGroupsRowShowsWhetherASelectionExists) {
    GoodsGroupsRecordset().reset();
    ConfigurationSettings.GoodsGroups = QStringLiteral("001|003");
    Open();
    EXPECT_EQ(Value("GoodsGroups"), Res("strByChoice"));
    Select("GoodsGroups");
    EXPECT_EQ(grid_->ColumnEditStyle(1), platform::ColumnStyle::EditButton);
    QToolButton* button = CellButton();
    ASSERT_TRUE(button);
    {
        // Without the board's goods groups the cell button opens nothing.
        modal::NoModalWindow none;
        button->click();
    }
    EXPECT_EQ(Value("GoodsGroups"), Res("strByChoice"));
    Save();
    EXPECT_EQ(ConfigurationSettings.GoodsGroups, "001|003");
}

TEST_F(SetupOptionsGridTest, ShowingTheTabAgainDiscardsGridEdits) {
    ConfigurationSettings.SoundNotification = true;
    Open();
    Select("SoundNotification");
    Choose(0);
    EXPECT_EQ(Real("SoundNotification"), "0");
    TabButton(0)->Press();
    TabButton(1)->Press();
    EXPECT_EQ(Real("SoundNotification"), "1");
    Save();
    EXPECT_TRUE(ConfigurationSettings.SoundNotification);
}

TEST_F(SetupOptionsGridTest, ArrowKeysInAListEditorMoveRowsAndChangeNoValue) {
    Open();
    Select("SoundNotification");
    auto* list = qobject_cast<QComboBox*>(grid_->ActiveEditor());
    ASSERT_TRUE(list);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(grid_->Row(), RowOf("FocusNewOrder"));
    list = qobject_cast<QComboBox*>(grid_->ActiveEditor());
    ASSERT_TRUE(list);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(grid_->Row(), RowOf("SoundNotification"));
    EXPECT_EQ(Value("SoundNotification"), Res("strEnable"));
    EXPECT_EQ(Real("SoundNotification"), "1");
    EXPECT_EQ(Real("FocusNewOrder"), "0");
    Save();
    EXPECT_TRUE(ConfigurationSettings.SoundNotification);
    EXPECT_FALSE(ConfigurationSettings.FocusNewOrder);
}

TEST_F(SetupOptionsGridTest, EnterDoesNotSaveWhileAListIsOpen) {
    Open();
    Select("Assistant");
    QComboBox* list = OpenList();
    ASSERT_TRUE(list);
    QTest::keyClick(grid_, Qt::Key_Return);
    EXPECT_FALSE(form_->DialogAccepted());
    EXPECT_TRUE(form_->isVisible());
    list->hidePopup();
    QTest::keyClick(grid_, Qt::Key_Return);
    EXPECT_TRUE(form_->DialogAccepted());
}

}  // namespace
