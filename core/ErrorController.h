#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

#include "platform/Variant.h"

// Error types of ErrorRecord::ErrorType.
inline constexpr int32_t kUserError = 0;
inline constexpr int32_t kSystemError = 1;
inline constexpr int32_t kOtherError = 2;

struct ErrorRecord {
    int32_t ErrorType = 0;
    // The caller's text, or the time of the error as a date when the log took
    // it; either is shown in the log's pattern when it reads as a date.
    Variant DateTime;
    int32_t ErrorCode = 0;
    QString Message;
    QString MethodName;
};

// The error log: every Add appends a fixed-form block to the log file and
// keeps the record in an in-memory history. Writing never raises and the
// caller goes on.
//
// The file is bounded: a block that would take it past kMaxLogBytes first
// moves it aside to "Error.log.1" (replacing the older one), so that the two
// together never hold more than twice the bound.
//
// A block the file cannot take (a full disk, a missing folder) is kept and
// written, in order and once, as soon as the file takes blocks again: before
// the next block, and by a retry every kRetryIntervalMs on the user-interface
// thread while any waits. Waiting blocks are bounded by kMaxPendingBytes:
// past it, later blocks are counted instead of kept, and one block saying how
// many follows the kept ones, so that a flood of failures neither grows
// memory nor goes unnoticed. Waiting blocks go to whatever file LogFileName
// names when they are written.
class ErrorController {
public:
    static constexpr qint64 kMaxLogBytes = qint64(10) << 20;
    static constexpr qsizetype kMaxPendingBytes = 64 * 1024;
    static constexpr int kRetryIntervalMs = 1000;

    ErrorController();

    QString BuildDate() const { return buildDate_; }
    void SetBuildDate(const QString& date) { buildDate_ = date; }
    QString BuildVersion() const { return buildVersion_; }
    void SetBuildVersion(const QString& version) { buildVersion_ = version; }
    QString LogFileName() const { return logFileName_; }
    void SetLogFileName(const QString& path) { logFileName_ = path; }

    // Appends the text, a blank line and an empty line to the log file.
    void DebugInfo(const QString& text);

    // An empty (blank) dateTime becomes the current time in the short-date
    // format & " hh:nn:ss", which the caller's variable receives when given.
    void Add(int32_t errorType, int32_t errorCode, const QString& message,
             const QString& methodName, QString* dateTime = nullptr);

    QString GetHistoryAll(bool brief) const;
    QString GetHistoryByCode(int32_t code, bool brief) const;
    QString GetHistoryByType(int32_t type, bool brief) const;
    int32_t LastErrorCode() const;
    QString LastErrorMessage() const;
    void SaveHistoryInFile(const QString& path) const;
    void ResetErrors();

    // The text of an error type: "User error", "System error", "Other",
    // "Unkonown" for any other value.
    static QString ErrorTypeText(int32_t type);
    // The block written for one record, CR LF line ends.
    QString FormatBlock(const ErrorRecord& record) const;

    // Writes the blocks that wait, oldest first, until one fails; true when
    // none is left waiting.
    bool WritePending();

private:
    // Appends the text (ANSI) after the blocks that wait, or keeps it
    // waiting. False when it could not be written now; `kept` tells whether
    // it waits or was only counted.
    bool Write(const QString& text, bool* kept);
    QString FormatTime(const Variant& dateTime) const;
    QString FormatEntry(const ErrorRecord& record, bool brief) const;
    // The formatted entries of the records the filter keeps, oldest first.
    QString FormatEntries(bool brief, const std::function<bool(const ErrorRecord&)>& keep) const;
    // The stored records, oldest first.
    std::span<const ErrorRecord> Records() const {
        return std::span<const ErrorRecord>(history_).subspan(1);
    }

    QString logFileName_;
    QString buildVersion_;
    QString buildDate_;
    std::vector<ErrorRecord> history_;  // index 0 is never used
    QStringList debugLines_;            // index 0 is never used
    std::deque<QByteArray> pending_;    // oldest first
    qsizetype pendingBytes_ = 0;
    // Blocks counted instead of kept; while any are, every later one is
    // counted too, so that the block that reports them keeps its place.
    int64_t dropped_ = 0;
};

// The program-wide instance, created on first use.
ErrorController& ErrorLogger();

// Runs one step of a routine that records its failures and goes on: an error
// the step raises ends the step and is added to the log as a system error
// under the method's name, with its number and text (0 and the text of any
// other exception).
void RecordFailure(const QString& methodName, const std::function<void()>& step);
