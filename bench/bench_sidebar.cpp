// How long the sidebar takes to paint the 2,000-page bench wiki: the first paint of the visible
// rows, each repaint after it, and a scroll from the first row to the last.

#include "app/mainwindow.h"
#include "benchwiki.h"
#include "model/folder.h"
#include "model/page.h"
#include "sidebar/sidebaritemdelegate.h"
#include "sidebar/sidebartree.h"
#include "sidebar/sidebartreeitem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTextStream>

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
    MainWindow::installApplicationLook();
    QTextStream out(stdout);

    QElapsedTimer timer;
    timer.start();
    const QList<WikiItem *> items = makeBenchWiki();
    out << QStringLiteral("bench wiki built in %1 ms\n").arg(millisecondsSince(timer), 0, 'f', 0);

    SidebarItemDelegate delegate;
    SidebarTree tree;
    tree.setItemDelegate(&delegate);
    tree.resize(350, 800);
    // Shown empty first, so that the first paint of the rows is the one measured below.
    tree.show();
    QApplication::processEvents();
    for (WikiItem *item : items) {
        auto *row = new SidebarTreeItem(item);
        if (Folder *folder = item->toFolder()) {
            for (Page *page : folder->pages())
                row->addChild(new SidebarTreeItem(page));
        }
        tree.addTopLevelItem(row);
    }
    // Every page gets painted on the way down.
    tree.expandAll();

    int previews = SidebarTreeItem::previewsMade();
    timer.restart();
    tree.viewport()->repaint();
    const double firstPaint = millisecondsSince(timer);
    const int firstPreviews = SidebarTreeItem::previewsMade() - previews;

    previews = SidebarTreeItem::previewsMade();
    timer.restart();
    for (int i = 0; i < repaintRounds; ++i)
        tree.viewport()->repaint();
    const double repaint = millisecondsSince(timer) / repaintRounds;
    const int repaintPreviews = SidebarTreeItem::previewsMade() - previews;

    // What each repaint would cost if every paint made its rows' previews again.
    QList<Page *> visiblePages;
    for (QTreeWidgetItem *row = tree.itemAt(0, 0); row; row = tree.itemBelow(row)) {
        if (tree.visualItemRect(row).top() >= tree.viewport()->height())
            break;
        if (Page *page = static_cast<SidebarTreeItem *>(row)->wikiItem()->toPage())
            visiblePages << page;
    }
    timer.restart();
    for (const Page *page : visiblePages)
        page->plainTextPreview();
    const double remade = millisecondsSince(timer);

    previews = SidebarTreeItem::previewsMade();
    const double firstScroll = scrollThrough(&tree);
    const int scrollPreviews = SidebarTreeItem::previewsMade() - previews;
    tree.verticalScrollBar()->setValue(0);
    previews = SidebarTreeItem::previewsMade();
    const double secondScroll = scrollThrough(&tree);
    const int secondScrollPreviews = SidebarTreeItem::previewsMade() - previews;

    out << QStringLiteral("visible rows: %1 pages in a 350 x 800 sidebar\n")
               .arg(visiblePages.size())
        << QStringLiteral("first paint:              %1 ms (%2 previews made)\n")
               .arg(firstPaint, 0, 'f', 2)
               .arg(firstPreviews)
        << QStringLiteral("repaint after it:         %1 ms (%2 previews made in %3 repaints)\n")
               .arg(repaint, 0, 'f', 3)
               .arg(repaintPreviews)
               .arg(repaintRounds)
        << QStringLiteral("  previews made afresh:   %1 ms more per repaint\n")
               .arg(remade, 0, 'f', 2)
        << QStringLiteral("scroll first to last row: %1 ms (%2 previews made)\n")
               .arg(firstScroll, 0, 'f', 0)
               .arg(scrollPreviews)
        << QStringLiteral("  and again:              %1 ms (%2 previews made)\n")
               .arg(secondScroll, 0, 'f', 0)
               .arg(secondScrollPreviews);
    out.flush();

    tree.clear();
    deleteBenchWiki(items);
    return 0;
}
