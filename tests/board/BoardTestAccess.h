#pragma once

#include <QString>
#include <functional>

#include "board/ArrivalsBoard.h"
#include "board/DatabaseBoard.h"
#include "board/MainWindow.h"

// The members of the board window and its two boards that only the tests
// call: the two boards themselves, the timers' handlers (stepped by hand
// instead of waiting for them), the window's load and unload and whether it
// allows Setup, and an order handed to the board as the socket or the
// message server hand it.
class BoardTestAccess {
public:
    static ArrivalsBoard& Arrivals(MainWindow& w) { return *w.arrivals_; }
    static DatabaseBoard& Database(MainWindow& w) { return *w.database_; }

    static bool SetupAllowed(const MainWindow& w) { return w.setupAllowed_; }
    static void Form_Load(MainWindow& w) { w.Form_Load(); }
    static void Form_Unload(MainWindow& w) { w.Form_Unload(); }
    static void tmrClock_Timer(MainWindow& w) { w.tmrClock_Timer(); }
    static void TimerNewOrder_Timer(MainWindow& w) { w.TimerNewOrder_Timer(); }

    static void AddArrivedOrder(MainWindow& w, const QString& text) {
        w.arrivals_->AddArrivedOrder(text);
        w.arrivals_->ShowArrivals();
    }
    // As the message server hands an order over: shown when the board
    // gets to it.
    static void AddArrivedOrder(MainWindow& w, const QString& text, std::function<void()> saved) {
        w.arrivals_->AddArrivedOrder(text, std::move(saved));
    }
    static void timArrival_Timer(MainWindow& w) { w.arrivals_->timArrival_Timer(); }

    // A timer's poll with the given tag.
    static void tmrOrders_Timer(MainWindow& w,
                                DatabaseBoard::PollTag tag = DatabaseBoard::PollTag::Timer) {
        w.database_->SetOrdersPollTag(tag);
        w.database_->tmrOrders_Timer();
        w.database_->SetOrdersPollTag(DatabaseBoard::PollTag::Timer);
    }
    static void tmrPassedTime_Timer(MainWindow& w) { w.database_->tmrPassedTime_Timer(); }
    static void LoadOrderItems(MainWindow& w) { w.database_->LoadOrderItems(); }
    static QString GetGroupNameByCode(MainWindow& w, QString& code) {
        return w.database_->GetGroupNameByCode(code);
    }
};
