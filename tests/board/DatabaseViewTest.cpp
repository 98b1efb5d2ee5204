// The board in mode 2 against a real SQLite point-of-sale database (and the
// MariaDB server of scripts/test where the dialect matters): the poll, the
// change detection and its sound, the items grid and Finish.
#include <gtest/gtest.h>
#include <stdio.h>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <future>
#include <thread>

#include "DbTestSupport.h"
#include "board/DatabaseMonitor.h"
#include "board/HotKeys.h"
#include "board/MainWindow.h"
#include "common/MessageBoxAnswers.h"
#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "core/BuildVersionClass.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "data/DatabaseClass.h"
#include "data/ModOperations.h"
#include "data/NomUsers.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/SoundPlayer.h"
#include "platform/sql/Connection.h"

class DatabaseViewTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
        ErrorLogger().SetLogFileName(PathIn("Error.log"));
        AppVersion().SetApplication(8);  // the database must carry the program's version
        db_ = PathIn("pos.db");
        CreateSqliteDatabase(db_, true);
        ConfigurationSettings.ConfigFile = GetConfigFileName();
        ConfigurationSettings.Communication = 2;
        ConfigurationSettings.Restriction = false;
        ConfigurationSettings.SoundNotification = true;
        DatabaseClass& d = Database();
        d.SetConnectTo(0);
        d.SetDatabasePath(db_);
        ASSERT_TRUE(d.OpenConnection());
        Users().Load(d);
        Users().SetActiveUser(Users().FindByID(4));
        LoadGoodsGroups();
        LoadHotKeys();
        window_ = std::make_unique<MainWindow>();
        window_->resize(1024, 768);
        rt::SetNow(QDateTime(QDate(2026, 12, 8), QTime(12, 20, 0)));
        // No box is expected: one that shows fails the test and is closed.
        guard_ = std::make_unique<modal::NoModalWindow>();
    }
    void TearDown() override {
        guard_.reset();
        window_.reset();
        Database().CloseConnection();
        mysql_.reset();
        TempAppDataTest::TearDown();
    }
    void Poll(MainWindow::PollTag tag = MainWindow::PollTag::Timer) {
        window_->SetOrdersPollTag(tag);
        window_->tmrOrders_Timer();
        window_->SetOrdersPollTag(MainWindow::PollTag::Timer);
    }
    int Button(const char* tag) { return window_->GetActionButtonIndex(tag); }
    // The board's controls, found by name.
    platform::DataGrid* dgView() const {
        return window_->findChild<platform::DataGrid*>(QStringLiteral("dgView"));
    }
    QPlainTextEdit* tbDbOrder() const {
        return window_->findChild<QPlainTextEdit*>(QStringLiteral("tbDbOrder"));
    }
    QLabel* lblPassedTime() const {
        return window_->findChild<QLabel*>(QStringLiteral("lblPassedTime"));
    }
    QLabel* lblOrdersStatus() const {
        return window_->findChild<QLabel*>(QStringLiteral("lblOrdersStatus"));
    }
    QTimer* tmrOrders() const { return window_->findChild<QTimer*>(QStringLiteral("tmrOrders")); }
    // Moves the board to a database of the same data on the MariaDB server.
    void UseMySql() {
        mysql_ = std::make_unique<TempMySqlDatabase>(true);
        DatabaseClass& d = Database();
        d.CloseConnection();
        d.SetConnectTo(kDbMySql);
        d.SetServerName(mysql_->Server().ServerName());
        d.SetDatabaseName(mysql_->Name());
        d.SetUser(mysql_->Server().user);
        d.SetPassword(mysql_->Server().password);
        ASSERT_TRUE(d.OpenConnection());
    }
    // Runs statements on the board's database, outside the board.
    void Exec(const QString& sql) {
        if (mysql_)
            mysql_->Exec(sql);
        else
            SqliteExec(db_, sql);
    }
    int32_t Count(const QString& where) {
        return Database().ExecuteScalar("SELECT COUNT(*) FROM operations WHERE " + where).ToLong();
    }

    QString db_;
    std::unique_ptr<TempMySqlDatabase> mysql_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<modal::NoModalWindow> guard_;
};

TEST(DatabaseMonitorSql, FiltersAndQueries) {
    EXPECT_EQ(BuildGroupFilter("001|002"),
              "AND ( goodsgroups.Code LIKE '001%' OR goodsgroups.Code LIKE '002%')");
    EXPECT_EQ(BuildGroupFilter("001|"), "AND ( goodsgroups.Code LIKE '001%')");
    EXPECT_EQ(BuildGroupFilter("  "), "");
    EXPECT_EQ(BuildObjectFilter({3, 1, 7}), "AND operations.ObjectID IN (3,1,7)");
    EXPECT_EQ(BuildObjectFilter({}), "");
    const QString orders = BuildOrdersQuery("", "", 0);
    EXPECT_TRUE(orders.startsWith(
        "SELECT objects.ID AS ObjID, objects.name AS ObjName,  partners.ID AS PartID"));
    EXPECT_TRUE(orders.endsWith(
        " AND operations.Opertype=33 AND operations.Acct=0  AND operations.SrcDocID=0  GROUP BY "
        "objects.ID, objects.name, partners.ID, partners.Company, users.ID, users.Name  ORDER BY "
        "Min(operations.ID)"));
    EXPECT_TRUE(BuildOrdersQuery("", "", 2).endsWith(" ORDER BY objects.name "));
    EXPECT_TRUE(
        BuildItemsQuery("", "").endsWith(" AND goods.GroupID= goodsgroups.ID  AND "
                                         "operations.Opertype=33 AND operations.Acct=0 ORDER BY "
                                         "operations.SrcDocID DESC, operations.ID"));
    EXPECT_EQ(BuildFinishItemSql(17), "UPDATE operations SET SrcDocID = -1 WHERE ID = 17");
}

TEST_F(DatabaseViewTest, FirstPollShowsTheOrdersQuietly) {
    const int sounds = platform::SoundRequestCount();
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    EXPECT_EQ(platform::SoundRequestCount(), sounds);
    ASSERT_EQ(window_->GetOrdersCount(), 3);
    EXPECT_EQ(window_->ActiveOrder(), 1);
    // Order 1: table 1, waiter 2, items 1 to 3 in row order.
    ASSERT_EQ(window_->GetItemsCount(), 3);
    EXPECT_EQ(window_->OrderItems()[0].ID, 1);
    EXPECT_EQ(window_->OrderItems()[1].Note, "добре опечени");
    EXPECT_EQ(dgView()->Rows(), 3);
    EXPECT_EQ(dgView()->CellText(1, "Sum"), "1");
    EXPECT_TRUE(tbDbOrder()->toPlainText().contains("Иван Петров"));
    window_->tmrPassedTime_Timer();
    EXPECT_EQ(lblPassedTime()->text(), "00:20:00");  // since 12:00:00
    EXPECT_EQ(lblPassedTime()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(DatabaseViewTest, ChangesPlayTheSoundAndFinishingDoesNot) {
    // Three portions of 0.1 kg: a sum that no decimal text of 15 digits holds.
    SqliteExec(db_, "UPDATE operations SET Qtty = 0.1 + 0.1 + 0.1 WHERE ID = 4");
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    int sounds = platform::SoundRequestCount();
    Poll();
    Poll();
    EXPECT_EQ(platform::SoundRequestCount(), sounds);  // nothing changed

    SqliteExec(db_, "UPDATE operations SET Qtty = 5 WHERE ID = 5");
    Poll();
    EXPECT_EQ(platform::SoundRequestCount(), ++sounds);

    SqliteExec(db_,
               "INSERT INTO operations (ID, GoodID, UserRealTime, PartnerID, ObjectID, OperatorID, "
               "SrcDocID, "
               "Opertype, Acct, Qtty, Note) VALUES (20, 1, '2026-12-08 12:15:00', 1, 4, 2, 0, 33, "
               "0, 1, '')");
    Poll();
    EXPECT_EQ(platform::SoundRequestCount(), ++sounds);
    EXPECT_EQ(window_->GetOrdersCount(), 4);

    // Finish the whole active order: one UPDATE per item, no sound.
    ConfigurationSettings.FinishWholeOrder = true;
    window_->btnAction_Click(Button("Finish"));
    EXPECT_EQ(platform::SoundRequestCount(), sounds);
    EXPECT_EQ(window_->GetOrdersCount(), 3);
    EXPECT_EQ(
        Database().ExecuteScalar("SELECT COUNT(*) FROM operations WHERE SrcDocID = -1").ToLong(),
        4);
}

TEST_F(DatabaseViewTest, FinishingOneItemKeepsTheOrder) {
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    ConfigurationSettings.FinishWholeOrder = false;
    dgView()->SetRow(1);
    window_->btnAction_Click(Button("Finish"));
    EXPECT_EQ(Database().ExecuteScalar("SELECT SrcDocID FROM operations WHERE ID = 2").ToLong(),
              -1);
    EXPECT_EQ(Database().ExecuteScalar("SELECT SrcDocID FROM operations WHERE ID = 1").ToLong(), 0);
    EXPECT_EQ(window_->GetItemsCount(), 2);
}

TEST_F(DatabaseViewTest, NothingFinishesWhileAPollRuns) {
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    ConfigurationSettings.FinishWholeOrder = false;
    // The operator picks the second row and presses F9 while the poll pumps.
    bool duringPoll = false;
    QTimer::singleShot(0, window_.get(), [&] {
        duringPoll = window_->PollBusy();
        dgView()->SetRow(1);
        QTest::keyClick(dgView(), Qt::Key_F9);
    });
    Poll();
    EXPECT_TRUE(duringPoll);
    EXPECT_EQ(Count("SrcDocID = -1"), 1);  // the demo data's finished item 7
    dgView()->SetRow(1);
    QTest::keyClick(dgView(), Qt::Key_F9);
    EXPECT_EQ(Count("SrcDocID = -1 AND ID IN (2, 7)"), 2);
}

TEST_F(DatabaseViewTest, AFailedFinishStillPollsWithSound) {
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    tmrOrders()->start();
    ConfigurationSettings.FinishWholeOrder = false;
    // The current row names an item the order no longer has.
    dgView()->SetCellText(0, dgView()->ColumnIndex("Sum"), "9");
    dgView()->SetRow(0);
    window_->btnAction_Click(Button("Finish"));
    EXPECT_TRUE(ReadBytes(ErrorLogger().LogFileName()).contains("btnAction_Click"));
    EXPECT_TRUE(tmrOrders()->isActive());
    const int sounds = platform::SoundRequestCount();
    SqliteExec(db_, "UPDATE operations SET Qtty = 7 WHERE ID = 1");
    window_->tmrOrders_Timer();
    EXPECT_EQ(platform::SoundRequestCount(), sounds + 1);
}

TEST_F(DatabaseViewTest, ItemsThatCannotBeReadAreNotFinishedAsAnotherOrders) {
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    ASSERT_EQ(window_->GetItemsCount(), 3);
    // The orders still read, the items query no longer does.
    SqliteExec(db_, "ALTER TABLE goods RENAME COLUMN Measure1 TO Measure9");
    Poll();
    window_->SetActiveOrder(2);
    ConfigurationSettings.FinishWholeOrder = true;
    window_->btnAction_Click(Button("Finish"));
    EXPECT_EQ(Count("SrcDocID = 0 AND ID IN (1, 2, 3)"), 3);  // order 1 stays open
    EXPECT_EQ(dgView()->Rows(), 0);
    EXPECT_EQ(window_->GetItemsCount(), 0);
}

TEST_F(DatabaseViewTest, StoredTimesOfEveryFormAreRead) {
    // Fractions of any length, the "T" form and a zone, as other programs
    // write them into the file.
    SqliteExec(db_, "UPDATE operations SET UserRealTime = '2026-12-08T12:05:00.5' WHERE ID = 4");
    SqliteExec(db_,
               "UPDATE operations SET UserRealTime = '2026-12-08 12:06:00.123456' WHERE ID = 5");
    SqliteExec(db_, "UPDATE operations SET UserRealTime = '2026-12-08T10:00:00Z' WHERE ID = 1");
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    ASSERT_EQ(window_->GetItemsCount(), 3);
    EXPECT_EQ(window_->OrderItems()[0].UserRealTime,
              QDateTime(QDate(2026, 12, 8), QTime(10, 0), Qt::UTC).toLocalTime());
    window_->btnAction_Click(Button("Next"));
    ASSERT_EQ(window_->GetItemsCount(), 2);
    EXPECT_EQ(window_->OrderItems()[0].UserRealTime,
              QDateTime(QDate(2026, 12, 8), QTime(12, 5, 0, 500)));
    EXPECT_EQ(window_->OrderItems()[1].UserRealTime,
              QDateTime(QDate(2026, 12, 8), QTime(12, 6, 0, 123)));
    EXPECT_EQ(dgView()->Rows(), 2);
    const int sounds = platform::SoundRequestCount();
    window_->RefreshOrders();
    window_->RefreshOrders();
    EXPECT_EQ(platform::SoundRequestCount(), sounds);

    // MariaDB's zero date, which its default mode accepts, is no time: the
    // waiting time counts from the order's other item.
    UseMySql();
    Exec("UPDATE operations SET UserRealTime = '0000-00-00 00:00:00' WHERE ID = 5");
    Poll(MainWindow::PollTag::InitForm);
    for (int i = 0; i < window_->OrderHeaders().size(); ++i)
        if (window_->OrderHeaders()[i].ObjName == "Маса 12")
            window_->SetActiveOrder(int16_t(i + 1));
    window_->LoadOrderItems();
    ASSERT_EQ(window_->GetItemsCount(), 2);
    EXPECT_FALSE(window_->OrderItems()[1].UserRealTime.isValid());
    EXPECT_EQ(dgView()->CellText(1, "Lot"), "");
    window_->tmrPassedTime_Timer();
    EXPECT_EQ(lblPassedTime()->text(), "00:15:00");
}

TEST_F(DatabaseViewTest, AnItemThatCannotBeReadLeavesNoOtherOrderOnShow) {
    SqliteExec(db_, "UPDATE operations SET UserRealTime = 'скоро' WHERE ID = 5");
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    ASSERT_EQ(dgView()->Rows(), 3);
    window_->btnAction_Click(Button("Next"));
    // Table 12 is named everywhere, with none of table 1's items.
    EXPECT_EQ(lblOrdersStatus()->text(), "2 / 3");
    EXPECT_TRUE(tbDbOrder()->toPlainText().contains("Маса 12"));
    EXPECT_EQ(dgView()->Rows(), 0);
    EXPECT_EQ(window_->GetItemsCount(), 0);
    const int sounds = platform::SoundRequestCount();
    ConfigurationSettings.FinishWholeOrder = true;
    QTest::keyClick(dgView(), Qt::Key_F9);
    window_->RefreshOrders();
    EXPECT_EQ(platform::SoundRequestCount(), sounds);
    EXPECT_EQ(Count("SrcDocID = -1"), 1);  // the demo data's finished item 7
    EXPECT_EQ(ReadBytes(ErrorLogger().LogFileName()).count("LoadOrderItems"), 1);
    EXPECT_TRUE(ReadBytes(ErrorLogger().LogFileName()).contains("operations.ID 5"));
}

TEST_F(DatabaseViewTest, AStoppedServerTimesOutAndTheBoardRecovers) {
    PrivateMySqlServer server;
    TempMySqlDatabase data(server.Server(), true);
    // The provider's 30 seconds, shortened for the test (the reset before the
    // next test brings them back).
    platform::SetProviderTimeout(2);
    DatabaseClass& d = Database();
    d.CloseConnection();
    d.SetConnectTo(kDbMySql);
    d.SetServerName(server.Server().ServerName());
    d.SetDatabaseName(data.Name());
    d.SetUser(server.Server().user);
    d.SetPassword(server.Server().password);
    ASSERT_TRUE(d.OpenConnection());
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    ASSERT_EQ(window_->GetOrdersCount(), 3);
    const int rows = dgView()->Rows();

    server.Stop();
    // A station that waits without limit is let go after a while, so that
    // the test fails instead of hanging.
    std::promise<void> done;
    std::thread watchdog([&server, finished = done.get_future()] {
        if (finished.wait_for(std::chrono::seconds(40)) == std::future_status::timeout)
            server.Continue();
    });
    const auto joinWatchdog = qScopeGuard([&] {
        done.set_value();
        watchdog.join();
    });
    guard_.reset();
    QString prompt;
    modal::WhenModal(
        [&prompt](QWidget* w) {
            if (auto* box = qobject_cast<MsgBoxExForm*>(w))
                prompt = box->Prompt();
            modal::PressResult(w, kMsgOk);
        },
        60000);
    QElapsedTimer clock;
    clock.start();
    window_->RefreshOrders();
    EXPECT_LT(clock.elapsed(), 35000);
    EXPECT_EQ(prompt, ResManager().GetResString("strDBConn"));
    EXPECT_TRUE(ReadBytes(ErrorLogger().LogFileName()).contains("Database.ExecuteScalar"));

    server.Continue();
    guard_ = std::make_unique<modal::NoModalWindow>();
    window_->RefreshOrders();
    EXPECT_EQ(window_->GetOrdersCount(), 3);
    EXPECT_EQ(dgView()->Rows(), rows);
}

TEST_F(DatabaseViewTest, AFileReplacedAtItsPathIsOpenedAfresh) {
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    ASSERT_EQ(window_->GetOrdersCount(), 3);
    // A sync tool writes a new copy, with a new order at table 2, and
    // renames it over the station's file.
    const QString copy = PathIn("pos.db.new");
    CreateSqliteDatabase(copy, true);
    SqliteExec(copy,
               "INSERT INTO operations (ID, GoodID, UserRealTime, PartnerID, ObjectID, OperatorID, "
               "SrcDocID, Opertype, Acct, Qtty, Note) VALUES (20, 1, '2026-12-08 12:15:00', 1, 2, "
               "2, 0, 33, 0, 1, '')");
    ASSERT_EQ(::rename(QFile::encodeName(copy).constData(), QFile::encodeName(db_).constData()), 0);
    // F9 on the items read from the old file finishes nothing in the new
    // one: the board shows the new file's orders first.
    ConfigurationSettings.FinishWholeOrder = true;
    QTest::keyClick(dgView(), Qt::Key_F9);
    EXPECT_EQ(window_->GetOrdersCount(), 4);
    EXPECT_EQ(Count("SrcDocID = -1"), 1);

    // A write the database refuses is shown, and logged once for the order.
    SqliteExec(db_,
               "CREATE TRIGGER refuse BEFORE UPDATE ON operations BEGIN SELECT RAISE(ABORT, "
               "'disk I/O error'); END");
    QTest::keyClick(dgView(), Qt::Key_F9);
    EXPECT_TRUE(window_->Panels(1)->text().contains("disk I/O error"));
    EXPECT_EQ(ReadBytes(ErrorLogger().LogFileName()).count("UPDATE operations"), 1);
    EXPECT_EQ(window_->GetOrdersCount(), 4);
    SqliteExec(db_, "DROP TRIGGER refuse");
    QTest::keyClick(dgView(), Qt::Key_F9);
    EXPECT_FALSE(window_->Panels(1)->text().contains("disk I/O error"));
    EXPECT_EQ(window_->GetOrdersCount(), 3);
    EXPECT_EQ(Count("SrcDocID = -1 AND ID IN (1, 2, 3, 7)"), 4);
}

TEST_F(DatabaseViewTest, TheItemsGridIsForLookingOnly) {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get(), 3000));
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    platform::DataGrid* grid = dgView();
    const int name = grid->ColumnIndex("Name");
    const QString before = grid->CellText(1, name);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(1, name)).center());
    EXPECT_EQ(grid->Row(), 1);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClicks(QApplication::focusWidget(), "xy");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(grid->CellText(1, name), before);
    EXPECT_EQ(grid->ActiveEditor(), nullptr);
}

TEST_F(DatabaseViewTest, TheActiveOrderFollowsAShrinkingList) {
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    window_->SetActiveOrder(3);
    SqliteExec(db_, "UPDATE operations SET SrcDocID = -1 WHERE ObjectID = 5");
    Poll();
    EXPECT_EQ(window_->GetOrdersCount(), 2);
    EXPECT_EQ(window_->ActiveOrder(), 2);
    SqliteExec(db_, "UPDATE operations SET SrcDocID = -1");
    Poll();
    EXPECT_EQ(window_->GetOrdersCount(), 0);
    EXPECT_EQ(window_->ActiveOrder(), 0);
    EXPECT_EQ(dgView()->Rows(), 0);
    window_->tmrPassedTime_Timer();
    EXPECT_EQ(lblPassedTime()->text(), "00:00:00");
}

TEST_F(DatabaseViewTest, GroupNamesAndTheStationsGroups) {
    QString code = "001xyz";
    EXPECT_EQ(window_->GetGroupNameByCode(code), QString("Кухня"));
    EXPECT_EQ(code, "001");
    QString missing = "999";
    EXPECT_EQ(window_->GetGroupNameByCode(missing), "");
}

TEST_F(DatabaseViewTest, StartWithOneOperatorLogsInAndNamesTheGroups) {
    SqliteExec(db_, "UPDATE operations SET OperatorID = 1");
    SqliteExec(db_, "DELETE FROM users WHERE ID <> 1");
    window_->InitForm();
    EXPECT_EQ(Users().ActiveUser().ID(), 1);
    EXPECT_EQ(window_->GroupNamesText(), ResManager().GetResString("strAll"));
    EXPECT_EQ(window_->btnAction(7)->Tag(), "Refresh");
    // Objects of codes 1 to 99 only: the bar (code 101) is another station's.
    EXPECT_EQ(window_->GetOrdersCount(), 2);
    // The box keeps lines, not line ends: each CR LF of the header is one
    // break, and the labels are padded to twelve characters.
    EXPECT_EQ(tbDbOrder()->toPlainText(),
              QString("Всички\nОператор:   Сервиз\nМаса:       Маса 1"));

    ConfigurationSettings.GoodsGroups = "001|002";
    window_->InitForm();
    EXPECT_EQ(window_->GroupNamesText(), QString("Кухня, Бар"));
}

// The board's database on SQLite (false) and on the MariaDB server (true).
class DatabaseViewDialectTest : public DatabaseViewTest,
                                public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        DatabaseViewTest::SetUp();
        if (GetParam())
            UseMySql();
    }
};
INSTANTIATE_TEST_SUITE_P(Databases, DatabaseViewDialectTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "MariaDB" : "SQLite"; });

TEST_P(DatabaseViewDialectTest, FinishWritesOnlyTheActiveOrdersRows) {
    // A "no partner" row with the key 0, and an order of two items at table 2
    // for it, beside the open orders of the other tables.
    Exec("INSERT INTO partners (ID, Company) VALUES (3, 'Без партньор')");
    Exec("UPDATE partners SET ID = 0 WHERE ID = 3");
    Exec(
        "INSERT INTO operations (ID, GoodID, UserRealTime, PartnerID, ObjectID, OperatorID, "
        "SrcDocID, Opertype, Acct, Qtty, Note) VALUES (30, 1, '2026-12-08 12:12:00', 0, 2, 3, 0, "
        "33, 0, 1, ''), (31, 2, '2026-12-08 12:13:00', 0, 2, 3, 0, 33, 0, 4, 'за вкъщи')");
    window_->SetActiveOrder(1);
    Poll(MainWindow::PollTag::InitForm);
    ASSERT_EQ(window_->GetOrdersCount(), 4);
    int16_t zero = 0;
    for (int i = 0; i < window_->OrderHeaders().size(); ++i)
        if (window_->OrderHeaders()[i].PartID == 0)
            zero = int16_t(i + 1);
    ASSERT_GT(zero, 0);
    window_->btnAction_Click(Button("Last"));
    while (window_->ActiveOrder() > zero)
        window_->btnAction_Click(Button("Previous"));
    ASSERT_EQ(window_->ActiveOrder(), zero);
    EXPECT_EQ(dgView()->Rows(), 2);
    EXPECT_EQ(dgView()->CellText(1, "Comment"), "за вкъщи");

    ConfigurationSettings.FinishWholeOrder = false;
    dgView()->SetRow(1);
    window_->btnAction_Click(Button("Finish"));
    EXPECT_EQ(Count("SrcDocID = -1 AND ID IN (7, 31)"), 2);
    EXPECT_EQ(Count("SrcDocID = -1"), 2);

    ConfigurationSettings.FinishWholeOrder = true;
    EXPECT_EQ(window_->GetItemsCount(), 1);
    window_->btnAction_Click(Button("Finish"));
    EXPECT_EQ(Count("SrcDocID = -1 AND ID IN (7, 30, 31)"), 3);
    EXPECT_EQ(Count("SrcDocID = 0"), 6);  // every other table's items are still open
    EXPECT_EQ(window_->GetOrdersCount(), 3);
}
