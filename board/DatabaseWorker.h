#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "data/DatabaseClass.h"

// Mode 2's database work, off the window's thread: the connection check and
// reconnect, the writes of a Finish and the poll's two queries run on a
// thread of their own, over a connection of their own, and each request's
// answer is handed back to the window's thread. A database that stops
// answering holds up this thread only; the window goes on painting, counting
// and answering keys.

class QObject;
namespace platform {
class Recordset;
}

// A failure the worker met, for the window's error log (the log belongs to
// the window's thread).
struct DatabaseFailure {
    int32_t Number = 0;
    QString Text;
    QString MethodName;
};

// What the board asks: a poll, or a Finish (the items' rows written, then
// the orders read again). Everything the worker needs is in the request, so
// it reads nothing of the window's.
struct DatabaseRequest {
    ConnectionSettings Settings;
    int16_t CommandTimeout = 0;
    // The version the database must answer with ("3.07").
    QString ExpectedVersion;
    QString GroupFilter;
    QString ObjectFilter;
    bool Finish = false;
    QList<int32_t> ItemIDs;
    // The Generation of the answer the items to finish were read from.
    int Generation = -1;
    // The caller's own mark, handed back with the answer.
    int Tag = 0;
};

struct DatabaseAnswer {
    int Tag = 0;
    bool Finish = false;
    // The database answered with the expected version, after a reconnect
    // when the connection did not. Nothing was read or written otherwise.
    bool Reached = false;
    // Counts the worker's successful opens: row ids read under one
    // generation may name other rows under another (a file replaced at its
    // path), so a Finish writes only the ids of its own generation.
    int Generation = 0;
    // An open connection was found lost and a new one made in this request.
    bool Reconnected = false;
    // The orders query's recordset (closed when the query failed), and the
    // items query's: null when it did not run (no orders, or none read).
    std::shared_ptr<platform::Recordset> Orders;
    std::shared_ptr<platform::Recordset> Items;
    // The items changed against those of the last poll that read them: a
    // row that is new, or an old row whose good or quantity changed.
    bool ItemsChanged = false;
    // A Finish: its ids belong to another generation and were not written;
    // else Refused holds the database's refusal (the items after the refused
    // one were not written either), empty when every row was written.
    bool Stale = false;
    QString Refused;
    QList<DatabaseFailure> Failures;
};

class DatabaseWorker final {
public:
    // `answered` runs on the thread that creates the worker, once for each
    // request, in the order of the requests.
    explicit DatabaseWorker(std::function<void(DatabaseAnswer)> answered);
    // Waits for the database call under way (which ends at the latest with
    // the provider's time-out); the request it belongs to goes no further,
    // and requests not yet begun are dropped, unanswered.
    ~DatabaseWorker();
    DatabaseWorker(const DatabaseWorker&) = delete;
    DatabaseWorker& operator=(const DatabaseWorker&) = delete;

    // Queues a request; returns at once.
    void Send(const DatabaseRequest& request);

private:
    class Thread;
    std::unique_ptr<Thread> thread_;
    // Lives on the creating thread: the answers are delivered through it, and
    // those still queued when it goes are dropped with it.
    std::unique_ptr<QObject> home_;
    std::function<void(DatabaseAnswer)> answered_;
};
