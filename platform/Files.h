#pragma once

#include <QByteArray>
#include <QString>
#include <cerrno>
#include <functional>

// Every write of the station goes through these routines, and every one of
// them answers whether it worked. A routine that fails leaves errno naming
// the step that failed (the clean-up it does afterwards does not change it).
// A file that a routine creates gets the permissions the process umask
// leaves of 0666, as any program's files do; a file that is replaced keeps
// its own.
namespace platform {

// Whose file a path names, which decides what a symbolic link there means.
enum class Owner {
    // Anybody's: a link is followed, and the file it points to is the one
    // read and written while the link stays (the settings, which an installer
    // may link).
    Shared,
    // The station's alone (the open orders, the history): a link at the path
    // is refused with ELOOP, and the file it points to is neither read nor
    // written. A file that a routine creates has its name on the disk (its
    // folder flushed) before anything is written to it.
    Station,
};

// Replaces the file's content in one step: the bytes go to a temporary file in
// the same folder, are flushed to the disk, and the temporary file is renamed
// over the target, and the folder is flushed so that the rename survives a
// power cut. A crash or a full disk leaves either the old or the new file,
// never half of one. An existing file's permissions are kept. Returns false
// when any step fails: the old file stands, or, when only the last flush of
// the folder failed, the new one, which a power cut may still take back.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, Owner owner = Owner::Shared);

// Removes the temporary files that WriteFileAtomically leaves behind for this
// path when the process is killed between their creation and the rename
// (".name.XXXXXX" beside the file, or beside the file a shared file's link
// points to). Only names of exactly that form are touched.
void RemoveAtomicWriteLeftovers(const QString& path, Owner owner = Owner::Shared);

// Appends in one write, creating the file when missing: the bytes are
// written whole or not at all (a write cut short, by a full disk or a size
// limit, is taken back). False on failure.
bool AppendToFile(const QString& path, const QByteArray& bytes);

// The whole file, or nullopt-like empty with ok=false when it cannot be read.
QByteArray ReadWholeFile(const QString& path, bool* ok = nullptr);

// The text of an errno value, for logs and the status bar.
QString SystemErrorText(int error);

// Gives errno back the value it had when the keeper was made, as the keeper
// goes out of scope: the clean-up after a failed step (a close, an unlink)
// then leaves errno naming the step that failed.
class KeepErrno final {
public:
    KeepErrno() : saved_(errno) {}
    ~KeepErrno() { errno = saved_; }
    KeepErrno(const KeepErrno&) = delete;
    KeepErrno& operator=(const KeepErrno&) = delete;

private:
    int saved_;
};

// An open file written at known offsets and made durable on request: the open
// orders' file, which is extended and patched in place instead of rewritten.
class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Opens for reading and writing, creating the file when it is missing;
    // with `append`, every write goes to the end. A station's file that this
    // open creates has its name flushed to the disk before Open returns; when
    // that fails, the new file is removed again and Open answers false.
    bool Open(const QString& path, bool append = false, Owner owner = Owner::Shared);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    QString Path() const { return path_; }
    // The size of the open file; -1 when it cannot be read.
    qint64 Size() const;
    // Whether `path` still names the open file (a file renamed over it, or
    // removed, is another file; so is a link put in the place of a station's
    // file). With `size`, the open file's size comes along (-1 when it is
    // not the file at `path`), without a second look at it.
    bool IsFileAt(const QString& path, qint64* size = nullptr) const;

    // The whole of the bytes at the offset (at the end with `append`).
    bool WriteAt(qint64 offset, const QByteArray& bytes);
    bool Append(const QByteArray& bytes) { return WriteAt(-1, bytes); }
    // The file's data on the disk (fdatasync).
    bool Sync();
    bool Truncate(qint64 size);
    // Up to `size` bytes from the offset; fewer at the end of the file.
    QByteArray ReadAt(qint64 offset, qint64 size) const;

private:
    int fd_ = -1;
    QString path_;
    Owner owner_ = Owner::Shared;
};

// An exclusive advisory lock (flock) on one file, taken without waiting and
// held until Release, the object's end or the end of the process: the kernel
// drops it when the process dies in any way, so a crash never leaves a stale
// lock behind. The file is created when missing and is never removed, so that
// every process locks the same file (a removed and re-created lock file would
// let two of them hold locks on different files). A symbolic link at the path
// is refused (ELOOP). The descriptor is closed on exec: a program the station
// starts does not keep the lock. Locks of two FileLock objects exclude each
// other also within one process.
class FileLock final {
public:
    enum class Result { Taken, HeldElsewhere, Failed };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Taking counts as a write step for the failure tests below. On Failed,
    // errno says why. A lock held already is released first.
    Result Take(const QString& path);
    void Release();
    bool Held() const { return fd_ >= 0; }
    QString Path() const { return path_; }

private:
    int fd_ = -1;
    QString path_;
};

// The kinds of step that a test can make fail.
enum class FileStep {
    Write,
    Flush,  // a file's data to the disk
    Rename,
    FolderFlush,  // the folder that holds a created or renamed file; the path is the file's
    Lock,
};

// For tests of the failure paths: asked before every write, flush and rename
// of the routines above, and before a FileLock is taken, with the path
// concerned; when it answers true, that step fails with EIO as a failing disk
// would make it. An empty function (the default) lets every step run.
void SetFileFaultForTesting(std::function<bool(const QString& path)> fault);
// The same, told which kind of step it is asked about.
void SetFileStepFaultForTesting(std::function<bool(const QString& path, FileStep step)> fault);

// Reads KESTRELLE_FILE_FAULT once, for end-to-end tests of the executable:
// "fail:N" fails the Nth write step (writes, flushes, renames, folder
// flushes and locks counted in the order they come, those to files named
// Error.log left out), "kill:N" ends the process with SIGKILL just before it;
// "kill:N:BackUp.log,history.txt" counts only the steps on files of those
// names (a folder flush counts as a step on the file it is for). Without the
// variable nothing changes.
void InstallFileFaultFromEnvironment();

}  // namespace platform
