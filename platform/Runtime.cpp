#include "platform/Runtime.h"

#include <QTimeZone>
#include <cmath>
#include <limits>

#include "platform/AppError.h"
#include "platform/Locale.h"
#include "platform/ProgramState.h"

namespace rt {

void RaiseOverflow(const QString& source) {
    throw AppError(kErrOverflow, "Overflow", source);
}

void RaiseTypeMismatch(const QString& source) {
    throw AppError(kErrTypeMismatch, "Type mismatch", source);
}

namespace {

bool IsValBlank(QChar c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Reads &H / &O numbers; returns false when the text has no such prefix at pos.
bool ReadRadix(const QString& s, qsizetype& pos, bool skipBlanks, double& out) {
    if (pos + 1 >= s.size() || s[pos] != '&')
        return false;
    const QChar kind = s[pos + 1].toUpper();
    const int radix = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
    if (radix == 0)
        return false;
    qsizetype i = pos + 2;
    uint64_t acc = 0;
    int digits = 0;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (skipBlanks && IsValBlank(c))
            continue;
        const int d = c.isDigit() ? c.digitValue()
                      : (radix == 16 && c.toUpper() >= 'A' && c.toUpper() <= 'F')
                          ? c.toUpper().unicode() - 'A' + 10
                          : -1;
        if (d < 0 || d >= radix)
            break;
        acc = acc * radix + d;
        if (acc > 0xFFFFFFFFull)
            acc &= 0xFFFFFFFFull;
        ++digits;
    }
    if (digits == 0)
        return false;
    // Hexadecimal and octal literals are 16- or 32-bit signed values.
    if (acc <= 0xFFFF)
        out = static_cast<int16_t>(acc);
    else
        out = static_cast<int32_t>(static_cast<uint32_t>(acc));
    pos = i;
    return true;
}

// Scans a decimal number at pos: sign, digits, one point, exponent. With
// skipBlanks, blanks inside are ignored (Val's rule). Returns the number of
// characters that belong to it in `end`.
bool ScanDecimal(const QString& s, qsizetype pos, bool skipBlanks, const QString& point,
                 double& out, qsizetype& end) {
    QByteArray digits;
    qsizetype i = pos;
    auto skip = [&] {
        while (skipBlanks && i < s.size() && IsValBlank(s[i]))
            ++i;
    };
    skip();
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-')
            digits += '-';
        ++i;
    }
    bool seenPoint = false;
    int mantissaDigits = 0;
    for (;;) {
        skip();
        if (i >= s.size())
            break;
        const QChar c = s[i];
        if (c >= '0' && c <= '9') {
            digits += char(c.unicode());
            ++mantissaDigits;
            ++i;
        } else if (!seenPoint &&
                   (c == '.' || (!point.isEmpty() && s.mid(i, point.size()) == point))) {
            seenPoint = true;
            digits += '.';
            i += c == '.' ? 1 : point.size();
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return false;
    end = i;
    // Exponent: E or D, optional sign, digits; only taken when complete.
    qsizetype j = i;
    if (j < s.size() && (s[j].toUpper() == 'E' || s[j].toUpper() == 'D')) {
        QByteArray exp = "e";
        ++j;
        while (skipBlanks && j < s.size() && IsValBlank(s[j]))
            ++j;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exp += char(s[j++].unicode());
        int expDigits = 0;
        for (;;) {
            while (skipBlanks && j < s.size() && IsValBlank(s[j]))
                ++j;
            if (j < s.size() && s[j] >= '0' && s[j] <= '9') {
                exp += char(s[j++].unicode());
                ++expDigits;
            } else {
                break;
            }
        }
        if (expDigits > 0) {
            digits += exp;
            end = j;
        }
    }
    out = std::strtod(digits.constData(), nullptr);
    return true;
}

}  // namespace

double Val(const QString& text) {
    qsizetype pos = 0;
    while (pos < text.size() && IsValBlank(text[pos]))
        ++pos;
    double out = 0;
    if (ReadRadix(text, pos, true, out))
        return out;
    qsizetype end = 0;
    if (ScanDecimal(text, pos, true, QString(), out, end))
        return out;
    return 0;
}

std::optional<double> ParseNumber(const QString& text) {
    const QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    qsizetype pos = 0;
    double out = 0;
    if (ReadRadix(s, pos, false, out)) {
        if (pos == s.size())
            return out;
        return std::nullopt;
    }
    qsizetype end = 0;
    if (!ScanDecimal(s, 0, false, platform::LocaleDecimalSeparator(), out, end))
        return std::nullopt;
    if (end != s.size())
        return std::nullopt;
    if (!std::isfinite(out))
        return std::nullopt;
    return out;
}

bool IsNumeric(const QString& text) {
    return ParseNumber(text).has_value();
}

double RoundHalfEven(double value) {
    const double r = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5) {
        // A half: take the even neighbour.
        return 2.0 * std::round(value / 2.0);
    }
    return r;
}

namespace {
// The value rounded half to even; Overflow when it is not finite or the
// rounded value does not fit the integer type.
template <class Integer>
Integer RoundToInteger(double value) {
    if (!std::isfinite(value))
        RaiseOverflow();
    const double r = RoundHalfEven(value);
    if (r < std::numeric_limits<Integer>::min() || r > std::numeric_limits<Integer>::max())
        RaiseOverflow();
    return static_cast<Integer>(r);
}
}  // namespace

int16_t CInt(double value) {
    return RoundToInteger<int16_t>(value);
}

int32_t CLng(double value) {
    return RoundToInteger<int32_t>(value);
}

namespace {
// "True" or "False" in any case, blanks around allowed.
std::optional<bool> BooleanWord(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare("true", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare("false", Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}
}  // namespace

double CDbl(const QString& text) {
    if (const auto n = ParseNumber(text))
        return *n;
    // Boolean texts convert as numbers too: True is -1.
    if (const auto b = BooleanWord(text))
        return *b ? -1 : 0;
    RaiseTypeMismatch();
}

int16_t CInt(const QString& text) {
    return CInt(CDbl(text));
}
int32_t CLng(const QString& text) {
    return CLng(CDbl(text));
}

std::optional<bool> TryCBool(const QString& text) {
    if (const auto b = BooleanWord(text))
        return b;
    if (const auto n = ParseNumber(text))
        return *n != 0;
    return std::nullopt;
}

bool CBool(const QString& text) {
    const auto b = TryCBool(text);
    if (!b)
        RaiseTypeMismatch();
    return *b;
}

QString Str(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString Str(double value) {
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<long long>(value));
    QString s = QString::number(value, 'g', 15);
    return s;
}

QString Format(double value, const QString& pattern) {
    const qsizetype dot = pattern.indexOf('.');
    const int intZeros = int(dot < 0 ? pattern.count('0') : pattern.left(dot).count('0'));
    const int fracZeros = dot < 0 ? 0 : int(pattern.mid(dot + 1).count('0'));
    // Half away from zero, on the decimal text to avoid binary surprises.
    const double scale = std::pow(10.0, fracZeros);
    double scaled = std::fabs(value) * scale;
    // Tolerate the binary error of values such as 2.675 so that a decimal half
    // still rounds up.
    const double floorPart = std::floor(scaled);
    scaled = (scaled - floorPart >= 0.5 - 1e-9) ? floorPart + 1 : floorPart;
    const bool negative = value < 0 && scaled != 0;
    QString digits = QString::number(scaled, 'f', 0);
    while (digits.size() < fracZeros + 1)
        digits.prepend('0');
    QString intPart = digits.left(digits.size() - fracZeros);
    const QString fracPart = digits.right(fracZeros);
    if (intPart == "0" && intZeros == 0)
        intPart.clear();
    while (intPart.size() < intZeros)
        intPart.prepend('0');
    QString out = intPart;
    if (fracZeros > 0)
        out += platform::LocaleDecimalSeparator() + fracPart;
    return negative ? "-" + out : out;
}

namespace {

const char* const kMonthShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kMonthLong[] = {"January",   "February", "March",    "April",
                                  "May",       "June",     "July",     "August",
                                  "September", "October",  "November", "December"};
const char* const kDayShort[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kDayLong[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                "Friday", "Saturday", "Sunday"};

QString Pad(int v, int width) {
    return QString::number(v).rightJustified(width, '0');
}

}  // namespace

QString FormatDate(const QDateTime& when, const QString& pattern) {
    const QDate d = when.date();
    const QTime t = when.time();
    QString out;
    bool lastWasHour = false;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern[i];
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        const QChar lc = c.toLower();
        if (lc == 'd') {
            const int n = int(std::min<qsizetype>(run, 4));
            out += n == 1   ? QString::number(d.day())
                   : n == 2 ? Pad(d.day(), 2)
                   : n == 3 ? QString(kDayShort[d.dayOfWeek() - 1])
                            : QString(kDayLong[d.dayOfWeek() - 1]);
            lastWasHour = false;
        } else if (c == 'M' || c == 'm') {
            const bool minutes = c == 'm' && lastWasHour && run <= 2;
            if (minutes) {
                out += run == 1 ? QString::number(t.minute()) : Pad(t.minute(), 2);
            } else {
                const int n = int(std::min<qsizetype>(run, 4));
                out += n == 1   ? QString::number(d.month())
                       : n == 2 ? Pad(d.month(), 2)
                       : n == 3 ? QString(kMonthShort[d.month() - 1])
                                : QString(kMonthLong[d.month() - 1]);
            }
            lastWasHour = false;
        } else if (lc == 'y') {
            out += run >= 3 ? Pad(d.year(), 4) : Pad(d.year() % 100, 2);
            lastWasHour = false;
        } else if (lc == 'h') {
            out += run == 1 ? QString::number(t.hour()) : Pad(t.hour(), 2);
            lastWasHour = true;
        } else if (lc == 'n') {
            out += run == 1 ? QString::number(t.minute()) : Pad(t.minute(), 2);
            lastWasHour = false;
        } else if (lc == 's') {
            out += run == 1 ? QString::number(t.second()) : Pad(t.second(), 2);
            lastWasHour = false;
        } else {
            // Separators keep an hour token's claim on a following "mm".
            out += QString(run, c);
        }
        i += run;
    }
    return out;
}

namespace {
const QDate kEpoch(1899, 12, 30);
}

double ToDateSerial(const QDateTime& when) {
    const double days = double(kEpoch.daysTo(when.date()));
    const double frac = when.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the epoch the fraction still counts forward from midnight, as the
    // day number's sign says nothing about the time of day.
    return days >= 0 ? days + frac : days - frac;
}

QDateTime FromDateSerial(double serial) {
    const double whole = std::trunc(serial);
    double frac = std::fabs(serial - whole);
    qint64 ms = qint64(std::llround(frac * 86400000.0));
    qint64 days = qint64(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += serial >= 0 ? 1 : -1;
    }
    return QDateTime(kEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

int DigitsAt(QStringView text, qsizetype at, int count) {
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text[at + i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

std::optional<QDateTime> ParseIsoDateTime(QStringView text) {
    text = text.trimmed();
    const int y = DigitsAt(text, 0, 4), mo = DigitsAt(text, 5, 2), d = DigitsAt(text, 8, 2);
    if (y < 0 || mo < 0 || d < 0 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    qsizetype at = 10;
    int h = 0, mi = 0, se = 0, ms = 0;
    if (at < text.size() && (text[at] == ' ' || text[at] == 'T')) {
        h = DigitsAt(text, at + 1, 2);
        mi = DigitsAt(text, at + 4, 2);
        if (h < 0 || mi < 0 || text[at + 3] != ':')
            return std::nullopt;
        at += 6;
        if (at < text.size() && text[at] == ':') {
            se = DigitsAt(text, at + 1, 2);
            if (se < 0)
                return std::nullopt;
            at += 3;
            if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
                ++at;
                const qsizetype first = at;
                int scale = 100;
                while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
                    ms += (text[at].unicode() - '0') * scale;
                    scale /= 10;
                    ++at;
                }
                if (at == first)
                    return std::nullopt;
            }
        }
    }
    std::optional<int> offsetSeconds;
    if (at < text.size()) {
        const QChar sign = text[at];
        if (sign == 'Z' || sign == 'z') {
            offsetSeconds = 0;
            ++at;
        } else if (sign == '+' || sign == '-') {
            const int oh = DigitsAt(text, at + 1, 2);
            if (oh < 0 || oh > 23)
                return std::nullopt;
            at += 3;
            int om = 0;
            if (at < text.size() && text[at] == ':')
                ++at;
            if (at < text.size()) {
                om = DigitsAt(text, at, 2);
                if (om < 0 || om > 59)
                    return std::nullopt;
                at += 2;
            }
            offsetSeconds = (sign == '-' ? -1 : 1) * (oh * 3600 + om * 60);
        }
    }
    if (at != text.size())
        return std::nullopt;
    if (y == 0 && mo == 0 && d == 0 && h == 0 && mi == 0 && se == 0 && ms == 0)
        return QDateTime();
    const QDate date(y, mo, d);
    const QTime time(h, mi, se, ms);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    if (!offsetSeconds)
        return QDateTime(date, time);
    return QDateTime(date, time, QTimeZone(*offsetSeconds)).toLocalTime();
}

QString LTrim(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    return text.mid(i);
}

QString RTrim(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == ' ')
        --n;
    return text.left(n);
}

QString Trim(const QString& text) {
    return LTrim(RTrim(text));
}

namespace {
std::optional<QDateTime>& FrozenNow() {
    static std::optional<QDateTime> frozen;
    return frozen;
}
}  // namespace

QDateTime Now() {
    if (FrozenNow())
        return *FrozenNow();
    return QDateTime::currentDateTime();
}

QDateTime NowOften() {
    if (FrozenNow())
        return *FrozenNow();
    thread_local LocalClock clock;
    return clock.At(QDateTime::currentMSecsSinceEpoch());
}

QDateTime LocalClock::At(qint64 utcMSecs) {
    constexpr qint64 kKeptMs = 60 * 1000;
    if (utcMSecs < from_ || utcMSecs >= until_) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(utcMSecs, Qt::LocalTime);
        const int offset = local.offsetFromUtc();
        const int later =
            QDateTime::fromMSecsSinceEpoch(utcMSecs + kKeptMs, Qt::LocalTime).offsetFromUtc();
        if (offset != later) {
            until_ = from_;
            return local;
        }
        from_ = utcMSecs;
        until_ = utcMSecs + kKeptMs;
        offset_ = offset;
    }
    return QDateTime::fromMSecsSinceEpoch(utcMSecs, Qt::OffsetFromUTC, offset_);
}

void SetNow(const QDateTime& when) {
    FrozenNow() = when;
}
void ClearNow() {
    FrozenNow().reset();
}

namespace {
// A fresh start reads the real clock.
[[maybe_unused]] const bool kClockResetRegistered = platform::RegisterStateReset(&ClearNow);
}  // namespace

}  // namespace rt
