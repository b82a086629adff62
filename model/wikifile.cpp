#include "model/wikifile.h"

#include "model/legacyimport.h"
#include "model/wikifilecipher.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QVarLengthArray>
#include <QtEndian>
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QBinaryJson>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Qt's binary JSON layout: an 8-byte header ("qbjs", version 1), then the root container. A
// container is its size, its length shifted left by one with bit 0 set for an object, and the
// offset of its table, all relative to the container's start; the table holds one 32-bit value
// per array element, or one offset per object entry. An entry is a value followed by its key.
// A value packs its type into bits 0-2, "Latin-1 string or small integer" into bit 3, "Latin-1
// key" into bit 4 and, from bit 5 on, either the data's offset or a small integer.
const quint32 binaryJsonTag = 'q' | ('b' << 8) | ('j' << 16) | (quint32('s') << 24);
const qint64 headerSize = 8;
const qint64 containerHeaderSize = 12;
const qint64 maxContainerSize = (1 << 27) - 1;
enum BinaryType {
    NullType = 0,
    BoolType = 1,
    DoubleType = 2,
    StringType = 3,
    ArrayType = 4,
    ObjectType = 5
};
const int maxLatin1Length = 0x7fff;

// Qt refuses to grow a container when its size, a 128-byte minimum reservation and the header
// would pass the limit, so a document ending within that distance of it can lose its last items.
const qint64 maxRootSize = maxContainerSize - 1024;
static_assert(maxDocumentSize == headerSize + maxRootSize, "the limit callers see");

const qint64 writeChunkSize = 1 << 20;

// Qt's own reader and writer of the binary JSON form: part of QJsonDocument up to Qt 5, kept in
// Core5Compat since Qt 6. Both give and take the same bytes.
QByteArray toBinaryJson(const QJsonObject &root)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // Not toBinaryData(): it copies the buffer toRawData() hands over and never frees it, so
    // every save would lose a whole document's worth of memory. The buffer is ours to free.
    int size = 0;
    const char *raw = QBinaryJson::toRawData(QJsonDocument(root), &size);
    QByteArray bytes(raw, size);
    std::free(const_cast<char *>(raw));
    return bytes;
#else
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    return QJsonDocument(root).toBinaryData();
    QT_WARNING_POP
#endif
}

// Validates as it reads: offsets and sizes that point outside the bytes give a null document.
QJsonDocument fromBinaryJson(const QByteArray &bytes)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QBinaryJson::fromBinaryData(bytes, QBinaryJson::Validate);
#else
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    return QJsonDocument::fromBinaryData(bytes, QJsonDocument::Validate);
    QT_WARNING_POP
#endif
}

quint32 readU32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

quint16 readU16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

quint64 alignedSize(quint64 size)
{
    return (size + 3) & ~quint64(3);
}

// Sizes that documentBytesFromJson() predicts for what toBinaryData() builds: every container
// is compacted, strings of Latin-1 characters up to 0x7fff long take one byte per character,
// others two, and integers of up to 26 bits are kept inside the value itself.
bool storedAsLatin1(const QString &text)
{
    if (text.size() > maxLatin1Length)
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xff; });
}

quint64 stringStorage(const QString &text)
{
    const quint64 length = quint64(text.size());
    return storedAsLatin1(text) ? alignedSize(2 + length) : alignedSize(4 + 2 * length);
}

bool storedInsideValue(double number)
{
    quint64 bits;
    std::memcpy(&bits, &number, sizeof bits);
    const int exponent = int((bits >> 52) & 0x7ff) - 1023;
    if (exponent < 0 || exponent > 25)
        return false;
    return (bits & (Q_UINT64_C(0x000fffffffffffff) >> exponent)) == 0;
}

quint64 objectStorage(const QJsonObject &object);
quint64 arrayStorage(const QJsonArray &array);

// Our own documents nest a few levels only, so the recursion here stays shallow.
quint64 valueStorage(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Double:
        return storedInsideValue(value.toDouble()) ? 0 : 8;
    case QJsonValue::String:
        return stringStorage(value.toString());
    case QJsonValue::Array:
        return arrayStorage(value.toArray());
    case QJsonValue::Object:
        return objectStorage(value.toObject());
    default:
        return 0;
    }
}

quint64 arrayStorage(const QJsonArray &array)
{
    quint64 size = containerHeaderSize;
    for (const QJsonValue &value : array)
        size += 4 + valueStorage(value);
    return size;
}

quint64 objectStorage(const QJsonObject &object)
{
    quint64 size = containerHeaderSize;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        const quint64 keySize
            = storedAsLatin1(key) ? 2 + quint64(key.size()) : 4 + 2 * quint64(key.size());
        size += 4 + alignedSize(4 + keySize) + valueStorage(it.value());
    }
    return size;
}

// Checks, before Qt sees them, what would make Qt's own reader fail badly on hostile bytes: it
// validates and converts recursively, so deep nesting overflows the stack, and it follows every
// offset it finds, so values that point at the same data again make a small document expand
// exponentially. The walk keeps one frame per open container, at most maxDocumentDepth of them.
// In a document Qt wrote, every value and entry has its own four bytes and every string its own
// bytes, so visiting more of them than the document has room for means data is shared.
class DocumentShapeCheck
{
public:
    explicit DocumentShapeCheck(const QByteArray &bytes)
        : m_data(bytes.constData())
        , m_nodesLeft(bytes.size() / 4)
        , m_bytesLeft(bytes.size())
    { }

    bool run(qint64 rootSize)
    {
        if (!(readU32(m_data + headerSize + 4) & 1))
            return false;
        if (!enter(headerSize, rootSize, true))
            return false;
        while (!m_stack.isEmpty()) {
            const int top = m_stack.size() - 1;
            if (m_stack[top].next == m_stack[top].length) {
                m_stack.removeLast();
                continue;
            }
            const Frame frame = m_stack[top];
            ++m_stack[top].next;
            if (--m_nodesLeft < 0)
                return false;
            const char *slot = m_data + frame.start + frame.table + 4 * frame.next;
            const bool ok = frame.isObject ? visitEntry(frame, readU32(slot))
                                           : visitValue(frame, readU32(slot));
            if (!ok)
                return false;
        }
        return true;
    }

private:
    struct Frame
    {
        qint64 start = 0; // from the beginning of the document
        qint64 table = 0;
        qint64 length = 0;
        qint64 next = 0;
        bool isObject = false;
    };

    // A container that must fit in limit bytes from start.
    bool enter(qint64 start, qint64 limit, bool isObject)
    {
        if (m_stack.size() >= maxDocumentDepth || limit < containerHeaderSize)
            return false;
        const char *base = m_data + start;
        const qint64 size = readU32(base);
        const qint64 length = readU32(base + 4) >> 1;
        const qint64 table = readU32(base + 8);
        if (size < containerHeaderSize || size > limit || table + 4 * length > size)
            return false;
        m_stack.append(Frame {start, table, length, 0, isObject});
        return true;
    }

    bool takeBytes(qint64 count)
    {
        m_bytesLeft -= count;
        return m_bytesLeft >= 0;
    }

    bool visitEntry(const Frame &frame, qint64 entry)
    {
        if (entry < containerHeaderSize || entry + 4 >= frame.table)
            return false;
        const char *base = m_data + frame.start;
        const quint32 value = readU32(base + entry);
        const qint64 room = frame.table - entry - 4;
        qint64 keySize;
        if (value & (1 << 4)) {
            if (room < 2)
                return false;
            keySize = 2 + qint64(readU16(base + entry + 4));
        } else {
            if (room < 4)
                return false;
            keySize = 4 + 2 * qint64(readU32(base + entry + 4));
        }
        return keySize <= room && takeBytes(keySize) && visitValue(frame, value);
    }

    bool visitValue(const Frame &frame, quint32 value)
    {
        const quint32 type = value & 7;
        const bool latinOrInteger = value & (1 << 3);
        const qint64 offset = value >> 5;
        if (type == NullType || type == BoolType || (type == DoubleType && latinOrInteger))
            return true;
        if (type > ObjectType || offset < containerHeaderSize || offset + 4 > frame.table)
            return false;
        const qint64 room = frame.table - offset;
        const char *data = m_data + frame.start + offset;
        switch (type) {
        case DoubleType:
            return room >= 8;
        case StringType: {
            const qint64 size
                = latinOrInteger ? 2 + qint64(readU16(data)) : 4 + 2 * qint64(readU32(data));
            return size <= room && takeBytes(size);
        }
        default:
            // Qt takes the container's kind from the value, not from the container's own bit.
            return enter(frame.start + offset, room, type == ObjectType);
        }
    }

    const char *m_data;
    qint64 m_nodesLeft;
    qint64 m_bytesLeft;
    QVarLengthArray<Frame, maxDocumentDepth> m_stack;
};

// Files of earlier releases are SQLite databases; a few early wikis hold an older form of the
// document, which the document itself converts after reading.
QByteArray fromLegacyDatabase(const QString &path, WikiReadStatus *status, QString *backupPath)
{
    const QByteArray document = importLegacyDatabase(path, backupPath);
    *status = document.isEmpty() ? WikiReadStatus::Unreadable : WikiReadStatus::Read;
    return document;
}

#ifdef Q_OS_UNIX
// The rename is only durable once the folder holding the file has reached the disk.
bool syncFolderOf(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QByteArray folder
        = QFile::encodeName(QFileInfo(target.isEmpty() ? path : target).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems cannot sync a folder at all; nothing more can be done there.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return synced;
}
#endif

} // namespace

QByteArray readWikiData(const QString &path, WikiReadStatus *status, QString *legacyBackupPath)
{
    WikiReadStatus ignored;
    if (!status)
        status = &ignored;

    // Opening a pipe waits for a writer for good, and a device or a folder holds no wiki: only a
    // regular file is opened at all.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *status = WikiReadStatus::Unreadable;
        return QByteArray();
    }
    QFile file(path);
    if (!file.open(file.exists() ? QIODevice::ReadOnly : QIODevice::ReadWrite)) {
        *status = WikiReadStatus::OpenFailed;
        return QByteArray();
    }
    // A device or a pipe could feed bytes without end.
    if (file.isSequential()) {
        *status = WikiReadStatus::Unreadable;
        return QByteArray();
    }
    if (file.size() > maxWikiFileSize) {
        file.close();
        return fromLegacyDatabase(path, status, legacyBackupPath);
    }
    const QByteArray bytes = file.readAll();
    file.close();

    const QByteArray document = decodeWikiFile(bytes, status);
    if (*status == WikiReadStatus::Unreadable)
        return fromLegacyDatabase(path, status, legacyBackupPath);
    return document;
}

QByteArray decodeWikiFile(const QByteArray &fileBytes, WikiReadStatus *status)
{
    if (fileBytes.isEmpty()) {
        *status = WikiReadStatus::Empty;
        return QByteArray();
    }
    WikiFileCipher cipher(WikiFileCipher::fileKey);
    const QByteArray document = cipher.decrypt(fileBytes);
    // One or two bytes decrypt to nothing without an error, but they are still no wiki, and a
    // new wiki must not be written over whatever they are.
    if (cipher.lastError() != WikiFileCipher::NoError || document.isEmpty()) {
        *status = WikiReadStatus::Unreadable;
        return QByteArray();
    }
    *status = WikiReadStatus::Read;
    return document;
}

bool writeWikiData(const QString &path, const QByteArray &documentBytes, QByteArray *fileBytes)
{
    if (documentBytes.isEmpty())
        return false;
    WikiFileCipher cipher(WikiFileCipher::fileKey);
    cipher.setCompressionMode(WikiFileCipher::Always);
    cipher.setProtectionMode(WikiFileCipher::Hash);
    const QByteArray bytes = cipher.encrypt(documentBytes);
    if (cipher.lastError() != WikiFileCipher::NoError)
        return false;
    if (fileBytes)
        *fileBytes = bytes;
    return writeFile(path, bytes);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    // QSaveFile alone is not enough: with its buffer, a write that fails while commit() flushes
    // goes unnoticed and a truncated file replaces the good one. Unbuffered, every write reports
    // what it took; the new file is then synced and its size checked before the rename.
    // Leaving without commit() removes the new file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;

    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const qint64 chunk = std::min(left, writeChunkSize);
        if (file.write(data, chunk) != chunk) {
            file.cancelWriting();
            return false;
        }
        data += chunk;
        left -= chunk;
    }
    if (!file.flush()) {
        file.cancelWriting();
        return false;
    }
#ifdef Q_OS_UNIX
    struct stat written;
    if (::fsync(file.handle()) != 0 || ::fstat(file.handle(), &written) != 0
        || written.st_size != bytes.size()) {
        file.cancelWriting();
        return false;
    }
#endif
    if (!file.commit())
        return false;
#ifdef Q_OS_UNIX
    return syncFolderOf(path);
#else
    return true;
#endif
}

QByteArray documentBytesFromJson(const QJsonObject &root)
{
    const quint64 rootSize = objectStorage(root);
    if (rootSize > quint64(maxRootSize))
        return QByteArray();

    QByteArray bytes;
    if (root.isEmpty()) {
        // toBinaryData() gives nothing at all for an empty object; this is the form Qt reads.
        bytes = QByteArray(int(headerSize + containerHeaderSize), '\0');
        qToLittleEndian(binaryJsonTag, bytes.data());
        qToLittleEndian(quint32(1), bytes.data() + 4);
        qToLittleEndian(quint32(containerHeaderSize), bytes.data() + 8);
        qToLittleEndian(quint32(1), bytes.data() + 12);
        return bytes;
    }

    bytes = toBinaryJson(root);
    // Whatever Qt left out shows as a shorter document than the one predicted.
    if (quint64(bytes.size()) != quint64(headerSize) + rootSize
        || readU32(bytes.constData() + headerSize) != rootSize)
        return QByteArray();
    return bytes;
}

qint64 documentSizeOfJson(const QJsonObject &root)
{
    return root.isEmpty() ? headerSize + containerHeaderSize
                          : headerSize + qint64(objectStorage(root));
}

qint64 documentSizeOfString(qint64 length, bool latin1)
{
    return latin1 && length <= maxLatin1Length ? qint64(alignedSize(2 + quint64(length)))
                                               : qint64(alignedSize(4 + 2 * quint64(length)));
}

qint64 documentSizeOfContentEntry(const CompactText &content)
{
    // The entry's value slot, then its key, "content", stored as Latin-1 after its length.
    const qint64 key = qint64(alignedSize(4 + 2 + 7));
    return 4 + key + documentSizeOfString(content.size(), content.isLatin1());
}

QJsonObject jsonFromDocumentBytes(const QByteArray &bytes, bool *ok)
{
    *ok = false;
    if (bytes.size() < headerSize + containerHeaderSize)
        return QJsonObject();
    const char *data = bytes.constData();
    if (readU32(data) != binaryJsonTag || readU32(data + 4) != 1)
        return QJsonObject();
    // Checked here because Qt adds the header's size to the root's without minding overflow.
    const qint64 rootSize = readU32(data + headerSize);
    if (rootSize > bytes.size() - headerSize)
        return QJsonObject();
    if (!DocumentShapeCheck(bytes).run(rootSize))
        return QJsonObject();

    const QJsonDocument document = fromBinaryJson(bytes);
    if (!document.isObject())
        return QJsonObject();
    *ok = true;
    return document.object();
}
