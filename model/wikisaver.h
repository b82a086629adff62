#pragma once

#include <QJsonObject>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVector>
#include <QWaitCondition>

#include <functional>
#include <optional>

class QThread;

// What one save writes: the wiki's root object and the file it goes to. The GUI thread takes it
// (WikiDocument::snapshot()); from then on only the saver's worker reads it. Qt's JSON values
// are implicitly shared, so the snapshot shares its data with the pages' kept JSON, and that is
// safe to read from the worker because the GUI thread never changes a shared value in place: a
// change gives the page a new object of its own.
struct WikiSnapshot
{
    QString filePath;
    QJsonObject root;
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

    // Runs on the worker right before each write. A seam for tests that need a slow save.
    void setBeforeWrite(const std::function<void()> &hook);

    // Waits for every save this process still has to make to path, in any saver, so that a
    // file read afterwards holds what was saved. GUI thread.
    static void waitForSavesTo(const QString &path);

    // The work of one save, as the worker does it: converts the snapshot to the file's binary
    // JSON, compresses and writes it through writeWikiData(). Returns the reason for the user
    // when nothing was written, or an empty text.
    static QString write(const WikiSnapshot &snapshot);

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
    // The outcome of each write not yet reported: the reason, or an empty text.
    QVector<QString> m_finished;
    std::function<void()> m_beforeWrite;

    // GUI thread only.
    QThread *m_thread = nullptr;
    bool m_lastSucceeded = true;
    QString m_lastError;
};
