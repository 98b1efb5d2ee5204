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
#include "board/BoardTestAccess.h"
#include "board/DatabaseBoard.h"
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

// An order of one item at table 2, which the demo data does not have.
const char* const kNewOrder =
    "INSERT INTO operations (ID, GoodID, UserRealTime, PartnerID, ObjectID, OperatorID, "
    "SrcDocID, Opertype, Acct, Qtty, Note) VALUES (20, 1, '2026-12-08 12:15:00', 1, 2, 2, 0, 33, "
    "0, 1, '')";

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
    // Waits for the answers of the requests under way (the database worker's
    // thread reads and writes); fails the test when they do not come.
    void Settle() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !database().PollBusy(); }, 60000))
            << "the database worker did not answer";
    }
    void Poll(DatabaseBoard::PollTag tag = DatabaseBoard::PollTag::Timer) {
        BoardTestAccess::tmrOrders_Timer(*window_, tag);
        Settle();
    }
    // An action button pressed, and its database work done.
    void Press(const char* tag) {
        window_->btnAction_Click(Button(tag));
        Settle();
    }
    // A key pressed at the items grid, and its database work done.
    void Key(Qt::Key key) {
        QTest::keyClick(dgView(), key);
        Settle();
    }
    int Button(const char* tag) { return window_->GetActionButtonIndex(tag); }
    DatabaseBoard& database() { return BoardTestAccess::Database(*window_); }
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
    QTimer* tmrOrders() { return database().findChild<QTimer*>(QStringLiteral("tmrOrders")); }
    // Moves the board to a database of the same data on the MariaDB server.
    void UseMySql() {
        mysql_ = std::make_unique<TempMySqlDatabase>(true);
        UseServer(mysql_->Server(), mysql_->Name());
    }
    void UseServer(const MySqlTestServer& server, const QString& database) {
        DatabaseClass& d = Database();
        d.CloseConnection();
        d.SetConnectTo(kDbMySql);
        d.SetServerName(server.ServerName());
        d.SetDatabaseName(database);
        d.SetUser(server.user);
        d.SetPassword(server.password);
        ASSERT_TRUE(d.OpenConnection());
    }
    // Runs statements on the board's database, outside the board.
    void Exec(const QString& sql) {
        if (mysql_)
            mysql_->Exec(sql);
        else
            SqliteExec(db_, sql);
    }
    // Read through the program's own connection, opened afresh when the
    // file it was on has been replaced.
    int32_t Count(const QString& where) {
        if (!Database().IsConnected())
            Database().OpenConnection();
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
    Poll(DatabaseBoard::PollTag::InitForm);
    EXPECT_EQ(platform::SoundRequestCount(), sounds);
    ASSERT_EQ(window_->GetOrdersCount(), 3);
    EXPECT_EQ(window_->ActiveOrder(), 1);
    // Order 1: table 1, waiter 2, items 1 to 3 in row order.
    ASSERT_EQ(database().GetItemsCount(), 3);
    EXPECT_EQ(database().OrderItems()[0].ID, 1);
    EXPECT_EQ(database().OrderItems()[1].Note, "добре опечени");
    EXPECT_EQ(dgView()->Rows(), 3);
    EXPECT_EQ(dgView()->CellText(1, "Sum"), "1");
    EXPECT_TRUE(tbDbOrder()->toPlainText().contains("Иван Петров"));
    BoardTestAccess::tmrPassedTime_Timer(*window_);
    EXPECT_EQ(lblPassedTime()->text(), "00:20:00");  // since 12:00:00
    EXPECT_EQ(lblPassedTime()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(DatabaseViewTest, ChangesPlayTheSoundAndFinishingDoesNot) {
    // Three portions of 0.1 kg: a sum that no decimal text of 15 digits holds.
    SqliteExec(db_, "UPDATE operations SET Qtty = 0.1 + 0.1 + 0.1 WHERE ID = 4");
    window_->SetActiveOrder(1);
    Poll(DatabaseBoard::PollTag::InitForm);
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
    Press("Finish");
    EXPECT_EQ(platform::SoundRequestCount(), sounds);
    EXPECT_EQ(window_->GetOrdersCount(), 3);
    EXPECT_EQ(
        Database().ExecuteScalar("SELECT COUNT(*) FROM operations WHERE SrcDocID = -1").ToLong(),
        4);
}

TEST_F(DatabaseViewTest, FinishingOneItemKeepsTheOrder) {
    window_->SetActiveOrder(1);
    Poll(DatabaseBoard::PollTag::InitForm);
    ConfigurationSettings.FinishWholeOrder = false;
    dgView()->SetRow(1);
    Press("Finish");
    EXPECT_EQ(Database().ExecuteScalar("SELECT SrcDocID FROM operations WHERE ID = 2").ToLong(),
              -1);
    EXPECT_EQ(Database().ExecuteScalar("SELECT SrcDocID FROM operations WHERE ID = 1").ToLong(), 0);
    EXPECT_EQ(database().GetItemsCount(), 2);
}

TEST_F(DatabaseViewTest, AFinishWhileAPollIsUnderWayWritesTheRowShownAtThePress) {
    window_->SetActiveOrder(1);
    Poll(DatabaseBoard::PollTag::InitForm);
    ConfigurationSettings.FinishWholeOrder = false;
    // The operator picks the second row and presses F9 while the timer's
    // poll is being read.
    dgView()->SetRow(1);
    BoardTestAccess::tmrOrders_Timer(*window_);
    ASSERT_TRUE(database().PollBusy());
    Key(Qt::Key_F9);
    EXPECT_EQ(Count("SrcDocID = -1"), 2);
    EXPECT_EQ(Count("SrcDocID = -1 AND ID IN (2, 7)"), 2);  // 7: the demo data's finished item
    EXPECT_EQ(database().GetItemsCount(), 2);
}

TEST_F(DatabaseViewTest, AFailedFinishStillPollsWithSound) {
    window_->SetActiveOrder(1);
    Poll(DatabaseBoard::PollTag::InitForm);
    tmrOrders()->start();
    ConfigurationSettings.FinishWholeOrder = false;
    // The current row names an item the order no longer has.
    dgView()->SetCellText(0, dgView()->ColumnIndex("Sum"), "9");
    dgView()->SetRow(0);
    Press("Finish");
    EXPECT_TRUE(ReadBytes(ErrorLogger().LogFileName()).contains("btnAction_Click"));
    EXPECT_TRUE(tmrOrders()->isActive());
    const int sounds = platform::SoundRequestCount();
    SqliteExec(db_, "UPDATE operations SET Qtty = 7 WHERE ID = 1");
    Poll();
    EXPECT_EQ(platform::SoundRequestCount(), sounds + 1);
}

TEST_F(DatabaseViewTest, ItemsThatCannotBeReadAreNotFinishedAsAnotherOrders) {
    window_->SetActiveOrder(1);
    Poll(DatabaseBoard::PollTag::InitForm);
    ASSERT_EQ(database().GetItemsCount(), 3);
    // The orders still read, the items query no longer does.
    SqliteExec(db_, "ALTER TABLE goods RENAME COLUMN Measure1 TO Measure9");
    Poll();
    window_->SetActiveOrder(2);
    ConfigurationSettings.FinishWholeOrder = true;
    Press("Finish");
    EXPECT_EQ(Count("SrcDocID = 0 AND ID IN (1, 2, 3)"), 3);  // order 1 stays open
    EXPECT_EQ(dgView()->Rows(), 0);
    EXPECT_EQ(database().GetItemsCount(), 0);
}

TEST_F(DatabaseViewTest, StoredTimesOfEveryFormAreRead) {
    // Fractions of any length, the "T" form and a zone, as other programs
    // write them into the file.
    SqliteExec(db_, "UPDATE operations SET UserRealTime = '2026-12-08T12:05:00.5' WHERE ID = 4");
    SqliteExec(db_,
               "UPDATE operations SET UserRealTime = '2026-12-08 12:06:00.123456' WHERE ID = 5");
    SqliteExec(db_, "UPDATE operations SET UserRealTime = '2026-12-08T10:00:00Z' WHERE ID = 1");
    window_->SetActiveOrder(1);
    Poll(DatabaseBoard::PollTag::InitForm);
    ASSERT_EQ(database().GetItemsCount(), 3);
    EXPECT_EQ(database().OrderItems()[0].UserRealTime,
              QDateTime(QDate(2026, 12, 8), QTime(10, 0), Qt::UTC).toLocalTime());
    window_->btnAction_Click(Button("Next"));
    ASSERT_EQ(database().GetItemsCount(), 2);
    EXPECT_EQ(database().OrderItems()[0].UserRealTime,
              QDateTime(QDate(2026, 12, 8), QTime(12, 5, 0, 500)));
    EXPECT_EQ(database().OrderItems()[1].UserRealTime,
              QDateTime(QDate(2026, 12, 8), QTime(12, 6, 0, 123)));
    EXPECT_EQ(dgView()->Rows(), 2);
    const int sounds = platform::SoundRequestCount();
    database().RefreshOrders();
    database().RefreshOrders();
    Settle();
    EXPECT_EQ(platform::SoundRequestCount(), sounds);

    // MariaDB's zero date, which its default mode accepts, is no time: the
    // waiting time counts from the order's other item.
    UseMySql();
    Exec("UPDATE operations SET UserRealTime = '0000-00-00 00:00:00' WHERE ID = 5");
    Poll(DatabaseBoard::PollTag::InitForm);
    for (int i = 0; i < database().OrderHeaders().size(); ++i)
        if (database().OrderHeaders()[i].ObjName == "Маса 12")
            window_->SetActiveOrder(int16_t(i + 1));
    BoardTestAccess::LoadOrderItems(*window_);
    ASSERT_EQ(database().GetItemsCount(), 2);
    EXPECT_FALSE(database().OrderItems()[1].UserRealTime.isValid());
    EXPECT_EQ(dgView()->CellText(1, "Lot"), "");
    BoardTestAccess::tmrPassedTime_Timer(*window_);
    EXPECT_EQ(lblPassedTime()->text(), "00:15:00");
}

TEST_F(DatabaseViewTest, ItemsWithUnreadableTextsAreShownAndFinished) {
    // Times and a quantity stored as texts the station does not read, in
    // every order.
    SqliteExec(db_,
               "UPDATE operations SET UserRealTime = '08.12.2026 12:00:00' WHERE ID = 1;"
               "UPDATE operations SET UserRealTime = '12/08/2026 12:00 PM' WHERE ID = 2;"
               "UPDATE operations SET UserRealTime = 'garbage' WHERE ID = 4;"
               "UPDATE operations SET UserRealTime = '' WHERE ID = 5;"
               "UPDATE operations SET Qtty = 'две' WHERE ID = 6;");
    window_->SetActiveOrder(1);
    Poll(DatabaseBoard::PollTag::InitForm);
    ASSERT_EQ(window_->GetOrdersCount(), 3);
    ConfigurationSettings.FinishWholeOrder = true;
    // Each order in turn shows all its items and is finished: its rows and
    // only its rows are set, whatever the others hold.
    const QStringList orders = {"1, 2, 3", "4, 5", "6"};
    int finished = 1;  // the demo data's item 7
    for (const QString& ids : orders) {
        const int rows = int(ids.split(',').size());
        ASSERT_EQ(dgView()->Rows(), rows) << ids.toStdString();
        if (ids == "6") {
            EXPECT_EQ(dgView()->CellText(0, "Quantity"), "две");
        }
        database().RefreshOrders();
        Settle();
        Key(Qt::Key_F9);
        finished += rows;
        EXPECT_EQ(Count("SrcDocID = -1 AND ID IN (" + ids + ")"), rows) << ids.toStdString();
        EXPECT_EQ(Count("SrcDocID = -1"), finished) << ids.toStdString();
    }
    EXPECT_EQ(window_->GetOrdersCount(), 0);
    // Each item that did not read is logged once, however often it was shown.
    const QByteArray log = ReadBytes(ErrorLogger().LogFileName());
    for (const char* id :
         {"operations.ID 2,", "operations.ID 4,", "operations.ID 5,", "operations.ID 6,"})
        EXPECT_EQ(log.count(id), 1) << id;
}

TEST_F(DatabaseViewTest, AStoppedServerNeverHoldsUpTheBoard) {
    PrivateMySqlServer server;
    TempMySqlDatabase data(server.Server(), true);
    UseServer(server.Server(), data.Name());
    window_->SetActiveOrder(1);
    Poll(DatabaseBoard::PollTag::InitForm);
    ASSERT_EQ(window_->GetOrdersCount(), 3);
    const QString status = window_->Panels(1)->text();

    server.Stop();
    // The server goes on again after a while whatever the board does, so
    // that a board that waits for it fails the test instead of hanging it.
    std::promise<void> done;
    std::thread watchdog([&server, finished = done.get_future()] {
        if (finished.wait_for(std::chrono::seconds(90)) == std::future_status::timeout)
            server.Continue();
    });
    const auto joinWatchdog = qScopeGuard([&] {
        server.Continue();
        done.set_value();
        watchdog.join();
    });
    // The timer's poll meets the stopped server; meanwhile the operator
    // steps through the orders, a key every 100 ms, each answered at once.
    QTimer::singleShot(0, window_.get(), [&] { BoardTestAccess::tmrOrders_Timer(*window_); });
    qint64 longest = 0;
    int presses = 0, unanswered = 0;
    QElapsedTimer sinceLast;
    sinceLast.start();
    QTimer keys;
    keys.setInterval(100);
    QObject::connect(&keys, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceLast.restart());
        const int16_t before = window_->ActiveOrder();
        QTest::keyClick(dgView(), presses++ % 2 ? Qt::Key_Left : Qt::Key_Right);
        if (window_->ActiveOrder() == before)
            ++unanswered;
    });
    keys.start();
    const QString lost = ResManager().GetResString("strDBConn");
    EXPECT_TRUE(QTest::qWaitFor([&] { return window_->Panels(1)->text() == lost; }, 10000))
        << "the board did not say within 10 s that the database does not answer";
    const int reported = presses;
    EXPECT_TRUE(QTest::qWaitFor([&] { return presses >= reported + 10; }, 10000));
    keys.stop();
    longest = std::max(longest, sinceLast.elapsed());
    RecordProperty("LongestUnansweredMs", int(longest));
    std::printf("the board answered every key within %lld ms\n", longest);
    EXPECT_LT(longest, 1000) << "the board did not answer for " << longest << " ms";
    EXPECT_EQ(unanswered, 0);
    EXPECT_EQ(ReadBytes(ErrorLogger().LogFileName()).count("did not answer"), 1);

    // Once the server runs again the poll under way is answered: the board
    // says nothing more of the database and shows what it holds.
    server.Continue();
    Settle();
    EXPECT_EQ(window_->Panels(1)->text(), status);
    data.Exec(kNewOrder);
    Poll();
    EXPECT_EQ(window_->GetOrdersCount(), 4);
    EXPECT_EQ(ReadBytes(ErrorLogger().LogFileName()).count("did not answer"), 1);
}

TEST_F(DatabaseViewTest, TheBoardComesBackBehindTheConnectionBox) {
    guard_.reset();
    // The database goes; the poll that meets it asks the operator, who is
    // not there. Behind the box the database comes back, with a new order,
    // and the next poll shows it.
    const auto lostAndBack = [&](const std::function<void()>& lose,
                                 const std::function<void()>& bring) {
        window_->SetActiveOrder(1);
        Poll(DatabaseBoard::PollTag::InitForm);
        ASSERT_EQ(window_->GetOrdersCount(), 3);
        lose();
        bool asked = false, shownBehindBox = false;
        QString prompt;
        modal::WhenModal(
            [&](QWidget* box) {
                asked = true;
                if (auto* b = qobject_cast<MsgBoxExForm*>(box))
                    prompt = b->Prompt();
                bring();
                BoardTestAccess::tmrOrders_Timer(*window_);
                shownBehindBox = QTest::qWaitFor(
                    [&] { return !database().PollBusy() && window_->GetOrdersCount() == 4; },
                    30000);
                modal::PressResult(box, kMsgOk);
            },
            120000);
        BoardTestAccess::tmrOrders_Timer(*window_);
        EXPECT_TRUE(QTest::qWaitFor([&] { return asked && !database().PollBusy(); }, 60000));
        EXPECT_EQ(prompt, ResManager().GetResString("strDBConn"));
        EXPECT_TRUE(shownBehindBox) << "no poll ran behind the box";
        EXPECT_EQ(window_->Panels(1)->text(), "");
    };

    // The SQLite file is deleted and put back.
    const QString saved = PathIn("pos.db.saved");
    lostAndBack(
        [&] {
            ASSERT_TRUE(QFile::copy(db_, saved));
            ASSERT_TRUE(QFile::remove(db_));
        },
        [&] {
            SqliteExec(saved, kNewOrder);
            QFile::copy(saved, db_);
        });

    // The MariaDB server is killed and started again.
    PrivateMySqlServer server;
    TempMySqlDatabase data(server.Server(), true);
    UseServer(server.Server(), data.Name());
    lostAndBack([&] { server.Kill(); },
                [&] {
                    server.Restart();
                    data.Exec(kNewOrder);
                });
}

TEST_F(DatabaseViewTest, AFinishAfterTheFileWasReplacedFinishesTheOrderStillShown) {
    window_->SetActiveOrder(1);
    Poll(DatabaseBoard::PollTag::InitForm);
    ASSERT_EQ(window_->GetOrdersCount(), 3);
    // A sync tool writes a new copy and renames it over the station's file.
    const QString copy = PathIn("pos.db.new");
    const auto replace = [&](const QString& sql) {
        CreateSqliteDatabase(copy, true);
        SqliteExec(copy, sql);
        ASSERT_EQ(::rename(QFile::encodeName(copy).constData(), QFile::encodeName(db_).constData()),
                  0);
    };
    replace(kNewOrder);
    // F9 on the items read from the old file: the order still shown once
    // the new file is read (table 1) is finished there, its rows and no other.
    ConfigurationSettings.FinishWholeOrder = true;
    Key(Qt::Key_F9);
    EXPECT_EQ(Count("SrcDocID = -1"), 4);
    EXPECT_EQ(Count("SrcDocID = -1 AND ID IN (1, 2, 3, 7)"), 4);
    EXPECT_EQ(window_->GetOrdersCount(), 3);
    EXPECT_EQ(window_->Panels(1)->text(), "");

    // A copy of the demo data in which the order shown (table 3) is gone:
    // nothing is written, and the status bar says so.
    replace("UPDATE operations SET SrcDocID = -1 WHERE ObjectID = 3");
    Key(Qt::Key_F9);
    EXPECT_EQ(window_->Panels(1)->text(), ResManager().GetResString("strBoardChanged"));
    EXPECT_EQ(Count("SrcDocID = -1"), 3);  // 4 and 5 by the copy, and 7
    EXPECT_EQ(database().OrderHeaders().value(0).ObjID, 1);
    EXPECT_EQ(window_->GetOrdersCount(), 2);

    // A write the database refuses is shown, and logged once for the order.
    SqliteExec(db_,
               "CREATE TRIGGER refuse BEFORE UPDATE ON operations BEGIN SELECT RAISE(ABORT, "
               "'disk I/O error'); END");
    Key(Qt::Key_F9);
    EXPECT_TRUE(window_->Panels(1)->text().contains("disk I/O error"));
    EXPECT_EQ(ReadBytes(ErrorLogger().LogFileName()).count("UPDATE operations"), 1);
    EXPECT_EQ(window_->GetOrdersCount(), 2);
    SqliteExec(db_, "DROP TRIGGER refuse");
    Key(Qt::Key_F9);
    EXPECT_FALSE(window_->Panels(1)->text().contains("disk I/O error"));
    EXPECT_EQ(window_->GetOrdersCount(), 1);
    EXPECT_EQ(Count("SrcDocID = -1 AND ID IN (1, 2, 3, 4, 5, 7)"), 6);
}

TEST_F(DatabaseViewTest, TheItemsGridIsForLookingOnly) {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get(), 3000));
    window_->SetActiveOrder(1);
    Poll(DatabaseBoard::PollTag::InitForm);
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
    Poll(DatabaseBoard::PollTag::InitForm);
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
    BoardTestAccess::tmrPassedTime_Timer(*window_);
    EXPECT_EQ(lblPassedTime()->text(), "00:00:00");
}

TEST_F(DatabaseViewTest, GroupNamesAndTheStationsGroups) {
    QString code = "001xyz";
    EXPECT_EQ(BoardTestAccess::GetGroupNameByCode(*window_, code), QString("Кухня"));
    EXPECT_EQ(code, "001");
    QString missing = "999";
    EXPECT_EQ(BoardTestAccess::GetGroupNameByCode(*window_, missing), "");
}

TEST_F(DatabaseViewTest, StartWithOneOperatorLogsInAndNamesTheGroups) {
    SqliteExec(db_, "UPDATE operations SET OperatorID = 1");
    SqliteExec(db_, "DELETE FROM users WHERE ID <> 1");
    window_->InitForm();
    Settle();
    EXPECT_EQ(Users().ActiveUser().ID(), 1);
    EXPECT_EQ(database().GroupNamesText(), ResManager().GetResString("strAll"));
    EXPECT_EQ(window_->btnAction(7)->Tag(), "Refresh");
    // Objects of codes 1 to 99 only: the bar (code 101) is another station's.
    EXPECT_EQ(window_->GetOrdersCount(), 2);
    // The box keeps lines, not line ends: each CR LF of the header is one
    // break, and the labels are padded to twelve characters.
    EXPECT_EQ(tbDbOrder()->toPlainText(),
              QString("Всички\nОператор:   Сервиз\nМаса:       Маса 1"));

    ConfigurationSettings.GoodsGroups = "001|002";
    window_->InitForm();
    Settle();
    EXPECT_EQ(database().GroupNamesText(), QString("Кухня, Бар"));
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
                         [](const auto& test) { return test.param ? "MariaDB" : "SQLite"; });

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
    Poll(DatabaseBoard::PollTag::InitForm);
    ASSERT_EQ(window_->GetOrdersCount(), 4);
    int16_t zero = 0;
    for (int i = 0; i < database().OrderHeaders().size(); ++i)
        if (database().OrderHeaders()[i].PartID == 0)
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
    Press("Finish");
    EXPECT_EQ(Count("SrcDocID = -1 AND ID IN (7, 31)"), 2);
    EXPECT_EQ(Count("SrcDocID = -1"), 2);

    ConfigurationSettings.FinishWholeOrder = true;
    EXPECT_EQ(database().GetItemsCount(), 1);
    Press("Finish");
    EXPECT_EQ(Count("SrcDocID = -1 AND ID IN (7, 30, 31)"), 3);
    EXPECT_EQ(Count("SrcDocID = 0"), 6);  // every other table's items are still open
    EXPECT_EQ(window_->GetOrdersCount(), 3);
}
