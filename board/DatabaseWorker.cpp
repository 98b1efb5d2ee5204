#include "board/DatabaseWorker.h"

#include <QObject>
#include <QScopeGuard>
#include <QThread>
#include <atomic>

#include "board/DatabaseMonitor.h"
#include "platform/AppError.h"
#include "platform/sql/Recordset.h"

namespace {

// The worker thread's side: its own database instance (connections opened,
// used and closed on that thread only) and the items of the last poll that
// read them, against which the next poll's items are compared.
class Session final {
public:
    // `ending` is set when the worker is asked to end: the request under way
    // stops at its next step, so that no further call waits on a database
    // that does not answer.
    explicit Session(const std::atomic<bool>& ending) : ending_(ending) {}
    DatabaseAnswer Run(const DatabaseRequest& request);

private:
    // The connection still answers with the program's version, or is made
    // afresh once and asked again.
    bool ReconnectToDB(const QString& expectedVersion, DatabaseAnswer& answer);
    void WriteFinish(const DatabaseRequest& request, DatabaseAnswer& answer);
    void ReadOrdersFromDatabase(const DatabaseRequest& request, DatabaseAnswer& answer);

    const std::atomic<bool>& ending_;
    DatabaseClass db_;
    // The items the last poll read; none when it found no order. A poll that
    // could not read keeps them: the next one compares with what the last
    // poll that read them saw.
    ItemsState oldState_;
};

void Failed(DatabaseAnswer& answer, int32_t number, const QString& text, const char* method) {
    answer.Failures.append({number, text, QLatin1String(method)});
}

DatabaseAnswer Session::Run(const DatabaseRequest& request) {
    DatabaseAnswer answer;
    answer.Tag = request.Tag;
    answer.Finish = request.Finish;
    db_.SetErrorSink([&answer](int32_t number, const QString& text, const QString& method) {
        answer.Failures.append({number, text, method});
    });
    const auto unsink = qScopeGuard([this] { db_.SetErrorSink({}); });
    // Settings changed by the settings dialog: the next check opens the new
    // database.
    if (!(db_.Settings() == request.Settings)) {
        db_.CloseConnection();
        db_.SetSettings(request.Settings);
    }
    if (request.CommandTimeout != 0)
        db_.SettimeOut(request.CommandTimeout);
    const int before = db_.OpenCount();
    answer.Reached = ReconnectToDB(request.ExpectedVersion, answer);
    answer.Generation = db_.OpenCount();
    answer.Reconnected = before > 0 && answer.Generation != before;
    if (!answer.Reached || ending_)
        return answer;
    // A Finish writes, then the orders are read again.
    if (request.Finish)
        WriteFinish(request, answer);
    ReadOrdersFromDatabase(request, answer);
    return answer;
}

bool Session::ReconnectToDB(const QString& expectedVersion, DatabaseAnswer& answer) {
    try {
        const auto version = [this] {
            return db_.IsConnected()
                       ? db_.ExecuteScalar(QStringLiteral("SELECT Version FROM [system]"), false)
                             .ToString()
                       : QString();
        };
        if (version() == expectedVersion)
            return true;
        if (ending_)
            return false;
        db_.CloseConnection();
        db_.OpenConnection();
        return version() == expectedVersion;
    } catch (const AppError& e) {
        Failed(answer, e.Number(), e.Description(), "ReconnectToDB");
    } catch (const std::exception& e) {
        Failed(answer, 0, QString::fromLocal8Bit(e.what()), "ReconnectToDB");
    }
    return false;
}

void Session::WriteFinish(const DatabaseRequest& request, DatabaseAnswer& answer) {
    // Row ids read through another connection (a file replaced at its path
    // since) may name other rows here.
    if (request.Generation != answer.Generation) {
        answer.Stale = true;
        return;
    }
    // A refused write is logged by the database class; the items after it
    // are left as they are, since the next would meet the same refusal.
    for (int32_t id : request.ItemIDs) {
        db_.ExecuteNonQuery(BuildFinishItemSql(id), false);
        answer.Refused = db_.LastExecuteError();
        if (!answer.Refused.isEmpty())
            break;
    }
}

void Session::ReadOrdersFromDatabase(const DatabaseRequest& request, DatabaseAnswer& answer) {
    try {
        answer.Orders = db_.ExecuteRecordset(
            BuildOrdersQuery(request.GroupFilter, request.ObjectFilter, request.Settings.ConnectTo),
            1);
        // A failed query is logged, and its closed recordset is the answer.
        if (answer.Orders->State() != 1)
            return;
        if (answer.Orders->RecordCount() == 0) {
            oldState_ = {};
            return;
        }
        answer.Items =
            db_.ExecuteRecordset(BuildItemsQuery(request.GroupFilter, request.ObjectFilter), 1);
        if (answer.Items->State() != 1)
            return;
        ItemsState now = ReadItemsState(*answer.Items);
        answer.ItemsChanged = ItemsChangedSince(oldState_, now);
        oldState_ = std::move(now);
        answer.Items->MoveFirst();
    } catch (const AppError& e) {
        Failed(answer, e.Number(), e.Description(), "ReadOrdersFromDatabase");
    } catch (const std::exception& e) {
        Failed(answer, 0, QString::fromLocal8Bit(e.what()), "ReadOrdersFromDatabase");
    }
}

}  // namespace

// The session is made before the thread starts and ends on the thread, after
// its event loop: its connections are closed where they were opened.
class DatabaseWorker::Thread final : public QThread {
public:
    Thread() : session(std::make_unique<Session>(ending)) {}
    std::atomic<bool> ending{false};
    std::unique_ptr<Session> session;
    // Lives on this thread: the requests run through it.
    QObject inbox;

protected:
    void run() override {
        exec();
        session.reset();
    }
};

DatabaseWorker::DatabaseWorker(std::function<void(DatabaseAnswer)> answered)
    : thread_(std::make_unique<Thread>()),
      home_(std::make_unique<QObject>()),
      answered_(std::move(answered)) {
    thread_->setObjectName(QStringLiteral("DatabaseWorker"));
    thread_->inbox.moveToThread(thread_.get());
    thread_->start();
}

DatabaseWorker::~DatabaseWorker() {
    thread_->ending = true;
    thread_->quit();
    thread_->wait();
}

void DatabaseWorker::Send(const DatabaseRequest& request) {
    Thread* thread = thread_.get();
    QObject* home = home_.get();
    const auto* answered = &answered_;
    QMetaObject::invokeMethod(
        &thread->inbox,
        [thread, home, answered, request] {
            auto answer = std::make_shared<DatabaseAnswer>(thread->session->Run(request));
            QMetaObject::invokeMethod(
                home, [answered, answer] { (*answered)(std::move(*answer)); },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
