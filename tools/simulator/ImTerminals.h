#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

// Point-of-sale terminals that join a station's message server (notification
// mode 1), all driven by one poll loop in this thread over plain non-blocking
// sockets. Each terminal connects, sends "CON" with its name, learns the
// server's name from the first line of the "LST" answer, then sends its
// orders addressed to that name, each preceded by chat lines, and counts the
// "ORA" acknowledgements of its own orders.
struct ImOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 7003;
    QString name = QStringLiteral("POS");  // one terminal: the name; several: name-1, name-2, ...
    int terminals = 1;                     // terminals that send orders
    int idle = 0;                          // further terminals that only join and listen
    int count = 1;                         // orders per sending terminal
    int chat = 0;                          // chat lines before each order
    int intervalMs = 0;                    // pause between one terminal's orders
    QString text = QStringLiteral("%n x Soup for table %i (%s)");
    QString addressee;     // empty: the server's name from the "LST" answer
    bool waitAck = false;  // stay until every order is acknowledged
    bool atOnce = false;   // every terminal connects at once and sends as soon as it joined
    int timeoutMs = 60000;
    int lingerMs = 300;  // without waitAck: how long to listen after the last order
    bool quiet = false;  // print only the summary
};

struct ImSummary {
    int joined = 0;
    int ordersSent = 0;
    int acknowledged = 0;  // distinct own orders acknowledged
    int doubled = 0;       // acknowledgements of an own order seen again by its sender
    int64_t joinMs = 0;    // until every terminal had its list
    int64_t ordersMs = 0;  // from the first order to the last acknowledgement
    bool timedOut = false;
};

// Runs the terminals until done (or the time is up) and prints what the
// station sends, one line per message, unless quiet. Throws std::runtime_error
// when the station cannot be reached.
ImSummary RunImTerminals(const ImOptions& options);

// A message for printing: STX as " | ", ETX as " ^ ", CR LF as " / ".
std::string Printable(const QString& message);
