// How long the window stops while autosave writes the bench wiki of benchwiki.h: the wiki is
// opened in the real window (offscreen), a few words are typed into its home page, and the
// window's own autosave timer is left to save it. A 5 ms timer ticks meanwhile; the longest gap
// between two ticks is how long the window could not answer the user.
//   bench_autosave [pages] [text]   (default: 2000 pages with pictures; "text": no pictures)
#include "app/mainwindow.h"
#include "app/updatechecker.h"
#include "benchpage.h"
#include "benchwiki.h"
#include "editor/editor.h"
#include "editor/webenginearguments.h"
#include "model/wikidocument.h"
#include "model/wikifile.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <QtTest>

#include <cstdio>

namespace {

const int rounds = 3;
const int tickMs = 5;
const int autosaveMs = 500;

// A line of /proc/self/status in kB, e.g. "VmHWM"; 0 where there is none.
qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

void resetPeakMemory()
{
    // Writing 5 resets the peak resident size.
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

// The file's identity as far as a replacement shows: a save renames a new file over it.
QString fileStamp(const QString &path)
{
    const QFileInfo info(path);
    return QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char('/')
        + QString::number(info.size()) + QLatin1Char('/')
        + QString::number(info.metadataChangeTime().toMSecsSinceEpoch());
}

// Remembers when the autosave timer fires: the filter sees its timer event before the window's
// slot runs.
class TimerWatch final : public QObject
{
public:
    QElapsedTimer *clock = nullptr;
    qint64 firedAt = -1;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Timer && firedAt < 0)
            firedAt = clock->elapsed();
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char **argv)
{
    WebEngineArguments::prepareApplication();
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Velmora-bench"));
    UpdateChecker::setDefaultServerUrl(QUrl(QStringLiteral("http://127.0.0.1:9")));
    const QStringList args = app.arguments();
    const int pages = args.value(1, QStringLiteral("2000")).toInt();
    const bool pictures = args.value(2) != QLatin1String("text");

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.velmora"));
    {
        const QByteArray document = documentBytesFromJson(buildBenchWiki(pages, pictures));
        if (document.isEmpty() || !writeWikiData(path, document)) {
            std::printf("could not write the wiki: too large for the format?\n");
            return 1;
        }
        std::printf("%d pages %s, document %.1f MB, file %.1f MB\n", pages,
            pictures ? "with pictures" : "text only", document.size() / 1048576.0,
            QFileInfo(path).size() / 1048576.0);
    }

    MainWindow window;
    window.resize(1280, 800);
    window.show();
    window.openWiki(path, false, false);
    auto *autosave = window.findChild<QTimer *>(QStringLiteral("autosaveTimer"));
    Editor *editor = window.editor();
    if (!autosave || !editor->currentPage()) {
        std::printf("the window did not open the wiki\n");
        return 1;
    }
    BenchPage::waitForDocument(editor);
    autosave->stop();
    {
        // What a save takes on the GUI thread: the snapshot the worker then writes.
        QElapsedTimer timer;
        timer.start();
        const WikiSnapshot snapshot = window.currentWiki()->snapshot();
        std::printf("snapshot on the GUI thread: %.2f ms\n", timer.nsecsElapsed() / 1e6);
    }

    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QString stamp;
    qint64 savedAt = -1;
    QTimer ticker;
    ticker.setInterval(tickMs);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = qMax(longestGap, now - lastTick);
        lastTick = now;
        if (savedAt < 0 && fileStamp(path) != stamp)
            savedAt = now;
    });
    TimerWatch watch;
    watch.clock = &clock;
    autosave->installEventFilter(&watch);

    {
        // The same wait without a save: how far the machine alone delays the ticks.
        lastTick = clock.elapsed();
        longestGap = 0;
        ticker.start();
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, tickMs);
        ticker.stop();
        std::printf("no save:  longest gap %5lld ms\n", longestGap);
    }

    for (int round = 1; round <= rounds; ++round) {
        editor->setFocus();
        BenchPage::caretAtEnd(editor);
        QTest::keyClicks(editor->focusProxy() ? editor->focusProxy() : editor,
            QStringLiteral(" typed%1").arg(round));
        // The page has handled the keys once a script's answer comes after them.
        BenchPage::run(editor, QStringLiteral("0"));

        resetPeakMemory();
        const qint64 rssBefore = statusKb("VmRSS:");
        stamp = fileStamp(path);
        savedAt = -1;
        watch.firedAt = -1;
        lastTick = clock.elapsed();
        longestGap = 0;
        ticker.start();
        autosave->start(autosaveMs);
        // Until the file was replaced, and a little longer for whatever follows the write.
        QElapsedTimer wait;
        wait.start();
        while ((savedAt < 0 || clock.elapsed() - savedAt < 200) && wait.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, tickMs);
        autosave->stop();
        ticker.stop();
        if (savedAt < 0) {
            std::printf("round %d: the file was not saved\n", round);
            return 1;
        }
        std::printf("round %d: longest gap %5lld ms   save %5lld ms   rss before %4lld MB   "
                    "peak %4lld MB\n",
            round, longestGap, savedAt - watch.firedAt, rssBefore / 1024,
            statusKb("VmHWM:") / 1024);
    }
    return 0;
}
