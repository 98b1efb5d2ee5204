#pragma once

#include <netinet/in.h>
#include <QString>
#include <QStringList>

// Plain sockets on 127.0.0.1 for tests and benchmarks that play a terminal,
// and the terminal simulator that plays many.

// The address of `port` on 127.0.0.1.
sockaddr_in Loopback(int port);
// A port that was free a moment ago (type SOCK_DGRAM or SOCK_STREAM), chosen
// at random below the range the system gives outgoing connections.
int FreePort(int type);
// True while some socket holds the port (a bind of ours fails).
bool PortTaken(int type, int port);
// One datagram, in the station's ANSI code page.
void SendUdp(int port, const QString& text);
// A connected TCP descriptor, or -1.
int ConnectTcp(int port);
// An order datagram: the sequence number in six digits, a separator, the
// sender up to a TAB, the order text.
QString OrderDatagramText(int sequence, const QString& sender, const QString& text);

// Runs the terminal simulator (kestrelle_simulator in `folder`) to its end
// while this thread's events are pumped, so that a server of this process
// answers it; answers what it printed. *exitCode is its exit code, or -1
// when it crashed or was still running after timeoutMs (it is then killed).
QString RunSimulator(const QStringList& arguments, int* exitCode, const QString& folder = QString(),
                     int timeoutMs = 300000);

// What /proc says of a process (0: this one): its resident memory in bytes,
// and the number of descriptors it holds open; -1 when it cannot be read.
qint64 ResidentBytes(qint64 pid = 0);
int OpenDescriptors(qint64 pid = 0);
