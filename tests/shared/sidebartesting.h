#pragma once

// Helpers shared by the sidebar's tests: wikis written from a short shape, the shape of what a
// tree or a wiki holds, and drags driven the way the toolkit drives them.

#include "model/folder.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "sidebar/sidebartree.h"
#include "sidebar/sidebartreeitem.h"

#include <QDrag>
#include <QtTest>

#include <memory>

// A new wiki at path shaped as "H R1 F[A B] R2": H is the home page, a name followed by brackets
// a folder holding the pages inside them, any other name a page. Names double as identifiers,
// the home page's being "1".
inline WikiDocument *makeShapedWiki(const QString &path, const QString &shape)
{
    auto *wiki = new WikiDocument(path);
    wiki->homePage()->setName("H");
    if (!shape.startsWith("H"))
        wiki->removePage("1");
    Folder *folder = nullptr;
    QString spaced = shape;
    for (const QString &token :
        spaced.replace("[", "[ ").replace("]", " ] ").split(' ', Qt::SkipEmptyParts)) {
        if (token == "]")
            folder = nullptr;
        else if (token.endsWith('['))
            (folder = wiki->createFolder(token.chopped(1)))->setId(token.chopped(1));
        else if (token != "H")
            wiki->createPage(token, folder)->setId(token);
    }
    wiki->save();
    return wiki;
}

// The shape of a list of items, or of a tree's rows, in the form makeShapedWiki() reads.
inline QString shapeOf(const QList<WikiItem *> &items)
{
    QStringList names;
    for (WikiItem *item : items) {
        QStringList pages;
        if (Folder *folder = item->toFolder()) {
            for (const Page *page : folder->pages())
                pages << page->name();
        }
        names << item->name() + (item->isFolder() ? "[" + pages.join(' ') + "]" : QString());
    }
    return names.join(' ');
}

inline QString shapeOf(const SidebarTree *tree)
{
    auto nameOf = [](const QTreeWidgetItem *row) {
        return static_cast<const SidebarTreeItem *>(row)->wikiItem()->name();
    };
    QStringList names;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *top = tree->topLevelItem(i);
        QStringList pages;
        for (int j = 0; j < top->childCount(); ++j)
            pages << nameOf(top->child(j));
        const bool folder = static_cast<const SidebarTreeItem *>(top)->isFolder();
        names << nameOf(top) + (folder ? "[" + pages.join(' ') + "]" : QString());
    }
    return names.join(' ');
}

inline SidebarTreeItem *rowNamed(const SidebarTree *tree, const QString &name)
{
    return tree->itemById(name == "H" ? "1" : name);
}

// Where the pointer goes: the "upper" or "lower" half or the "middle" of a row, or "below" the
// last row shown, where row is not used.
inline QPoint spotOn(SidebarTree *tree, QTreeWidgetItem *row, const QString &spot)
{
    if (spot == "below") {
        QTreeWidgetItem *last = tree->topLevelItem(tree->topLevelItemCount() - 1);
        while (last->isExpanded() && last->childCount() > 0)
            last = last->child(last->childCount() - 1);
        return QPoint(20, tree->visualItemRect(last).bottom() + 10);
    }
    const QRect rect = tree->visualItemRect(row);
    if (spot == "upper")
        return QPoint(rect.center().x(), rect.top() + rect.height() / 4);
    if (spot == "lower")
        return QPoint(rect.center().x(), rect.bottom() - rect.height() / 4);
    return rect.center();
}

// Presses on row and moves the pointer as a user starting a drag does. Returns the drag that the
// tree started, or null when it started none.
inline std::unique_ptr<QDrag> startDrag(SidebarTree *tree, QTreeWidgetItem *row)
{
    const QPoint start = tree->visualItemRect(row).center();
    QTest::mousePress(tree->viewport(), Qt::LeftButton, Qt::NoModifier, start);
    // The first move arms the drag, the second, past the drag distance, starts it. Headless,
    // the drag ends at once, leaving the drag object behind until the event loop runs.
    const QPoint step(QApplication::startDragDistance() + 1, 0);
    for (const QPoint &pos : {start + step, start + 2 * step}) {
        QMouseEvent move(QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &move);
    }
    return std::unique_ptr<QDrag>(tree->findChild<QDrag *>());
}

// Brings the drag into the tree and over pos; true when the tree accepts a drop there. The
// application delivers moves and drops only to a widget that accepted the drag's entry.
inline bool dragMoveTo(SidebarTree *tree, const QMimeData *data, const QPoint &pos)
{
    QDragEnterEvent enter(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    return enter.isAccepted() && move.isAccepted();
}

inline void dropAt(SidebarTree *tree, const QMimeData *data, const QPoint &pos)
{
    QDropEvent event(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &event);
}
