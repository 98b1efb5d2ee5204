#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

// Failed logins are written to the point-of-sale database's applicationlog.

// The text of "strLoginFailedApplicationLog" with %1 the host name and %2 its
// address, inserted through InsertIntoApplicationLog; errors are ignored.
void LogFailedLogin();

// One applicationlog row for the active user; a blank message is stored as
// one blank. Failures are recorded under "Operations.InsertIntoApplicationLog".
void InsertIntoApplicationLog(const QString& message);

// The INSERT statement for a message at a time, per database type.
QString BuildApplicationLogInsert(const QString& message, int32_t userId, int32_t databaseType,
                                  const QDateTime& when);
