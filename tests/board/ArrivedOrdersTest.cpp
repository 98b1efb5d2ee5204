#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QFile>
#include <QRegularExpression>

#include "board/ArrivalsStore.h"
#include "board/ArrivedOrders.h"
#include "board/BoardLayout.h"
#include "common/TestNet.h"
#include "common/TestSupport.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/Runtime.h"

namespace {
QString Datagram(const QString& seq6, const QString& sender, const QString& text) {
    return seq6 + '|' + sender + '\t' + text;
}
}  // namespace

TEST(OrderDatagram, FieldsAndShortOrBrokenDatagrams) {
    const auto d = ParseOrderDatagram(Datagram("000012", "Bar-1", "2 x Soup\r\n1 x Bread"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->Sequence, 12);
    EXPECT_EQ(d->Sender, "Bar-1");
    EXPECT_EQ(d->Text, "2 x Soup\r\n1 x Bread");

    EXPECT_FALSE(ParseOrderDatagram(QString(19, 'x')));
    const auto empty = ParseOrderDatagram("000001|\t123456789012");  // TAB at position 8
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Sender, "");
    EXPECT_EQ(empty->Text, "123456789012");
    EXPECT_FALSE(ParseOrderDatagram("00001\t|sender order text"));  // TAB before position 8
    EXPECT_FALSE(ParseOrderDatagram("000001|sender and no tab at all"));
    const auto junk = ParseOrderDatagram(Datagram("ab12cd", "s", "text long enough"));
    ASSERT_TRUE(junk);
    EXPECT_EQ(junk->Sequence, 0);  // never accepted
    EXPECT_EQ(ParseOrderDatagram(Datagram("  2.5 ", "s", "text long enough"))->Sequence, 2);
    EXPECT_EQ(ParseOrderDatagram(Datagram("&H10  ", "s", "text long enough"))->Sequence, 0);
}

TEST(UdpSenders, SequenceRulesPerSender) {
    UdpSenderTable t;
    EXPECT_TRUE(t.Accept("a", 5));
    EXPECT_FALSE(t.Accept("a", 5));
    EXPECT_FALSE(t.Accept("a", 4));
    EXPECT_TRUE(t.Accept("a", 6));
    EXPECT_TRUE(t.Accept("a", 1));  // the terminal restarted
    EXPECT_FALSE(t.Accept("a", 1));
    EXPECT_TRUE(t.Accept("a", 2));
    EXPECT_TRUE(t.Accept("b", 1));  // its own numbers
    EXPECT_TRUE(t.Accept("b", 2));
    EXPECT_FALSE(t.Accept("A", 0));
    EXPECT_FALSE(t.Accept("c", -3));
}

TEST(UdpSenders, NamelessAndManySendersKeepTheirOwnNumbers) {
    UdpSenderTable t;
    EXPECT_TRUE(t.Accept("", 7));
    EXPECT_TRUE(t.Accept("b", 3));  // not mixed up with the nameless sender
    EXPECT_FALSE(t.Accept("", 7));
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(t.Accept(QString("t%1").arg(i), 1)) << i;
    EXPECT_EQ(t.Count(), 42);
}

TEST(UdpSenders, AFullTableMakesRoomForANewSenderAndLongNamesCostLittle) {
    UdpSenderTable t;
    for (int i = 0; i < 5000; ++i)
        EXPECT_FALSE(t.Accept(QString("junk%1").arg(i), 0));  // never an order: no slot
    EXPECT_EQ(t.Count(), 0);
    for (int i = 0; i < UdpSenderTable::kMaxSenders; ++i)
        ASSERT_TRUE(t.Accept(QString("t%1").arg(i), 5)) << i;
    EXPECT_FALSE(t.Accept("t0", 5));  // heard again: now the most recent
    EXPECT_TRUE(t.Accept("newcomer", 1));
    EXPECT_EQ(t.Count(), UdpSenderTable::kMaxSenders);
    EXPECT_FALSE(t.Accept("t0", 5));  // kept its number
    EXPECT_TRUE(t.Accept("t1", 5));   // gave way: starts anew

    // Names of 65,000 characters, each one a sender of its own.
    UdpSenderTable names;
    const qint64 before = ResidentBytes();
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(names.Accept(QString(65000, 'n') + QString::number(i), 1)) << i;
    EXPECT_LT(ResidentBytes() - before, 8 << 20);
    EXPECT_FALSE(names.Accept(QString(65000, 'n') + "7", 1));
    EXPECT_TRUE(names.Accept(QString(65000, 'n') + "7", 2));
}

TEST(AgeText, ElapsedTimeAndColours) {
    const double start = 40716.5;
    const double second = 1.0 / 86400;
    EXPECT_EQ(FormatElapsedTime(start, start + 599 * second), "00:09:59");
    EXPECT_EQ(FormatElapsedTime(start, start + 600 * second), "00:10:00");
    EXPECT_EQ(FormatElapsedTime(start, start - 1), "00:00:00");  // clock set back
    EXPECT_EQ(FormatElapsedTime(start, start + 4.5), "108:00:00");
    EXPECT_EQ(AgeColour("00:09:59", true), QColor(0, 0, 0));
    EXPECT_EQ(AgeColour("00:10:00", true), QColor(255, 0, 0));
    EXPECT_EQ(AgeColour("01:00:00", true), QColor(255, 0, 0));
    EXPECT_EQ(AgeColour("05:00:00", false), QColor(128, 128, 128));
}

TEST(Panels, WindowOverTheOrders) {
    auto r = ComputePanelRange(10, 3, 10, 2);
    EXPECT_EQ(r.first, 7);
    EXPECT_EQ(r.last, 9);
    r = ComputePanelRange(10, 3, 10, 0);
    EXPECT_EQ(r.first, 9);
    EXPECT_EQ(r.last, 9);
    r = ComputePanelRange(10, 3, 1, 0);
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(r.last, 2);
    r = ComputePanelRange(2, 3, 1, -1);
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(r.last, 1);
    r = ComputePanelRange(0, 3, 0, -1);
    EXPECT_GT(r.first, r.last);
    // After a Clear: the panel that shows the active order.
    EXPECT_EQ(PanelOfActiveOrder(4, 4, 2, 0), 1);  // 5 orders became 4: all fit again
    EXPECT_EQ(PanelOfActiveOrder(9, 3, 8, 2), 2);  // the window moved with the order
    EXPECT_EQ(PanelOfActiveOrder(9, 3, 2, 2), 1);  // the window met the first order
    EXPECT_EQ(PanelOfActiveOrder(3, 4, 1, -1), 0);
    EXPECT_EQ(PanelOfActiveOrder(0, 4, 0, 0), -1);
}

class BackupFileTest : public TempAppDataTest {
protected:
    QString File() const { return PathIn("BackUp.log"); }
};

TEST_F(BackupFileTest, EveryLineComesBackAsItWent) {
    QList<ArrivedOrder> orders = {
        {"Table 4\r\n2 x Soup\r\n  1 x Bread", 40716.25, true},
        {"Маса 7\r\nКафе", 40716.5, false},
        {QString(600, 'L'), 40717.125, true},
        {"\tTable 5 \n\"2 x Soup\"\r'Bread'\r\n \n\n\r\r\nend\t", 40717.5, true},
        {"\"", 40718, true},
        {"", 40718, false}};
    ASSERT_TRUE(SaveAllArrivalsBackupFile(File(), orders));
    const QByteArray bytes = ReadBytes(File());
    // Ordinary rows are stored as they always were; the count and the new
    // flag have a width of their own, which a reader does not see.
    EXPECT_TRUE(
        bytes.startsWith("[OrdersCount]\r\nValue=6         \r\n[Order_00]\r\nRow_000=Table 4\r\n"
                         "Row_001=2 x Soup\r\nRow_002=\"  1 x Bread\"\r\nRows=3\r\nTime="));
    EXPECT_EQ(platform::IniRead(File(), "OrdersCount", "Value", 255), "6");
    EXPECT_EQ(platform::IniRead(File(), "Order_01", "IsNew", 255), "0");
    EXPECT_TRUE(bytes.contains("IsNew=-1\r\nBreaks=WW\r\n[Order_01]"));

    auto loaded = LoadArrivalsBackupFile(File());
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->size(), orders.size());
    for (int i = 0; i < orders.size(); ++i) {
        EXPECT_EQ((*loaded)[i].Text, orders[i].Text) << i;
        EXPECT_DOUBLE_EQ((*loaded)[i].ArrivalTime, orders[i].ArrivalTime);
        EXPECT_EQ((*loaded)[i].IsNew, orders[i].IsNew);
    }

    // A backup of the earlier format: rows joined with CR LF.
    WriteBytes(File(),
               "[OrdersCount]\r\nValue=1\r\n[Order_00]\r\nRow_000=Table 4\r\nRow_001=Soup\r\n"
               "Rows=2\r\nTime=40716.25\r\nIsNew=0\r\n");
    loaded = LoadArrivalsBackupFile(File());
    ASSERT_TRUE(loaded);
    EXPECT_EQ((*loaded)[0].Text, "Table 4\r\nSoup");
    EXPECT_FALSE((*loaded)[0].IsNew);
}

TEST_F(BackupFileTest, AListOfAnyLengthComesBackWhole) {
    QList<ArrivedOrder> orders;
    for (int i = 0; i < 32800; ++i)
        orders.append({QString::number(i), 40716.25, i % 2 == 0});
    ASSERT_TRUE(SaveAllArrivalsBackupFile(File(), orders));
    const auto loaded = LoadArrivalsBackupFile(File());
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->size(), orders.size());
    EXPECT_EQ(loaded->last().Text, "32799");
    EXPECT_FALSE(loaded->last().IsNew);
}

// A clear moves the sections after the order up with numbers one lower, also
// where the numbers get shorter (Order_100 becomes Order_99): the file is the
// one of the shorter list, and a later finish and arrival land where they
// belong in it.
TEST_F(BackupFileTest, AClearRenumbersTheOrdersAfterItInTheFile) {
    QList<ArrivedOrder> orders;
    ArrivalsStore store(orders, File(), PathIn("history.txt"));
    for (int i = 0; i < 102; ++i)
        store.Add({QString("Table %1\r\nTea").arg(i), 46100.25 + i, true});
    ASSERT_TRUE(store.Flush());
    ASSERT_EQ(store.Clear(0), ArrivalsStore::ClearResult::Cleared);
    ASSERT_EQ(store.Clear(98), ArrivalsStore::ClearResult::Cleared);
    ASSERT_TRUE(store.Finish(98));
    store.Add({"Table 102\nSoup", 46300.5, true});
    ASSERT_TRUE(store.Flush());
    ASSERT_EQ(orders.size(), 101);
    EXPECT_EQ(orders[98].Text, "Table 100\r\nTea");
    EXPECT_EQ(ReadBytes(File()), BuildBackupFile(orders).Bytes);
}

TEST_F(BackupFileTest, AnOrderOfAnyNumberOfLinesComesBackWhole) {
    QStringList lines;
    for (int i = 0; i < 100000; ++i)
        lines << QString("%1 x Tea").arg(i);
    QList<ArrivedOrder> orders;
    {
        ArrivalsStore store(orders, File(), PathIn("history.txt"));
        store.Add({lines.join("\r\n"), 46100.25, true});
        ASSERT_TRUE(store.Flush());
    }
    QList<ArrivedOrder> restarted;
    ArrivalsStore store(restarted, File(), PathIn("history.txt"));
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(restarted[0].Text, orders[0].Text);
}

// The file cut at every byte, as a crash or a full disk may leave it: each
// order whose section is whole comes back as it was, each whose rows are all
// there comes back with every row, and the store writes back what it loaded.
TEST_F(BackupFileTest, ACutFileKeepsEveryOrderWhoseRowsAreThere) {
    QStringList rows;
    for (int i = 1; i <= 12; ++i)
        rows << QString("%1 x Soup").arg(i);
    const QList<ArrivedOrder> orders = {{"Table 1\r\nTea", 46100.25, false},
                                        {rows.join("\r\n"), 46100.5, true},
                                        {"Table 3\nBread", 46100.75, true}};
    const QByteArray bytes = BuildBackupFile(orders).Bytes;
    const QRegularExpression lineBreak("\r\n|\r|\n");
    for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
        WriteBytes(File(), bytes.left(cut));
        QList<ArrivedOrder> loaded;
        {
            ArrivalsStore store(loaded, File(), PathIn("history.txt"));
            store.Load();
        }
        const auto written = LoadArrivalsBackupFile(File()).value_or(QList<ArrivedOrder>());
        for (int i = 0; i < orders.size(); ++i) {
            const qsizetype start = bytes.indexOf('[' + BackupSectionName(i).toLatin1() + ']');
            const qsizetype rowsEnd = bytes.indexOf("\r\nRows=", start);
            const qsizetype next =
                bytes.indexOf('[' + BackupSectionName(i + 1).toLatin1() + ']', start);
            if (cut < rowsEnd)
                continue;
            ASSERT_GT(loaded.size(), i) << "cut at " << cut;
            ASSERT_GT(written.size(), i) << "cut at " << cut;
            EXPECT_EQ(loaded[i].Text.split(lineBreak), orders[i].Text.split(lineBreak))
                << "cut at " << cut;
            EXPECT_EQ(written[i].Text, loaded[i].Text) << "cut at " << cut;
            if (cut >= (next < 0 ? bytes.size() : next)) {
                EXPECT_EQ(loaded[i].Text, orders[i].Text) << "cut at " << cut;
                EXPECT_EQ(loaded[i].IsNew, orders[i].IsNew) << "cut at " << cut;
                EXPECT_DOUBLE_EQ(loaded[i].ArrivalTime, orders[i].ArrivalTime) << "cut at " << cut;
            }
        }
    }
}

TEST_F(BackupFileTest, BrokenOrMissingBackups) {
    EXPECT_FALSE(LoadArrivalsBackupFile(File()));
    WriteBytes(File(), "[OrdersCount]\r\nValue=0\r\n");
    EXPECT_FALSE(LoadArrivalsBackupFile(File()));
    WriteBytes(File(), "[OrdersCount]\r\nValue=99999999\r\n");
    EXPECT_FALSE(LoadArrivalsBackupFile(File()));
    // A count larger than its sections: the sections that exist are kept.
    WriteBytes(File(),
               "[OrdersCount]\r\nValue=5\r\n[Order_01]\r\nRow_000=x\r\nRows=1\r\nTime="
               "40716\r\nIsNew=0\r\n");
    auto loaded = LoadArrivalsBackupFile(File());
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->size(), 1);
    EXPECT_EQ((*loaded)[0].Text, "x");
    EXPECT_FALSE((*loaded)[0].IsNew);
    // Garbage in the values.
    WriteBytes(
        File(),
        "[OrdersCount]\r\nValue=1\r\n[Order_00]\r\nRows=zz\r\nTime=?\r\nIsNew=maybe\r\n\0\xff");
    loaded = LoadArrivalsBackupFile(File());
    ASSERT_TRUE(loaded);
    EXPECT_EQ((*loaded)[0].Text, "");
    EXPECT_TRUE((*loaded)[0].IsNew);
    // Truncated in the middle of a section.
    WriteBytes(File(), "[OrdersCount]\r\nValue=2\r\n[Order_00]\r\nRow_000=a\r\nRows=1\r\nTi");
    loaded = LoadArrivalsBackupFile(File());
    ASSERT_TRUE(loaded);
    EXPECT_EQ((*loaded)[0].Text, "a");
}

// A first start makes the file of the empty list, and the first order
// extends that file (the same inode) instead of making a new one.
TEST_F(BackupFileTest, AFirstStartMakesTheFileItsFirstOrderExtends) {
    QList<ArrivedOrder> orders;
    ArrivalsStore store(orders, File(), PathIn("history.txt"));
    EXPECT_FALSE(store.Load());
    EXPECT_EQ(ReadBytes(File()), BuildBackupFile({}).Bytes);
    struct stat made {
    }, extended{};
    ASSERT_EQ(::stat(QFile::encodeName(File()).constData(), &made), 0);
    store.Add({"Tea", 46100.25, true});
    ASSERT_TRUE(store.Flush());
    ASSERT_EQ(::stat(QFile::encodeName(File()).constData(), &extended), 0);
    EXPECT_EQ(extended.st_ino, made.st_ino);
    EXPECT_EQ(ReadBytes(File()), BuildBackupFile(orders).Bytes);
}

// Orders that wait for a save go to the disk, and their functions run, before
// a large order joins them; the large one is saved from the event loop.
TEST_F(BackupFileTest, WaitingOrdersAreSavedBeforeALargeOrderJoinsThem) {
    QList<ArrivedOrder> orders;
    ArrivalsStore store(orders, File(), PathIn("history.txt"));
    QStringList saved;
    store.Add({"Tea", 46100.25, true}, [&] { saved << "Tea"; });
    const QString large(ArrivalsStore::kLargeOrderCharacters, 'x');
    store.Add({large, 46100.25, true}, [&] { saved << "large"; });
    EXPECT_EQ(saved, QStringList{"Tea"});
    EXPECT_EQ(ReadBytes(File()), BuildBackupFile(orders.first(1)).Bytes);
    ASSERT_TRUE(PumpEventsUntil([&] { return saved.size() == 2; }));
    EXPECT_EQ(saved, QStringList({"Tea", "large"}));
    EXPECT_EQ(ReadBytes(File()), BuildBackupFile(orders).Bytes);
}

// An entry cut short (by a crash or a full disk) is not glued to the next.
TEST_F(BackupFileTest, AClearAfterACutHistoryEntryStartsOnANewLine) {
    // The entry's time is read at the Clear: a frozen clock gives the test the same one.
    rt::SetNow(QDateTime(QDate(2026, 12, 8), QTime(19, 0, 59)));
    const QString history = PathIn("history.txt");
    QList<ArrivedOrder> orders;
    ArrivalsStore store(orders, File(), history);
    for (const QByteArray& fragment : {QByteArray("Table 1\r\nSo"), QByteArray("Table 1\r")}) {
        const QByteArray cut = "Finish time: 19:00:00\r\n" + fragment;
        WriteBytes(history, cut);
        store.Add({"Table 2\r\nTea", 46100.25, true});
        ASSERT_EQ(store.Clear(0), ArrivalsStore::ClearResult::Cleared);
        const QByteArray entry = HistoryEntry(HistoryTimeText(), "Table 2\r\nTea");
        EXPECT_EQ(ReadBytes(history), cut + (cut.endsWith('\r') ? "\n" : "\r\n") + entry);
    }
}

// A file the store creates follows the umask, as any program's files do.
TEST_F(BackupFileTest, NewOrderFilesFollowTheUmask) {
    const QString history = PathIn("history.txt");
    for (const auto& [mask, mode] : {std::pair<mode_t, mode_t>{077, 0600}, {022, 0644}}) {
        QFile::remove(File());
        QFile::remove(history);
        const mode_t before = ::umask(mask);
        QList<ArrivedOrder> orders;
        {
            ArrivalsStore store(orders, File(), history);
            store.Add({"Tea", 46100.25, true});
            store.Add({"Soup", 46100.25, true});
            store.Clear(0);
        }
        ::umask(before);
        struct stat backupStat {
        }, historyStat{};
        ASSERT_EQ(::stat(QFile::encodeName(File()).constData(), &backupStat), 0);
        ASSERT_EQ(::stat(QFile::encodeName(history).constData(), &historyStat), 0);
        EXPECT_EQ(backupStat.st_mode & 0777, mode) << "umask " << std::oct << mask;
        EXPECT_EQ(historyStat.st_mode & 0777, mode) << "umask " << std::oct << mask;
    }
}

TEST_F(BackupFileTest, HistoryLines) {
    rt::SetNow(QDateTime(QDate(2026, 12, 8), QTime(20, 1, 2)));
    ASSERT_TRUE(AppendOrderHistoryFile(PathIn("history.txt"), "Table 1\r\nSoup"));
    ASSERT_TRUE(AppendOrderHistoryFile(PathIn("history.txt"), "Кафе"));
    EXPECT_EQ(ReadBytes(PathIn("history.txt")),
              "Finish time: 20:01:02\r\nTable 1\r\nSoup\r\n\r\nFinish time: "
              "20:01:02\r\n\xca\xe0\xf4\xe5\r\n\r\n");
    EXPECT_FALSE(AppendOrderHistoryFile(PathIn("no/folder/history.txt"), "x"));

    // The finish time follows the locale's time format.
    const QByteArray pinned = qgetenv("KESTRELLE_TIMEFORMAT");
    qputenv("KESTRELLE_TIMEFORMAT", "h.mm.ss' h'");
    const bool appended = AppendOrderHistoryFile(PathIn("local.txt"), "Tea");
    qputenv("KESTRELLE_TIMEFORMAT", pinned);
    ASSERT_TRUE(appended);
    EXPECT_EQ(ReadBytes(PathIn("local.txt")), "Finish time: 20.01.02 h\r\nTea\r\n\r\n");
}
