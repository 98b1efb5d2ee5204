#pragma once

#include <QString>

// Deciphers the operator passwords that the point-of-sale product stores in
// table users, enciphers texts the same way, and digests texts with MD5.
// Keeps no state between calls. Failures of the cipher component (cipher text
// that is not valid, bad encoding) are raised as AppError to the caller.
//
// Stored passwords depend on the key and on the initialisation vector of
// this class: both are fixed in CryptoClass.cpp and must never change, or
// every stored password becomes unreadable.
class CryptoClass final {
public:
    // Pads the text in place with character 4 to at least 8 characters and a
    // multiple of 8, enciphers its ANSI bytes and returns the encoded text.
    QString Encrypt(QString& text) const;
    // Decodes and deciphers a stored text; trailing characters below code 32
    // (the padding) are removed. An empty text deciphers to an empty text.
    QString Decrypt(const QString& stored) const;
    // The MD5 digest of the text's ANSI bytes, as 32 lower-case hex digits.
    QString MD5Encrypt(const QString& text) const;
};

// The program-wide instance, created on first use.
CryptoClass& Crypto();
