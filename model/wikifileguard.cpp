#include "model/wikifileguard.h"

#include "model/wikifile.h"
#include "model/wikiversions.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <zlib.h>

#include <algorithm>

namespace {

struct DiskFacts
{
    bool exists = false;
    qint64 size = 0;
    qint64 modified = 0;
};

DiskFacts statFile(const QString &path)
{
    // A fresh QFileInfo each time: it caches what it read.
    const QFileInfo info(path);
    if (!info.exists())
        return DiskFacts();
    return DiskFacts {
        true, info.size(), info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch()};
}

bool readFile(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential())
        return false;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

} // namespace

WikiFileGuard::WikiFileGuard(const QString &path)
    : m_path(path)
{ }

void WikiFileGuard::rememberFile()
{
    QMutexLocker locker(&m_mutex);
    const DiskFacts facts = statFile(m_path);
    QByteArray bytes;
    if (!facts.exists || !readFile(m_path, &bytes)) {
        m_known = false;
        return;
    }
    rememberLocked(bytes.size(), facts.modified, digest(bytes));
}

void WikiFileGuard::rememberWritten(const QByteArray &fileBytes)
{
    QMutexLocker locker(&m_mutex);
    const DiskFacts facts = statFile(m_path);
    if (!facts.exists) {
        m_known = false;
        return;
    }
    rememberLocked(fileBytes.size(), facts.modified, digest(fileBytes));
}

GuardedWrite WikiFileGuard::lastWrite() const
{
    QMutexLocker locker(&m_mutex);
    return m_lastWrite;
}

qint64 WikiFileGuard::documentSize() const
{
    QMutexLocker locker(&m_mutex);
    return m_documentSize;
}

void WikiFileGuard::setLastWrite(GuardedWrite outcome, qint64 documentSize)
{
    QMutexLocker locker(&m_mutex);
    m_lastWrite = outcome;
    if (outcome == GuardedWrite::Written || outcome == GuardedWrite::WrittenAgain)
        m_documentSize = documentSize;
}

void WikiFileGuard::acceptDisk()
{
    rememberFile();
}

bool WikiFileGuard::remembers() const
{
    QMutexLocker locker(&m_mutex);
    return m_known;
}

void WikiFileGuard::rememberLocked(qint64 size, qint64 modified, quint32 digest)
{
    m_known = true;
    m_size = size;
    m_modified = modified;
    m_digest = digest;
    m_rememberedAt = QDateTime::currentMSecsSinceEpoch();
}

WikiFileGuard::DiskState WikiFileGuard::check() const
{
    QMutexLocker locker(&m_mutex);
    if (!m_known)
        return DiskState::Unchanged;
    const DiskFacts facts = statFile(m_path);
    if (!facts.exists)
        return DiskState::Vanished;
    if (facts.size != m_size)
        return DiskState::Changed;
    // A file system keeps the time in ticks (whole seconds on some): a write within the tick of
    // ours would leave the time as it was, so the bytes must decide then. They must also when
    // the time moved but the size did not, since the bytes may still be ours (a copy put back).
    const qint64 tick = m_modified % 1000 == 0 ? 2000 : 20;
    const bool ambiguous = m_rememberedAt - m_modified < tick;
    if (facts.modified == m_modified && !ambiguous)
        return DiskState::Unchanged;
    QByteArray bytes;
    if (!readFile(m_path, &bytes))
        return DiskState::Changed;
    return bytes.size() == m_size && digest(bytes) == m_digest ? DiskState::Unchanged
                                                               : DiskState::Changed;
}

quint32 WikiFileGuard::digest(const QByteArray &bytes)
{
    // CRC-32 rather than a cryptographic hash: it tells our own bytes from anyone else's at a
    // quarter of SHA-1's cost, and nobody gains by forging a collision with a file of their own.
    uLong crc = crc32(0, nullptr, 0);
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const uInt chunk = uInt(std::min<qint64>(left, 1 << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef *>(data), chunk);
        data += chunk;
        left -= chunk;
    }
    return quint32(crc);
}

namespace {

GuardedWrite writeGuarded(const QString &path, const QByteArray &documentBytes,
    WikiFileGuard *guard, WikiVersions *versions)
{
    const auto state = guard ? guard->check() : WikiFileGuard::DiskState::Unchanged;
    if (state == WikiFileGuard::DiskState::Changed)
        return GuardedWrite::ChangedOutside;
    // Only a file known to be good is kept: one this program read as a wiki or wrote itself.
    if (versions && guard && guard->remembers() && state == WikiFileGuard::DiskState::Unchanged
        && versions->isDue())
        versions->keepCopyOfFile();

    QByteArray fileBytes;
    if (!writeWikiData(path, documentBytes, &fileBytes)) {
        // A write can fail after the rename (the folder would not sync): the file is then ours,
        // and must not look like someone else's at the next save.
        if (guard && !fileBytes.isEmpty() && QFileInfo(path).size() == fileBytes.size()) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly) && file.readAll() == fileBytes)
                guard->rememberWritten(fileBytes);
        }
        return GuardedWrite::Failed;
    }
    if (guard)
        guard->rememberWritten(fileBytes);
    return state == WikiFileGuard::DiskState::Vanished ? GuardedWrite::WrittenAgain
                                                       : GuardedWrite::Written;
}

} // namespace

GuardedWrite writeWikiDataGuarded(const QString &path, const QByteArray &documentBytes,
    WikiFileGuard *guard, WikiVersions *versions)
{
    const GuardedWrite outcome = writeGuarded(path, documentBytes, guard, versions);
    if (guard)
        guard->setLastWrite(outcome, documentBytes.size());
    return outcome;
}
