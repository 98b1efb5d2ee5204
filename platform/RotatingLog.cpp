#include "platform/RotatingLog.h"

#include <errno.h>
#include <stdio.h>
#include <QFile>
#include <utility>

namespace platform {

namespace {

constexpr std::chrono::seconds kLookInterval(1);

}  // namespace

RotatingLog::RotatingLog(QString path, qint64 maxBytes, bool keepOpen)
    : path_(std::move(path)), maxBytes_(maxBytes), keepOpen_(keepOpen) {}

bool RotatingLog::Open() {
    if (!file_.Open(path_, true))
        return false;
    size_ = file_.Size();
    if (size_ < 0) {
        KeepErrno keep;
        file_.Close();
        return false;
    }
    lastLook_ = std::chrono::steady_clock::now();
    return true;
}

bool RotatingLog::LookAgain() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastLook_ < kLookInterval)
        return false;
    lastLook_ = now;
    return true;
}

bool RotatingLog::MoveAside() {
    if (::rename(QFile::encodeName(path_).constData(),
                 QFile::encodeName(OlderPath(path_)).constData()) != 0)
        return false;
    file_.Close();
    return Open();
}

bool RotatingLog::Append(const QByteArray& entry) {
    if (entry.size() > maxBytes_) {
        errno = EFBIG;
        return false;
    }
    if (file_.IsOpen() && LookAgain()) {
        const qint64 size = file_.Size();
        if (size >= 0 && file_.IsFileAt(path_))
            size_ = size;
        else
            file_.Close();
    }
    if (!file_.IsOpen() && !Open())
        return false;
    bool ok = true;
    if (size_ + entry.size() > maxBytes_) {
        // Only the log's own file is moved aside: one that was moved or
        // removed from outside stays where it is, and the log goes on with
        // the file that stands at the path now, when there is room in it.
        if (!file_.IsFileAt(path_)) {
            file_.Close();
            ok = Open();
        }
        ok = ok && (size_ + entry.size() <= maxBytes_ || MoveAside());
    }
    if (ok) {
        ok = file_.Append(entry);
        if (ok) {
            size_ += entry.size();
        } else {
            // The part that reached the file is taken back: the next entry
            // must not follow a fragment of this one.
            KeepErrno keep;
            file_.Truncate(size_);
        }
    }
    // After a failure the next entry opens the file again and reads its
    // size afresh.
    if (!ok || !keepOpen_) {
        KeepErrno keep;
        file_.Close();
    }
    return ok;
}

bool AppendToRotatingLog(const QString& path, const QByteArray& entry, qint64 maxBytes) {
    RotatingLog log(path, maxBytes, false);
    return log.Append(entry);
}

}  // namespace platform
