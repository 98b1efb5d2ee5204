#include "core/ErrorController.h"

#include <errno.h>
#include <QCoreApplication>
#include <QTimer>

#include "core/ModCommon.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Locale.h"
#include "platform/ProgramState.h"
#include "platform/RotatingLog.h"
#include "platform/Runtime.h"
#include "platform/Variant.h"

namespace {
const QString kCrLf = QStringLiteral("\r\n");

QString TimePattern() {
    // Before the locale's settings are read the log still shows the date.
    return (ShortDateFormat.isEmpty() ? platform::LocaleShortDatePattern() : ShortDateFormat) +
           QStringLiteral(" hh:nn:ss");
}

// What no step expected goes to the log like any other system error.
void LogUnexpectedError(int number, const QString& description, const QString& methodName) {
    ErrorLogger().Add(kSystemError, number, description, methodName);
}
[[maybe_unused]] const bool kUnexpectedErrorsLogged =
    (rt::SetUnexpectedErrorSink(&LogUnexpectedError), true);

// One retry at a time for the program-wide log, on the application's
// thread; a log of its own (a test's) writes what waits at its next block.
void ScheduleRetry() {
    static bool scheduled = false;
    QCoreApplication* app = QCoreApplication::instance();
    if (scheduled || !app)
        return;
    scheduled = true;
    QTimer::singleShot(ErrorController::kRetryIntervalMs, app, [] {
        scheduled = false;
        ErrorLogger().WritePending();
    });
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

QString ErrorController::FormatTime(const Variant& dateTime) const {
    // A text that reads as a date is shown in the log's pattern; any other
    // text is shown as it is.
    try {
        return rt::FormatDate(dateTime.ToDateTime(), TimePattern());
    } catch (const AppError&) {
        return dateTime.ToString();
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

bool ErrorController::WritePending() {
    while (!pending_.empty() || dropped_ > 0) {
        const bool counted = pending_.empty();
        QByteArray block;
        if (counted) {
            const ErrorRecord report{
                kSystemError, Variant::FromDateTime(rt::Now()), 0,
                QString::number(dropped_) +
                    QStringLiteral(" further errors could not be written to this log"),
                QStringLiteral("ErrorController.Add")};
            block = platform::ToAnsi(FormatBlock(report));
        } else {
            block = pending_.front();
        }
        if (!platform::AppendToRotatingLog(logFileName_, block, kMaxLogBytes)) {
            ScheduleRetry();
            return false;
        }
        if (counted) {
            dropped_ = 0;
        } else {
            pendingBytes_ -= block.size();
            pending_.pop_front();
        }
    }
    return true;
}

bool ErrorController::Write(const QString& text, bool* kept) {
    const QByteArray bytes = platform::ToAnsi(text);
    *kept = true;
    if (WritePending() && platform::AppendToRotatingLog(logFileName_, bytes, kMaxLogBytes))
        return true;
    const int error = errno;
    if (dropped_ == 0 && pendingBytes_ + bytes.size() <= kMaxPendingBytes) {
        pending_.push_back(bytes);
        pendingBytes_ += bytes.size();
    } else {
        ++dropped_;
        *kept = false;
    }
    ScheduleRetry();
    errno = error;
    return false;
}

void ErrorController::DebugInfo(const QString& text) {
    bool kept = false;
    Write(text + kCrLf + " " + kCrLf + kCrLf, &kept);
    debugLines_.append(text);
}

void ErrorController::Add(int32_t errorType, int32_t errorCode, const QString& message,
                          const QString& methodName, QString* dateTime) {
    ErrorRecord record{errorType, Variant(dateTime ? *dateTime : QString()), errorCode, message,
                       methodName};
    if (!dateTime || dateTime->trimmed().isEmpty()) {
        record.DateTime = Variant::FromDateTime(rt::Now());
        if (dateTime)
            *dateTime = FormatTime(record.DateTime);
    }
    bool kept = false;
    // The log is where failures go; its own go to the console too, those
    // only counted once per run of them.
    if (!Write(FormatBlock(record), &kept) && (kept || dropped_ == 1)) {
        const int error = errno;
        qWarning("Error.log: %s (%s); the error was: %s; %s",
                 qPrintable(platform::SystemErrorText(error)), qPrintable(logFileName_),
                 qPrintable(record.Message),
                 kept ? "kept until the log takes it" : "too many wait: only counted");
    }
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

QString ErrorController::FormatEntries(bool brief,
                                       const std::function<bool(const ErrorRecord&)>& keep) const {
    QString out;
    for (const ErrorRecord& r : Records()) {
        if (keep(r))
            out += FormatEntry(r, brief);
    }
    return out;
}

QString ErrorController::GetHistoryAll(bool brief) const {
    return FormatEntries(brief, [](const ErrorRecord&) { return true; });
}

QString ErrorController::GetHistoryByCode(int32_t code, bool brief) const {
    return FormatEntries(brief, [code](const ErrorRecord& r) { return r.ErrorCode == code; });
}

QString ErrorController::GetHistoryByType(int32_t type, bool brief) const {
    return FormatEntries(brief, [type](const ErrorRecord& r) { return r.ErrorType == type; });
}

int32_t ErrorController::LastErrorCode() const {
    return history_.size() > 1 ? history_.back().ErrorCode : 0;
}

QString ErrorController::LastErrorMessage() const {
    return history_.size() > 1 ? history_.back().Message : QString();
}

void ErrorController::SaveHistoryInFile(const QString& path) const {
    QString all;
    for (const ErrorRecord& r : Records())
        all += FormatBlock(r);
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

namespace {
// No history, the log beside the program, no build named yet.
void ResetErrorLogger() {
    ErrorLogger() = ErrorController();
}
[[maybe_unused]] const bool kLoggerResetRegistered =
    platform::RegisterStateReset(&ResetErrorLogger);
}  // namespace

void RecordFailure(const QString& methodName, const std::function<void()>& step) {
    try {
        step();
    } catch (const AppError& e) {
        ErrorLogger().Add(kSystemError, e.Number(), e.Description(), methodName);
    } catch (const std::exception& e) {
        ErrorLogger().Add(kSystemError, 0, QString::fromUtf8(e.what()), methodName);
    }
}
