#pragma once

// Drives the sidebar tree's drag handling the way the toolkit does during a real drag: a press
// and two moves start the drag, then drag-move and drop events arrive at real row positions.

#include "sidebar/sidebartree.h"

#include <QDrag>
#include <QtTest>

#include <memory>

// Where on a row the pointer goes.
enum class Spot { UpperHalf, LowerHalf, Middle, BelowLastRow };

inline QPoint spotOn(SidebarTree *tree, QTreeWidgetItem *row, Spot spot)
{
    const QRect rect = row ? tree->visualItemRect(row) : QRect();
    switch (spot) {
    case Spot::UpperHalf:
        return QPoint(rect.center().x(), rect.top() + rect.height() / 4);
    case Spot::LowerHalf:
        return QPoint(rect.center().x(), rect.bottom() - rect.height() / 4);
    case Spot::Middle:
        return rect.center();
    case Spot::BelowLastRow:
        break;
    }
    QTreeWidgetItem *last = tree->topLevelItem(tree->topLevelItemCount() - 1);
    while (last->isExpanded() && last->childCount() > 0)
        last = last->child(last->childCount() - 1);
    return QPoint(20, tree->visualItemRect(last).bottom() + 10);
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
