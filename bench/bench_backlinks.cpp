// How long "Linked from" takes on the bench wiki of benchwiki.h, opened from a wiki file: the
// pages linking to a page that fifty pages link to, asked for the first time (every page
// read), again with nothing changed, and after the shown page was edited.

#include "benchwiki.h"
#include "model/backlinks.h"
#include "model/page.h"
#include "model/urls.h"
#include "model/wikidocument.h"
#include "model/wikifile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

const int rounds = 200;
const int wantedBacklinks = 50;

double millisecondsSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.velmora"));
    if (!writeWikiData(path, documentBytesFromJson(buildBenchWiki()))) {
        std::printf("could not write %s\n", qPrintable(path));
        return 1;
    }
    WikiDocument wiki(path);
    const QList<Page *> pages = wiki.allPages();

    // The generated pages link to random pages, about ten links each: "Page 7" is given links
    // from more pages, as a page a user links to often, until fifty pages link to it.
    Page *target = pages.at(7);
    Backlinks scan;
    int linking = scan.pagesLinkingTo(target->id(), pages).size();
    for (int i = 100; linking < wantedBacklinks && i < pages.size(); i += 37) {
        Page *page = pages.at(i);
        if (Backlinks::linkedPageIds(page->content()).contains(target->id()))
            continue;
        page->setContent(page->content()
            + QStringLiteral("<p>See <a href=\"%1\">page 7</a>.</p>").arg(pageUrl(target->id())));
        ++linking;
    }

    Backlinks backlinks;
    QElapsedTimer timer;
    timer.start();
    const int found = backlinks.pagesLinkingTo(target->id(), wiki.allPages()).size();
    const double first = millisecondsSince(timer);

    timer.restart();
    for (int i = 0; i < rounds; ++i)
        backlinks.pagesLinkingTo(target->id(), wiki.allPages());
    const double again = millisecondsSince(timer) / rounds;

    // The page being edited is one of the pages with a picture, the largest to read again.
    Page *edited = pages.at(21);
    double afterEdit = 0;
    for (int i = 0; i < rounds; ++i) {
        edited->setContent(edited->content() + QStringLiteral("x"));
        timer.restart();
        backlinks.pagesLinkingTo(target->id(), wiki.allPages());
        afterEdit += millisecondsSince(timer);
    }
    afterEdit /= rounds;

    std::printf("pages: %d, pages linking to \"%s\": %d\n", int(pages.size()),
        qPrintable(target->name()), found);
    std::printf("first time (every page read):    %8.2f ms\n", first);
    std::printf("again, nothing changed:          %8.2f ms\n", again);
    std::printf("after an edit of one page:       %8.2f ms\n", afterEdit);
    return found == wantedBacklinks ? 0 : 1;
}
