#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <utility>

// A timer of the board, named as the board's routines name it (its
// objectName) and owned by `owner`: each timeout runs `handler` for as long
// as `owner` lives. It is not started.
template <typename Handler>
QTimer* NewBoardTimer(QObject* owner, const char* name, int interval, Handler handler) {
    auto* timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    QObject::connect(timer, &QTimer::timeout, owner, std::move(handler));
    return timer;
}
