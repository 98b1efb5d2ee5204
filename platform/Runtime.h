#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

// Value semantics the station's rules are written against: the leading number
// of a text, conversions rounding halves to the even neighbour, Boolean texts,
// number and date format patterns, and dates as day numbers.
namespace rt {

// The numeric value of the leading number of a text: blanks, tabs and line feeds
// are skipped anywhere inside it ("9 7 1" is 971), "." is always the decimal
// point, &H and &O prefixes read hexadecimal and octal; 0 when there is none.
double Val(const QString& text);

// Whether the whole text (blanks around it allowed) is a number, with "." or the
// locale's decimal separator, an optional sign and exponent, or &H/&O.
bool IsNumeric(const QString& text);

// Parses a whole numeric text as IsNumeric accepts it; nullopt otherwise.
std::optional<double> ParseNumber(const QString& text);

// Rounds to the nearest integer, a half going to the even neighbour (2.5 -> 2).
double RoundHalfEven(double value);

// Integer conversions: half to even, raise error 6 "Overflow" out of range.
int16_t CInt(double value);
int32_t CLng(double value);
// Text conversions raise 13 "Type mismatch" for a text that is no number.
int16_t CInt(const QString& text);
int32_t CLng(const QString& text);
double CDbl(const QString& text);

// "True"/"False" in any case (blanks around allowed), or a number (0 False,
// any other True); raises 13 "Type mismatch" for anything else, "" included.
bool CBool(const QString& text);
std::optional<bool> TryCBool(const QString& text);

// Text form of values, as written to INI files and SQL: "True"/"False";
// integers in decimal; doubles with up to 15 significant digits, "." as point.
QString Str(bool value);
QString Str(double value);

// Number patterns of zeros with an optional fraction part: "0", "00", "000",
// "0.000". Rounds half away from zero; the decimal point is the locale's.
QString Format(double value, const QString& pattern);

// Date and time patterns: d dd ddd dddd, m mm mmm mmmm (minutes right after an
// hour token), M MM (always month), yy yyyy, h hh H HH (0-23), n nn, s ss;
// letters are case-insensitive except M; any other character is literal.
QString FormatDate(const QDateTime& when, const QString& pattern);

// Dates as day numbers from 30 December 1899 (40716 is 22 June 2011), with
// the time of day as the fraction.
double ToDateSerial(const QDateTime& when);
QDateTime FromDateSerial(double serial);

// A date as databases store it in text: "yyyy-mm-dd", optionally followed by
// a blank or "T" and "hh:nn" or "hh:nn:ss", a fraction of a second of any
// length (cut to milliseconds) and a zone suffix ("Z", "+hh:mm", "+hhmm",
// "+hh", or "-" in place of "+"); blanks around it are allowed. A time with a
// zone is answered in local time, as every time of the program is. The zero
// date ("0000-00-00", with or without a time of zeros) is no time: an invalid
// QDateTime. nullopt for any other text.
std::optional<QDateTime> ParseIsoDateTime(QStringView text);
// The number written by the `count` decimal digits at text[at]; -1 when
// they are not all digits or the text ends before them.
int DigitsAt(QStringView text, qsizetype at, int count);

// Blanks (U+0020 only) removed at both ends, the left or the right.
QString Trim(const QString& text);
QString LTrim(const QString& text);
QString RTrim(const QString& text);

// The one clock of the program. Tests freeze it with SetNow and release it
// with ClearNow.
QDateTime Now();
void SetNow(const QDateTime& when);
void ClearNow();

// Now() for callers that read the clock for every message or order: the
// same date and time, as a time with a fixed offset from UTC, without
// asking the system for the local time zone each time (which stats the zone
// file). Frozen by SetNow like Now().
QDateTime NowOften();

// Local times of UTC instants with the zone's offset kept between calls: the
// offset is asked for again once a minute has passed since it was taken (a
// changed zone setting shows within that minute), and not kept at all while
// it changes within the coming minute (summer time begins or ends), so that
// every time is the one the zone gives.
class LocalClock {
public:
    // The local date and time of the instant, with its offset from UTC.
    QDateTime At(qint64 utcMSecs);

private:
    qint64 from_ = 0;
    qint64 until_ = 0;  // the offset holds for [from_, until_)
    int offset_ = 0;
};

}  // namespace rt
