#include "platform/crypto/Cipher.h"

#include <nettle/cbc.h>
#include <nettle/des.h>
#include <nettle/md5.h>

#include <cstring>

#include "platform/AppError.h"

namespace platform {
namespace {

const QString kSource = QStringLiteral("Cipher");

des_ctx KeySchedule(const QByteArray& key, const QByteArray& iv) {
    if (key.size() != DES_KEY_SIZE || iv.size() != DES_BLOCK_SIZE)
        throw AppError(kCipherErrBadKey, QStringLiteral("The key and the vector must be 8 bytes"),
                       kSource);
    des_ctx ctx;
    // Parity bits are ignored; only the weak keys are refused.
    if (!des_set_key(&ctx, reinterpret_cast<const uint8_t*>(key.constData())))
        throw AppError(kCipherErrBadKey, QStringLiteral("Weak cipher key"), kSource);
    return ctx;
}

void CheckLength(const QByteArray& data) {
    if (data.size() % DES_BLOCK_SIZE != 0)
        throw AppError(kCipherErrBadLength,
                       QStringLiteral("Data length is not a multiple of the block size"), kSource);
}

// One direction of DES-CBC: the mode's chaining (cbc_encrypt or cbc_decrypt)
// around the block function of the same direction.
using CbcMode = decltype(&cbc_encrypt);
using DesBlocks = decltype(&des_encrypt);

QByteArray DesCbc(const QByteArray& key, const QByteArray& iv, const QByteArray& in, CbcMode mode,
                  DesBlocks blocks) {
    des_ctx ctx = KeySchedule(key, iv);
    CheckLength(in);
    QByteArray out(in.size(), Qt::Uninitialized);
    // The mode advances the vector in place: each call works on its own copy.
    uint8_t chain[DES_BLOCK_SIZE];
    std::memcpy(chain, iv.constData(), DES_BLOCK_SIZE);
    if (!in.isEmpty())
        mode(&ctx, reinterpret_cast<nettle_cipher_func*>(blocks), DES_BLOCK_SIZE, chain,
             size_t(in.size()), reinterpret_cast<uint8_t*>(out.data()),
             reinterpret_cast<const uint8_t*>(in.constData()));
    return out;
}

}  // namespace

QByteArray DesCbcEncrypt(const QByteArray& key, const QByteArray& iv, const QByteArray& plain) {
    return DesCbc(key, iv, plain, &cbc_encrypt, &des_encrypt);
}

QByteArray DesCbcDecrypt(const QByteArray& key, const QByteArray& iv, const QByteArray& cipher) {
    return DesCbc(key, iv, cipher, &cbc_decrypt, &des_decrypt);
}

QString EncodeData(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64());
}

QByteArray DecodeData(const QString& text) {
    QByteArray compact;
    compact.reserve(text.size());
    for (QChar c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        const ushort u = c.unicode();
        const bool alphabet = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                              (u >= '0' && u <= '9') || u == '+' || u == '/' || u == '=';
        if (!alphabet)
            throw AppError(kCipherErrBadEncoding, QStringLiteral("Invalid encoded data"), kSource);
        compact.append(char(u));
    }
    auto result = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        throw AppError(kCipherErrBadEncoding, QStringLiteral("Invalid encoded data"), kSource);
    return *result;
}

QString Md5Hex(const QByteArray& bytes) {
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, size_t(bytes.size()), reinterpret_cast<const uint8_t*>(bytes.constData()));
    uint8_t digest[MD5_DIGEST_SIZE];
    md5_digest(&ctx, MD5_DIGEST_SIZE, digest);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest), MD5_DIGEST_SIZE).toHex());
}

}  // namespace platform
