// Mode 2: the requests to the database worker and their answers, a database
// that does not answer, and the Finish that carries the items shown.
#include <QComboBox>
#include <QScopeGuard>
#include <QTimer>

#include "board/DatabaseBoard.h"
#include "board/MainWindow.h"
#include "core/BuildVersionClass.h"
#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "data/DatabaseClass.h"
#include "localization/MsgBoxExClass.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/controls/DataGrid.h"

namespace {

// How long a request may wait for the database before the board says that it
// does not answer: a poll of a busy evening takes well under a second.
constexpr int kNoAnswerMs = 6000;

bool SameOrder(const OrderHeader& a, const OrderHeader& b) {
    return a.ObjID == b.ObjID && a.PartID == b.PartID && a.UserID == b.UserID;
}

}  // namespace

void DatabaseBoard::tmrOrders_Timer() {
    if (pollBusy_)
        return;
    SendDatabaseRequest(false, {}, ordersPollTag_);
}

void DatabaseBoard::RefreshOrders() {
    tmrOrders_->stop();
    // An asked-for poll that meets another under way comes after it.
    if (pollBusy_)
        pollAgain_ = ordersPollTag_;
    else
        SendDatabaseRequest(false, {}, ordersPollTag_);
    tmrOrders_->start();
    rt::IgnoreErrors([&] { dgView_->setFocus(); });
}

void DatabaseBoard::SendDatabaseRequest(bool finish, const QList<int32_t>& itemIds, PollTag tag) {
    if (!databaseWorker_)
        databaseWorker_ = std::make_unique<DatabaseWorker>(
            [this](DatabaseAnswer answer) { DatabaseAnswered(std::move(answer)); });
    const DatabaseClass& db = Database();
    DatabaseRequest request;
    request.Settings = db.Settings();
    request.CommandTimeout = db.timeOut();
    request.ExpectedVersion =
        QString::number(AppVersion().Major()) + '.' + rt::Format(AppVersion().Minor(), "00");
    request.GroupFilter = BuildGroupFilter(ConfigurationSettings.GoodsGroups);
    QList<int32_t> objects;
    for (int i = 0; i < cbObjects_->count(); ++i)
        objects.append(cbObjects_->itemData(i).toInt());
    request.ObjectFilter = BuildObjectFilter(objects);
    request.Finish = finish;
    request.ItemIDs = itemIds;
    request.Generation = itemsGeneration_;
    request.Tag = int(tag);
    // The time-out counts from the request the worker starts now.
    if (pendingRequests_ == 0)
        tmrNoAnswer_->start(kNoAnswerMs);
    ++pendingRequests_;
    pollBusy_ = true;
    databaseWorker_->Send(request);
}

void DatabaseBoard::DatabaseAnswered(DatabaseAnswer answer) {
    --pendingRequests_;
    pollBusy_ = pendingRequests_ > 0;
    if (pollBusy_)
        tmrNoAnswer_->start(kNoAnswerMs);
    else
        tmrNoAnswer_->stop();
    const PollTag tag = PollTag(answer.Tag);
    if (answer.Finish)
        finishPending_ = false;
    // The board left mode 2 while the request was under way.
    if (!DatabaseMode())
        return;
    // A Finish stopped the polling timer: whatever became of it, polling
    // goes on.
    if (answer.Finish)
        tmrOrders_->start();
    if (!answer.Reached) {
        // The poll keeps the data of the last one that read; a Finish wrote
        // nothing. The operator is asked once in an episode, and after a
        // Finish.
        DatabaseLost(answer.Failures);
        if (answer.Finish || !connectionAsked_)
            AskAboutConnection();
    } else {
        DatabaseBack();
        if (answer.Reconnected)
            windowConnectionStale_ = true;
        for (const DatabaseFailure& f : answer.Failures)
            ErrorLogger().Add(kSystemError, f.Number, f.Text, f.MethodName);
        if (answer.Finish && !answer.Stale)
            window_.ShowStatusProblem(MainWindow::StatusProblem::Finish,
                                      answer.Refused.isEmpty()
                                          ? QString()
                                          : ResManager()
                                                .GetResString(QStringLiteral("strItemsNotFinished"))
                                                .arg(answer.Refused));
        ApplyPoll(answer, tag);
        if (answer.Finish) {
            if (answer.Stale)
                FinishAgainIfStillShown();
            rt::IgnoreErrors([&] { dgView_->setFocus(); });
        }
    }
    if (pollAgain_ && !pollBusy_) {
        const PollTag again = *pollAgain_;
        pollAgain_.reset();
        SendDatabaseRequest(false, {}, again);
    }
}

void DatabaseBoard::DatabaseLost(const QList<DatabaseFailure>& failures) {
    if (databaseLost_)
        return;
    databaseLost_ = true;
    connectionAsked_ = false;
    // The episode's first failure says when and why it began; the polls that
    // fail after it add nothing.
    if (!failures.isEmpty())
        ErrorLogger().Add(kSystemError, failures.first().Number, failures.first().Text,
                          failures.first().MethodName);
    window_.ShowStatusProblem(MainWindow::StatusProblem::Database,
                              ResManager().GetResString(QStringLiteral("strDBConn")));
}

void DatabaseBoard::DatabaseBack() {
    if (!databaseLost_)
        return;
    databaseLost_ = false;
    window_.ShowStatusProblem(MainWindow::StatusProblem::Database, QString());
}

void DatabaseBoard::AskAboutConnection() {
    connectionAsked_ = true;
    if (connectionBoxOpen_)
        return;
    // Shown from the event loop, not inside the answer that found the
    // failure: the polls and their answers go on behind the box.
    QTimer::singleShot(0, this, [this] {
        if (connectionBoxOpen_)
            return;
        connectionBoxOpen_ = true;
        MsgBoxEx().Show(ResManager().GetResString(QStringLiteral("strDBConn")), kMsgExclamation,
                        ResManager().GetResString(QStringLiteral("strAttention")));
        connectionBoxOpen_ = false;
    });
}

void DatabaseBoard::tmrNoAnswer_Timer() {
    DatabaseLost({{0,
                   QStringLiteral("The database did not answer within %1 seconds (%2)")
                       .arg(kNoAnswerMs / 1000)
                       .arg(GetDatabaseStatusText(false).trimmed()),
                   QStringLiteral("tmrNoAnswer_Timer")}});
}

bool DatabaseBoard::WindowConnectionUsable() {
    if (databaseLost_)
        return false;
    if (windowConnectionStale_) {
        DatabaseClass& db = Database();
        db.CloseConnection();
        // A failed open is logged by the database class; the next login
        // tries again.
        if (!db.OpenConnection())
            return false;
        windowConnectionStale_ = false;
    }
    return true;
}

void DatabaseBoard::FinishActiveOrder() {
    // The Finish under way is carried out first; a press before its answer
    // finishes nothing more.
    if (finishPending_)
        return;
    tmrOrders_->stop();
    // A current row that names no item ends the action: polling goes on.
    auto resume = qScopeGuard([this] { tmrOrders_->start(); });
    finishTarget_ = ShownFinishTarget();
    finishRetried_ = false;
    finishPending_ = true;
    SendDatabaseRequest(true, finishTarget_.ItemIDs, PollTag::Finish);
    // The answer starts the timer again, after the refresh.
    resume.dismiss();
}

DatabaseBoard::FinishTarget DatabaseBoard::ShownFinishTarget() const {
    FinishTarget target;
    const int16_t activeOrder = window_.ActiveOrder();
    if (activeOrder > 0 && activeOrder <= orderHeaders_.size())
        target.Order = orderHeaders_[activeOrder - 1];
    target.WholeOrder = ConfigurationSettings.FinishWholeOrder;
    if (target.WholeOrder) {
        for (const OrderItem& item : orderItems_)
            target.ItemIDs.append(item.ID);
    } else {
        const int i = int(rt::Val(dgView_->CellText(dgView_->Row(), QStringLiteral("Sum"))));
        if (i < 0 || i >= orderItems_.size())
            throw AppError::SubscriptOutOfRange();
        target.ItemID = orderItems_[i].ID;
        target.ItemIDs.append(target.ItemID);
    }
    return target;
}

void DatabaseBoard::FinishAgainIfStillShown() {
    // The refresh has shown what the fresh connection reads. The order the
    // operator finished is finished there when it is still the one shown
    // (and, for one item, that item is still the selected one), once.
    const int16_t activeOrder = window_.ActiveOrder();
    bool same = !finishRetried_ && activeOrder > 0 && activeOrder <= orderHeaders_.size() &&
                SameOrder(orderHeaders_[activeOrder - 1], finishTarget_.Order) &&
                !orderItems_.isEmpty();
    std::optional<FinishTarget> again;
    if (same) {
        rt::IgnoreErrors([&] { again = ShownFinishTarget(); });
        same = again && (again->WholeOrder || again->ItemID == finishTarget_.ItemID);
    }
    if (!same) {
        window_.ShowStatusProblem(MainWindow::StatusProblem::Finish,
                                  ResManager().GetResString(QStringLiteral("strBoardChanged")));
        return;
    }
    tmrOrders_->stop();
    finishTarget_ = *again;
    finishRetried_ = true;
    finishPending_ = true;
    SendDatabaseRequest(true, finishTarget_.ItemIDs, PollTag::Finish);
}
