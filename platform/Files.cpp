#include "platform/Files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "platform/ProgramState.h"

namespace platform {

namespace {

std::function<bool(const QString&, FileStep)>& Fault() {
    static std::function<bool(const QString&, FileStep)> fault;
    return fault;
}

// True when the step may run; false (errno EIO) when a test makes it fail.
bool StepAllowed(const QString& path, FileStep step) {
    const auto& fault = Fault();
    if (fault && fault(path, step)) {
        errno = EIO;
        return false;
    }
    return true;
}

bool WriteAll(int fd, const char* data, qsizetype size, qint64 offset) {
    while (size > 0) {
        const ssize_t n = offset < 0 ? ::write(fd, data, size_t(size))
                                     : ::pwrite(fd, data, size_t(size), off_t(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= n;
        if (offset >= 0)
            offset += n;
    }
    return true;
}

// The file a path stands for: the target of a symbolic link (followed to its
// end, also when the target does not exist yet), else the path itself.
QString ResolvedPath(const QString& path) {
    QFileInfo info(path);
    for (int hops = 0; hops < 40 && info.isSymLink(); ++hops) {
        QString target = info.symLinkTarget();
        if (target.isEmpty())
            break;
        info = QFileInfo(target);
    }
    return info.absoluteFilePath();
}

// The folder that holds `file`, flushed so that the file's name, new or
// renamed, survives a power cut (a file system may write a folder's changes
// in any order, and apart from the file's data). A step on `path`, the name
// the caller gave for the file.
bool FlushFolderOf(const QString& file, const QString& path) {
    if (!StepAllowed(path, FileStep::FolderFlush))
        return false;
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    const bool ok = ::fsync(dir) == 0;
    KeepErrno keep;
    ::close(dir);
    return ok;
}

// A new file named `prefix` and six random letters or digits, created with
// the umask's permissions (mkstemp would give 0600 whatever the umask).
int CreateTemporary(const QByteArray& prefix, QByteArray& name) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = prefix;
        for (int i = 0; i < 6; ++i)
            name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
        const int fd =
            ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, Owner owner) {
    const bool own = owner == Owner::Station;
    const QString resolved = own ? QFileInfo(path).absoluteFilePath() : ResolvedPath(path);
    const QByteArray target = QFile::encodeName(resolved);
    struct stat st {};
    const bool exists =
        (own ? ::lstat(target.constData(), &st) : ::stat(target.constData(), &st)) == 0;
    // The rename would replace a link and leave what it points to alone, but
    // a link there is not the station's file: it is refused, not removed.
    if (exists && S_ISLNK(st.st_mode)) {
        errno = ELOOP;
        return false;
    }
    const QFileInfo info(resolved);
    QByteArray temporary;
    const int fd = CreateTemporary(
        QFile::encodeName(info.absolutePath()) + "/." + QFile::encodeName(info.fileName()) + ".",
        temporary);
    if (fd < 0)
        return false;
    bool ok = (!exists || ::fchmod(fd, st.st_mode & 07777) == 0) &&
              StepAllowed(path, FileStep::Write) &&
              WriteAll(fd, bytes.constData(), bytes.size(), -1) &&
              StepAllowed(path, FileStep::Flush) && ::fsync(fd) == 0;
    if (::close(fd) != 0)
        ok = false;
    if (ok)
        ok = StepAllowed(path, FileStep::Rename) &&
             ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok) {
        KeepErrno keep;
        ::unlink(temporary.constData());
        return false;
    }
    // The new file is in place; without the folder on the disk a power cut
    // may still bring the old one back, which the caller must know.
    return FlushFolderOf(resolved, path);
}

void RemoveAtomicWriteLeftovers(const QString& path, Owner owner) {
    const QFileInfo info(owner == Owner::Station ? path : ResolvedPath(path));
    const QByteArray prefix = "." + QFile::encodeName(info.fileName()) + ".";
    DIR* dir = ::opendir(QFile::encodeName(info.absolutePath()).constData());
    if (!dir)
        return;
    const QByteArray folder = QFile::encodeName(info.absolutePath()) + "/";
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        // mkstemp's six characters after the prefix, nothing else.
        if (name.size() != prefix.size() + 6 || !name.startsWith(prefix))
            continue;
        struct stat st {};
        const QByteArray full = folder + name;
        if (::lstat(full.constData(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(full.constData());
    }
    ::closedir(dir);
}

bool AppendToFile(const QString& path, const QByteArray& bytes) {
    FileHandle file;
    if (!file.Open(path, true, Owner::Shared))
        return false;
    const qint64 before = file.Size();
    if (file.Append(bytes))
        return true;
    // The part that reached the file is taken back: the next entry must not
    // follow a fragment of this one.
    KeepErrno keep;
    if (before >= 0)
        file.Truncate(before);
    return false;
}

QByteArray ReadWholeFile(const QString& path, bool* ok) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return QByteArray();
    }
    QByteArray data = file.readAll();
    if (ok)
        *ok = file.error() == QFile::NoError;
    return data;
}

QString SystemErrorText(int error) {
    char buffer[256] = {};
    // The GNU strerror_r answers its text, which need not be in the buffer.
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

FileHandle::~FileHandle() {
    Close();
}

bool FileHandle::Open(const QString& path, bool append, Owner owner) {
    Close();
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_RDWR | O_CLOEXEC | (append ? O_APPEND : 0);
    bool created = false;
    if (owner == Owner::Shared) {
        fd_ = ::open(name.constData(), flags | O_CREAT, 0666);
    } else {
        // Whether this open creates the file decides whether its name has
        // to be flushed; a file created or removed meanwhile by someone else
        // makes it ask again.
        for (int attempt = 0; fd_ < 0 && attempt < 8; ++attempt) {
            fd_ = ::open(name.constData(), flags | O_NOFOLLOW);
            if (fd_ >= 0 || errno != ENOENT)
                break;
            fd_ = ::open(name.constData(), flags | O_NOFOLLOW | O_CREAT | O_EXCL, 0666);
            created = fd_ >= 0;
            if (fd_ < 0 && errno != EEXIST)
                break;
        }
    }
    if (fd_ < 0)
        return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        Close();
        errno = error;
        return false;
    }
    if (created && !FlushFolderOf(path, path)) {
        // Gone again, so that the next open creates it and flushes its name.
        KeepErrno keep;
        ::unlink(name.constData());
        Close();
        return false;
    }
    path_ = path;
    owner_ = owner;
    return true;
}

void FileHandle::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

qint64 FileHandle::Size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return -1;
    return qint64(st.st_size);
}

bool FileHandle::IsFileAt(const QString& path, qint64* size) const {
    if (size)
        *size = -1;
    struct stat open {
    }, named{};
    const QByteArray name = QFile::encodeName(path);
    // A link at a station's file is another file; a shared file's link
    // stands for the file it points to.
    const int namedResult = owner_ == Owner::Station ? ::lstat(name.constData(), &named)
                                                     : ::stat(name.constData(), &named);
    if (fd_ < 0 || ::fstat(fd_, &open) != 0 || namedResult != 0)
        return false;
    if (open.st_dev != named.st_dev || open.st_ino != named.st_ino)
        return false;
    if (size)
        *size = qint64(open.st_size);
    return true;
}

bool FileHandle::WriteAt(qint64 offset, const QByteArray& bytes) {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    return StepAllowed(path_, FileStep::Write) &&
           WriteAll(fd_, bytes.constData(), bytes.size(), offset);
}

bool FileHandle::Sync() {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    return StepAllowed(path_, FileStep::Flush) && ::fdatasync(fd_) == 0;
}

bool FileHandle::Truncate(qint64 size) {
    return fd_ >= 0 && ::ftruncate(fd_, off_t(size)) == 0;
}

QByteArray FileHandle::ReadAt(qint64 offset, qint64 size) const {
    QByteArray out;
    if (fd_ < 0 || size <= 0)
        return out;
    out.resize(qsizetype(size));
    qsizetype got = 0;
    while (got < out.size()) {
        const ssize_t n =
            ::pread(fd_, out.data() + got, size_t(out.size() - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    out.truncate(got);
    return out;
}

FileLock::~FileLock() {
    Release();
}

FileLock::Result FileLock::Take(const QString& path) {
    Release();
    if (!StepAllowed(path, FileStep::Lock))
        return Result::Failed;
    // Read-only is enough for flock, so a station that may only read the
    // folder's existing lock file still locks it. O_NONBLOCK keeps a FIFO
    // planted at the path from stopping the start in open().
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0)
        return Result::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = error;
        return Result::Failed;
    }
    int result;
    do
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Failed;
    }
    fd_ = fd;
    path_ = path;
    return Result::Taken;
}

void FileLock::Release() {
    // Closing the only descriptor of the open file releases its lock.
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    path_.clear();
}

void SetFileFaultForTesting(std::function<bool(const QString& path)> fault) {
    if (!fault) {
        Fault() = nullptr;
        return;
    }
    Fault() = [fault = std::move(fault)](const QString& path, FileStep) { return fault(path); };
}

void SetFileStepFaultForTesting(std::function<bool(const QString& path, FileStep step)> fault) {
    Fault() = std::move(fault);
}

namespace {
// Every file step runs again.
[[maybe_unused]] const bool kFaultResetRegistered = RegisterStateReset([] { Fault() = nullptr; });
}  // namespace

void InstallFileFaultFromEnvironment() {
    const QStringList spec = qEnvironmentVariable("KESTRELLE_FILE_FAULT").split(':');
    if (spec.size() < 2)
        return;
    const QString kind = spec[0];
    bool ok = false;
    const long long nth = spec[1].toLongLong(&ok);
    if (!ok || nth < 1 || (kind != "fail" && kind != "kill"))
        return;
    const bool kill = kind == "kill";
    const QStringList names = spec.value(2).split(',', Qt::SkipEmptyParts);
    SetFileFaultForTesting([nth, kill, names, count = 0LL](const QString& path) mutable {
        const QString name = QFileInfo(path).fileName();
        if (name == QStringLiteral("Error.log") || (!names.isEmpty() && !names.contains(name)))
            return false;
        if (++count != nth)
            return false;
        if (kill)
            ::raise(SIGKILL);
        return true;
    });
}

}  // namespace platform
