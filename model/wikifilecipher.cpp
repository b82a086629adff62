#include "model/wikifilecipher.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

const int sha1Size = 20;

// A deflate stream cannot inflate by more than this factor: its densest code is a 258-byte
// match written in two bits. A size named beyond it is a lie, whatever the stream holds.
const quint64 maxDeflateRatio = 1032;

// Each byte is mixed with the enciphered byte before it, so a different random first byte
// changes every byte after it.
void encipher(char *data, qsizetype size, const QByteArray &keyBytes)
{
    quint8 running = 0;
    for (qsizetype i = 0; i < size; ++i) {
        running = quint8(data[i]) ^ quint8(keyBytes.at(i % 8)) ^ running;
        data[i] = char(running);
    }
}

void decipher(char *data, qsizetype size, const QByteArray &keyBytes)
{
    quint8 running = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const quint8 enciphered = quint8(data[i]);
        data[i] = char(enciphered ^ running ^ quint8(keyBytes.at(i % 8)));
        running = enciphered;
    }
}

quint16 checksum(const char *data, qsizetype size)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return qChecksum(QByteArrayView(data, size), Qt::ChecksumIso3309);
#else
    return qChecksum(data, uint(size), Qt::ChecksumIso3309);
#endif
}

QByteArray sha1(const char *data, qsizetype size)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    // Qt 5's addData() takes an int: feed very large payloads in parts.
    while (size > 0) {
        const int part = int(std::min<qsizetype>(size, 1 << 30));
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        hash.addData(QByteArrayView(data, part));
#else
        hash.addData(data, part);
#endif
        data += part;
        size -= part;
    }
    return hash.result();
}

} // namespace

WikiFileCipher::WikiFileCipher(quint64 key)
{
    setKey(key);
}

void WikiFileCipher::setKey(quint64 key)
{
    m_keyBytes.resize(8);
    for (int i = 0; i < 8; ++i)
        m_keyBytes[i] = char((key >> (8 * i)) & 0xff);
}

// zlib's fastest level. Every level reads back the same, but pictures are kept as UTF-16 text
// with every other byte zero, where level 9 spends about 20 s on a wiki of 100 photos (level 1:
// under 2 s, for a file about 7% larger), and autosave writes the whole wiki every ten seconds.
static const int compressionLevel = 1;

QByteArray WikiFileCipher::encrypt(const QByteArray &plain)
{
    if (m_keyBytes.isEmpty()) {
        m_lastError = NoKeySet;
        return QByteArray();
    }

    quint8 flags = 0;
    QByteArray data = plain;
    if (m_compressionMode != Never) {
        const QByteArray compressed = qCompress(plain, compressionLevel);
        if (m_compressionMode == Always || compressed.size() < plain.size()) {
            data = compressed;
            flags |= CompressedFlag;
        }
    }

    QByteArray integrity;
    if (m_protectionMode == Checksum) {
        flags |= ChecksumFlag;
        integrity.resize(2);
        qToBigEndian(checksum(data.constData(), data.size()), integrity.data());
    } else if (m_protectionMode == Hash) {
        flags |= HashFlag;
        integrity = sha1(data.constData(), data.size());
    }

    QByteArray out;
    out.reserve(3 + integrity.size() + data.size());
    out.append(char(formatVersion));
    out.append(char(flags));
    // QRandomGenerator rather than a qrand() reseeded from the clock: saves within the same
    // millisecond would otherwise all start with the same byte.
    out.append(char(QRandomGenerator::global()->generate() & 0xff));
    out.append(integrity);
    out.append(data);
    encipher(out.data() + 2, out.size() - 2, m_keyBytes);
    m_lastError = NoError;
    return out;
}

QByteArray WikiFileCipher::decrypt(const QByteArray &cipherText)
{
    if (m_keyBytes.isEmpty()) {
        m_lastError = NoKeySet;
        return QByteArray();
    }
    if (cipherText.size() < 3)
        return QByteArray();
    if (quint8(cipherText.at(0)) != formatVersion) {
        m_lastError = UnknownVersion;
        return QByteArray();
    }

    const quint8 flags = quint8(cipherText.at(1));
    QByteArray stream = cipherText.mid(2);
    decipher(stream.data(), stream.size(), m_keyBytes);

    // Skip the random byte.
    const char *payload = stream.constData() + 1;
    qsizetype size = stream.size() - 1;

    bool intact = true;
    if (flags & ChecksumFlag) {
        if (size < 2) {
            intact = false;
        } else {
            const quint16 stored = qFromBigEndian<quint16>(payload);
            payload += 2;
            size -= 2;
            intact = stored == checksum(payload, size);
        }
    } else if (flags & HashFlag) {
        if (size < sha1Size) {
            intact = false;
        } else {
            const QByteArray stored(payload, sha1Size);
            payload += sha1Size;
            size -= sha1Size;
            intact = stored == sha1(payload, size);
        }
    }
    if (!intact) {
        m_lastError = IntegrityFailed;
        return QByteArray();
    }

    QByteArray plain;
    if (flags & CompressedFlag) {
        if (!uncompress(payload, size, m_maxPlainSize, &plain)) {
            m_lastError = DecompressionFailed;
            return QByteArray();
        }
    } else {
        plain = QByteArray(payload, int(size));
    }
    m_lastError = NoError;
    return plain;
}

bool WikiFileCipher::uncompress(const char *data, qsizetype size, int maxSize, QByteArray *out)
{
    out->clear();
    if (size < 4)
        return false;
    const quint32 expected = qFromBigEndian<quint32>(data);
    data += 4;
    size -= 4;
    // qCompress() writes four zero bytes and no stream for empty input.
    if (expected == 0)
        return size == 0;
    // Only now is anything allocated, and never more than the stream could fill: a forged
    // size in front of a few bytes must not reserve gigabytes.
    if (quint64(expected) > quint64(qMax(maxSize, 0))
        || quint64(expected) > quint64(size) * maxDeflateRatio)
        return false;

    QByteArray result(int(expected), Qt::Uninitialized);
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit(&stream) != Z_OK)
        return false;
    stream.next_out = reinterpret_cast<Bytef *>(result.data());
    stream.avail_out = expected;

    // Z_OK means progress was made; no progress is Z_BUF_ERROR, so the loop ends either way.
    int status = Z_OK;
    while (status == Z_OK) {
        if (stream.avail_in == 0 && size > 0) {
            const uInt part = uInt(std::min<qsizetype>(size, 1 << 30));
            stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
            stream.avail_in = part;
            data += part;
            size -= part;
        }
        status = inflate(&stream, Z_NO_FLUSH);
    }
    const bool complete = status == Z_STREAM_END && stream.total_out == expected
        && stream.avail_in == 0 && size == 0;
    inflateEnd(&stream);
    if (!complete)
        return false;
    *out = result;
    return true;
}
