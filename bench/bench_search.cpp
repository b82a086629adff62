// Times the page search on the large wiki of the file benchmark, beside the method that renders
// every page in a fresh off-screen web page, for a text found nowhere, a rare text and a common
// word, and checks that both give the same results.
//   bench_search [text ...]   (default: the three texts below)
// Wall time is what the user waits; processor time is steadier on a busy machine.
#include "benchwiki.h"

#include "model/folder.h"
#include "model/page.h"
#include "search/searchrunner.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>

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

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The wiki's pages in sidebar order, as the document lists them.
    std::vector<std::unique_ptr<Page>> owned;
    std::vector<std::unique_ptr<Folder>> folders;
    QList<Page *> pages;
    const QJsonArray items = buildBenchWiki().value("wiki_items").toArray();
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

    QStringList texts = app.arguments().mid(1);
    if (texts.isEmpty())
        texts = QStringList {"xylophone", "1234", "garden"};

    SearchRunner runner;
    std::printf("%d pages\n", int(pages.size()));
    std::printf("%-12s %7s | %10s %10s | %10s %10s | %7s %s\n", "text", "hits", "fast wall",
        "fast cpu", "fresh wall", "fresh cpu", "ratio", "same");
    bool allSame = true;
    for (const QString &text : qAsConst(texts)) {
        QList<SearchResult> fast;
        QList<SearchResult> fresh;
        // The first run also builds the collation tables and the shared document; the figure
        // given is the median of three runs after it.
        const Timing first = measure([&] { fast = runner.run(pages, text); });
        std::vector<Timing> runs;
        for (int i = 0; i < 3; ++i)
            runs.push_back(measure([&] { fast = runner.run(pages, text); }));
        std::sort(runs.begin(), runs.end(),
            [](const Timing &a, const Timing &b) { return a.wallMs < b.wallMs; });
        const Timing again = runs.at(1);
        const SearchRunner::Statistics statistics = runner.lastStatistics();
        const Timing reference
            = measure([&] { fresh = SearchRunner::runInFreshPages(pages, text); });
        const bool same = fast == fresh;
        allSame = allSame && same;
        std::printf("%-12s %7d | %8.1fms %8.1fms | %8.0fms %8.0fms | %6.1fx %s\n", qPrintable(text),
            int(fast.size()), again.wallMs, again.processorMs, reference.wallMs,
            reference.processorMs, reference.wallMs / again.wallMs, same ? "yes" : "NO");
        std::printf("%-12s first run %.1f ms; pages skipped %d, in the shared document %d, in "
                    "fresh pages %d, by find %d; lines read %d, remembered %d\n",
            "", first.wallMs, statistics.pagesSkipped, statistics.pagesInSharedDocument,
            statistics.pagesInFreshPages, statistics.pagesSearchedByFind,
            statistics.linesFromDocument, statistics.linesRemembered);
    }
    return allSame ? 0 : 1;
}
