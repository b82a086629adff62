#pragma once

#include <QWidget>

class Folder;
class Page;
class QTreeWidgetItem;
class SidebarTree;
class WikiDocument;
class WikiItem;

// The panel on the left that shows the open wiki's tree. It fills the tree from the wiki, adds
// and removes rows when the window creates or deletes items, and turns changes of the current
// row into selection signals, which the window connects. Moves made by drag and drop are
// applied to the wiki's lists here, and the wiki is saved at once.
class Sidebar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Sidebar)

public:
    // mainWindow is the window the sidebar sits in, or null; the sidebar reports to it only
    // through its signals.
    explicit Sidebar(QWidget *mainWindow, QWidget *parent = nullptr);

    // Changes made between disconnectSignals() and connectSignals() are not reported as
    // selection changes. The pairs nest: only the outermost connectSignals() connects again.
    void connectSignals();
    void disconnectSignals();

    // Shows wiki, or nothing when it is null, with the home page current. Reports no selection.
    void setWiki(WikiDocument *wiki);
    // Adds the row of a new item, with its pages, to parentFolder or to the top level. A new
    // page's row becomes current without a selection being reported.
    void addItem(WikiItem *item, Folder *parentFolder);
    // Deletes the row of the item with this identifier, with its rows below; none, nothing.
    void removeItem(const QString &id);
    // Makes the row of this identifier current, which is reported like a click.
    void selectItem(const QString &id);
    // The current folder, or the folder of the current page; null at the top level.
    Folder *currentFolder() const;

    SidebarTree *tree() const { return m_tree; }

signals:
    // oldPage is always null: the main window knows the page it leaves.
    void onPageSelectionChanged(Page *oldPage, Page *newPage);
    void signalOnFolderSelected(Folder *folder);

public slots:
    void slotOnCurrentItemChanged(
        QTreeWidgetItem *newSelection, QTreeWidgetItem *previousSelection);
    void onItemMoved(Folder *sourceFolder, int sourceIndex, Folder *targetFolder, int targetIndex);

private:
    void addRow(WikiItem *item, QTreeWidgetItem *parentRow);

    WikiDocument *m_wiki = nullptr;
    int m_disconnectDepth = 0;
    SidebarTree *m_tree = nullptr;
};
