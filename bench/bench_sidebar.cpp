// How long the sidebar takes to paint the bench wiki of benchwiki.h, opened from a wiki file: the
// first paint of the visible rows, each repaint after it, and a scroll from the first row to the
// last, with the number of page previews made on the way.

#include "widgets/applicationlook.h"
#include "benchwiki.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "model/wikifile.h"
#include "sidebar/sidebar.h"
#include "sidebar/sidebartree.h"
#include "sidebar/sidebartreeitem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const int repaintRounds = 200;

double millisecondsSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// Scrolls a page of rows at a time, painting each stop, until the last row has been shown.
double scrollThrough(SidebarTree *tree)
{
    QScrollBar *bar = tree->verticalScrollBar();
    QElapsedTimer timer;
    timer.start();
    for (int value = bar->minimum();; value += bar->pageStep()) {
        bar->setValue(qMin(value, bar->maximum()));
        tree->viewport()->repaint();
        if (value >= bar->maximum())
            break;
    }
    return millisecondsSince(timer);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Gui::installApplicationLook();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.velmora"));
    if (!writeWikiData(path, documentBytesFromJson(buildBenchWiki()))) {
        std::printf("could not write %s\n", qPrintable(path));
        return 1;
    }
    WikiDocument wiki(path);

    // A sidebar as tall as the column beside a 1280 x 800 window's editor.
    Sidebar sidebar(nullptr);
    sidebar.resize(350, 700);
    // Shown empty first, so that the first paint of the rows is the one measured below.
    sidebar.show();
    QApplication::processEvents();
    sidebar.setWiki(&wiki);
    SidebarTree *tree = sidebar.tree();
    // Every page gets painted on the way down.
    tree->expandAll();

    int previews = SidebarTreeItem::previewsMade();
    QElapsedTimer timer;
    timer.start();
    tree->viewport()->repaint();
    const double firstPaint = millisecondsSince(timer);
    const int firstPreviews = SidebarTreeItem::previewsMade() - previews;

    previews = SidebarTreeItem::previewsMade();
    timer.restart();
    for (int i = 0; i < repaintRounds; ++i)
        tree->viewport()->repaint();
    const double repaint = millisecondsSince(timer) / repaintRounds;
    const int repaintPreviews = SidebarTreeItem::previewsMade() - previews;

    // What each repaint would add if every paint made its rows' previews again.
    QList<const Page *> visiblePages;
    for (QTreeWidgetItem *row = tree->itemAt(0, 0);
         row && tree->visualItemRect(row).top() < tree->viewport()->height();
         row = tree->itemBelow(row)) {
        if (const Page *page = static_cast<SidebarTreeItem *>(row)->wikiItem()->toPage())
            visiblePages << page;
    }
    timer.restart();
    for (const Page *page : visiblePages)
        page->plainTextPreview();
    const double remade = millisecondsSince(timer);

    previews = SidebarTreeItem::previewsMade();
    const double firstScroll = scrollThrough(tree);
    const int scrollPreviews = SidebarTreeItem::previewsMade() - previews;
    tree->verticalScrollBar()->setValue(0);
    previews = SidebarTreeItem::previewsMade();
    const double secondScroll = scrollThrough(tree);
    const int secondPreviews = SidebarTreeItem::previewsMade() - previews;

    std::printf("%d pages, %d page rows visible in a %d x %d tree\n", int(wiki.allPages().size()),
        int(visiblePages.size()), tree->viewport()->width(), tree->viewport()->height());
    std::printf(
        "first paint               %8.2f ms  %4d previews made\n", firstPaint, firstPreviews);
    std::printf("repaint after it          %8.3f ms  %4d previews made in %d repaints\n", repaint,
        repaintPreviews, repaintRounds);
    std::printf("  previews made afresh    %8.2f ms  more per repaint, were none kept\n", remade);
    std::printf(
        "scroll first to last row  %8.0f ms  %4d previews made\n", firstScroll, scrollPreviews);
    std::printf(
        "  and again               %8.0f ms  %4d previews made\n", secondScroll, secondPreviews);
    return 0;
}
