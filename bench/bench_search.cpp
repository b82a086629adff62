// Times the page search on the large wiki of the file benchmark for a text found nowhere, a rare
// text and a common word: the search as the window runs it (time to the first rows, to the full
// list, and the longest the event loop waited meanwhile), and the whole search at once. Checks
// that it gives what the method rendering every page in a fresh off-screen web page gives.
//   bench_search [--no-check] [--checklists] [text ...]   (default: the three texts below)
// --checklists: one page in four of the wiki also holds a checklist.
// Wall time is what the user waits; processor time is steadier on a busy machine.
#include "benchwiki.h"

#include "editor/pageprofile.h"
#include "editor/webenginearguments.h"
#include "model/folder.h"
#include "model/page.h"
#include "search/searchresultswidget.h"
#include "search/searchrunner.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>
#include <QWebEnginePage>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

double processorSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct Timing
{
    double wallMs;
    double processorMs;
};

Timing measure(const std::function<void()> &step)
{
    QElapsedTimer wall;
    const double processor = processorSeconds();
    wall.start();
    step();
    return {double(wall.nsecsElapsed()) / 1e6, (processorSeconds() - processor) * 1e3};
}

// The reference: every page searched in a fresh web page, waited for.
QList<SearchResult> inFreshPages(const QList<Page *> &pages, const QString &text, int width)
{
    QList<SearchResult> results;
    QEventLoop loop;
    SearchRunner::runInFreshPages(pages, text, width, &loop, [&](const QList<SearchResult> &found) {
        results = found;
        loop.quit();
    });
    loop.exec();
    return results;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    WebEngineArguments::prepareApplication();
    QApplication app(argc, argv);

    QStringList texts = app.arguments().mid(1);
    // The fresh-page method takes minutes on this wiki.
    const bool check = !texts.removeAll(QStringLiteral("--no-check"));
    const bool checklists = texts.removeAll(QStringLiteral("--checklists")) > 0;

    // The editor's page, which starts the web engine before the wiki is read and any search
    // runs, as the window's does.
    PageProfile profile;
    QWebEnginePage editorPage(&profile);
    // The engine forks its helper processes as it starts: after that, this process's first
    // write to each page of its heap faults. Started after the wiki was read, the first search
    // paid for that, and for the engine's start-up in its event loop.
    {
        QEventLoop loop;
        QObject::connect(&editorPage, &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        editorPage.setHtml(QStringLiteral("<p>editor</p>"));
        loop.exec();
    }
    // The wiki's pages in sidebar order, as the document lists them.
    std::vector<std::unique_ptr<Page>> owned;
    std::vector<std::unique_ptr<Folder>> folders;
    QList<Page *> pages;
    const QJsonArray items = buildBenchWiki(2000, true, checklists).value("wiki_items").toArray();
    for (const QJsonValue &item : items) {
        const QJsonObject object = item.toObject();
        if (object.value("type").toString() == QLatin1String("folder")) {
            folders.emplace_back(Folder::fromJson(object));
            pages += folders.back()->pages();
            for (Page *page : folders.back()->pages())
                owned.emplace_back(page);
        } else {
            owned.emplace_back(Page::fromJson(object));
            pages.append(owned.back().get());
        }
    }

    if (texts.isEmpty())
        texts = QStringList {"xylophone", "1234", "garden"};

    // Pages searched in fresh pages are laid out at a usual editor width.
    constexpr int width = 800;
    SearchRunner runner;
    runner.setLayoutWidth(width);
    // The results panel the window shows, fed as the window feeds it.
    SearchResultsWidget panel;
    panel.resize(width, 300);
    panel.show();
    QObject::connect(
        &runner, &SearchRunner::resultsFound, &panel, &SearchResultsWidget::addResults);
    QObject::connect(
        &runner, &SearchRunner::progressed, &panel, &SearchResultsWidget::showProgress);
    QObject::connect(&runner, &SearchRunner::finished, &panel, &SearchResultsWidget::finishResults);
    std::printf("%d pages, laid out %d px wide\n", int(pages.size()), width);
    std::printf("%-12s %7s | %11s %11s %9s | %10s %10s | %10s %s\n", "text", "hits", "first rows",
        "full list", "max gap", "whole run", "run cpu", "fresh wall", "same");
    bool allSame = true;
    QList<SearchResult> lastFull;
    double lastFullListMs = 0;
    for (const QString &text : qAsConst(texts)) {
        // The search as the window runs it, beside a 5 ms timer standing for the window's own
        // work: the longest gap between its ticks is how long the window stays unanswered. The
        // first one also builds the collation tables, as the first search after the
        // program starts does.
        QList<SearchResult> shown;
        double firstRowsMs = -1;
        double fullListMs = 0;
        double maxGapMs = 0;
        QElapsedTimer clock;
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            maxGapMs = std::max(maxGapMs, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        QEventLoop loop;
        QObject::connect(
            &runner, &SearchRunner::resultsFound, &loop, [&](const QList<SearchResult> &results) {
                if (firstRowsMs < 0)
                    firstRowsMs = double(clock.nsecsElapsed()) / 1e6;
                shown += results;
            });
        QObject::connect(&runner, &SearchRunner::finished, &loop, [&] {
            fullListMs = double(clock.nsecsElapsed()) / 1e6;
            loop.quit();
        });
        clock.start();
        sinceTick.start();
        ticker.start();
        runner.start(pages, text);
        panel.beginResults(text);
        loop.exec();
        ticker.stop();
        QObject::disconnect(&runner, nullptr, &loop, nullptr);

        QList<SearchResult> fast;
        const Timing whole = measure([&] { fast = runner.run(pages, text); });

        QList<SearchResult> fresh = fast;
        const Timing reference = check
            ? measure([&] { fresh = inFreshPages(pages, text, width); })
            : Timing {0, 0};
        const bool same = shown == fast && fast.size() == fresh.size()
            && std::equal(fast.begin(), fast.end(), fresh.begin(),
                [](const SearchResult &a, const SearchResult &b) { return a.isSameHit(b); });
        allSame = allSame && same;
        const SearchRunner::Statistics statistics = runner.lastStatistics();
        std::printf("%-12s %7d | %9.1fms %9.1fms %7.1fms | %8.1fms %8.1fms | %8.0fms %s\n",
            qPrintable(text), int(shown.size()), firstRowsMs < 0 ? fullListMs : firstRowsMs,
            fullListMs, maxGapMs, whole.wallMs, whole.processorMs, reference.wallMs,
            same ? "yes" : "NO");
        std::printf("%-12s pages skipped %d, read as text %d, in fresh pages %d\n", "",
            statistics.pagesSkipped, statistics.pagesReadAsText, statistics.pagesInFreshPages);

        // The web engine does the tidying up it put off during the runs above when the event
        // loop is next idle, as it would while the user types the next search.
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        loop.exec();
        lastFull = fast;
        lastFullListMs = fullListMs;
    }

    // Escape a third of the way into the search for the last text: how long after the key press
    // the search stops, and whether the rows shown by then are the start of the full list.
    const int escapeMs = qMax(1, int(lastFullListMs / 3));
    QList<SearchResult> shown;
    QElapsedTimer clock;
    double stoppedMs = 0;
    bool cancelled = false;
    QEventLoop loop;
    QObject::connect(&runner, &SearchRunner::resultsFound, &loop,
        [&](const QList<SearchResult> &results) { shown += results; });
    QObject::connect(&runner, &SearchRunner::finished, &loop, [&](bool wasCancelled) {
        stoppedMs = double(clock.nsecsElapsed()) / 1e6 - escapeMs;
        cancelled = wasCancelled;
        loop.quit();
    });
    QTimer::singleShot(escapeMs, &runner, &SearchRunner::cancel);
    clock.start();
    runner.start(pages, texts.last());
    panel.beginResults(texts.last());
    loop.exec();
    const bool prefix = shown == lastFull.mid(0, shown.size());
    std::printf("%-12s cancelled after %d ms: stopped %.1f ms after the key, %d of %d hits shown, "
                "%s\n",
        qPrintable(texts.last()), escapeMs, stoppedMs, int(shown.size()), int(lastFull.size()),
        !cancelled   ? "ran to the end"
            : prefix ? "the start of the full list"
                     : "NOT A PREFIX");
    return allSame && (!cancelled || prefix) ? 0 : 1;
}
