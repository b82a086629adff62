#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QString>
#include <QVector>

class Page;

// One kept version of a wiki: an ordinary wiki file in the wiki's versions folder.
struct WikiVersion
{
    QString filePath;
    QDateTime saved; // local time
    qint64 size = 0;
};

// Earlier versions of one wiki file, kept in a folder of their own under the application's data
// folder: a copy of the file before the first save of a session, and then at most one every
// interval while the wiki is being saved. The newest few are kept within a size budget. Used by
// the thread that saves as well as by the window: every member locks.
class WikiVersions final
{
public:
    static constexpr qint64 defaultInterval = 30 * 60 * 1000;
    static constexpr int defaultMaxCount = 10;
    static constexpr qint64 defaultMaxBytes = qint64(512) << 20;

    explicit WikiVersions(const QString &wikiPath);

    // <application data>/versions/<the wiki's base name>-<digest of its full path>
    static QString folderFor(const QString &wikiPath);
    QString folder() const { return m_folder; }

    // Off, no copies are made on their own; the ones asked for (before a restore or a reload)
    // still are.
    void setEnabled(bool enabled);
    // How long after a kept copy the next one is due. A seam for tests.
    void setInterval(qint64 milliseconds);
    void setLimits(int maxCount, qint64 maxBytes);

    // True when enabled and no copy was kept this session, or the last is interval old.
    bool isDue() const;
    // Copies the wiki file as it is on disk; false when there was nothing to copy or the copy
    // could not be written. Older copies beyond the limits are removed.
    bool keepCopyOfFile();
    // Keeps document bytes (a wiki that is only in memory) as a version.
    bool keepDocument(const QByteArray &documentBytes);

    // Newest first.
    QVector<WikiVersion> list() const;
    // Puts the version back in place of the wiki file, after keeping the file as it is now as
    // a version itself. False, with nothing changed, when the version is no wiki or the file
    // could not be written.
    bool restore(const QString &versionPath);

    // The pages of a wiki file in sidebar order (those of folders where their folder is); the
    // caller deletes them. Nothing is written, whatever the file holds.
    static QList<Page *> readPages(const QString &path, bool *ok);

private:
    bool keepFileBytes(const QByteArray &fileBytes);
    QString newVersionPathLocked() const;
    void pruneLocked();

    const QString m_wikiPath;
    const QString m_folder;
    mutable QMutex m_mutex;
    bool m_enabled = true;
    qint64 m_interval = defaultInterval;
    int m_maxCount = defaultMaxCount;
    qint64 m_maxBytes = defaultMaxBytes;
    bool m_keptThisSession = false;
    QElapsedTimer m_sinceKept;
};
