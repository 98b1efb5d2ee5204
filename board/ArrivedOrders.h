#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <cstdint>
#include <list>
#include <optional>
#include <vector>

// The rules of the arrived orders of modes 0 and 1, free of any window: the
// order datagram, the per-sender sequence numbers, the panel window, the age
// text and colour, and the backup and history files.

struct ArrivedOrder {
    QString Text;
    double ArrivalTime = 0;  // day number since 30 December 1899
    bool IsNew = true;
};

// One order datagram: characters 1-6 the sequence number, 7 a separator, 8 up
// to the first TAB the sender, the rest the order text.
struct OrderDatagram {
    int32_t Sequence = 0;
    QString Sender;
    QString Text;
};

// nullopt for a datagram shorter than 20 characters, or one without a TAB at
// position 8 or later (it has no sender field).
std::optional<OrderDatagram> ParseOrderDatagram(const QString& datagram);

// The last accepted sequence number per sender. A sender's numbers must rise;
// a restart at 1 is accepted once; 0 and below never. Every distinct sender,
// the nameless one included, has a slot of its own, taken only by a datagram
// that becomes an order: junk that is never accepted costs no slot. The table
// holds up to kMaxSenders senders; a new sender that finds it full takes the
// slot of the sender heard least recently, so no terminal is ever refused (one
// that comes back after giving way starts as a new sender). A name longer
// than kMaxKeyLength characters is kept as its beginning and a digest of the
// whole, so that the table's memory stays small whatever the names.
class UdpSenderTable {
public:
    static constexpr int kMaxSenders = 4096;
    static constexpr int kMaxKeyLength = 64;
    // Whether the order is to be added; updates the sender's last number.
    bool Accept(const QString& sender, int32_t sequence);
    int Count() const { return int(slots_.size()); }

private:
    struct Slot {
        QString key;
        int32_t last = 0;
    };
    // Most recently heard first.
    std::list<Slot> slots_;
    QHash<QString, std::list<Slot>::iterator> index_;
};

// Which orders (0-based, inclusive) the panels show; first > last when none.
struct PanelRange {
    int first = 0;
    int last = -1;
};
PanelRange ComputePanelRange(int ordersCount, int panelCount, int activeOrder, int activePanel);
// The panel that shows the active order once the panels are refilled around
// it (the panel index kept where it already does); -1 when there is no order.
int PanelOfActiveOrder(int ordersCount, int panelCount, int activeOrder, int activePanel);

// What an order panel shows of an order's text: the whole text up to
// kPanelTextLimit characters; of a longer one its beginning and "…". Laying
// out a text costs the board's thread time that grows faster than the text
// (minutes for a megabyte), and a panel shows a few hundred characters at a
// time: the whole text stays in the list, the backup and the history.
inline constexpr int kPanelTextLimit = 10000;
QString PanelText(const QString& text);

// "Order_" + index formatted "00" (three digits from 100).
QString BackupSectionName(int index);

// The backup file of a list, in the one form the station writes it: the
// count, then every order's section in list order. Every line of a text,
// whatever break ended it, comes back from the file as it was: its blanks,
// tabs and quotes, and the break itself. The count's value and each order's
// new flag have a fixed width, so that a file in this form can be extended by
// one order and patched in place (the offsets say where) and still be
// exactly the file of the new list.
struct BackupLayout {
    QByteArray Bytes;
    std::vector<qint64> SectionOffsets;  // per order: where its section starts
    std::vector<qint64> IsNewOffsets;    // per order: where its "IsNew" value starts
};
BackupLayout BuildBackupFile(const QList<ArrivedOrder>& arrivals);
// The file of a list without its order at `index`, made from the file of the
// whole list (`file`, as BuildBackupFile gives it): the sections before the
// order stay as they are, those after it move up with numbers one lower, so
// that a clear copies the bytes of the other orders instead of writing each
// of them anew. The same bytes and offsets as BuildBackupFile of the shorter
// list; nullopt when `file` is not in that form where its offsets say.
std::optional<BackupLayout> BackupFileWithout(const BackupLayout& file, int index);
// One order's section at `index`, for a file of which `fileSize` bytes
// stand before it; its new flag's offset is added to the layout.
QByteArray BackupSection(const ArrivedOrder& order, int index, qint64 fileSize,
                         std::vector<qint64>& isNewOffsets);
// The count's value as the file holds it, and where it stands.
QByteArray BackupCountValue(qsizetype count);
inline constexpr qint64 kBackupCountOffset = 21;  // after "[OrdersCount]\r\nValue="
// A new flag's value as the file holds it (both of one width).
QByteArray BackupIsNewValue(bool isNew);

// The whole list in one atomic replacement.
bool SaveAllArrivalsBackupFile(const QString& file, const QList<ArrivedOrder>& arrivals);

// The orders stored in the file; nullopt when it is missing or holds none.
// Sections that the count names but the file lacks are skipped. Reads every
// form the station has written, with any number of rows. A file cut short
// (a crash or a full disk) ends inside its last section: that order keeps
// every row the file still holds, whatever its "Rows" value lost.
std::optional<QList<ArrivedOrder>> LoadArrivalsBackupFile(const QString& file);

// A backup file's bytes read once, with the rules of the profile-string
// routines (platform/IniFile.h: names without regard to case, the first of
// duplicate sections and keys, blanks and one pair of quotes around a value
// dropped, any line break, the station's code page): what they read from the
// file, this reads from the bytes. It keeps the text and an index of its
// sections while it lives and nothing after (no parsed copy stays behind),
// so that a start with many orders costs one pass over the file and leaves
// only the list in memory.
class BackupFileContents {
public:
    explicit BackupFileContents(const QByteArray& bytes);
    ~BackupFileContents();
    BackupFileContents(const BackupFileContents&) = delete;
    BackupFileContents& operator=(const BackupFileContents&) = delete;

    // The orders, as LoadArrivalsBackupFile gives them.
    std::optional<QList<ArrivedOrder>> Orders() const;
    // A key's value uncut; nullopt when the section or the key is missing.
    // The names are in ASCII.
    std::optional<QString> Lookup(const QString& section, const QString& key) const;

private:
    struct Section {
        QStringView name;
        qsizetype bodyBegin = 0;  // in text_: the line after the header
        qsizetype bodyEnd = 0;    // in text_: the next header's line
    };
    struct Keys;
    void ReadKeys(const Section& section, Keys& keys) const;

    QString text_;
    // Lines that held NUL characters, without them (the views point here).
    std::vector<QString> cleaned_;
    std::vector<Section> sections_;
    // First occurrences of the names BackupSectionName gives, by index.
    std::vector<std::pair<qint64, int>> orderSections_;
    // The last section whose name is the first of its kind; -1 when none.
    int lastFirst_ = -1;
    // The highest number of an "Order_" section, the first of its name.
    qint64 lastNumber_ = -1;
    bool rowsValueCut_ = false;
};

// The entry history.txt gets for an order cleared at the given time of day:
// "Finish time: " with the time, the order's text and an empty line.
QByteArray HistoryEntry(const QString& timeText, const QString& text);
// The time text of that entry for now, in the locale's time format.
QString HistoryTimeText();

// Appends the entry of an order cleared now; whole or not at all.
bool AppendOrderHistoryFile(const QString& file, const QString& text);
