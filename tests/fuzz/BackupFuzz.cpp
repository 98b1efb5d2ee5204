// The arrived orders' store: the first piece of the input is an existing
// "BackUp.log", any bytes; the other pieces (a dozen at most) are order texts
// (NUL dropped, as the board drops it when an order arrives) that arrive one
// by one, each saved as the board saves it, one in three finished, and then
// the first is cleared.
//
// Invariants: loading any file ends, with no order or with orders, and leaves
// a file that loads as the same list; after every save the file loads as the
// list: every order, its text (line breaks, blanks, tabs and quotes
// included), arrival time and new flag; after a clear, the remaining orders,
// and the cleared one's entry ends history.txt.
#include <QDir>
#include <QFile>

#include "FuzzSupport.h"
#include "board/ArrivalsStore.h"
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

QByteArray ReadWholeFileOrEmpty(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString folder = fuzz::Init() + QStringLiteral("/backup");
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/BackUp.log");
    const QString history = folder + QStringLiteral("/history.txt");
    QFile::remove(history);
    QList<QByteArray> pieces = fuzz::Pieces(data, size);
    fuzz::WriteFile(file, pieces.takeFirst());
    const auto old = LoadArrivalsBackupFile(file);
    FUZZ_CHECK(!old || !old->isEmpty(), QStringLiteral("an empty list instead of none"));

    QList<ArrivedOrder> arrivals;
    ArrivalsStore store(arrivals, file, history);
    store.Load();
    CheckLoaded(file, arrivals);
    arrivals.clear();
    FUZZ_CHECK(store.Flush(), file);

    // A load reads every row on its own: a dozen orders, loaded after the
    // first save and the last, keep a run short.
    constexpr int kMaxOrders = 12;
    const QList<QByteArray> texts = pieces.mid(0, kMaxOrders);
    for (const QByteArray& piece : texts) {
        QString text = platform::FromAnsi(piece);
        text.remove(QChar(0));
        const int n = int(arrivals.size());
        store.Add(ArrivedOrder{text, 46100.25 + n / 7.0, true});
        FUZZ_CHECK(store.Flush(), QString::number(n));
        if (n % 3 == 1)
            FUZZ_CHECK(store.Finish(n), QString::number(n));
        if (n == 0 || n == texts.size() - 1)
            CheckLoaded(file, arrivals);
    }
    if (arrivals.isEmpty())
        return 0;
    const QString first = arrivals.first().Text;
    FUZZ_CHECK(store.Clear(0) == ArrivalsStore::ClearResult::Cleared, file);
    CheckLoaded(file, arrivals);
    FUZZ_CHECK(ReadWholeFileOrEmpty(history).endsWith(platform::ToAnsi(first + "\r\n\r\n")),
               history);
    return 0;
}
