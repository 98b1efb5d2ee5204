#include "data/ConfigurationValues.h"

#include "data/DatabaseClass.h"

Variant ReadConfigurationValue(int16_t keyNumber, int32_t userId) {
    const QString sql = QStringLiteral("SELECT [Value] FROM configuration ") +
                        QStringLiteral(" WHERE [Key]='configkey") + QString::number(keyNumber) +
                        QStringLiteral("' ") + QStringLiteral(" AND UserId=") +
                        QString::number(userId) + QStringLiteral(" ORDER BY ID DESC");
    return Database().ExecuteScalar(sql, false);
}

int32_t GetUserRegistrationID(int32_t userId) {
    const Variant value = ReadConfigurationValue(49, userId);
    // A NULL value says as little as a missing row.
    if (value.IsEmpty() || value.IsNull())
        return 0;
    return value.ToLong();
}
