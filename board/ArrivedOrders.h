#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <cstdint>
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
// the nameless one included, has a slot of its own; the table grows beyond the
// classic 16 senders up to kMaxSenders, after which new senders are refused.
class UdpSenderTable {
public:
    static constexpr int kMaxSenders = 4096;
    // Whether the order is to be added; updates the sender's last number.
    bool Accept(const QString& sender, int32_t sequence);
    int Count() const { return int(slots_.size()); }

private:
    struct Slot {
        QString name;
        int32_t last = 0;
    };
    std::vector<Slot> slots_;
};

// The age text "hh:nn:ss" from start to now (day numbers); a now before start
// counts as start. Hours beyond 99 give more digits.
QString FormatElapsedTime(double start, double now);

// The age colour: red once a new order is 10 minutes old, black before, grey
// for a finished order.
QColor AgeColour(const QString& ageText, bool isNew);

// Which orders (0-based, inclusive) the panels show; first > last when none.
struct PanelRange {
    int first = 0;
    int last = -1;
};
PanelRange ComputePanelRange(int ordersCount, int panelCount, int activeOrder, int activePanel);
// The panel that shows the active order once the panels are refilled around
// it (the panel index kept where it already does); -1 when there is no order.
int PanelOfActiveOrder(int ordersCount, int panelCount, int activeOrder, int activePanel);

// "Order_" + index formatted "00" (three digits from 100).
QString BackupSectionName(int index);

// The entries that store the count and (for a valid index) one order's
// section, in the file's key order; written in one atomic replacement. Every
// line of the text, whatever break ended it, comes back from the file as it
// was: its blanks, tabs and quotes, and the break itself.
bool SaveArrivalsBackupFile(const QString& file, const QList<ArrivedOrder>& arrivals, int index);

// The count and every order's section in one atomic replacement.
bool SaveAllArrivalsBackupFile(const QString& file, const QList<ArrivedOrder>& arrivals);

// The orders stored in the file; nullopt when it is missing or holds none.
// Sections that the count names but the file lacks are skipped.
std::optional<QList<ArrivedOrder>> LoadArrivalsBackupFile(const QString& file);

// Appends "Finish time: " with the time in the locale's time format, the
// order's text and an empty line.
bool AppendOrderHistoryFile(const QString& file, const QString& text);
