// The goods-group picker over a real SQLite database: its rows from the
// stored selection, choosing groups, the selection it hands back, and its
// use from the settings dialog's options grid.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "core/Configuration.h"
#include "core/ModSkin.h"
#include "data/DatabaseClass.h"
#include "data/ModOperations.h"
#include "dialogs/SetupForm.h"
#include "dialogs/SetupGroupsForm.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/SkinManager.h"

namespace {

class SetupGroupsFormTest : public TempAppDataTest {
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
        const QString file = PathIn(QStringLiteral("pos.mdb"));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
        const char* sql =
            "CREATE TABLE goodsgroups (ID INTEGER PRIMARY KEY, Code TEXT, Name TEXT);"
            "INSERT INTO goodsgroups VALUES (1, '101', 'Кухня'), (2, '205', 'Бар'),"
            " (3, '300', 'Десерти'), (4, '1011', 'Супи'), (5, 'abc', 'малки'),"
            " (6, 'ABC', 'големи');";
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        DatabaseClass& d = Database();
        d.CloseConnection();
        d.SetConnectTo(kDbAccess);
        d.SetDatabasePath(file);
        d.SetLocalServerName(QString());
        ASSERT_TRUE(d.OpenConnection());
    }
    void TearDown() override {
        picker_.reset();
        Database().CloseConnection();
        GoodsGroupsRecordset().reset();
        TempAppDataTest::TearDown();
    }

    platform::DataGrid* Open() {
        picker_ = std::make_unique<SetupGroupsForm>(ConfigurationSettings);
        picker_->show();
        QApplication::processEvents();
        grid_ = picker_->findChild<platform::DataGrid*>(QStringLiteral("dgView"));
        return grid_;
    }
    void Press(const char* name) { picker_->findChild<platform::CommandButton*>(name)->Press(); }
    QString Code(int row) { return grid_->CellText(row, 2); }
    QString Name(int row) { return grid_->CellText(row, 1); }
    void Choose(int row, int position) {
        grid_->SetRow(row);
        grid_->SetCol(1);
        grid_->SelectActiveCellText();
        auto* combo = qobject_cast<QComboBox*>(grid_->ActiveEditor());
        ASSERT_TRUE(combo);
        combo->setCurrentIndex(position);
        emit combo->activated(position);
    }

    std::unique_ptr<SetupGroupsForm> picker_;
    platform::DataGrid* grid_ = nullptr;
};

TEST(SetupGroupsSelection, CodesOnceInOrderOfTheirFirstRow) {
    EXPECT_EQ(SetupGroupsForm::BuildSelection({"101", "", "205", "101"}), "101|205");
    EXPECT_EQ(SetupGroupsForm::BuildSelection({"", "", ""}), "");
    EXPECT_EQ(SetupGroupsForm::BuildSelection({"abc", "ABC", "abc"}), "abc|ABC");
    EXPECT_EQ(SetupGroupsForm::BuildSelection({"1011", "011"}), "1011|011");
}

TEST_F(SetupGroupsFormTest, EmptySelectionOpensFifteenEmptyRows) {
    Open();
    ASSERT_EQ(grid_->Rows(), 15);
    EXPECT_EQ(grid_->CellText(0, 0), Res("strPosition") + " 1");
    EXPECT_EQ(grid_->CellText(14, 0), Res("strPosition") + " 15");
    EXPECT_EQ(grid_->CellText(0, 3), "0");
    EXPECT_EQ(grid_->CellStyleSetOf(0, 0), "Disabled");
    // Entry 0 is the empty choice; only codes of three characters are listed.
    ASSERT_EQ(grid_->ColumnListCount(1), 6);
    EXPECT_EQ(grid_->ColumnListText(1, 0), QString());
    EXPECT_EQ(grid_->ColumnListText(1, 1), "Кухня");
    EXPECT_EQ(grid_->ColumnListItemData(1, 1).toInt(), 1);
    Press("btnSave");
    EXPECT_EQ(picker_->result(), "");
}

TEST_F(SetupGroupsFormTest, StoredCodesFillTheirRows) {
    QStringList codes{"000", "205", "999", "205", "abc", "ABC"};
    for (int i = 0; i < 12; ++i)
        codes << "101";
    codes << "300";
    ConfigurationSettings.GoodsGroups = codes.join('|');
    Open();
    ASSERT_EQ(grid_->Rows(), 15);
    EXPECT_EQ(Name(0), Res("strAll"));
    EXPECT_EQ(Code(0), "000");
    // The first row is current with its list open over it: the list holds no
    // entry of that name, and the cell still shows it.
    auto* editor = qobject_cast<QComboBox*>(grid_->ActiveEditor());
    ASSERT_TRUE(editor);
    const QImage shown = editor->grab().toImage();
    // Inside the frame, left of the arrow: where the text stands.
    const QColor back = shown.pixelColor(4, shown.height() / 2);
    int ink = 0;
    for (int y = shown.height() / 4; y < shown.height() * 3 / 4; ++y) {
        for (int x = 4; x < shown.width() * 2 / 3; ++x) {
            const QColor c = shown.pixelColor(x, y);
            ink += std::abs(c.red() - back.red()) + std::abs(c.green() - back.green()) +
                       std::abs(c.blue() - back.blue()) >
                   200;
        }
    }
    EXPECT_GT(ink, 20) << "the current row's cell is blank";
    EXPECT_EQ(Name(1), "Бар");
    EXPECT_EQ(Code(2), "") << "a code that is no group gives an empty row";
    EXPECT_EQ(Name(2), "");
    EXPECT_EQ(Code(4), "abc");
    EXPECT_EQ(Code(5), "ABC");
    Press("btnSave");
    EXPECT_EQ(picker_->result(), "000|205|abc|ABC|101") << "300 is the 19th part";
}

TEST_F(SetupGroupsFormTest, ChoosingAndSteppingMapsNamesToCodes) {
    ConfigurationSettings.GoodsGroups = QStringLiteral("205");
    Open();
    Choose(1, 3);
    EXPECT_EQ(Name(1), "Десерти");
    EXPECT_EQ(Code(1), "300");
    Choose(0, 0);
    EXPECT_EQ(Code(0), "") << "the empty entry clears the code";
    Choose(2, 5);
    emit grid_->DblClick();
    EXPECT_EQ(Name(2), "") << "the last entry wraps to the empty one";
    EXPECT_EQ(Code(2), "");
    emit grid_->DblClick();
    EXPECT_EQ(Code(2), "101");
    Press("btnSave");
    EXPECT_EQ(picker_->result(), "300|101");
}

TEST_F(SetupGroupsFormTest, SteppingGoesByPositionPastGroupsOfTheSameName) {
    ASSERT_EQ(Database().ExecuteNonQuery("INSERT INTO goodsgroups VALUES (7, '206', 'Бар')"), 1);
    ConfigurationSettings.GoodsGroups = QStringLiteral("206");
    Open();
    ASSERT_EQ(grid_->ColumnListText(1, 2), "Бар");
    ASSERT_EQ(grid_->ColumnListText(1, 3), "Бар");
    Choose(1, 2);
    EXPECT_EQ(Code(1), "205");
    emit grid_->DblClick();
    EXPECT_EQ(Code(1), "206");
    // The row keeps its entry when the operator leaves it and comes back.
    grid_->SetRow(2);
    grid_->SetRow(1);
    emit grid_->DblClick();
    EXPECT_EQ(Name(1), "Десерти");
    EXPECT_EQ(Code(1), "300");
    // A stored group steps on from its own entry.
    grid_->SetRow(0);
    emit grid_->DblClick();
    EXPECT_EQ(Code(0), "300");
    Press("btnSave");
    EXPECT_EQ(picker_->result(), "300");
}

TEST_F(SetupGroupsFormTest, KeysSaveCancelAndDefault) {
    ConfigurationSettings.GoodsGroups = QStringLiteral("101|205");
    Open();
    Choose(0, 0);
    grid_->SelectActiveCellText();
    auto* list = qobject_cast<QComboBox*>(grid_->ActiveEditor());
    ASSERT_TRUE(list);
    list->showPopup();
    QTest::keyClick(grid_, Qt::Key_Return);
    EXPECT_TRUE(picker_->isVisible()) << "Enter in an open list does not save";
    list->hidePopup();
    QTest::keyClick(grid_, Qt::Key_Escape);
    EXPECT_FALSE(picker_->isVisible());
    EXPECT_EQ(picker_->result(), "101|205") << "Cancel hands back the stored setting";

    Open();
    QTest::keyClick(grid_, Qt::Key_F5);
    EXPECT_EQ(picker_->result(), "");

    Open();
    Choose(0, 0);
    QTest::keyClick(grid_, Qt::Key_Return);
    EXPECT_EQ(picker_->result(), "205");

    // The close box answers like Cancel, whatever the last picker answered.
    Open();
    QTest::keyClick(grid_, Qt::Key_F5);
    ASSERT_EQ(picker_->result(), "");
    Open();
    picker_->close();
    EXPECT_EQ(picker_->result(), "101|205") << "the close box answers the stored setting";
}

TEST_F(SetupGroupsFormTest, WithoutConnectionThereAreNoRows) {
    Database().CloseConnection();
    ConfigurationSettings.GoodsGroups = QStringLiteral("101");
    Open();
    EXPECT_EQ(grid_->Rows(), 0);
    Press("btnSave");
    EXPECT_EQ(picker_->result(), "");
}

TEST_F(SetupGroupsFormTest, OptionsGridTakesThePickersAnswer) {
    ConfigurationSettings.GoodsGroups = QStringLiteral("101");
    LoadGoodsGroups();
    auto form = std::make_unique<SetupForm>(ConfigurationSettings);
    form->show();
    static_cast<platform::CommandButton*>(
        platform::FindIndexedControl(form.get(), QStringLiteral("btnTab"), 1))
        ->Press();
    auto* grid = form->findChild<platform::DataGrid*>(QStringLiteral("dgView"));
    int row = 0;
    while (row < grid->Rows() && grid->CellText(row, 2) != "GoodsGroups")
        ++row;
    grid->SetRow(row);
    grid->SetCol(1);

    // The cell's own button, shown as a click into the cell shows it.
    const auto clickCellButton = [grid] {
        grid->SelectActiveCellText();
        QWidget* editor = grid->ActiveEditor();
        auto* button =
            editor ? editor->findChild<QToolButton*>(QStringLiteral("CellButton")) : nullptr;
        ASSERT_TRUE(button);
        button->click();
    };
    modal::WhenModal([](QWidget* w) {
        w->findChild<platform::CommandButton*>(QStringLiteral("btnCancel"))->Press();
    });
    clickCellButton();
    EXPECT_EQ(grid->CellText(row, 1), Res("strByChoice"));

    modal::WhenModal([](QWidget* w) {
        w->findChild<platform::CommandButton*>(QStringLiteral("btnDefault"))->Press();
    });
    clickCellButton();
    EXPECT_EQ(grid->CellText(row, 1), Res("strDefault"));
    form->findChild<platform::CommandButton*>(QStringLiteral("btnSave"))->Press();
    EXPECT_TRUE(form->DialogAccepted());
    EXPECT_EQ(ConfigurationSettings.GoodsGroups, "");
}

}  // namespace
