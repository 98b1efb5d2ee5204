#include <gtest/gtest.h>

#include <QDateTime>
#include <cstdlib>

#include "common/TestSupport.h"
#include "platform/AppError.h"
#include "platform/Locale.h"
#include "platform/Runtime.h"

using namespace rt;

TEST(Val, ReadsTheLeadingNumberAndSkipsBlanksInside) {
    EXPECT_EQ(Val("12abc"), 12);
    EXPECT_EQ(Val("  9 7 1"), 971);
    EXPECT_EQ(Val("9-7-1"), 9);
    EXPECT_EQ(Val("-1.5e2x"), -150);
    EXPECT_EQ(Val("2.4"), 2.4);
    EXPECT_EQ(Val(".5"), 0.5);
    EXPECT_EQ(Val("1.2.3"), 1.2);
    EXPECT_EQ(Val("&H1F"), 31);
    EXPECT_EQ(Val("&HFFFF"), -1);  // a 16-bit literal
    EXPECT_EQ(Val("&O17"), 15);
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_EQ(Val(""), 0);
    EXPECT_EQ(Val("1e"), 1);   // an incomplete exponent is not part of it
    EXPECT_EQ(Val("3,5"), 3);  // the point is always "."
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(CInt(0.5), 0);
    EXPECT_EQ(CInt(1.5), 2);
    EXPECT_EQ(CInt(2.5), 2);
    EXPECT_EQ(CInt(3.5), 4);
    EXPECT_EQ(CInt(-1.5), -2);
    EXPECT_EQ(CInt(-2.5), -2);
    EXPECT_EQ(CInt(2.4999), 2);
    EXPECT_EQ(CInt(2.5001), 3);
    EXPECT_EQ(CLng(1e9 + 0.5), 1000000000);
}

TEST(Rounding, OverflowAndTypeMismatchAreNumberedErrors) {
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_EQ(CInt(-32768.5), -32768);  // even neighbour stays in range
    ExpectAppError([] { CInt(32767.5); }, 6, "Overflow");
    ExpectAppError([] { CInt(QString("12abc")); }, 13, "Type mismatch");
    EXPECT_THROW(CInt(QString()), AppError);
    EXPECT_EQ(CInt(QString(" 42 ")), 42);
    EXPECT_EQ(CInt(QString("2.5")), 2);
    EXPECT_THROW(CLng(QString("3000000000")), AppError);
}

TEST(Boolean, TextsInAnyCaseOrNumbers) {
    EXPECT_TRUE(CBool("True"));
    EXPECT_TRUE(CBool("TRUE"));
    EXPECT_FALSE(CBool("fAlSe"));
    EXPECT_TRUE(CBool(" true "));
    EXPECT_FALSE(CBool("0"));
    EXPECT_TRUE(CBool("-1"));
    EXPECT_TRUE(CBool("7"));
    EXPECT_FALSE(TryCBool("").has_value());
    EXPECT_FALSE(TryCBool("yes").has_value());
    EXPECT_FALSE(TryCBool("1x").has_value());
    EXPECT_THROW(CBool(""), AppError);
}

TEST(IsNumeric, WholeTextMustBeANumber) {
    EXPECT_TRUE(IsNumeric("12"));
    EXPECT_TRUE(IsNumeric(" 12 "));
    EXPECT_TRUE(IsNumeric("-1.5"));
    EXPECT_TRUE(IsNumeric("1e3"));
    EXPECT_TRUE(IsNumeric("&H10"));
    EXPECT_FALSE(IsNumeric(""));
    EXPECT_FALSE(IsNumeric("   "));
    EXPECT_FALSE(IsNumeric("abc"));
    EXPECT_FALSE(IsNumeric("12abc"));
    EXPECT_FALSE(IsNumeric("-"));
    EXPECT_FALSE(IsNumeric("."));
}

TEST(Format, ZeroPatterns) {
    const QString sep = platform::LocaleDecimalSeparator();
    EXPECT_EQ(Format(7, "00"), "07");
    EXPECT_EQ(Format(3, "000"), "003");
    EXPECT_EQ(Format(123, "00"), "123");
    EXPECT_EQ(Format(0, "00"), "00");
    EXPECT_EQ(Format(1.5, "0"), "2");
    EXPECT_EQ(Format(2.5, "0"), "3");  // away from zero, unlike the conversions
    EXPECT_EQ(Format(2, "0.000"), "2" + sep + "000");
    EXPECT_EQ(Format(1.2345, "0.000"), "1" + sep + "235");
    EXPECT_EQ(Format(-0.0004, "0.000"), "0" + sep + "000");
    EXPECT_EQ(Format(-12.5, "0.000"), "-12" + sep + "500");
}

TEST(FormatDate, PatternsOfTheStation) {
    const QDateTime t(QDate(2011, 12, 7), QTime(14, 5, 9));
    EXPECT_EQ(FormatDate(t, "dd.MM.yyyy hh:nn:ss"), "07.12.2011 14:05:09");
    EXPECT_EQ(FormatDate(t, "yyyy-mm-dd hh:nn:ss"), "2011-12-07 14:05:09");
    EXPECT_EQ(FormatDate(t, "dd.mm.yy hh:nn"), "07.12.11 14:05");
    EXPECT_EQ(FormatDate(t, "d/M/yy"), "7/12/11");
    EXPECT_EQ(FormatDate(t, "hh:mm"), "14:05");  // mm right after an hour is minutes
    EXPECT_EQ(FormatDate(t, "mm"), "12");
    EXPECT_EQ(FormatDate(QDateTime(QDate(2011, 1, 2), QTime(3, 4, 5)), "h:n:s d.m"), "3:4:5 2.1");
}

TEST(DateSerial, DayNumbersFromTheEpoch) {
    EXPECT_EQ(ToDateSerial(QDateTime(QDate(2011, 6, 22), QTime(0, 0))), 40716);
    EXPECT_EQ(FromDateSerial(40716).date(), QDate(2011, 6, 22));
    EXPECT_EQ(FromDateSerial(0), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_EQ(FromDateSerial(40716.5), QDateTime(QDate(2011, 6, 22), QTime(12, 0)));
    EXPECT_EQ(FromDateSerial(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    const QDateTime t(QDate(2026, 12, 8), QTime(19, 30, 15));
    EXPECT_EQ(FromDateSerial(ToDateSerial(t)), t);
}

TEST(DateSerial, StoredDateTextsOfOtherPrograms) {
    const QDate day(2026, 12, 8);
    EXPECT_EQ(rt::ParseIsoDateTime(u" 2026-12-08 "), QDateTime(day, QTime(0, 0)));
    EXPECT_EQ(rt::ParseIsoDateTime(u"2026-12-08T12:06"), QDateTime(day, QTime(12, 6)));
    EXPECT_EQ(rt::ParseIsoDateTime(u"2026-12-08 12:06:00,5"), QDateTime(day, QTime(12, 6, 0, 500)));
    EXPECT_EQ(rt::ParseIsoDateTime(u"2026-12-08 12:06:00.1239999"),
              QDateTime(day, QTime(12, 6, 0, 123)));
    const QDateTime utc(day, QTime(10, 0), Qt::UTC);
    EXPECT_EQ(rt::ParseIsoDateTime(u"2026-12-08T12:30:00+02:30"), utc.toLocalTime());
    EXPECT_EQ(rt::ParseIsoDateTime(u"2026-12-08T08:00:00-0200"), utc.toLocalTime());
    EXPECT_EQ(rt::ParseIsoDateTime(u"2026-12-08T11:00:00+01"), utc.toLocalTime());
    // The zero date is no time; what is no date is nothing.
    const auto zero = rt::ParseIsoDateTime(u"0000-00-00 00:00:00");
    ASSERT_TRUE(zero.has_value());
    EXPECT_FALSE(zero->isValid());
    for (const char16_t* bad : {u"2026-02-30", u"2026-12-08 25:00", u"2026-12-08T12:00:00Q",
                                u"2026-12-08 12:00:00.", u"08.12.2026", u"", u"2026-12-08 12"})
        EXPECT_FALSE(rt::ParseIsoDateTime(bad).has_value())
            << QString::fromUtf16(bad).toStdString();
}

TEST(Trim, OnlyBlanks) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");
    EXPECT_EQ(LTrim("  a "), "a ");
    EXPECT_EQ(RTrim("  a "), "  a");
    EXPECT_EQ(Trim("   "), "");
}

TEST(Clock, FrozenAndReleased) {
    const QDateTime t(QDate(2011, 6, 22), QTime(10, 0));
    SetNow(t);
    EXPECT_EQ(Now(), t);
    EXPECT_EQ(NowOften(), t);
    ClearNow();
    EXPECT_GT(Now().date().year(), 2020);
    EXPECT_LE(std::abs(NowOften().secsTo(Now())), 1);
}

// The clock that keeps the zone's offset gives the zone's own local time
// second by second across both changes of summer time, and a changed zone
// setting within a minute.
TEST(Clock, KeptOffsetFollowsSummerTimeAndAChangedZone) {
    const QByteArray zone = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", "Europe/Berlin");
    LocalClock clock;
    const auto text = [](const QDateTime& t) { return t.toString("yyyy-MM-dd hh:mm:ss"); };
    const auto local = [&](qint64 ms) {
        return text(QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime));
    };
    // 2026-03-29 and 2026-10-25, 01:00 UTC.
    for (const qint64 change : {qint64(1774746000000), qint64(1792890000000)}) {
        for (qint64 ms = change - 150000; ms < change + 150000; ms += 1000)
            ASSERT_EQ(text(clock.At(ms)), local(ms)) << ms;
    }
    const qint64 summer = 1781000000000;
    EXPECT_EQ(text(clock.At(summer)), local(summer));
    qputenv("TZ", "Asia/Tokyo");
    EXPECT_EQ(text(clock.At(summer + 60000)), local(summer + 60000));
    EXPECT_EQ(clock.At(summer + 60000).offsetFromUtc(), 9 * 3600);
    if (hadZone)
        qputenv("TZ", zone);
    else
        qunsetenv("TZ");
}
