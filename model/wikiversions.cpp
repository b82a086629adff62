#include "model/wikiversions.h"

#include "model/folder.h"
#include "model/page.h"
#include "model/wikifile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>

namespace {

// Universal time in the name, so that names sort as the copies were made and a clock change or
// a summer-time switch never makes two names equal.
const QString nameFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss-zzz");
const QString extension = QStringLiteral(".velmora");

QDateTime timeOfName(const QString &fileName)
{
    QDateTime time = QDateTime::fromString(fileName.left(nameFormat.size()), nameFormat);
    time.setTimeSpec(Qt::UTC);
    return time.toLocalTime();
}

} // namespace

WikiVersions::WikiVersions(const QString &wikiPath)
    : m_wikiPath(wikiPath)
    , m_folder(folderFor(wikiPath))
{ }

QString WikiVersions::folderFor(const QString &wikiPath)
{
    const QFileInfo info(wikiPath);
    const QString canonical = info.canonicalFilePath();
    const QString full = canonical.isEmpty() ? info.absoluteFilePath() : canonical;
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(full.toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/versions/") + info.completeBaseName() + QLatin1Char('-') + digest;
}

void WikiVersions::setEnabled(bool enabled)
{
    QMutexLocker locker(&m_mutex);
    m_enabled = enabled;
}

void WikiVersions::setInterval(qint64 milliseconds)
{
    QMutexLocker locker(&m_mutex);
    m_interval = milliseconds;
}

void WikiVersions::setLimits(int maxCount, qint64 maxBytes)
{
    QMutexLocker locker(&m_mutex);
    m_maxCount = std::max(1, maxCount);
    m_maxBytes = maxBytes;
}

bool WikiVersions::isDue() const
{
    QMutexLocker locker(&m_mutex);
    return m_enabled && (!m_keptThisSession || m_sinceKept.elapsed() >= m_interval);
}

bool WikiVersions::keepCopyOfFile()
{
    QFile file(m_wikiPath);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential())
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    return keepFileBytes(bytes);
}

bool WikiVersions::keepDocument(const QByteArray &documentBytes)
{
    QMutexLocker locker(&m_mutex);
    if (!QDir().mkpath(m_folder))
        return false;
    if (!writeWikiData(newVersionPathLocked(), documentBytes))
        return false;
    pruneLocked();
    return true;
}

bool WikiVersions::keepFileBytes(const QByteArray &fileBytes)
{
    QMutexLocker locker(&m_mutex);
    // An empty file is a wiki not yet written: nothing to go back to.
    if (fileBytes.isEmpty() || !QDir().mkpath(m_folder))
        return false;
    if (!writeFile(newVersionPathLocked(), fileBytes))
        return false;
    m_keptThisSession = true;
    m_sinceKept.start();
    pruneLocked();
    return true;
}

QString WikiVersions::newVersionPathLocked() const
{
    QDateTime now = QDateTime::currentDateTimeUtc();
    for (;;) {
        const QString path = m_folder + QLatin1Char('/') + now.toString(nameFormat) + extension;
        if (!QFileInfo::exists(path))
            return path;
        now = now.addMSecs(1);
    }
}

QVector<WikiVersion> WikiVersions::list() const
{
    QVector<WikiVersion> versions;
    const QFileInfoList files = QDir(m_folder).entryInfoList(
        {QLatin1Char('*') + extension}, QDir::Files, QDir::Name | QDir::Reversed);
    for (const QFileInfo &file : files) {
        const QDateTime saved = timeOfName(file.fileName());
        if (saved.isValid())
            versions.append(WikiVersion {file.absoluteFilePath(), saved, file.size()});
    }
    return versions;
}

void WikiVersions::pruneLocked()
{
    // The newest copy stays whatever its size: it is the one a user is most likely to need.
    const QVector<WikiVersion> versions = list();
    qint64 total = 0;
    for (int i = 0; i < versions.size(); ++i) {
        total += versions.at(i).size;
        if (i > 0 && (i >= m_maxCount || total > m_maxBytes))
            QFile::remove(versions.at(i).filePath);
    }
}

namespace {

bool readWholeFile(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

QJsonObject rootOfFile(const QByteArray &fileBytes, bool *ok)
{
    *ok = false;
    WikiReadStatus status = WikiReadStatus::Unreadable;
    const QByteArray document = decodeWikiFile(fileBytes, &status);
    if (status != WikiReadStatus::Read)
        return QJsonObject();
    return jsonFromDocumentBytes(document, ok);
}

} // namespace

bool WikiVersions::restore(const QString &versionPath)
{
    QByteArray bytes;
    bool ok = false;
    if (!readWholeFile(versionPath, &bytes))
        return false;
    rootOfFile(bytes, &ok);
    if (!ok)
        return false;
    // The bytes are read first: keeping the current file may prune the version itself.
    const bool hadFile = QFileInfo(m_wikiPath).size() > 0;
    if (hadFile && !keepCopyOfFile())
        return false;
    return writeFile(m_wikiPath, bytes);
}

QList<Page *> WikiVersions::readPages(const QString &path, bool *ok)
{
    QList<Page *> pages;
    QByteArray bytes;
    *ok = false;
    if (!readWholeFile(path, &bytes))
        return pages;
    const QJsonObject root = rootOfFile(bytes, ok);
    const QJsonArray items = root.value(QStringLiteral("wiki_items")).toArray();
    for (const QJsonValue &element : items) {
        WikiItem *item = WikiItem::fromJson(element.toObject());
        if (!item)
            continue;
        if (Page *page = item->toPage()) {
            pages.append(page);
            continue;
        }
        Folder *folder = item->toFolder();
        pages.append(folder->pages());
        folder->pages().clear();
        delete folder;
    }
    return pages;
}
