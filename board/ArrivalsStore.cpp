#include "board/ArrivalsStore.h"

#include <errno.h>
#include <QFile>
#include <QFileInfo>

#include "core/ErrorController.h"
#include "localization/ResManagerClass.h"
#include "platform/CodePage.h"
#include "platform/Runtime.h"

namespace {

// The section that records a clear in progress: which order, how long
// history.txt was before its entry, and the time the entry carries. It stands
// after the orders and only until the clear has rewritten the file.
const QString kClearingSection = QStringLiteral("Clearing");

constexpr int kRetryIntervalMs = 1000;

QByteArray ClearingSection(int index, qint64 historySize, const QString& timeText) {
    return platform::ToAnsi('[' + kClearingSection + QStringLiteral("]\r\nOrder=") +
                            QString::number(index) + QStringLiteral("\r\nHistorySize=") +
                            QString::number(historySize) + QStringLiteral("\r\nTime=") + timeText +
                            QStringLiteral("\r\n"));
}

// What an entry appended at `size` starts with: nothing after a line end,
// else the line end that the file's last line lacks (its last entry was cut
// short), so that no entry is read as part of another.
QByteArray LineStartAt(const platform::FileHandle& history, qint64 size) {
    if (size <= 0)
        return QByteArray();
    const QByteArray last = history.ReadAt(size - 1, 1);
    if (last.isEmpty() || last == "\n")
        return QByteArray();
    return last == "\r" ? QByteArray("\n") : QByteArray("\r\n");
}

}  // namespace

ArrivalsStore::ArrivalsStore(QList<ArrivedOrder>& orders, QString backupFile, QString historyFile)
    : orders_(orders), backupFile_(std::move(backupFile)), historyFile_(std::move(historyFile)) {
    flushSoon_.setSingleShot(true);
    flushSoon_.setInterval(0);
    QObject::connect(&flushSoon_, &QTimer::timeout, [this] { Flush(); });
    retry_.setInterval(kRetryIntervalMs);
    QObject::connect(&retry_, &QTimer::timeout, [this] { Flush(); });
}

ArrivalsStore::~ArrivalsStore() {
    // Nobody is left to acknowledge to; the orders still reach the file.
    waiting_.clear();
    ProblemChanged = nullptr;
    if (savedCount_ != orders_.size() || !finished_.empty() || failing_)
        Flush();
}

bool ArrivalsStore::Load() {
    // Orders the file does not hold yet stay on the board: the list in memory
    // is the one that counts while the file cannot take it.
    if ((failing_ || savedCount_ != orders_.size() || !finished_.empty()) && !Flush())
        return !orders_.isEmpty();
    platform::RemoveAtomicWriteLeftovers(backupFile_, platform::Owner::Station);
    file_.Close();
    exact_ = false;
    if (QFileInfo(backupFile_).isSymLink()) {
        // Not the station's file: nothing is read through the link, and the
        // save refuses it, which is logged and shown. The list stays as it
        // is, and the retry writes it once the link is gone.
        Flush();
        return !orders_.isEmpty();
    }
    // One read of the file serves the orders, the record of a clear and the
    // check of its form.
    bool readable = false;
    const QByteArray stored =
        QFile::exists(backupFile_) ? platform::ReadWholeFile(backupFile_, &readable) : QByteArray();
    {
        const BackupFileContents contents(readable ? stored : QByteArray());
        orders_ = contents.Orders().value_or(QList<ArrivedOrder>());
        RecoverClear(contents);
    }
    const BackupLayout layout = BuildBackupFile(orders_);
    if (readable && stored == layout.Bytes) {
        if (file_.Open(backupFile_, false, platform::Owner::Station) &&
            file_.IsFileAt(backupFile_)) {
            exact_ = true;
            size_ = layout.Bytes.size();
            savedCount_ = orders_.size();
            offsets_.SectionOffsets = layout.SectionOffsets;
            offsets_.IsNewOffsets = layout.IsNewOffsets;
        }
    } else if (QFile::exists(backupFile_)) {
        // In the station's form, without a record of a clear and without what
        // no longer belongs to the list. A failure is logged and shown by
        // Flush, and the retry writes the list as loaded.
        Flush();
    } else if (!WriteWhole(layout)) {
        // A first start makes the file of the empty list, so that the first
        // order extends it in place with one sync, as every later order does,
        // instead of waiting for a new file to be made. A file that cannot be
        // made is logged and shown now, and the retry makes it.
        SaveFailed(errno);
    }
    return !orders_.isEmpty();
}

void ArrivalsStore::RecoverClear(const BackupFileContents& contents) {
    const auto order = contents.Lookup(kClearingSection, QStringLiteral("Order"));
    const auto size = contents.Lookup(kClearingSection, QStringLiteral("HistorySize"));
    const auto time = contents.Lookup(kClearingSection, QStringLiteral("Time"));
    const QFileInfo historyInfo(historyFile_);
    // A link there is refused by the open below, which says so.
    if (!order || !size || !time || !(historyInfo.exists() || historyInfo.isSymLink()))
        return;
    bool indexOk = false, sizeOk = false;
    const int index = order->toInt(&indexOk);
    const qint64 before = size->toLongLong(&sizeOk);
    if (!indexOk || !sizeOk || index < 0 || index >= orders_.size() || before < 0)
        return;
    platform::FileHandle history;
    if (!history.Open(historyFile_, true, platform::Owner::Station)) {
        HistoryFailed(errno);
        return;
    }
    const QByteArray entry =
        LineStartAt(history, before) + HistoryEntry(*time, orders_[index].Text);
    const qint64 now = history.Size();
    if (now >= before + entry.size() && history.ReadAt(before, entry.size()) == entry) {
        // The entry is in the history: the clear only missed its rewrite.
        orders_.removeAt(index);
    } else if (now > before && now < before + entry.size() &&
               entry.startsWith(history.ReadAt(before, now - before))) {
        // A cut entry: the order stays on the board and the fragment goes.
        history.Truncate(before);
    }
}

void ArrivalsStore::Add(const ArrivedOrder& order, std::function<void()> saved) {
    const bool large = order.Text.size() >= kLargeOrderCharacters;
    // Orders waiting for this pass's save go to the disk before a large one
    // joins them, so that their acknowledgements do not wait for its bytes.
    if (large && flushSoon_.isActive())
        Flush();
    orders_.append(order);
    waiting_.push_back(std::move(saved));
    if (flushSoon_.isActive() || retry_.isActive())
        return;
    if (large) {
        // Saved from a queued call: queued calls of this pass (the
        // acknowledgements of the orders just saved) run before it, and the
        // window's repaint after it. An order added meanwhile starts the
        // timer, whose save takes this one along.
        QTimer::singleShot(0, &flushSoon_, [this] {
            if (savedCount_ != orders_.size() && !flushSoon_.isActive() && !retry_.isActive())
                Flush();
        });
        return;
    }
    // Every arrival of this pass of the event loop goes to the disk at once.
    flushSoon_.start();
}

bool ArrivalsStore::Finish(int index) {
    if (index < 0 || index >= orders_.size())
        return false;
    orders_[index].IsNew = false;
    finished_.push_back(index);
    return Flush();
}

bool ArrivalsStore::Flush() {
    flushSoon_.stop();
    qint64 size = -1;
    const bool inPlace = exact_ && file_.IsOpen() && file_.IsFileAt(backupFile_, &size) &&
                         size == size_ && savedCount_ <= orders_.size();
    if (!(inPlace ? SaveAdded() : SaveWhole())) {
        SaveFailed(errno);
        return false;
    }
    Saved();
    return true;
}

bool ArrivalsStore::SaveWhole() {
    return WriteWhole(BuildBackupFile(orders_));
}

bool ArrivalsStore::WriteWhole(const BackupLayout& layout) {
    exact_ = false;
    if (!platform::WriteFileAtomically(backupFile_, layout.Bytes, platform::Owner::Station))
        return false;
    savedCount_ = orders_.size();
    finished_.clear();
    // The file holds the list. Without a handle on it (no descriptor left)
    // the next save replaces it whole again.
    if (file_.Open(backupFile_, false, platform::Owner::Station) && file_.IsFileAt(backupFile_) &&
        file_.Size() == layout.Bytes.size()) {
        exact_ = true;
        size_ = layout.Bytes.size();
        offsets_.SectionOffsets = layout.SectionOffsets;
        offsets_.IsNewOffsets = layout.IsNewOffsets;
    } else {
        file_.Close();
    }
    return true;
}

bool ArrivalsStore::SaveAdded() {
    if (savedCount_ == orders_.size() && finished_.empty())
        return true;
    const size_t offsetsBefore = offsets_.IsNewOffsets.size();
    QByteArray sections;
    for (qsizetype i = savedCount_; i < orders_.size(); ++i) {
        offsets_.SectionOffsets.push_back(size_ + sections.size());
        sections +=
            BackupSection(orders_[i], int(i), size_ + sections.size(), offsets_.IsNewOffsets);
    }
    bool ok = sections.isEmpty() || file_.WriteAt(size_, sections);
    for (const int i : finished_) {
        // Orders added since the last save carry their flag already.
        if (ok && i < savedCount_)
            ok =
                file_.WriteAt(offsets_.IsNewOffsets[size_t(i)], BackupIsNewValue(orders_[i].IsNew));
    }
    if (ok && orders_.size() != savedCount_)
        ok = file_.WriteAt(kBackupCountOffset, BackupCountValue(orders_.size()));
    ok = ok && file_.Sync();
    if (!ok) {
        const int error = errno;
        // Back to the previous file as far as it goes; the next save
        // replaces it whole in any case.
        file_.WriteAt(kBackupCountOffset, BackupCountValue(savedCount_));
        file_.Truncate(size_);
        offsets_.SectionOffsets.resize(offsetsBefore);
        offsets_.IsNewOffsets.resize(offsetsBefore);
        exact_ = false;
        errno = error;
        return false;
    }
    size_ += sections.size();
    savedCount_ = orders_.size();
    finished_.clear();
    return true;
}

std::optional<BackupLayout> ArrivalsStore::SavedFileWithout(int index) {
    offsets_.Bytes = file_.ReadAt(0, size_);
    std::optional<BackupLayout> without;
    if (offsets_.Bytes.size() == size_)
        without = BackupFileWithout(offsets_, index);
    offsets_.Bytes = QByteArray();
    return without;
}

void ArrivalsStore::Saved() {
    if (failing_) {
        failing_ = false;
        retry_.stop();
        SetProblem(QString());
    }
    // Taken out first: a function may pump, and a save inside it has
    // functions of its own.
    std::vector<std::function<void()>> done;
    done.swap(waiting_);
    for (const auto& saved : done) {
        if (saved)
            saved();
    }
}

void ArrivalsStore::SaveFailed(int error) {
    if (!failing_) {
        failing_ = true;
        ErrorLogger().Add(
            kSystemError, error,
            platform::SystemErrorText(error) + QStringLiteral(" (") + backupFile_ + ')',
            QStringLiteral("MainWindow.SaveArrivalsBackup"));
        SetProblem(ResManager()
                       .GetResString(QStringLiteral("strOrdersNotSaved"))
                       .arg(backupFile_, platform::SystemErrorText(error)));
    }
    if (!retry_.isActive())
        retry_.start();
}

void ArrivalsStore::HistoryFailed(int error) {
    if (!historyFailing_) {
        historyFailing_ = true;
        ErrorLogger().Add(
            kSystemError, error,
            platform::SystemErrorText(error) + QStringLiteral(" (") + historyFile_ + ')',
            QStringLiteral("MainWindow.AppendOrderHistory"));
    }
    // The backup's problem, when there is one, is the one to see first.
    if (!failing_)
        SetProblem(ResManager()
                       .GetResString(QStringLiteral("strHistoryNotSaved"))
                       .arg(historyFile_, platform::SystemErrorText(error)));
}

void ArrivalsStore::SetProblem(const QString& problem) {
    if (problem == problem_)
        return;
    problem_ = problem;
    if (ProblemChanged)
        ProblemChanged(problem_);
}

ArrivalsStore::ClearResult ArrivalsStore::Clear(int index) {
    if (index < 0 || index >= orders_.size())
        return ClearResult::BackupNotSaved;
    // The clear is recorded against a file that holds the list.
    if (!Flush())
        return ClearResult::BackupNotSaved;
    // A history.txt created here has its name on the disk before BackUp.log
    // can let the order go.
    platform::FileHandle history;
    if (!history.Open(historyFile_, true, platform::Owner::Station)) {
        HistoryFailed(errno);
        return ClearResult::HistoryNotSaved;
    }
    const qint64 before = history.Size();
    const QString timeText = HistoryTimeText();
    const QByteArray entry =
        LineStartAt(history, before) + HistoryEntry(timeText, orders_[index].Text);
    const QByteArray clearing = ClearingSection(index, before, timeText);

    // 1. BackUp.log says which order is leaving and where its entry goes.
    bool recorded = false;
    const bool inPlace = exact_ && file_.IsFileAt(backupFile_) && file_.Size() == size_;
    if (inPlace) {
        recorded = file_.WriteAt(size_, clearing) && file_.Sync();
        if (!recorded) {
            const int error = errno;
            file_.Truncate(size_);
            errno = error;
        }
    } else {
        recorded = platform::WriteFileAtomically(
            backupFile_, BuildBackupFile(orders_).Bytes + clearing, platform::Owner::Station);
        file_.Close();
    }
    // The file holds more than the list from here on.
    exact_ = false;
    if (!recorded) {
        SaveFailed(errno);
        return ClearResult::BackupNotSaved;
    }

    // 2. The entry, whole or not at all.
    if (before < 0 || !history.Append(entry) || !history.Sync()) {
        const int error = errno;
        history.Truncate(std::max<qint64>(before, 0));
        HistoryFailed(error);
        // The record of the clear goes again.
        Flush();
        return ClearResult::HistoryNotSaved;
    }
    if (historyFailing_) {
        historyFailing_ = false;
        if (!failing_)
            SetProblem(QString());
    }

    // 3. The list without the order. A kill before this save is completed by
    // the next Load from the record of step 1. The record stands after the
    // list's own bytes, which the new file takes from the old one; when
    // anything changed the list or failed since (an event run inside a
    // function of step 2), the list is written anew.
    orders_.removeAt(index);
    std::optional<BackupLayout> without;
    if (inPlace && !failing_ && file_.IsOpen() && savedCount_ == orders_.size() + 1 &&
        finished_.empty())
        without = SavedFileWithout(index);
    if (!without) {
        Flush();
    } else if (WriteWhole(*without)) {
        Saved();
    } else {
        SaveFailed(errno);
    }
    return ClearResult::Cleared;
}
