#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "core/CryptoClass.h"
#include "platform/AppError.h"
#include "platform/crypto/Cipher.h"

TEST(CipherTest, DesCbcMatchesTheStandardTestVector) {
    // FIPS 81 CBC example: key 0123456789abcdef, IV 1234567890abcdef.
    const QByteArray key = QByteArray::fromHex("0123456789abcdef");
    const QByteArray iv = QByteArray::fromHex("1234567890abcdef");
    const QByteArray plain("Now is the time for all ");
    const QByteArray cipher = platform::DesCbcEncrypt(key, iv, plain);
    EXPECT_EQ(cipher.toHex(), QByteArray("e5c7cdde872bf27c43e934008c389c0f683788499a7c05f6"));
    EXPECT_EQ(platform::DesCbcDecrypt(key, iv, cipher), plain);
}

TEST(CipherTest, RejectsBadKeysLengthsAndEncodings) {
    const QByteArray iv(8, 'i');
    EXPECT_THROW(platform::DesCbcEncrypt("short", iv, QByteArray(8, 'x')), AppError);
    EXPECT_THROW(
        platform::DesCbcEncrypt(QByteArray::fromHex("0101010101010101"), iv, QByteArray(8, 'x')),
        AppError);  // a weak key
    EXPECT_THROW(platform::DesCbcDecrypt("Tolvarek", iv, QByteArray(7, 'x')), AppError);
    EXPECT_THROW(platform::DecodeData(QStringLiteral("not base64!")), AppError);
    EXPECT_THROW(platform::DecodeData(QStringLiteral("QUJD=X")), AppError);
    EXPECT_EQ(platform::DecodeData(QStringLiteral(" QUJD\r\nREVG ")), QByteArray("ABCDEF"));
}

TEST(CipherTest, Md5IsLowerCaseHex) {
    EXPECT_EQ(platform::Md5Hex("abc"), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(platform::Md5Hex(QByteArray()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
}

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
