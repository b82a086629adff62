// The program's window as a user meets it: how long after the process started the window shows
// with a new, empty wiki and its home page loaded; then, with --bench-wiki, how long the bench
// wiki of benchwiki.h takes to open from its file and show its home page, and the memory of
// this process and of the web engine's processes once it shows.
//
//   bench_window                 start-up with an empty wiki
//   bench_window --bench-wiki    start-up, memory with the empty wiki, then the bench wiki
//                                and memory with it

#include "app/mainwindow.h"
#include "app/updatechecker.h"
#include "benchprocess.h"
#include "benchwiki.h"
#include "editor/editor.h"
#include "editor/webenginearguments.h"
#include "model/wikifile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <malloc.h>

namespace {

// The memory of this process and the engine's below it, in all and each.
void printMemory(const char *what)
{
    const Memory all = memoryWithDescendants();
    std::printf("memory with %s open (with the engine's processes): RSS %lld MB, PSS %lld MB\n",
        what, all.rss / 1024, all.pss / 1024);
    const Memory self = memoryOf(QStringLiteral("self"));
    std::printf("  this process            RSS %4lld MB, PSS %4lld MB\n", self.rss / 1024,
        self.pss / 1024);
    const QString pid = QString::number(QCoreApplication::applicationPid());
    for (const QString &entry : descendants(pid)) {
        const QStringList ids = entry.split(QLatin1Char(':'));
        const Memory one = memoryOf(ids.value(0));
        std::printf("  %-23s RSS %4lld MB, PSS %4lld MB\n",
            qPrintable(processType(ids.value(0), ids.value(1))), one.rss / 1024, one.pss / 1024);
    }
}

// Waits up to a minute for the editor to finish loading a page; false when it never did.
bool pageLoaded(QSignalSpy &loaded)
{
    return !loaded.isEmpty() || loaded.wait(60000);
}

} // namespace

int main(int argc, char **argv)
{
    WebEngineArguments::prepareApplication();
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Velmora-bench"));
    UpdateChecker::setDefaultServerUrl(QUrl(QStringLiteral("http://127.0.0.1:9")));
    const bool benchWiki = app.arguments().contains(QStringLiteral("--bench-wiki"));
    QTemporaryDir dir;

    MainWindow window;
    QSignalSpy loaded(window.editor(), SIGNAL(loadFinished(bool)));
    window.resize(1280, 800);
    window.show();
    if (!window.openWiki(dir.filePath(QStringLiteral("empty.velmora")), false, false)
        || !QTest::qWaitForWindowExposed(&window) || !pageLoaded(loaded)) {
        std::printf("the window did not show an empty wiki\n");
        return 1;
    }
    std::printf("window shown with an empty wiki: %lld ms after the process started\n",
        msSinceProcessStart());
    if (!benchWiki)
        return 0;
    QTest::qWait(3000);
    printMemory("an empty wiki");

    const QString path = dir.filePath(QStringLiteral("bench.velmora"));
    if (!writeWikiData(path, documentBytesFromJson(buildBenchWiki()))) {
        std::printf("could not write the bench wiki\n");
        return 1;
    }
    // The heap that building the wiki took goes back to the system, as if it had never been
    // in this process.
    malloc_trim(0);
    QElapsedTimer timer;
    timer.start();
    loaded.clear();
    if (!window.openWiki(path, false, false) || !pageLoaded(loaded)) {
        std::printf("the bench wiki did not open\n");
        return 1;
    }
    std::printf("bench wiki opened, home page shown: %lld ms\n", timer.elapsed());
    // What the engine still does after the load (painting, the page script's first reports).
    QTest::qWait(3000);
    printMemory("the bench wiki");
    return 0;
}
