#include "core/CryptoClass.h"

#include <QByteArray>

#include "platform/CodePage.h"
#include "platform/crypto/Cipher.h"

namespace {

// The cipher key, as the point-of-sale product enciphers with it.
const QByteArray kKey = QByteArrayLiteral("Tolvarek");

// The initialisation vector, chosen for this station and built from its
// character codes: 81 117 105 108 108 98 97 114, the text "Quillbar". Every
// password enciphered by Encrypt, and every password that an installation
// stores for Decrypt to read, depends on it: never change it.
QByteArray InitVector() {
    static const char codes[8] = {81, 117, 105, 108, 108, 98, 97, 114};
    return QByteArray(codes, 8);
}

const QChar kPadding(4);

}  // namespace

QString CryptoClass::Encrypt(QString& text) const {
    if (text.size() < 8)
        text += QString(8 - text.size(), kPadding);
    else if (text.size() % 8 != 0)
        text += QString(8 - text.size() % 8, kPadding);
    QByteArray plain = platform::ToAnsi(text);
    // A multi-byte code page can leave the bytes short of a whole block.
    if (plain.size() % 8 != 0)
        plain.append(QByteArray(8 - plain.size() % 8, '\x04'));
    return platform::EncodeData(platform::DesCbcEncrypt(kKey, InitVector(), plain));
}

QString CryptoClass::Decrypt(const QString& stored) const {
    const QByteArray cipher = platform::DecodeData(stored);
    QString plain = platform::FromAnsi(platform::DesCbcDecrypt(kKey, InitVector(), cipher));
    while (!plain.isEmpty() && plain.back().unicode() < 32)
        plain.chop(1);
    return plain;
}

QString CryptoClass::MD5Encrypt(const QString& text) const {
    return platform::Md5Hex(platform::ToAnsi(text));
}

CryptoClass& Crypto() {
    static CryptoClass instance;
    return instance;
}
