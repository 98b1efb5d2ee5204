#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <QFileInfo>
#include <new>
#include <stdexcept>

#include "common/TestSupport.h"
#include "core/BuildVersionClass.h"
#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"

class ErrorLogTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        ShortDateFormat = "dd.MM.yyyy";
        log_.SetLogFileName(PathIn("Error.log"));
        log_.SetBuildVersion("3.07.003");
        log_.SetBuildDate("22.06.2011");
        rt::SetNow(QDateTime(QDate(2011, 12, 7), QTime(14, 5, 9)));
    }
    ErrorController log_;
};

TEST_F(ErrorLogTest, BlockIsWrittenByteForByte) {
    log_.Add(1, -2147467259, "Cannot open", "Database.OpenConnection");
    const QByteArray expected =
        "User OS Version: \r\n"
        "Build version:   3.07.003 (build 22.06.2011)\r\n"
        "Date & Time:     07.12.2011 14:05:09\r\n"
        "Error code:      -2147467259\r\n"
        "Error message:   Cannot open\r\n"
        "Method Name:     Database.OpenConnection\r\n"
        "Type             System error\r\n"
        "--------------------------------------------------------------------\r\n"
        " \r\n"
        "\r\n";
    EXPECT_EQ(ReadBytes(PathIn("Error.log")), expected);
}

TEST_F(ErrorLogTest, TwoAddsAppendTwoBlocksAndTypesHaveTexts) {
    log_.Add(0, 1, "a", "M.a");
    log_.Add(7, 2, "b", "M.b");
    const QByteArray bytes = ReadBytes(PathIn("Error.log"));
    EXPECT_EQ(bytes.count("User OS Version: "), 2);
    EXPECT_EQ(bytes.count(QByteArray(68, '-') + "\r\n \r\n\r\n"), 2);
    EXPECT_TRUE(bytes.contains("Type             User error\r\n"));
    EXPECT_TRUE(bytes.contains("Type             Unkonown\r\n"));
    EXPECT_TRUE(bytes.endsWith("\r\n \r\n\r\n"));
    EXPECT_EQ(ErrorController::ErrorTypeText(2), "Other");
}

TEST_F(ErrorLogTest, EmptyTimeBecomesNowAndIsHandedBack) {
    QString when = "   ";
    log_.Add(1, 5, "m", "X.y", &when);
    EXPECT_EQ(when, "07.12.2011 14:05:09");
    QString given = "01.02.2010 03:04:05";
    log_.Add(1, 5, "m", "X.y", &given);
    EXPECT_TRUE(
        ReadBytes(PathIn("Error.log")).contains("Date & Time:     01.02.2010 03:04:05\r\n"));
}

TEST_F(ErrorLogTest, TheTimeTakenIsWrittenInTheLogsPatternWhateverTheLocaleReadsBack) {
    // A locale whose pattern would read the log's own text with day and month
    // swapped.
    const QByteArray pinned = qgetenv("KESTRELLE_SHORTDATE");
    qputenv("KESTRELLE_SHORTDATE", "MM.dd.yyyy");
    QString when;
    log_.Add(1, 5, "m", "X.y", &when);
    const QString history = log_.GetHistoryAll(true);
    qputenv("KESTRELLE_SHORTDATE", pinned);
    EXPECT_EQ(when, "07.12.2011 14:05:09");
    EXPECT_TRUE(
        ReadBytes(PathIn("Error.log")).contains("Date & Time:     07.12.2011 14:05:09\r\n"));
    EXPECT_TRUE(history.startsWith("Date/Time: 07.12.2011 14:05:09  "));
}

TEST_F(ErrorLogTest, TextIsInTheAnsiCodePage) {
    log_.Add(1, 1, "Грешка", "M");
    EXPECT_TRUE(
        ReadBytes(PathIn("Error.log")).contains("Error message:   \xc3\xf0\xe5\xf8\xea\xe0\r\n"));
}

TEST_F(ErrorLogTest, HistoryAndItsQueries) {
    EXPECT_EQ(log_.LastErrorCode(), 0);
    EXPECT_EQ(log_.GetHistoryAll(true), "");
    log_.Add(1, 10, "first", "A.b");
    log_.Add(2, 20, "second", "C.d");
    EXPECT_EQ(log_.LastErrorCode(), 20);
    EXPECT_EQ(log_.LastErrorMessage(), "second");
    EXPECT_EQ(log_.GetHistoryAll(true),
              "Date/Time: 07.12.2011 14:05:09  Code: 10  Message: first"
              "Date/Time: 07.12.2011 14:05:09  Code: 20  Message: second");
    EXPECT_EQ(log_.GetHistoryByCode(20, false),
              "Date/Time: 07.12.2011 14:05:09\r\nCode:      20\r\nMessage:   second\r\n"
              "Method:    C.d\r\nType:      Other\r\n\r\n");
    EXPECT_EQ(log_.GetHistoryByType(1, true),
              "Date/Time: 07.12.2011 14:05:09  Code: 10  Message: first");
    log_.SaveHistoryInFile(PathIn("copy.log"));
    EXPECT_EQ(ReadBytes(PathIn("copy.log")), ReadBytes(PathIn("Error.log")));
    log_.ResetErrors();
    EXPECT_EQ(log_.LastErrorCode(), 0);
    EXPECT_EQ(log_.GetHistoryAll(false), "");
}

TEST_F(ErrorLogTest, BlocksAnUnwritableLogRefusedAreWrittenOnceInOrderWhenItTakesThem) {
    log_.SetLogFileName(PathIn("missing/folder/Error.log"));
    log_.Add(1, 42, "kept", "M");
    EXPECT_EQ(log_.LastErrorCode(), 42);
    EXPECT_EQ(log_.LastErrorMessage(), "kept");
    EXPECT_NO_THROW(log_.DebugInfo("also kept"));
    // A flood of failures is counted, not kept: what waits stays small.
    for (int i = 0; i < 1000; ++i)
        log_.Add(1, i, "flood", "M");
    EXPECT_FALSE(log_.WritePending());
    EXPECT_FALSE(QFileInfo::exists(PathIn("missing")));

    log_.SetLogFileName(PathIn("Error.log"));
    log_.DebugInfo("trace");
    EXPECT_TRUE(log_.WritePending());
    const QByteArray bytes = ReadBytes(PathIn("Error.log"));
    EXPECT_TRUE(bytes.startsWith("User OS Version: "));
    EXPECT_EQ(bytes.count("Error message:   kept\r\n"), 1);
    const qsizetype debug = bytes.indexOf("\r\n\r\nalso kept\r\n \r\n\r\nUser OS Version: ");
    EXPECT_GT(debug, 0);
    const int flood = int(bytes.count("Error message:   flood\r\n"));
    EXPECT_GT(flood, 0);
    EXPECT_LE(flood * 250, ErrorController::kMaxPendingBytes);
    const QByteArray counted =
        "Error message:   " + QByteArray::number(1000 - flood) + " further errors could not";
    EXPECT_GT(bytes.indexOf(counted), bytes.lastIndexOf("Error message:   flood"));
    EXPECT_TRUE(bytes.endsWith(QByteArray(68, '-') + "\r\n \r\n\r\ntrace\r\n \r\n\r\n"));
}

TEST_F(ErrorLogTest, AFullDiskTakesABlockWholeOrNotAtAll) {
    log_.Add(1, 1, "first", "M");
    const QByteArray before = ReadBytes(PathIn("Error.log"));
    // A size limit 100 bytes past the log: the next block fits only in part.
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = previous;
    limit.rlim_cur = rlim_t(before.size() + 100);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    log_.Add(1, 2, "second, cut by the disk", "M");
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadBytes(PathIn("Error.log")), before);
    log_.Add(1, 3, "third", "M");
    EXPECT_TRUE(ReadBytes(PathIn("Error.log")).startsWith(before + "User OS Version: "));
}

TEST_F(ErrorLogTest, AStepDropsOnlyTheProgramsOwnErrorsAndLogsWhatItMustNotLetOut) {
    EXPECT_NO_THROW(rt::IgnoreErrors([] { rt::RaiseOverflow("Val"); }));
    // Out of memory is no failure of the step: its caller sees it.
    EXPECT_THROW(rt::IgnoreErrors([] { throw std::bad_alloc(); }), std::bad_alloc);
    // An event handler's step lets nothing out, and what it stopped is logged.
    rt::ContainErrors("MainWindow.dgView_RowColChange",
                      [] { throw std::out_of_range("row 7 of 3"); });
    EXPECT_TRUE(ReadBytes(ErrorLogger().LogFileName())
                    .contains("Error code:      0\r\n"
                              "Error message:   row 7 of 3\r\n"
                              "Method Name:     MainWindow.dgView_RowColChange\r\n"
                              "Type             System error\r\n"));
}

TEST(BuildVersion, ApplicationEightIsThisProgram) {
    BuildVersionClass v;
    EXPECT_EQ(v.Application(), 1);
    v.SetApplication(8);
    EXPECT_EQ(v.Number(), "3.07.003");
    EXPECT_EQ(v.Number().left(4), "3.07");
    EXPECT_EQ(v.Major(), 3);
    EXPECT_EQ(v.Minor(), 7);
    EXPECT_EQ(v.Revision(), 3);
    EXPECT_EQ(QString::number(v.Major()) + "." + rt::Format(v.Minor(), "00"), "3.07");
    EXPECT_EQ(v.DateString(), "22.06.2011");
    EXPECT_EQ(v.DateLong(), 40716);
    EXPECT_EQ(rt::FromDateSerial(v.DateLong()).date(), QDate(2011, 6, 22));
    v.SetApplication(99);  // outside the table: the number stays
    EXPECT_EQ(v.Number(), "3.07.003");
    EXPECT_EQ(v.DateLong(), 40716);
}
