// Rewrites one large INI value over and over until killed; the atomic-write
// test kills it at random moments and checks that the file is always whole.
#include <QCoreApplication>
#include <QString>

#include "platform/IniFile.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString file = QString::fromLocal8Bit(argv[1]);
    for (int n = 0;; ++n) {
        const QString blob(256 * 1024, QChar('a' + n % 26));
        platform::IniWrite(file, "Data", "Blob", blob);
        platform::IniWrite(file, "End", "Marker", QString::number(n));
    }
}
