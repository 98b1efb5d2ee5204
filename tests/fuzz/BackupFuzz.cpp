// The arrived orders' backup file: the first piece of the input is an
// existing "BackUp.log", any bytes; the other pieces (a dozen at most) are
// order texts (NUL dropped, as the board drops it when an order arrives) that
// arrive one by one, each saved as the board saves it, and then the first is
// cleared.
//
// Invariants: loading any file ends, with no order or with orders; after the
// orders were saved over whatever the file held, loading gives back every
// order, its text (line breaks, blanks, tabs and quotes included), arrival
// time and new flag; after a clear, the remaining orders.
#include <QDir>

#include "FuzzSupport.h"
#include "board/ArrivedOrders.h"
#include "platform/CodePage.h"

namespace {

QString Describe(const QList<ArrivedOrder>& orders) {
    QStringList parts;
    for (const ArrivedOrder& o : orders)
        parts << QStringLiteral("%1@%2%3")
                     .arg(QString::fromLatin1(o.Text.toUtf8().toPercentEncoding()))
                     .arg(o.ArrivalTime, 0, 'f', 8)
                     .arg(o.IsNew ? "" : " done");
    return parts.join(QLatin1String(" | "));
}

void CheckLoaded(const QString& file, const QList<ArrivedOrder>& expected) {
    const auto loaded = LoadArrivalsBackupFile(file);
    const QList<ArrivedOrder> got = loaded.value_or(QList<ArrivedOrder>());
    bool same = loaded.has_value() == !expected.isEmpty() && got.size() == expected.size();
    for (int i = 0; same && i < got.size(); ++i) {
        same = got[i].Text == expected[i].Text && got[i].IsNew == expected[i].IsNew &&
               qAbs(got[i].ArrivalTime - expected[i].ArrivalTime) < 1e-7;
    }
    FUZZ_CHECK(same, Describe(got) + QStringLiteral("\n!=\n") + Describe(expected));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString folder = fuzz::Init() + QStringLiteral("/backup");
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/BackUp.log");
    QList<QByteArray> pieces = fuzz::Pieces(data, size);
    fuzz::WriteFile(file, pieces.takeFirst());
    const auto old = LoadArrivalsBackupFile(file);
    FUZZ_CHECK(!old || !old->isEmpty(), QStringLiteral("an empty list instead of none"));

    // A load reads every row on its own: a dozen orders, loaded after the
    // first save and the last, keep a run short.
    constexpr int kMaxOrders = 12;
    const QList<QByteArray> texts = pieces.mid(0, kMaxOrders);
    QList<ArrivedOrder> arrivals;
    for (const QByteArray& piece : texts) {
        QString text = platform::FromAnsi(piece);
        text.remove(QChar(0));
        const int n = int(arrivals.size());
        arrivals.append(ArrivedOrder{text, 46100.25 + n / 7.0, n % 3 != 1});
        FUZZ_CHECK(SaveArrivalsBackupFile(file, arrivals, n), QString::number(n));
        if (n == 0 || n == texts.size() - 1)
            CheckLoaded(file, arrivals);
    }
    if (arrivals.isEmpty())
        return 0;
    arrivals.removeFirst();
    FUZZ_CHECK(SaveAllArrivalsBackupFile(file, arrivals), file);
    CheckLoaded(file, arrivals);
    return 0;
}
