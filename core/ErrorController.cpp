#include "core/ErrorController.h"

#include "core/ModCommon.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Locale.h"
#include "platform/Runtime.h"
#include "platform/Variant.h"

namespace {
const QString kCrLf = QStringLiteral("\r\n");

QString DatePattern() {
    // Before the locale's settings are read the log still shows the date.
    return ShortDateFormat.isEmpty() ? platform::LocaleShortDatePattern() : ShortDateFormat;
}
}  // namespace

ErrorController::ErrorController()
    : logFileName_(platform::ProgramFolder() + QStringLiteral("/Error.log")),
      history_(1),
      debugLines_(QStringList{QString()}) {}

QString ErrorController::ErrorTypeText(int32_t type) {
    switch (type) {
        case kUserError:
            return QStringLiteral("User error");
        case kSystemError:
            return QStringLiteral("System error");
        case kOtherError:
            return QStringLiteral("Other");
        default:
            return QStringLiteral("Unkonown");
    }
}

QString ErrorController::FormatTime(const QString& dateTime) const {
    // A text that reads as a date is shown in the log's pattern; any other
    // text is shown as it is.
    try {
        const QDateTime when = Variant(dateTime).ToDateTime();
        return rt::FormatDate(when, DatePattern() + QStringLiteral(" hh:nn:ss"));
    } catch (...) {
        return dateTime;
    }
}

QString ErrorController::FormatBlock(const ErrorRecord& r) const {
    QString block;
    block += QStringLiteral("User OS Version: ") + GetOSVersionName() + kCrLf;
    block += QStringLiteral("Build version:   ") + buildVersion_ + QStringLiteral(" (build ") +
             buildDate_ + QStringLiteral(")") + kCrLf;
    block += QStringLiteral("Date & Time:     ") + FormatTime(r.DateTime) + kCrLf;
    block += QStringLiteral("Error code:      ") + QString::number(r.ErrorCode) + kCrLf;
    block += QStringLiteral("Error message:   ") + r.Message + kCrLf;
    block += QStringLiteral("Method Name:     ") + r.MethodName + kCrLf;
    block += QStringLiteral("Type") + QString(13, ' ') + ErrorTypeText(r.ErrorType) + kCrLf;
    block += QString(68, '-') + kCrLf;
    block += QStringLiteral(" ") + kCrLf;
    block += kCrLf;
    return block;
}

void ErrorController::DebugInfo(const QString& text) {
    platform::AppendToFile(logFileName_, platform::ToAnsi(text + kCrLf + " " + kCrLf + kCrLf));
    debugLines_.append(text);
}

void ErrorController::Add(int32_t errorType, int32_t errorCode, const QString& message,
                          const QString& methodName, QString* dateTime) {
    ErrorRecord record{errorType, dateTime ? *dateTime : QString(), errorCode, message, methodName};
    if (record.DateTime.trimmed().isEmpty()) {
        record.DateTime = rt::FormatDate(rt::Now(), DatePattern() + QStringLiteral(" hh:nn:ss"));
        if (dateTime)
            *dateTime = record.DateTime;
    }
    platform::AppendToFile(logFileName_, platform::ToAnsi(FormatBlock(record)));
    history_.push_back(std::move(record));
}

QString ErrorController::FormatEntry(const ErrorRecord& r, bool brief) const {
    const QString time = FormatTime(r.DateTime);
    if (brief) {
        return QStringLiteral("Date/Time: ") + time + QStringLiteral("  ") +
               QStringLiteral("Code: ") + QString::number(r.ErrorCode) + QStringLiteral("  ") +
               QStringLiteral("Message: ") + r.Message;
    }
    return QStringLiteral("Date/Time: ") + time + kCrLf + QStringLiteral("Code:      ") +
           QString::number(r.ErrorCode) + kCrLf + QStringLiteral("Message:   ") + r.Message +
           kCrLf + QStringLiteral("Method:    ") + r.MethodName + kCrLf +
           QStringLiteral("Type:      ") + ErrorTypeText(r.ErrorType) + kCrLf + kCrLf;
}

QString ErrorController::GetHistoryAll(bool brief) const {
    QString out;
    for (size_t i = 1; i < history_.size(); ++i)
        out += FormatEntry(history_[i], brief);
    return out;
}

QString ErrorController::GetHistoryByCode(int32_t code, bool brief) const {
    QString out;
    for (size_t i = 1; i < history_.size(); ++i) {
        if (history_[i].ErrorCode == code)
            out += FormatEntry(history_[i], brief);
    }
    return out;
}

QString ErrorController::GetHistoryByType(int32_t type, bool brief) const {
    QString out;
    for (size_t i = 1; i < history_.size(); ++i) {
        if (history_[i].ErrorType == type)
            out += FormatEntry(history_[i], brief);
    }
    return out;
}

int32_t ErrorController::LastErrorCode() const {
    return history_.size() > 1 ? history_.back().ErrorCode : 0;
}

QString ErrorController::LastErrorMessage() const {
    return history_.size() > 1 ? history_.back().Message : QString();
}

void ErrorController::SaveHistoryInFile(const QString& path) const {
    QString all;
    for (size_t i = 1; i < history_.size(); ++i)
        all += FormatBlock(history_[i]);
    if (!all.isEmpty())
        platform::AppendToFile(path, platform::ToAnsi(all));
}

void ErrorController::ResetErrors() {
    history_.resize(1);
}

ErrorController& ErrorLogger() {
    static ErrorController instance;
    return instance;
}
