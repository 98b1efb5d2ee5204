// Replays fuzz inputs without libFuzzer: every file named on the command line,
// or found directly inside a folder named there, goes once through the
// target. A broken invariant aborts, so the test that runs this fails.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "FuzzSupport.h"

namespace {
bool Replay(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    std::fprintf(stderr, "replaying %s (%lld bytes)\n", qPrintable(path),
                 static_cast<long long>(bytes.size()));
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                           size_t(bytes.size()));
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        QStringList files;
        if (QFileInfo(arg).isDir()) {
            for (const QFileInfo& f : QDir(arg).entryInfoList(QDir::Files, QDir::Name))
                files.append(f.filePath());
        } else {
            files.append(arg);
        }
        for (const QString& f : files) {
            if (!Replay(f))
                return 1;
            ++replayed;
        }
    }
    // An empty corpus replays nothing and proves nothing.
    if (replayed == 0) {
        std::fprintf(stderr, "no input replayed\n");
        return 1;
    }
    std::fprintf(stderr, "%d inputs replayed\n", replayed);
    return 0;
}
