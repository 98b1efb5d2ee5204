#include "board/ArrivedOrders.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Locale.h"
#include "platform/Runtime.h"

std::optional<OrderDatagram> ParseOrderDatagram(const QString& datagram) {
    if (datagram.size() < 20)
        return std::nullopt;
    const qsizetype tab = datagram.indexOf('\t');
    // Positions are 1-based in the format: the TAB must stand at 8 or later.
    if (tab < 7)
        return std::nullopt;
    OrderDatagram d;
    const QString sequence = datagram.left(6);
    // The field is a decimal number; a hexadecimal or octal prefix is not one.
    if (rt::Trim(sequence).startsWith('&')) {
        d.Sequence = 0;
    } else {
        try {
            d.Sequence = rt::CLng(rt::Val(sequence));
        } catch (const AppError&) {
            d.Sequence = 0;
        }
    }
    d.Sender = datagram.mid(7, tab - 7);
    d.Text = datagram.mid(tab + 1);
    return d;
}

namespace {
QString SenderKey(const QString& sender) {
    if (sender.size() <= UdpSenderTable::kMaxKeyLength)
        return sender;
    // Longer than any name a key of this form can be mistaken for.
    return sender.left(UdpSenderTable::kMaxKeyLength / 2) + '#' +
           QString::fromLatin1(
               QCryptographicHash::hash(sender.toUtf8(), QCryptographicHash::Sha256).toHex());
}
}  // namespace

bool UdpSenderTable::Accept(const QString& sender, int32_t sequence) {
    const QString key = SenderKey(sender);
    const auto found = index_.find(key);
    if (found == index_.end()) {
        // A new sender's first order is any number from 1.
        if (sequence < 1)
            return false;
        if (int(slots_.size()) >= kMaxSenders) {
            index_.remove(slots_.back().key);
            slots_.pop_back();
        }
        slots_.push_front(Slot{key, sequence});
        index_.insert(key, slots_.begin());
        return true;
    }
    slots_.splice(slots_.begin(), slots_, found.value());
    Slot& slot = slots_.front();
    if (sequence > slot.last || sequence == 1) {
        const bool add = sequence > 1 || slot.last != 1;
        slot.last = sequence;
        return add;
    }
    return false;
}

PanelRange ComputePanelRange(int ordersCount, int panelCount, int activeOrder, int activePanel) {
    PanelRange r;
    if (ordersCount <= panelCount) {
        r.first = 0;
        r.last = ordersCount - 1;
        return r;
    }
    r.first = std::max(0, activeOrder - (activePanel + 1));
    r.last = r.first + panelCount - 1;
    if (r.last >= ordersCount)
        r.last = ordersCount - 1;
    return r;
}

int PanelOfActiveOrder(int ordersCount, int panelCount, int activeOrder, int activePanel) {
    if (ordersCount < 1 || activeOrder < 1)
        return -1;
    const PanelRange r =
        ComputePanelRange(ordersCount, panelCount, activeOrder, std::max(activePanel, 0));
    return activeOrder - 1 - r.first;
}

QString PanelText(const QString& text) {
    if (text.size() <= kPanelTextLimit)
        return text;
    qsizetype cut = kPanelTextLimit;
    // Never half of a surrogate pair or of a CR LF.
    if (text[cut - 1].isHighSurrogate() || (text[cut - 1] == '\r' && text[cut] == '\n'))
        --cut;
    return text.left(cut) + QChar(0x2026);
}

QString BackupSectionName(int index) {
    return QStringLiteral("Order_") + rt::Format(index, "00");
}

namespace {

// Rows and line breaks of the backup. An order's text is split at every line
// break, whatever it is; "Breaks" holds one letter per break, in order: W for
// CR LF, N for LF alone, R for CR alone. A section without it (written before
// breaks were kept) joins its rows with CR LF.
constexpr char kBreakCrLf = 'W';
constexpr char kBreakLf = 'N';
constexpr char kBreakCr = 'R';

// The decimal digits of a non-negative number, at least `width` of them (the
// "0", "00" and "000" patterns of Format), written at `o`; answers the end.
char* WriteNumber(char* o, qint64 value, int width) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n < width && n < int(sizeof digits))
        digits[n++] = '0';
    while (n > 0)
        *o++ = digits[--n];
    return o;
}

// The number as WriteNumber writes it, appended after `prefix`.
void AppendNumber(QByteArray& out, QByteArrayView prefix, qint64 value, int width,
                  QByteArrayView suffix = {}) {
    char buffer[24];
    out.append(prefix);
    out.append(buffer, WriteNumber(buffer, value, width) - buffer);
    out.append(suffix);
}

// A row as stored: the profile layer drops blanks and tabs at both ends of a
// value and one pair of matching quotes around it, so a row it would change
// is stored inside quotes, which the layer takes off again. Other rows are
// stored as they are, as they always were. The row is the text's characters
// or, in a single-byte code page, its ANSI bytes (see AnsiIsSingleByte).
template <typename View>
bool QuotedRow(View row) {
    const auto isBlank = [](auto c) { return c == ' ' || c == '\t'; };
    const bool quotes =
        row.size() >= 2 && (row.front() == '"' || row.front() == '\'') && row.back() == row.front();
    return !row.isEmpty() && (quotes || isBlank(row.front()) || isBlank(row.back()));
}

void AppendRow(QByteArray& out, int line, QStringView row) {
    const bool quoted = QuotedRow(row);
    AppendNumber(out, "Row_", line, 3, quoted ? QByteArrayView("=\"") : QByteArrayView("="));
    platform::AppendAnsi(out, row);
    out.append(quoted ? QByteArrayView("\"\r\n") : QByteArrayView("\r\n"));
}

// The most bytes WriteRow adds to a row's own.
constexpr qsizetype kRowOverhead = 24;

// AppendRow of a row's ANSI bytes, written at `o`; answers the end.
char* WriteRow(char* o, int line, QByteArrayView row) {
    const bool quoted = QuotedRow(row);
    std::memcpy(o, "Row_", 4);
    o = WriteNumber(o + 4, line, 3);
    *o++ = '=';
    if (quoted)
        *o++ = '"';
    std::memcpy(o, row.data(), size_t(row.size()));
    o += row.size();
    if (quoted)
        *o++ = '"';
    *o++ = '\r';
    *o++ = '\n';
    return o;
}

// The breaks of `size` units at `d` in order: Next(i) is the first CR or LF
// at or after `i` (`size` when none); `i` only grows from call to call.
struct BreakFinder {
    const QChar* d;
    qsizetype size;
    qsizetype Next(qsizetype i) const {
        while (i < size && d[i] != '\r' && d[i] != '\n')
            ++i;
        return i;
    }
};
struct ByteBreakFinder {
    const char* d;
    qsizetype size;
    // The next CR and the next LF found so far, each searched for again only
    // once passed, so that a text of one kind of break is looked at once.
    qsizetype cr = -1;
    qsizetype lf = -1;
    qsizetype Find(char c, qsizetype i) const {
        const void* at = std::memchr(d + i, c, size_t(size - i));
        return at ? static_cast<const char*>(at) - d : size;
    }
    qsizetype Next(qsizetype i) {
        if (i >= size)
            return size;
        if (cr < i)
            cr = Find('\r', i);
        if (lf < i)
            lf = Find('\n', i);
        return std::min(cr, lf);
    }
};

// Calls row(start, length, line) for every row of the `size` units at `d`
// (characters or bytes), split at every line break whatever it is, and
// keeps one letter per break; answers the number of rows.
template <typename Char, typename Row>
int ForEachRow(const Char* d, qsizetype size, char (&breaksBuffer)[64], QByteArray& moreBreaks,
               Row&& row) {
    std::conditional_t<std::is_same_v<Char, char>, ByteBreakFinder, BreakFinder> breaks{d, size};
    int line = 0;
    qsizetype start = 0;
    for (qsizetype i = breaks.Next(0); i < size; i = breaks.Next(i + 1)) {
        const Char c = d[i];
        row(start, i - start, line);
        char letter = kBreakLf;
        if (c == '\r' && i + 1 < size && d[i + 1] == '\n') {
            letter = kBreakCrLf;
            ++i;
        } else if (c == '\r') {
            letter = kBreakCr;
        }
        if (line < int(sizeof breaksBuffer))
            breaksBuffer[line] = letter;
        else
            moreBreaks += letter;
        ++line;
        start = i + 1;
    }
    row(start, size - start, line);
    return line + 1;
}

// One order's section appended to `out`, whose first byte stands at `base`
// in the file.
void AppendSection(QByteArray& out, const ArrivedOrder& order, int index, qint64 base,
                   std::vector<qint64>& isNewOffsets) {
    AppendNumber(out, "[Order_", index, 2, "]\r\n");
    const QString& text = order.Text;
    // One letter per break, kept aside while the rows are written.
    char breaksBuffer[64];
    QByteArray moreBreaks;
    int line = 0;
    if (platform::AnsiIsSingleByte()) {
        // The text is converted in one go and split as bytes, written into
        // room made for all of its rows at once: a text of a megabyte has
        // tens of thousands of them.
        const QByteArray bytes = platform::ToAnsi(text);
        const char* d = bytes.constData();
        const qsizetype breaks = std::count(bytes.begin(), bytes.end(), '\r') +
                                 std::count(bytes.begin(), bytes.end(), '\n');
        moreBreaks.reserve(std::max<qsizetype>(breaks - qsizetype(sizeof breaksBuffer), 0));
        const qsizetype before = out.size();
        out.resize(before + bytes.size() + (breaks + 1) * kRowOverhead);
        char* o = out.data() + before;
        line = ForEachRow(d, bytes.size(), breaksBuffer, moreBreaks,
                          [&](qsizetype start, qsizetype length, int row) {
                              o = WriteRow(o, row, QByteArrayView(d + start, length));
                          });
        out.truncate(o - out.constData());
    } else {
        const QChar* d = text.constData();
        line = ForEachRow(d, text.size(), breaksBuffer, moreBreaks,
                          [&](qsizetype start, qsizetype length, int row) {
                              AppendRow(out, row, QStringView(d + start, length));
                          });
    }
    AppendNumber(out, "Rows=", line, 1, "\r\nTime=");
    // The day number with "." whatever the locale: it is read back by Val.
    out += QByteArray::number(order.ArrivalTime, 'f', 8);
    out.append("\r\nIsNew=");
    isNewOffsets.push_back(base + out.size());
    out.append(order.IsNew ? QByteArrayView("-1\r\n") : QByteArrayView("0 \r\n"));
    // Written for every text of several rows, so that no letters of an
    // earlier order at this index are left to be read with this one's rows.
    if (line > 1) {
        out.append("Breaks=");
        out.append(breaksBuffer, std::min<qsizetype>(line - 1, qsizetype(sizeof breaksBuffer)));
        out.append(moreBreaks);
        out.append("\r\n");
    }
}

}  // namespace

QByteArray BackupCountValue(qsizetype count) {
    // Ten digits hold any count; the blanks after it are dropped by a reader.
    return QByteArray::number(qlonglong(count)).leftJustified(10, ' ');
}

QByteArray BackupIsNewValue(bool isNew) {
    return isNew ? QByteArray("-1") : QByteArray("0 ");
}

QByteArray BackupSection(const ArrivedOrder& order, int index, qint64 fileSize,
                         std::vector<qint64>& isNewOffsets) {
    QByteArray out;
    AppendSection(out, order, index, fileSize, isNewOffsets);
    return out;
}

namespace {
const QByteArray kCountHeader = QByteArrayLiteral("[OrdersCount]\r\nValue=");
}  // namespace

BackupLayout BuildBackupFile(const QList<ArrivedOrder>& arrivals) {
    BackupLayout layout;
    qsizetype size = 32;
    for (const ArrivedOrder& order : arrivals)
        size += order.Text.size() + 80;
    layout.Bytes.reserve(size);
    layout.Bytes = kCountHeader + BackupCountValue(arrivals.size()) + "\r\n";
    layout.SectionOffsets.reserve(size_t(arrivals.size()));
    layout.IsNewOffsets.reserve(size_t(arrivals.size()));
    for (int i = 0; i < arrivals.size(); ++i) {
        layout.SectionOffsets.push_back(layout.Bytes.size());
        AppendSection(layout.Bytes, arrivals[i], i, 0, layout.IsNewOffsets);
    }
    return layout;
}

std::optional<BackupLayout> BackupFileWithout(const BackupLayout& file, int index) {
    const QByteArray& bytes = file.Bytes;
    const qsizetype count = qsizetype(file.SectionOffsets.size());
    const QByteArray countLine = kCountHeader + BackupCountValue(count) + "\r\n";
    if (index < 0 || index >= count || qsizetype(file.IsNewOffsets.size()) != count ||
        !bytes.startsWith(countLine) || file.SectionOffsets.front() != countLine.size())
        return std::nullopt;
    const auto sectionEnd = [&](qsizetype i) {
        return i + 1 < count ? file.SectionOffsets[size_t(i + 1)] : bytes.size();
    };
    BackupLayout layout;
    layout.Bytes.reserve(bytes.size());
    // Before the order only the count changes (its value has a fixed width).
    const qint64 cut = file.SectionOffsets[size_t(index)];
    layout.Bytes.append(kCountHeader);
    layout.Bytes.append(BackupCountValue(count - 1));
    layout.Bytes.append(bytes.constData() + countLine.size() - 2, cut - countLine.size() + 2);
    layout.SectionOffsets.assign(file.SectionOffsets.begin(), file.SectionOffsets.begin() + index);
    layout.IsNewOffsets.assign(file.IsNewOffsets.begin(), file.IsNewOffsets.begin() + index);
    QByteArray header;
    for (qsizetype i = index + 1; i < count; ++i) {
        const qint64 start = file.SectionOffsets[size_t(i)];
        const qint64 end = sectionEnd(i);
        header.clear();
        AppendNumber(header, "[Order_", i, 2, "]\r\n");
        const qint64 body = start + header.size();
        if (end < body || file.IsNewOffsets[size_t(i)] < body ||
            file.IsNewOffsets[size_t(i)] >= end ||
            QByteArrayView(bytes.constData() + start, header.size()) != header)
            return std::nullopt;
        layout.SectionOffsets.push_back(layout.Bytes.size());
        AppendNumber(layout.Bytes, "[Order_", i - 1, 2, "]\r\n");
        layout.IsNewOffsets.push_back(layout.Bytes.size() + (file.IsNewOffsets[size_t(i)] - body));
        layout.Bytes.append(bytes.constData() + body, end - body);
    }
    return layout;
}

bool SaveAllArrivalsBackupFile(const QString& file, const QList<ArrivedOrder>& arrivals) {
    return platform::WriteFileAtomically(file, BuildBackupFile(arrivals).Bytes);
}

namespace {

// Calls f(begin, end, next) for every line of text[from, to): its characters
// and where the next line starts. CR, LF and CR LF end a line; a last line
// without an end counts when it holds a character.
template <typename F>
void ForEachLine(const QString& text, qsizetype from, qsizetype to, F f) {
    const QChar* d = text.constData();
    qsizetype start = from;
    for (qsizetype i = from; i < to; ++i) {
        const QChar c = d[i];
        if (c != '\r' && c != '\n')
            continue;
        const qsizetype end = i;
        if (c == '\r' && i + 1 < to && d[i + 1] == '\n')
            ++i;
        f(start, end, i + 1);
        start = i + 1;
    }
    if (start < to)
        f(start, to, to);
}

// A line as the profile routines read it: without NUL characters. The copy,
// when one is needed, is kept in `owned`.
QStringView CleanLine(const QString& text, qsizetype begin, qsizetype end,
                      std::vector<QString>& owned) {
    const QStringView line(text.constData() + begin, end - begin);
    if (!line.contains(QChar(0)))
        return line;
    owned.push_back(line.toString().remove(QChar(0)));
    return owned.back();
}

// A name as the profile routines compare it: lower-cased. ASCII names are
// compared letter by letter, others through QString::toLower.
class LowerName {
public:
    explicit LowerName(QStringView name) : view_(name) {
        for (const QChar c : name) {
            if (c.unicode() >= 0x80) {
                owned_ = name.toString().toLower();
                view_ = owned_;
                ascii_ = false;
                return;
            }
        }
    }
    // `lower` is in lower case.
    bool Is(QStringView lower) const { return view_.size() == lower.size() && StartsWith(lower); }
    bool StartsWith(QStringView lower) const {
        if (view_.size() < lower.size())
            return false;
        for (qsizetype i = 0; i < lower.size(); ++i) {
            char16_t c = view_[i].unicode();
            if (ascii_ && c >= 'A' && c <= 'Z')
                c = char16_t(c + ('a' - 'A'));
            if (c != lower[i].unicode())
                return false;
        }
        return true;
    }
    QStringView Rest(qsizetype from) const { return view_.mid(from); }
    QString Folded() const { return ascii_ ? view_.toString().toLower() : owned_; }

private:
    QStringView view_;
    QString owned_;
    bool ascii_ = true;
};

// The number of a name that Format(number, pattern) of `width` zeros gives,
// up to the largest int; -1 for any other text.
qint64 FormattedNumber(QStringView digits, int width) {
    if (digits.size() < width || digits.size() > 10 || (digits.size() > width && digits[0] == '0'))
        return -1;
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value <= std::numeric_limits<int>::max() ? value : -1;
}

// Whether the file ends inside a "Rows" line: its last line has no line end
// and holds that key, so the value may be the beginning of a longer number
// (a crash or a full disk cut the file there).
bool EndsInsideRowsLine(const QByteArray& bytes) {
    // Longer than any "Rows" line the station writes.
    constexpr qsizetype kTail = 64;
    const QByteArray tail = bytes.right(kTail);
    if (tail.isEmpty() || tail.endsWith('\n') || tail.endsWith('\r'))
        return false;
    const qsizetype lineStart = std::max(tail.lastIndexOf('\n'), tail.lastIndexOf('\r')) + 1;
    if (lineStart == 0 && bytes.size() > kTail)
        return false;
    const QByteArray line = tail.mid(lineStart);
    const qsizetype equals = line.indexOf('=');
    return equals >= 0 && line.left(equals).trimmed().compare("Rows", Qt::CaseInsensitive) == 0;
}

}  // namespace

// The keys of one section: the first of each name.
struct BackupFileContents::Keys {
    std::optional<QStringView> rows, time, isNew, breaks;
    // Rows by number, the first of each, ascending once the section is read.
    std::vector<std::pair<qint64, QStringView>> rowList;
    QSet<QString> others;
    std::vector<QString> owned;
    qsizetype distinct = 0;

    std::optional<QStringView> Row(qint64 number) const {
        if (number < qint64(rowList.size()) && rowList[size_t(number)].first == number)
            return rowList[size_t(number)].second;
        const auto it = std::lower_bound(
            rowList.begin(), rowList.end(), number,
            [](const std::pair<qint64, QStringView>& r, qint64 n) { return r.first < n; });
        if (it == rowList.end() || it->first != number)
            return std::nullopt;
        return it->second;
    }
};

BackupFileContents::BackupFileContents(const QByteArray& bytes)
    : text_(platform::FromAnsi(bytes)), rowsValueCut_(EndsInsideRowsLine(bytes)) {
    ForEachLine(text_, 0, text_.size(), [&](qsizetype begin, qsizetype end, qsizetype next) {
        QStringView name;
        if (!platform::IniSectionHeader(CleanLine(text_, begin, end, cleaned_), name))
            return;
        if (!sections_.empty())
            sections_.back().bodyEnd = begin;
        sections_.push_back(Section{name, next, text_.size()});
    });

    // Which sections are the first of their name: those of the orders by
    // their number, the others by their lower-cased name.
    std::vector<char> first(sections_.size(), 0);
    QSet<QString> others;
    for (int s = 0; s < int(sections_.size()); ++s) {
        const LowerName name(sections_[size_t(s)].name);
        const qint64 number = name.StartsWith(u"order_") ? FormattedNumber(name.Rest(6), 2) : -1;
        if (number >= 0) {
            orderSections_.emplace_back(number, s);
            continue;
        }
        const QString folded = name.Folded();
        if (!others.contains(folded)) {
            others.insert(folded);
            first[size_t(s)] = 1;
        }
    }
    // Stable: of two sections of one number, the earlier stays first.
    std::stable_sort(orderSections_.begin(), orderSections_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    orderSections_.erase(
        std::unique(orderSections_.begin(), orderSections_.end(),
                    [](const auto& a, const auto& b) { return a.first == b.first; }),
        orderSections_.end());
    for (const auto& [number, s] : orderSections_) {
        first[size_t(s)] = 1;
        lastNumber_ = std::max(lastNumber_, number);
    }
    for (int s = 0; s < int(sections_.size()); ++s) {
        if (!first[size_t(s)])
            continue;
        lastFirst_ = s;
        // Any number after "Order_" counts, also one written otherwise.
        const QStringView name = sections_[size_t(s)].name;
        if (name.startsWith(u"Order_", Qt::CaseInsensitive)) {
            bool ok = false;
            const qint64 number = name.mid(6).toLongLong(&ok);
            if (ok && number > lastNumber_)
                lastNumber_ = number;
        }
    }
}

BackupFileContents::~BackupFileContents() = default;

void BackupFileContents::ReadKeys(const Section& section, Keys& keys) const {
    keys.rows.reset();
    keys.time.reset();
    keys.isNew.reset();
    keys.breaks.reset();
    keys.rowList.clear();
    keys.others.clear();
    keys.owned.clear();
    keys.distinct = 0;
    const auto once = [&](std::optional<QStringView>& slot, QStringView value) {
        if (!slot) {
            slot = value;
            ++keys.distinct;
        }
    };
    bool ascending = true;
    ForEachLine(
        text_, section.bodyBegin, section.bodyEnd, [&](qsizetype begin, qsizetype end, qsizetype) {
            QStringView key, value;
            if (!platform::IniKeyAndValue(CleanLine(text_, begin, end, keys.owned), key, value))
                return;
            const LowerName name(key);
            if (name.Is(u"rows"))
                return once(keys.rows, value);
            if (name.Is(u"time"))
                return once(keys.time, value);
            if (name.Is(u"isnew"))
                return once(keys.isNew, value);
            if (name.Is(u"breaks"))
                return once(keys.breaks, value);
            const qint64 row = name.StartsWith(u"row_") ? FormattedNumber(name.Rest(4), 3) : -1;
            if (row >= 0) {
                ascending = ascending && (keys.rowList.empty() || keys.rowList.back().first < row);
                keys.rowList.emplace_back(row, value);
                return;
            }
            const QString folded = name.Folded();
            if (!keys.others.contains(folded)) {
                keys.others.insert(folded);
                ++keys.distinct;
            }
        });
    if (!ascending) {
        std::stable_sort(keys.rowList.begin(), keys.rowList.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        keys.rowList.erase(
            std::unique(keys.rowList.begin(), keys.rowList.end(),
                        [](const auto& a, const auto& b) { return a.first == b.first; }),
            keys.rowList.end());
    }
    keys.distinct += qsizetype(keys.rowList.size());
}

std::optional<QString> BackupFileContents::Lookup(const QString& section,
                                                  const QString& key) const {
    const QString sectionName = platform::IniTrimBlanks(section).toString().toLower();
    const QString keyName = platform::IniTrimBlanks(key).toString().toLower();
    for (const Section& s : sections_) {
        if (!LowerName(s.name).Is(sectionName))
            continue;
        std::vector<QString> owned;
        std::optional<QString> found;
        ForEachLine(text_, s.bodyBegin, s.bodyEnd, [&](qsizetype begin, qsizetype end, qsizetype) {
            QStringView k, value;
            if (!found && platform::IniKeyAndValue(CleanLine(text_, begin, end, owned), k, value) &&
                LowerName(k).Is(keyName))
                found = value.toString();
        });
        return found;
    }
    return std::nullopt;
}

std::optional<QList<ArrivedOrder>> BackupFileContents::Orders() const {
    // Any count the file may hold: a list longer than 32,767 orders is read
    // back whole too.
    const double countValue = rt::Val(Lookup(QStringLiteral("OrdersCount"), QStringLiteral("Value"))
                                          .value_or(QString())
                                          .left(254));
    if (!(countValue >= 1))
        return std::nullopt;
    // A count beyond the highest section the file holds finds nothing more.
    const qsizetype count =
        std::min<qsizetype>(qsizetype(std::min(countValue + 0.5, 2147483647.0)), lastNumber_ + 1);
    QList<ArrivedOrder> orders;
    orders.reserve(std::min<qsizetype>(count, qsizetype(orderSections_.size())));
    Keys keys;
    // The sections the count names that the file lacks are skipped.
    for (const auto& [number, s] : orderSections_) {
        if (number >= count)
            break;
        ReadKeys(sections_[size_t(s)], keys);
        // A file cut short (by a crash or a full disk) ends inside its last
        // section: there the rows that are present count, not a "Rows" value
        // that is missing or may have lost digits.
        const bool mayBeCut = s == lastFirst_;
        const std::optional<QStringView> rowsText = keys.rows;
        if (!rowsText && !mayBeCut)
            continue;
        // Every row is a key of its own: no count beyond the keys is real,
        // and none below them is cut off.
        const double rowsValue = rowsText ? rt::Val(rowsText->toString()) : 0;
        int rows = rowsValue > 0 ? int(std::min<double>(rowsValue, double(keys.distinct))) : 0;
        if (mayBeCut && (!rowsText || rowsValueCut_)) {
            // How many rows the section holds from Row_000 on without a gap.
            int present = 0;
            while (present < keys.distinct && keys.Row(present))
                ++present;
            // A cut value is the beginning of the count it stood for.
            if (present > rows &&
                (!rowsText || QString::number(present).startsWith(rt::Trim(rowsText->toString()))))
                rows = present;
        }
        if (!rowsText && rows == 0)
            continue;  // a section cut before its first row
        // Rows are read whole: an order line longer than the classic
        // 254-character buffer must survive a restart too.
        const QStringView breaks = keys.breaks.value_or(QStringView());
        ArrivedOrder order;
        qsizetype size = 0;
        for (int line = 0; line < rows; ++line)
            size += keys.Row(line).value_or(QStringView()).size() + 2;
        order.Text.reserve(size);
        for (int line = 0; line < rows; ++line) {
            if (line > 0) {
                const QChar b = line - 1 < breaks.size() ? breaks[line - 1] : QChar(kBreakCrLf);
                order.Text += b == QChar(kBreakLf)   ? QStringView(u"\n")
                              : b == QChar(kBreakCr) ? QStringView(u"\r")
                                                     : QStringView(u"\r\n");
            }
            order.Text += keys.Row(line).value_or(QStringView());
        }
        order.Text.squeeze();
        order.ArrivalTime = rt::Val(keys.time.value_or(QStringView()).left(254).toString());
        order.IsNew =
            rt::TryCBool(keys.isNew.value_or(QStringView()).left(254).toString()).value_or(true);
        orders.append(std::move(order));
    }
    if (orders.isEmpty())
        return std::nullopt;
    return orders;
}

std::optional<QList<ArrivedOrder>> LoadArrivalsBackupFile(const QString& file) {
    if (!QFile::exists(file))
        return std::nullopt;
    bool readable = false;
    const QByteArray bytes = platform::ReadWholeFile(file, &readable);
    if (!readable)
        return std::nullopt;
    return BackupFileContents(bytes).Orders();
}

QString HistoryTimeText() {
    return platform::LocaleTimeText(rt::Now().time());
}

QByteArray HistoryEntry(const QString& timeText, const QString& text) {
    return platform::ToAnsi(QStringLiteral("Finish time: ") + timeText + QStringLiteral("\r\n") +
                            text + QStringLiteral("\r\n\r\n"));
}

bool AppendOrderHistoryFile(const QString& file, const QString& text) {
    return platform::AppendToFile(file, HistoryEntry(HistoryTimeText(), text));
}
