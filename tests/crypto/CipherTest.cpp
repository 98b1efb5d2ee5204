#include <gtest/gtest.h>

#include "common/TestSupport.h"
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
