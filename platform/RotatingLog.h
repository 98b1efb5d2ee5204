#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>

#include "platform/Files.h"

namespace platform {

// A log file that never grows past a fixed size. An entry that would take
// the file past `maxBytes` first moves the file aside to the same name
// followed by ".1", replacing the older file there, and the file starts
// again: the log and its one older file hold at most twice the bound
// between them, and the newest entries are always in the log or at the end
// of the older file, where an administrator looks for them.
//
// Entries are appended whole or not at all. An entry larger than the bound
// is refused (EFBIG), never cut. When the file cannot be moved aside (the
// folder made read-only, a folder in the way of the older name) the entry
// is refused too: the bound holds, and the caller reports the failure.
//
// With `keepOpen` the file stays open between entries and its size is kept
// in memory: one open and one stat when the file is opened, then one write
// per entry, and at most once a second a look whether the path still names
// the open file (an administrator may have moved it aside or removed it, and
// the log then starts a new file at its path). The size in memory counts on
// this object being the file's only writer. Without `keepOpen` every entry
// opens, stats and closes the file, as suits a log written now and then.
//
// Used by one thread at a time.
class RotatingLog {
public:
    RotatingLog(QString path, qint64 maxBytes, bool keepOpen);
    RotatingLog(const RotatingLog&) = delete;
    RotatingLog& operator=(const RotatingLog&) = delete;

    const QString& Path() const { return path_; }
    qint64 MaxBytes() const { return maxBytes_; }
    // The name the file is moved to when it is full.
    static QString OlderPath(const QString& path) { return path + QStringLiteral(".1"); }

    // False on failure, with errno naming the step that failed; the file
    // then holds what it held before.
    bool Append(const QByteArray& entry);
    void Close() { file_.Close(); }

private:
    bool Open();
    bool MoveAside();
    // True at most once a second: time to look at the path again.
    bool LookAgain();

    const QString path_;
    const qint64 maxBytes_;
    const bool keepOpen_;
    FileHandle file_;
    qint64 size_ = 0;
    std::chrono::steady_clock::time_point lastLook_{};
};

// Appends one entry to the bounded log at `path`, opening and closing it.
bool AppendToRotatingLog(const QString& path, const QByteArray& entry, qint64 maxBytes);

}  // namespace platform
