#pragma once

#include <QByteArray>
#include <QtGlobal>

// Compresses, checks and scrambles the bytes of a wiki file, and undoes it. The stream starts
// with a format byte (3) and a flags byte saying what was done; everything after them is
// scrambled with a running XOR under the key, so that a wiki cannot be read in a text editor.
// This is no protection against anyone who has the program: the key is built into it.
class WikiFileCipher
{
public:
    enum CompressionMode { Auto = 0, Always = 1, Never = 2 };
    enum ProtectionMode { None = 0, Checksum = 1, Hash = 2 };
    enum Error {
        NoError = 0,
        NoKeySet = 1,
        UnknownVersion = 2,
        IntegrityFailed = 3,
        // The stream's checks passed but its compressed payload does not inflate to the size it
        // names, or names more than the cipher accepts.
        DecompressionFailed = 4
    };

    // Flag bits of the second byte.
    enum Flag { CompressedFlag = 1, ChecksumFlag = 2, HashFlag = 4 };

    static constexpr quint8 formatVersion = 3;

    // The one key every wiki file is scrambled with. Files are readable only with the key they
    // were written with, so this value never changes.
    static constexpr quint64 fileKey = Q_UINT64_C(0x2a24378a5630c9c4);

    // The most bytes a compressed payload may inflate to unless setMaxPlainSize() says
    // otherwise: the largest document Qt's binary JSON form can hold.
    static constexpr int defaultMaxPlainSize = 8 + (1 << 27) - 1;

    // A cipher without key bytes; it refuses to work (NoKeySet) until a key is set.
    WikiFileCipher() = default;
    explicit WikiFileCipher(quint64 key);

    void setKey(quint64 key);
    void setCompressionMode(CompressionMode mode) { m_compressionMode = mode; }
    void setProtectionMode(ProtectionMode mode) { m_protectionMode = mode; }
    // Payloads naming a larger inflated size are refused (DecompressionFailed) before anything
    // is allocated for them.
    void setMaxPlainSize(int bytes) { m_maxPlainSize = bytes; }

    Error lastError() const { return m_lastError; }

    // Empty with NoKeySet when no key is set.
    QByteArray encrypt(const QByteArray &plain);
    // The plain bytes, or an empty array with lastError() saying why. A stream shorter than
    // the two header bytes and the random byte gives an empty array and leaves lastError()
    // as it was.
    QByteArray decrypt(const QByteArray &cipherText);

    // Inflates qCompress output (a 4-byte big-endian size, then a zlib stream) without trusting
    // the size it names: the stream must inflate to exactly that many bytes, and a size above
    // maxSize, or above what the stream could possibly inflate to, is refused before any
    // allocation. Returns false for anything else.
    static bool uncompress(const char *data, qsizetype size, int maxSize, QByteArray *out);

private:
    QByteArray m_keyBytes;
    CompressionMode m_compressionMode = Auto;
    ProtectionMode m_protectionMode = Checksum;
    Error m_lastError = NoError;
    int m_maxPlainSize = defaultMaxPlainSize;
};
