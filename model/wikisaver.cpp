#include "model/wikisaver.h"

#include "model/wikifile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>

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
    QVector<QString> finished;
    {
        QMutexLocker locker(&m_mutex);
        finished.swap(m_finished);
    }
    for (const QString &error : qAsConst(finished)) {
        m_lastError = error;
        m_lastSucceeded = error.isEmpty();
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
        const QString error = write(snapshot);
        // Let go of the snapshot before anyone learns the save is done.
        snapshot = WikiSnapshot();
        {
            QMutexLocker locker(&m_mutex);
            m_running = false;
            m_runningPath.clear();
            m_finished.append(error);
            m_workDone.wakeAll();
        }
        QMetaObject::invokeMethod(this, &WikiSaver::reportFinished, Qt::QueuedConnection);
    }
}

QString WikiSaver::write(const WikiSnapshot &snapshot)
{
    const QByteArray bytes = documentBytesFromJson(snapshot.root);
    if (bytes.isEmpty())
        return QCoreApplication::translate(
            "WikiDocument", "The wiki has grown too large to be stored in one file.");
    if (!writeWikiData(snapshot.filePath, bytes))
        return describeWriteFailure(snapshot.filePath);
    return QString();
}
