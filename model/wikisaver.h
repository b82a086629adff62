#pragma once

#include "model/compacttext.h"
#include "model/wikifileguard.h"

#include <QJsonObject>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVector>
#include <QWaitCondition>

#include <functional>
#include <optional>

class QThread;
class WikiVersions;

// What one save writes: the wiki's root object and the file it goes to. The GUI thread takes it
// (WikiDocument::snapshot()); from then on only the saver's worker reads it. The pages' texts
// are not in the root but in contents, shared with the pages themselves, so that taking a
// snapshot copies and converts no text; the worker puts them together (completeRoot()). Qt's
// JSON values and the texts are implicitly shared and never changed in place, so reading them
// from the worker is safe: a change gives the page a new value of its own.
//
// With a guard, the write first checks that the file is still the one last read or written and
// writes nothing when someone else changed it; with versions, it keeps a copy of the file when
// one is due. Both lock on their own and must outlive the saver's last write.
struct WikiSnapshot
{
    QString filePath;
    // With contents empty, the whole root object; else every page in it lacks its "content",
    // which contents holds in the order the pages come in the tree (folders' pages in place).
    QJsonObject root;
    WikiFileGuard *guard = nullptr;
    WikiVersions *versions = nullptr;
    QVector<CompactText> contents {};

    // The root object as the file holds it, the pages' texts put in: the whole wiki is built.
    QJsonObject completeRoot() const;
    // The size of its document bytes, computed from the parts without building anything.
    qint64 documentSize() const;
};

// Writes snapshots of a wiki on a worker thread of its own, so that converting, compressing and
// writing never stop the window. One save runs at a time; a snapshot given while one runs waits,
// and a newer snapshot replaces one that still waits, since it holds everything the older one
// did. The object itself lives on the GUI thread: save(), waitForSaves() and the signals belong
// there, and only run() and write() execute on the worker.
class WikiSaver final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WikiSaver)

public:
    explicit WikiSaver(QObject *parent = nullptr);
    // Waits for the running save and writes the waiting one: nothing given to save() is lost.
    ~WikiSaver() override;

    // Hands the snapshot to the worker and returns at once.
    void save(const WikiSnapshot &snapshot);
    // True from save() until the worker is done and what it did was reported.
    bool isBusy() const;
    // Waits for the running and the waiting save, reports them through saveFinished() and
    // returns whether the last one worked (true when there was none).
    bool waitForSaves();
    // Why the last save wrote nothing, in words for the user; empty after one that worked.
    QString lastError() const { return m_lastError; }
    bool lastSaveSucceeded() const { return m_lastSucceeded; }
    // How the last reported write went: ChangedOutside when someone else had changed the file,
    // WrittenAgain when it had vanished.
    GuardedWrite lastWrite() const { return m_lastWrite; }

    // Runs on the worker right before each write. A seam for tests that need a slow save.
    void setBeforeWrite(const std::function<void()> &hook);

    // Waits for every save this process still has to make to path, in any saver, so that a
    // file read afterwards holds what was saved. GUI thread.
    static void waitForSavesTo(const QString &path);

    // How one save went: the reason for the user when nothing was written, or an empty text.
    struct Outcome
    {
        QString error;
        GuardedWrite write = GuardedWrite::Written;
    };
    // The work of one save, as the worker does it: converts the snapshot to the file's binary
    // JSON, compresses and writes it through writeWikiDataGuarded().
    static Outcome write(const WikiSnapshot &snapshot);

signals:
    // save() was called: the wiki is being written.
    void saveStarted();
    // One write finished, on the disk or not; lastError() says why not.
    void saveFinished(bool saved);

private:
    void run();
    bool pendingFor(const QString &absolutePath) const;
    void waitUntilIdle();
    void reportFinished();

    mutable QMutex m_mutex;
    // Guarded by m_mutex: what passes between the threads.
    QWaitCondition m_workArrived;
    QWaitCondition m_workDone;
    std::optional<WikiSnapshot> m_waiting;
    QString m_runningPath;
    bool m_running = false;
    bool m_quit = false;
    // The outcome of each write not yet reported.
    QVector<Outcome> m_finished;
    std::function<void()> m_beforeWrite;

    // GUI thread only.
    QThread *m_thread = nullptr;
    bool m_lastSucceeded = true;
    QString m_lastError;
    GuardedWrite m_lastWrite = GuardedWrite::Written;
};
