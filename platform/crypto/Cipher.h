#pragma once

#include <QByteArray>
#include <QString>

// The cipher component: a 64-bit block cipher (DES in CBC mode) keyed by an
// 8-byte key with an 8-byte initialisation vector, data objects that hold
// bytes and give or take them as plain text or as encoded text (Base64), and
// an MD5 digest given as lower-case hex text.
//
// Every routine raises AppError on bad input (a key or vector that is not
// 8 bytes, a weak key, cipher text whose length is not a multiple of 8,
// encoded text that is not Base64); nothing is caught here.
namespace platform {

// Error numbers raised by the component.
inline constexpr int kCipherErrBadKey = 5001;
inline constexpr int kCipherErrBadLength = 5002;
inline constexpr int kCipherErrBadEncoding = 5003;

// Enciphers bytes whose length is a multiple of 8 (the caller pads).
QByteArray DesCbcEncrypt(const QByteArray& key, const QByteArray& iv, const QByteArray& plain);
// Deciphers bytes whose length is a multiple of 8; the padding stays.
QByteArray DesCbcDecrypt(const QByteArray& key, const QByteArray& iv, const QByteArray& cipher);

// The data object's encoded text form: standard Base64 with padding. Decoding
// accepts blanks and line breaks around and inside the text and rejects any
// other character outside the Base64 alphabet.
QString EncodeData(const QByteArray& bytes);
QByteArray DecodeData(const QString& text);

// MD5 of the bytes as 32 lower-case hex digits.
QString Md5Hex(const QByteArray& bytes);

}  // namespace platform
