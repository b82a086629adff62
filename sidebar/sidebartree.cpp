#include "sidebar/sidebartree.h"

#include "model/folder.h"
#include "sidebar/sidebartreeitem.h"

#include <QCoreApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QSignalBlocker>

namespace {

const char *const dragFormat = "application/x-velmora-sidebar-row";

// The drag's data names the process and the tree it started in.
QByteArray dragToken(const SidebarTree *tree)
{
    return QByteArray::number(QCoreApplication::applicationPid()) + ':'
        + QByteArray::number(reinterpret_cast<quintptr>(tree), 16);
}

Folder *folderOf(QTreeWidgetItem *row)
{
    auto *sidebarRow = dynamic_cast<SidebarTreeItem *>(row);
    return sidebarRow ? sidebarRow->wikiItem()->toFolder() : nullptr;
}

} // namespace

SidebarTree::SidebarTree(QWidget *parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setExpandsOnDoubleClick(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(false);
    setDragDropMode(QAbstractItemView::InternalMove);
    // Typing in the tree jumps to the next row whose name starts with the letters typed.
    setFocusPolicy(Qt::StrongFocus);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setObjectName(QStringLiteral("SidebarTree"));
    // The row under the mouse only lightens; the selected one also carries the blue mark.
    // The tree's own border turns blue while it has the focus.
    setStyleSheet(QStringLiteral(
        "#SidebarTree { background: #2b2937; border: 2px solid #2b2937; } "
        "#SidebarTree:focus { border: 2px solid #03a2f3; } "
        "#SidebarTree::item:hover { background: #34323f; border-left: 6px solid #34323f; } "
        "#SidebarTree::item:selected { background: #403d52; border-left: 6px solid #03a2f3; } "
        "#SidebarTree::branch::!has-children:selected { background-color: #2b2937; } "));

    // clear() resets the model without announcing the rows it deletes.
    m_resetConnection = connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_itemsById.clear();
        m_idsByRow.clear();
    });
}

SidebarTree::~SidebarTree()
{
    // The model outlives this body: as a child it is deleted later, and deleting it resets it.
    disconnect(m_resetConnection);
}

SidebarTreeItem *SidebarTree::itemById(const QString &id) const
{
    return m_itemsById.value(id, nullptr);
}

SidebarTreeItem *SidebarTree::rowAt(const QModelIndex &index) const
{
    return index.isValid() ? dynamic_cast<SidebarTreeItem *>(itemFromIndex(index)) : nullptr;
}

SidebarTreeItem *SidebarTree::draggedRow() const
{
    const QModelIndexList selected = selectedIndexes();
    return selected.isEmpty() ? nullptr : rowAt(selected.first());
}

bool SidebarTree::isOwnDrag(const QMimeData *data) const
{
    // Recognised by its data rather than by QDropEvent::source(): the drag manager names a
    // source only while a platform drag loop runs, and headless platforms run none, so drops
    // there could never be told apart from foreign ones.
    return data && data->data(QLatin1String(dragFormat)) == dragToken(this);
}

bool SidebarTree::refusesDrop(const SidebarTreeItem *dragged, const QPoint &pos) const
{
    // Folders hold only pages: a folder may not go in among a folder's pages.
    const SidebarTreeItem *under = rowAt(indexAt(pos));
    return dragged && dragged->isFolder() && under && under->parent();
}

void SidebarTree::addToIndex(QTreeWidgetItem *row)
{
    if (auto *sidebarRow = dynamic_cast<SidebarTreeItem *>(row)) {
        const QString id = sidebarRow->wikiItem()->id();
        m_itemsById.insert(id, sidebarRow);
        m_idsByRow.insert(row, id);
    }
    for (int i = 0; i < row->childCount(); ++i)
        addToIndex(row->child(i));
}

void SidebarTree::removeFromIndex(QTreeWidgetItem *row)
{
    // Only this row's own entry goes: with two items under one identifier (a damaged file),
    // the entry may name the other row, which stays in the tree.
    const auto id = m_idsByRow.find(row);
    if (id != m_idsByRow.end()) {
        const auto entry = m_itemsById.find(id.value());
        if (entry != m_itemsById.end() && entry.value() == row)
            m_itemsById.erase(entry);
        m_idsByRow.erase(id);
    }
    for (int i = 0; i < row->childCount(); ++i)
        removeFromIndex(row->child(i));
}

void SidebarTree::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QTreeWidget::rowsInserted(parent, start, end);
    QTreeWidgetItem *parentRow = parent.isValid() ? itemFromIndex(parent) : invisibleRootItem();
    for (int row = start; row <= end && row < parentRow->childCount(); ++row)
        addToIndex(parentRow->child(row));
}

void SidebarTree::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    QTreeWidgetItem *parentRow = parent.isValid() ? itemFromIndex(parent) : invisibleRootItem();
    for (int row = start; row <= end && row < parentRow->childCount(); ++row)
        removeFromIndex(parentRow->child(row));
    QTreeWidget::rowsAboutToBeRemoved(parent, start, end);
}

void SidebarTree::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        emit rowEntered();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void SidebarTree::mousePressEvent(QMouseEvent *event)
{
    // One click on a folder both opens or closes it and makes it current.
    if (event->buttons() & Qt::LeftButton) {
        SidebarTreeItem *row = rowAt(indexAt(event->pos()));
        if (row && row->isFolder())
            row->setExpanded(!row->isExpanded());
    }
    QTreeWidget::mousePressEvent(event);
}

void SidebarTree::startDrag(Qt::DropActions)
{
    const QModelIndexList selected = selectedIndexes();
    if (selected.isEmpty())
        return;
    const SidebarTreeItem *row = rowAt(selected.first());
    if (!row || !row->isDraggable())
        return;

    QMimeData *data = model()->mimeData(selected);
    if (!data)
        data = new QMimeData;
    data->setData(QLatin1String(dragFormat), dragToken(this));
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    // The row exactly as drawn, held by its middle. The hot spot is measured in the row's own
    // pixels: on a high-density screen the picture has twice as many.
    const QRect rowRect = visualRect(selected.first());
    const QRect pictureRect(QPoint(0, 0), rowRect.size());
    drag->setPixmap(viewport()->grab(rowRect));
    drag->setHotSpot(QPoint((pictureRect.left() + pictureRect.right()) / 2,
        (pictureRect.top() + pictureRect.bottom()) / 2));
    // Ignore as the default: a drop outside the tree does nothing.
    drag->exec(Qt::MoveAction, Qt::IgnoreAction);
}

void SidebarTree::dragEnterEvent(QDragEnterEvent *event)
{
    // Only drags that started here may enter; see isOwnDrag() for why the standard handling,
    // which asks the drag manager, is not used.
    if (isOwnDrag(event->mimeData()) && (event->possibleActions() & Qt::MoveAction)) {
        setState(DraggingState);
        event->accept();
    } else {
        event->ignore();
    }
}

void SidebarTree::dragMoveEvent(QDragMoveEvent *event)
{
    // The standard handling is left out on purpose: it would draw a drop indicator and scroll,
    // neither of which the sidebar wants.
    if (!isOwnDrag(event->mimeData()) || refusesDrop(draggedRow(), event->position().toPoint()))
        event->ignore();
    else
        event->accept();
}

void SidebarTree::dropEvent(QDropEvent *event)
{
    if (!isOwnDrag(event->mimeData()) || event->dropAction() != Qt::MoveAction) {
        QTreeWidget::dropEvent(event);
        return;
    }
    const QModelIndexList selected = selectedIndexes();
    if (selected.isEmpty())
        return;
    SidebarTreeItem *dragged = rowAt(selected.first());
    const QPoint pos = event->position().toPoint();
    // Checked again here, not only while moving: a folder dropped among a folder's pages would
    // become a third level that the wiki cannot hold.
    if (!dragged || refusesDrop(dragged, pos)) {
        event->ignore();
        return;
    }
    const int sourceIndex = selected.first().row();
    Folder *sourceFolder = folderOf(dragged->parent());

    QModelIndex targetParent;
    int targetRow = -1;
    Folder *targetFolder = nullptr;
    const QModelIndex under = indexAt(pos);
    if (SidebarTreeItem *target = rowAt(under)) {
        if (target->isHomePage()) {
            // Nothing goes above the home page: a drop on either half lands right after it,
            // in the list the home page stands in.
            targetRow = under.row() + 1;
            targetParent = under.parent();
        } else if (target->isFolder() && dragged->isPage()) {
            targetRow = target->childCount();
            targetParent = under;
        } else {
            targetRow = under.row();
            const QRect rect = visualRect(under);
            if ((rect.top() + rect.bottom()) / 2 < pos.y())
                ++targetRow;
            targetParent = under.parent();
        }
        targetFolder = folderOf(itemFromIndex(targetParent));
    }

    // Taking the dragged row out shifts the rows after it; these follow the shift.
    const QPersistentModelIndex rememberedTarget = model()->index(targetRow, 0, targetParent);
    const QPersistentModelIndex rememberedParent(targetParent);

    // Taking the current row out would make a neighbour current for a moment, and the main
    // window would open that neighbour (locking the dragged page again if it has a password).
    // The dragged row stays current across the move, so nobody is told of a change.
    const bool draggedWasCurrent = currentItem() == dragged;
    QTreeWidgetItem *moved = nullptr;
    int targetIndex = -1;
    {
        const QSignalBlocker blocker(draggedWasCurrent ? this : nullptr);
        moved = dragged->parent() ? dragged->parent()->takeChild(sourceIndex)
                                  : takeTopLevelItem(sourceIndex);
        if (targetRow == -1) {
            targetIndex = topLevelItemCount();
            addTopLevelItem(moved);
        } else {
            const int row = rememberedTarget.isValid() ? rememberedTarget.row() : targetRow;
            if (rememberedParent.isValid()) {
                QTreeWidgetItem *parentRow = itemFromIndex(rememberedParent);
                targetIndex = qMin(row, parentRow->childCount());
                parentRow->insertChild(targetIndex, moved);
                parentRow->setExpanded(true);
            } else {
                targetIndex = qMin(row, topLevelItemCount());
                insertTopLevelItem(targetIndex, moved);
            }
        }
        if (draggedWasCurrent)
            setCurrentItem(moved);
    }
    // Makes the moved row the one selected row; reported only when it was not current before.
    setCurrentItem(moved);

    // Copy, so that the toolkit's own drop and drag-end handling remove nothing further.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit itemMoved(sourceFolder, sourceIndex, targetFolder, targetIndex);
    // Already accepted, the standard handling only ends the drag state and repaints.
    QTreeWidget::dropEvent(event);
}
