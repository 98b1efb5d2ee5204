// CryptoClass: the station's passwords, encrypted and digested as the
// point-of-sale database keeps them.
#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "core/CryptoClass.h"
#include "platform/AppError.h"
#include "platform/crypto/Cipher.h"

TEST(CryptoClassTest, EncryptPadsWithCharacterFourToWholeBlocks) {
    const CryptoClass crypto;
    for (const QString& original :
         {QStringLiteral("abc"), QStringLiteral("12345678"), QStringLiteral("123456789")}) {
        QString text = original;
        const QString stored = crypto.Encrypt(text);
        const int padded = original.size() <= 8 ? 8 : 16;
        EXPECT_EQ(text.size(), padded) << original.toStdString();
        EXPECT_EQ(text.left(original.size()), original);
        EXPECT_EQ(text.mid(original.size()), QString(padded - original.size(), QChar(4)));
        EXPECT_EQ(platform::DecodeData(stored).size(), padded);
        EXPECT_EQ(crypto.Decrypt(stored), original);
    }
}

TEST(CryptoClassTest, DecryptsStoredPasswordsAndStripsControlCharacters) {
    const CryptoClass crypto;
    // As stored in the demo database.
    EXPECT_EQ(crypto.Decrypt(QStringLiteral("IuNmCIlzrvw=")), QStringLiteral("1111"));
    EXPECT_EQ(crypto.Decrypt(QStringLiteral("WuijlDU49Jk=")), QStringLiteral("9999"));
    EXPECT_EQ(crypto.Decrypt(QString()), QString());

    QString withTabs = QStringLiteral("pass\t\r\n");
    EXPECT_EQ(crypto.Decrypt(crypto.Encrypt(withTabs)), QStringLiteral("pass"));
    QString cyrillic = QStringLiteral("Парола");
    EXPECT_EQ(crypto.Decrypt(crypto.Encrypt(cyrillic)), QStringLiteral("Парола"));

    EXPECT_THROW(crypto.Decrypt(QStringLiteral("1111")), AppError);  // plain text stored
    EXPECT_THROW(crypto.Decrypt(QStringLiteral("%%%")), AppError);
}

TEST(CryptoClassTest, Md5EncryptDigestsTheAnsiBytes) {
    EXPECT_EQ(Crypto().MD5Encrypt(QStringLiteral("abc")),
              QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    // "Я" is one byte (0xDF) in the station's code page.
    EXPECT_EQ(Crypto().MD5Encrypt(QStringLiteral("Я")), platform::Md5Hex(QByteArray("\xDF")));
}
