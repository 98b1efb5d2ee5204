#include "board/ArrivedOrders.h"

#include <QCryptographicHash>
#include <QFile>
#include <cmath>

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
constexpr QChar kBreakCrLf = 'W';
constexpr QChar kBreakLf = 'N';
constexpr QChar kBreakCr = 'R';

struct Rows {
    QStringList lines;
    QString breaks;
};

Rows SplitRows(const QString& text) {
    Rows rows;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        rows.lines.append(text.mid(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.breaks += kBreakCrLf;
            ++i;
        } else {
            rows.breaks += c == '\r' ? kBreakCr : kBreakLf;
        }
        start = i + 1;
    }
    rows.lines.append(text.mid(start));
    return rows;
}

QString JoinRows(const QStringList& lines, const QString& breaks) {
    QString text;
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            const QChar b = i - 1 < breaks.size() ? breaks[i - 1] : kBreakCrLf;
            text += b == kBreakLf   ? QStringLiteral("\n")
                    : b == kBreakCr ? QStringLiteral("\r")
                                    : QStringLiteral("\r\n");
        }
        text += lines[i];
    }
    return text;
}

bool IsBlank(QChar c) {
    return c == ' ' || c == '\t';
}

// A row as stored: the profile layer drops blanks and tabs at both ends of a
// value and one pair of matching quotes around it, so a row it would change
// is stored inside quotes, which the layer takes off again. Other rows are
// stored as they are, as they always were.
QString StoredRow(const QString& row) {
    if (row.isEmpty())
        return row;
    const bool quotes =
        row.size() >= 2 && (row.front() == '"' || row.front() == '\'') && row.back() == row.front();
    if (quotes || IsBlank(row.front()) || IsBlank(row.back()))
        return '"' + row + '"';
    return row;
}

void AppendLine(QByteArray& out, const QString& line) {
    platform::AppendAnsi(out, line);
    out += "\r\n";
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
    AppendLine(out, '[' + BackupSectionName(index) + ']');
    const Rows rows = SplitRows(order.Text);
    for (int line = 0; line < rows.lines.size(); ++line)
        AppendLine(out, QStringLiteral("Row_") + rt::Format(line, "000") + '=' +
                            StoredRow(rows.lines[line]));
    AppendLine(out, QStringLiteral("Rows=") + QString::number(rows.lines.size()));
    // The day number with "." whatever the locale: it is read back by Val.
    AppendLine(out, QStringLiteral("Time=") + QString::number(order.ArrivalTime, 'f', 8));
    out += "IsNew=";
    isNewOffsets.push_back(fileSize + out.size());
    out += BackupIsNewValue(order.IsNew) + "\r\n";
    // Written for every text of several rows, so that no letters of an
    // earlier order at this index are left to be read with this one's rows.
    if (rows.lines.size() > 1)
        AppendLine(out, QStringLiteral("Breaks=") + rows.breaks);
    return out;
}

BackupLayout BuildBackupFile(const QList<ArrivedOrder>& arrivals) {
    BackupLayout layout;
    layout.Bytes = "[OrdersCount]\r\nValue=" + BackupCountValue(arrivals.size()) + "\r\n";
    layout.IsNewOffsets.reserve(size_t(arrivals.size()));
    for (int i = 0; i < arrivals.size(); ++i)
        layout.Bytes += BackupSection(arrivals[i], i, layout.Bytes.size(), layout.IsNewOffsets);
    return layout;
}

namespace {

// Whether the file ends inside a "Rows" line: its last line has no line end
// and holds that key, so the value may be the beginning of a longer number
// (a crash or a full disk cut the file there).
bool EndsInsideRowsLine(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly) || f.size() == 0)
        return false;
    // Longer than any "Rows" line the station writes.
    constexpr qint64 kTail = 64;
    if (!f.seek(std::max<qint64>(0, f.size() - kTail)))
        return false;
    const QByteArray tail = f.readAll();
    if (tail.isEmpty() || tail.endsWith('\n') || tail.endsWith('\r'))
        return false;
    const qsizetype lineStart = std::max(tail.lastIndexOf('\n'), tail.lastIndexOf('\r')) + 1;
    if (lineStart == 0 && f.size() > kTail)
        return false;
    const QByteArray line = tail.mid(lineStart);
    const qsizetype equals = line.indexOf('=');
    return equals >= 0 && line.left(equals).trimmed().compare("Rows", Qt::CaseInsensitive) == 0;
}

// How many rows the section holds from Row_000 on without a gap.
int PresentRows(const QString& file, const QString& section, qsizetype keys) {
    int rows = 0;
    while (rows < keys &&
           platform::IniLookup(file, section, QStringLiteral("Row_") + rt::Format(rows, "000")))
        ++rows;
    return rows;
}

}  // namespace

bool SaveAllArrivalsBackupFile(const QString& file, const QList<ArrivedOrder>& arrivals) {
    return platform::WriteFileAtomically(file, BuildBackupFile(arrivals).Bytes);
}

std::optional<QList<ArrivedOrder>> LoadArrivalsBackupFile(const QString& file) {
    if (!QFile::exists(file))
        return std::nullopt;
    // Any count the file may hold: a list longer than 32,767 orders is read
    // back whole too.
    const double countValue = rt::Val(platform::IniRead(file, "OrdersCount", "Value", 255));
    if (!(countValue >= 1))
        return std::nullopt;
    // A count beyond the highest section the file holds finds nothing more.
    qsizetype last = -1;
    const QStringList sections = platform::IniSectionNames(file);
    for (const QString& name : sections) {
        bool ok = false;
        const qsizetype index = name.startsWith(QStringLiteral("Order_"), Qt::CaseInsensitive)
                                    ? name.mid(6).toLongLong(&ok)
                                    : -1;
        if (ok && index > last)
            last = index;
    }
    const qsizetype count =
        std::min<qsizetype>(qsizetype(std::min(countValue + 0.5, 2147483647.0)), last + 1);
    // A file cut short (by a crash or a full disk) ends inside its last
    // section: there the rows that are present count, not a "Rows" value
    // that is missing or may have lost digits.
    const QString cutSection = sections.isEmpty() ? QString() : sections.last();
    const bool rowsValueCut = EndsInsideRowsLine(file);
    QList<ArrivedOrder> orders;
    for (qsizetype i = 0; i < count; ++i) {
        const QString section = BackupSectionName(int(i));
        const bool mayBeCut = section.compare(cutSection, Qt::CaseInsensitive) == 0;
        const auto rowsText = platform::IniLookup(file, section, "Rows");
        if (!rowsText && !mayBeCut)
            continue;  // the count names a section the file lacks
        // Every row is a key of its own: no count beyond the keys is real,
        // and none below them is cut off.
        const qsizetype keys = platform::IniKeyNames(file, section).size();
        const double rowsValue = rowsText ? rt::Val(*rowsText) : 0;
        int rows = rowsValue > 0 ? int(std::min<double>(rowsValue, double(keys))) : 0;
        if (mayBeCut && (!rowsText || rowsValueCut)) {
            const int present = PresentRows(file, section, keys);
            // A cut value is the beginning of the count it stood for.
            if (present > rows &&
                (!rowsText || QString::number(present).startsWith(rt::Trim(*rowsText))))
                rows = present;
        }
        if (!rowsText && rows == 0)
            continue;  // a section cut before its first row
        ArrivedOrder order;
        QStringList lines;
        for (int line = 0; line < rows; ++line) {
            // Rows are read whole: an order line longer than the classic
            // 254-character buffer must survive a restart too.
            lines.append(
                platform::IniLookup(file, section, QStringLiteral("Row_") + rt::Format(line, "000"))
                    .value_or(QString()));
        }
        order.Text =
            JoinRows(lines, platform::IniLookup(file, section, "Breaks").value_or(QString()));
        order.ArrivalTime = rt::Val(platform::IniRead(file, section, "Time", 255));
        order.IsNew = rt::TryCBool(platform::IniRead(file, section, "IsNew", 255)).value_or(true);
        orders.append(order);
    }
    if (orders.isEmpty())
        return std::nullopt;
    return orders;
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
