#include "model/wikisaver.h"

#include "model/wikifile.h"
#include "model/wikiitem.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QMutexLocker>
#include <QThread>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Every saver alive, for waitForSavesTo().
QMutex saversMutex;
QList<WikiSaver *> savers;

// Whether this thread may write to path. QFileInfo asks with the process's real user, which is
// not always the one that writes.
bool mayWrite(const QFileInfo &info)
{
#ifdef Q_OS_UNIX
    return ::faccessat(
               AT_FDCWD, QFile::encodeName(info.absoluteFilePath()).constData(), W_OK, AT_EACCESS)
        == 0;
#else
    return info.isWritable();
#endif
}

// The likely reason a file could not be replaced, for the message the user sees.
QString describeWriteFailure(const QString &path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists() || !folder.isDir())
        return QCoreApplication::translate("WikiDocument", "Its folder no longer exists.");
    if (!mayWrite(folder) || (file.exists() && !mayWrite(file)))
        return QCoreApplication::translate(
            "WikiDocument", "Velmora has no permission to write there.");
    return QCoreApplication::translate(
        "WikiDocument", "The file could not be written; the disk may be full.");
}

} // namespace

QJsonObject WikiSnapshot::completeRoot() const
{
    if (contents.isEmpty())
        return root;
    int next = 0;
    const QString itemsKey = QStringLiteral("wiki_items");
    QJsonObject complete = root;
    QJsonArray items = complete.take(itemsKey).toArray();
    for (int i = 0; i < items.size(); ++i)
        items.replace(i, WikiItem::withContents(items.at(i).toObject(), contents, &next));
    complete.insert(itemsKey, items);
    return complete;
}

qint64 WikiSnapshot::documentSize() const
{
    qint64 size = documentSizeOfJson(root);
    for (const CompactText &content : contents)
        size += documentSizeOfContentEntry(content);
    return size;
}

WikiSaver::WikiSaver(QObject *parent)
    : QObject(parent)
{
    QMutexLocker locker(&saversMutex);
    savers.append(this);
}

WikiSaver::~WikiSaver()
{
    {
        QMutexLocker locker(&saversMutex);
        savers.removeOne(this);
    }
    if (!m_thread)
        return;
    {
        QMutexLocker locker(&m_mutex);
        m_quit = true;
        m_workArrived.wakeAll();
    }
    // The worker takes the waiting snapshot before it looks at m_quit.
    m_thread->wait();
    delete m_thread;
}

void WikiSaver::save(const WikiSnapshot &snapshot)
{
    if (!m_thread) {
        m_thread = QThread::create([this] { run(); });
        m_thread->setObjectName(QStringLiteral("Wiki saver"));
        m_thread->start();
    }
    {
        QMutexLocker locker(&m_mutex);
        m_waiting = snapshot;
        m_workArrived.wakeAll();
    }
    emit saveStarted();
}

bool WikiSaver::isBusy() const
{
    QMutexLocker locker(&m_mutex);
    return m_waiting || m_running || !m_finished.isEmpty();
}

void WikiSaver::waitUntilIdle()
{
    QMutexLocker locker(&m_mutex);
    while (m_waiting || m_running)
        m_workDone.wait(&m_mutex);
}

bool WikiSaver::waitForSaves()
{
    waitUntilIdle();
    reportFinished();
    return m_lastSucceeded;
}

void WikiSaver::setBeforeWrite(const std::function<void()> &hook)
{
    QMutexLocker locker(&m_mutex);
    m_beforeWrite = hook;
}

bool WikiSaver::pendingFor(const QString &absolutePath) const
{
    QMutexLocker locker(&m_mutex);
    return (m_waiting && QFileInfo(m_waiting->filePath).absoluteFilePath() == absolutePath)
        || (m_running && m_runningPath == absolutePath);
}

void WikiSaver::waitForSavesTo(const QString &path)
{
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    QList<WikiSaver *> all;
    {
        QMutexLocker locker(&saversMutex);
        all = savers;
    }
    for (WikiSaver *saver : qAsConst(all)) {
        if (saver->pendingFor(absolutePath))
            saver->waitUntilIdle();
    }
}

void WikiSaver::reportFinished()
{
    QVector<Outcome> finished;
    {
        QMutexLocker locker(&m_mutex);
        finished.swap(m_finished);
    }
    for (const Outcome &outcome : qAsConst(finished)) {
        m_lastError = outcome.error;
        m_lastWrite = outcome.write;
        m_lastSucceeded = outcome.error.isEmpty();
        emit saveFinished(m_lastSucceeded);
    }
}

// The worker. It touches nothing of the wiki but the snapshot it took out of m_waiting.
void WikiSaver::run()
{
    for (;;) {
        WikiSnapshot snapshot;
        std::function<void()> beforeWrite;
        {
            QMutexLocker locker(&m_mutex);
            while (!m_waiting && !m_quit)
                m_workArrived.wait(&m_mutex);
            if (!m_waiting)
                return;
            snapshot = std::move(*m_waiting);
            m_waiting.reset();
            m_running = true;
            m_runningPath = QFileInfo(snapshot.filePath).absoluteFilePath();
            beforeWrite = m_beforeWrite;
        }
        if (beforeWrite)
            beforeWrite();
        const Outcome outcome = write(snapshot);
        // Let go of the snapshot before anyone learns the save is done.
        snapshot = WikiSnapshot();
#ifdef __GLIBC__
        // Building the document put every page's text on the heap once more, in pieces too
        // small to go back to the system on their own: otherwise each save leaves the process
        // that much larger.
        malloc_trim(0);
#endif
        {
            QMutexLocker locker(&m_mutex);
            m_running = false;
            m_runningPath.clear();
            m_finished.append(outcome);
            m_workDone.wakeAll();
        }
        QMetaObject::invokeMethod(this, &WikiSaver::reportFinished, Qt::QueuedConnection);
    }
}

WikiSaver::Outcome WikiSaver::write(const WikiSnapshot &snapshot)
{
    const QByteArray bytes = documentBytesFromJson(snapshot.completeRoot());
    if (bytes.isEmpty()) {
        if (snapshot.guard)
            snapshot.guard->setLastWrite(GuardedWrite::Failed, 0);
        return Outcome {QCoreApplication::translate("WikiDocument",
                            "The wiki has grown too large to be stored in one file."),
            GuardedWrite::Failed};
    }
    const GuardedWrite write
        = writeWikiDataGuarded(snapshot.filePath, bytes, snapshot.guard, snapshot.versions);
    switch (write) {
    case GuardedWrite::ChangedOutside:
        return Outcome {QCoreApplication::translate("WikiDocument",
                            "The wiki file was changed outside Velmora since it was opened."),
            write};
    case GuardedWrite::Failed:
        return Outcome {describeWriteFailure(snapshot.filePath), write};
    case GuardedWrite::Written:
    case GuardedWrite::WrittenAgain:
        break;
    }
    return Outcome {QString(), write};
}
