#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>

class WikiVersions;

// How a guarded write went.
enum class GuardedWrite {
    Written,
    WrittenAgain, // the file had vanished and was written anew
    ChangedOutside, // nothing written: someone else changed the file
    Failed, // nothing written, or not all of it (see writeWikiData())
};

// What the wiki file was when this program last read or wrote it (size, modification time and a
// digest of its bytes), so that a file someone else replaced in the meantime is never written
// over unasked. Used by the thread that saves as well as by the window: every member locks.
class WikiFileGuard final
{
public:
    // What the file on disk is now, against what was remembered.
    enum class DiskState {
        Unchanged, // still the file last read or written, or nothing is remembered yet
        Changed, // someone else wrote it
        Vanished, // it is gone
    };

    explicit WikiFileGuard(const QString &path);

    QString filePath() const { return m_path; }
    // After a load: reads the file once more and remembers it.
    void rememberFile();
    // After a write: remembers the file as holding exactly these bytes.
    void rememberWritten(const QByteArray &fileBytes);
    // How the last write through writeWikiDataGuarded() went, and the size of the document
    // bytes the file holds since the last load or write that worked.
    GuardedWrite lastWrite() const;
    qint64 documentSize() const;
    void setLastWrite(GuardedWrite outcome, qint64 documentSize);
    // The file on disk, whatever it holds, becomes the one remembered (the user chose to write
    // over it).
    void acceptDisk();
    bool remembers() const;

    // Compares size and modification time; reads and digests the file only when those do not
    // settle the question.
    DiskState check() const;

    static quint32 digest(const QByteArray &bytes);

private:
    void rememberLocked(qint64 size, qint64 modified, quint32 digest);

    const QString m_path;
    mutable QMutex m_mutex;
    bool m_known = false;
    qint64 m_size = 0;
    qint64 m_modified = 0; // milliseconds since the epoch
    qint64 m_rememberedAt = 0;
    quint32 m_digest = 0;
    GuardedWrite m_lastWrite = GuardedWrite::Written;
    qint64 m_documentSize = 0;
};

// The save path's write: checks the file against guard, keeps a version of it through versions
// when one is due, writes the document bytes through writeWikiData() and remembers in the guard
// what went into the file and how the write went. Either pointer may be null.
GuardedWrite writeWikiDataGuarded(const QString &path, const QByteArray &documentBytes,
    WikiFileGuard *guard, WikiVersions *versions);
