#pragma once

#include <QHash>
#include <QString>
#include <QTreeWidget>

class Folder;
class QMimeData;
class SidebarTreeItem;

// The tree of the wiki's folders and pages in the sidebar, one row per item. The rows are painted
// by SidebarItemDelegate. The user reorders rows by dragging one at a time; the tree moves its own
// row and reports the move through itemMoved(), so that its owner can reorder the wiki to match.
// Folders stay at the top level, and the home page neither moves nor lets a row above it.
class SidebarTree final : public QTreeWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SidebarTree)

public:
    explicit SidebarTree(QWidget *parent = nullptr);
    ~SidebarTree() override;

    // The row that shows the item with this identifier, or null.
    SidebarTreeItem *itemById(const QString &id) const;
    // Public for the delegate, which paints from the row behind an index.
    using QTreeWidget::itemFromIndex;

signals:
    // Emitted once per completed drop, after the row has moved. A null folder stands for the top
    // level; targetIndex is the row at which the item now stands in its new parent.
    void itemMoved(Folder *sourceFolder, int sourceIndex, Folder *targetFolder, int targetIndex);
    // Enter or Return was pressed on the current row: the user chose it from the keyboard.
    void rowEntered();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    SidebarTreeItem *rowAt(const QModelIndex &index) const;
    SidebarTreeItem *draggedRow() const;
    bool isOwnDrag(const QMimeData *data) const;
    bool refusesDrop(const SidebarTreeItem *dragged, const QPoint &pos) const;
    void addToIndex(QTreeWidgetItem *row);
    void removeFromIndex(QTreeWidgetItem *row);

    QHash<QString, SidebarTreeItem *> m_itemsById;
    // The same entries the other way round. A deleted row is announced from the base class's
    // destructor, when its own part, and with it the identifier, is gone already.
    QHash<const QTreeWidgetItem *, QString> m_idsByRow;
    QMetaObject::Connection m_resetConnection;
};
