#pragma once

#include <QList>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

#include "board/ArrivedOrders.h"
#include "platform/Files.h"

// The open orders of modes 0 and 1 and their two files: "BackUp.log", which
// holds the list so that it survives a restart, and "history.txt", which gets
// every order cleared from it. The list belongs to the board; every change
// to it goes through here.
//
// The contract:
// - After every successful save, BackUp.log holds exactly the list, in
//   order (the form BuildBackupFile writes). A save that fails leaves the
//   previous complete file; the list keeps the change, the failure is
//   logged once until saving works again and shown through ProblemChanged,
//   and the store retries on its own until the file holds the list.
// - An added order's `saved` runs once the file on the disk holds it, never
//   before: the message server acknowledges an order from there.
// - A cleared order is in history.txt exactly once or in the list exactly
//   once, whatever moment a kill or a failing write comes at: before the
//   entry is appended, BackUp.log records which order is being cleared and
//   how long history.txt was, and the next Load completes or undoes a clear
//   that was cut short. A history.txt whose last entry was cut short gets
//   the next one on a line of its own.
// - Both files are the station's own: a symbolic link at either path is
//   neither followed nor replaced. It fails the save or the clear, which is
//   logged and shown as any failed write is. A file the store creates has
//   its name on the disk before anything depends on it.
//
// Saves of added orders are grouped: an arrival extends the file in place
// (only its own section and the count are written), and all arrivals of one
// pass of the event loop share one flush to the disk, except that a large
// order (kLargeOrderCharacters or more) is not grouped with the orders that
// wait when it comes: they are saved first, before Add returns, and the
// large one from a queued call, after the calls queued before it.
//
// Everything runs on the user-interface thread. `saved` functions and
// ProblemChanged may pump events; the store's state is complete before any of
// them runs, and a save started inside one of them is an ordinary save.
class ArrivalsStore {
public:
    ArrivalsStore(QList<ArrivedOrder>& orders, QString backupFile, QString historyFile);
    // Writes what waits.
    ~ArrivalsStore();
    ArrivalsStore(const ArrivalsStore&) = delete;
    ArrivalsStore& operator=(const ArrivalsStore&) = delete;

    // Replaces the list with the file's orders (a clear cut short completed
    // or undone), removes leftovers of killed saves and writes the file in the
    // station's form. False when the file holds no order (the list is then
    // empty).
    bool Load();

    // Appends the order; `saved` (may be empty) runs once it is on the disk.
    void Add(const ArrivedOrder& order, std::function<void()> saved = {});
    static constexpr qsizetype kLargeOrderCharacters = 64 * 1024;
    // Ends the order's new state and saves it before it returns; false when
    // that save failed (the list has the change, the store retries).
    bool Finish(int index);

    enum class ClearResult {
        Cleared,          // in history.txt and out of the list
        HistoryNotSaved,  // history.txt could not take it: still in the list
        BackupNotSaved,   // BackUp.log could not record the clear: still in the list
    };
    ClearResult Clear(int index);

    // Writes what waits now: true when the file holds the list.
    bool Flush();
    // Whether Add scheduled a save for the end of this pass of the event loop
    // (not while a failing store waits for its retry, nor for a large order,
    // which is saved from a queued call); Flush writes it at once.
    bool SaveDue() const { return flushSoon_.isActive(); }
    // Whether a save failed and the store waits to retry.
    bool Failing() const { return failing_; }

    // What the operator is told: the problem of the files while it lasts, an
    // empty text once it is over.
    std::function<void(const QString& problem)> ProblemChanged;

    // The pause between two attempts while saving fails.
    void SetRetryInterval(int milliseconds) { retry_.setInterval(milliseconds); }

    QString BackupFile() const { return backupFile_; }
    QString HistoryFile() const { return historyFile_; }

private:
    bool SaveWhole();
    // Writes the file of the whole list, whose station's form `layout` is.
    bool WriteWhole(const BackupLayout& layout);
    bool SaveAdded();
    // The file of the saved list without the order at `index`, from the
    // file's own bytes (see BackupFileWithout); nullopt when they are not in
    // the form the offsets say.
    std::optional<BackupLayout> SavedFileWithout(int index);
    void Saved();
    void SaveFailed(int error);
    void HistoryFailed(int error);
    void SetProblem(const QString& problem);
    void RecoverClear(const BackupFileContents& contents);

    QList<ArrivedOrder>& orders_;
    QString backupFile_;
    QString historyFile_;

    // The file as the store last wrote it: open, its size, where each order's
    // section and new flag stand (offsets_, whose Bytes stay empty: the file
    // is read when a clear needs them). `exact_` says that the file holds the
    // first `savedCount_` orders of the list in the station's form and
    // nothing else, so that it may be extended in place; otherwise the next
    // save replaces it whole. The file is the station's own (the folder is
    // locked), so what the store wrote there is what it reads back.
    platform::FileHandle file_;
    bool exact_ = false;
    qint64 size_ = 0;
    qsizetype savedCount_ = 0;
    BackupLayout offsets_;
    // Orders whose end of the new state is not on the disk yet.
    std::vector<int> finished_;
    std::vector<std::function<void()>> waiting_;

    bool failing_ = false;
    bool historyFailing_ = false;
    QString problem_;
    QTimer flushSoon_;
    QTimer retry_;
};
