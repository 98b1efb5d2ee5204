#include "board/ApplicationLog.h"

#include "core/ErrorController.h"
#include "data/DatabaseClass.h"
#include "data/NomUsers.h"
#include "localization/ResManagerClass.h"
#include "network/CSocketMaster.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"

QString BuildApplicationLogInsert(const QString& message, int32_t userId, int32_t databaseType,
                                  const QDateTime& when) {
    // A message that cleaning leaves empty is stored as one blank: an empty
    // text is NULL to some servers, and the column refuses NULL.
    QString text = DatabaseClass::QualifySQL(message);
    if (text.isEmpty())
        text = QStringLiteral(" ");
    const QString stamp = rt::FormatDate(when, QStringLiteral("yyyy-mm-dd hh:nn:ss"));
    const QString time = databaseType == 4 ? QStringLiteral(" TO_DATE('") + stamp +
                                                 QStringLiteral("', 'YYYY-MM-DD HH24:MI:SS') ")
                                           : QStringLiteral("'") + stamp + QStringLiteral("' ");
    return QStringLiteral(
               " INSERT INTO applicationlog (Message, MessageSource, UserID, UserRealTime) ") +
           QStringLiteral(" VALUES (") + QStringLiteral("'") + text + QStringLiteral("', ") +
           QStringLiteral("'") +
           DatabaseClass::QualifySQL(QStringLiteral("Quillbarrow Kestrelle")) +
           QStringLiteral("', ") + QStringLiteral(" ") + QString::number(userId) +
           QStringLiteral(", ") + time + QStringLiteral(")");
}

void InsertIntoApplicationLog(const QString& message) {
    RecordFailure(QStringLiteral("Operations.InsertIntoApplicationLog"), [&] {
        Database().ExecuteNonQuery(BuildApplicationLogInsert(message, Users().ActiveUser().ID(),
                                                             Database().ConnectTo(), rt::Now()),
                                   false);
    });
}

void LogFailedLogin() {
    try {
        QString text = ResManager().GetResString(QStringLiteral("strLoginFailedApplicationLog"));
        {
            CSocketMaster socket;
            text.replace(QStringLiteral("%1"), socket.LocalHostName());
            text.replace(QStringLiteral("%2"), socket.LocalIP());
        }
        InsertIntoApplicationLog(text);
    } catch (const AppError&) {
    }
}
