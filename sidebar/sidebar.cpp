#include "sidebar/sidebar.h"

#include "app/mainwindow.h"
#include "app/widgetutils.h"
#include "model/folder.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "sidebar/sidebaritemdelegate.h"
#include "sidebar/sidebartree.h"
#include "sidebar/sidebartreeitem.h"

#include <QVBoxLayout>

Sidebar::Sidebar(MainWindow *mainWindow, QWidget *parent)
    : QWidget(parent)
    , m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("Sidebar"));
    setStyleSheet(QStringLiteral("#Sidebar { background: #2b2937; }"));
    // A QWidget subclass draws no style sheet background unless asked to.
    setAttribute(Qt::WA_StyledBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_tree = new SidebarTree(this);
    makeVBoxLayout(this)->addWidget(m_tree);
    // Made after the tree, so that it is deleted after it.
    m_tree->setItemDelegate(new SidebarItemDelegate(this));

    connect(m_tree, &SidebarTree::itemMoved, this, &Sidebar::onItemMoved);
    connectSignals();
}

void Sidebar::connectSignals()
{
    if (m_disconnectDepth > 0 && --m_disconnectDepth > 0)
        return;
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &Sidebar::slotOnCurrentItemChanged,
        Qt::UniqueConnection);
    if (m_mainWindow) {
        connect(this, &Sidebar::onPageSelectionChanged, m_mainWindow,
            &MainWindow::slotOnPageSelectionChanged, Qt::UniqueConnection);
        connect(this, &Sidebar::signalOnFolderSelected, m_mainWindow,
            &MainWindow::slotOnFolderSelected, Qt::UniqueConnection);
    }
}

void Sidebar::disconnectSignals()
{
    if (m_disconnectDepth++ > 0)
        return;
    disconnect(m_tree, &QTreeWidget::currentItemChanged, this, &Sidebar::slotOnCurrentItemChanged);
    if (m_mainWindow) {
        disconnect(this, &Sidebar::onPageSelectionChanged, m_mainWindow,
            &MainWindow::slotOnPageSelectionChanged);
        disconnect(this, &Sidebar::signalOnFolderSelected, m_mainWindow,
            &MainWindow::slotOnFolderSelected);
    }
}

void Sidebar::setWiki(WikiDocument *wiki)
{
    disconnectSignals();
    m_wiki = wiki;
    m_tree->clear();
    if (wiki) {
        for (WikiItem *item : wiki->items())
            addRow(item, nullptr);
        if (SidebarTreeItem *home = m_tree->itemById(QStringLiteral("1")))
            m_tree->setCurrentItem(home);
    }
    connectSignals();
}

void Sidebar::addRow(WikiItem *item, QTreeWidgetItem *parentRow)
{
    auto *row = new SidebarTreeItem(item);
    if (parentRow)
        parentRow->addChild(row);
    else
        m_tree->addTopLevelItem(row);
    if (Folder *folder = item->toFolder()) {
        for (Page *page : folder->pages())
            addRow(page, row);
    }
}

void Sidebar::addItem(WikiItem *item, Folder *parentFolder)
{
    disconnectSignals();
    QTreeWidgetItem *parentRow = parentFolder ? m_tree->itemById(parentFolder->id()) : nullptr;
    addRow(item, parentRow);
    if (item->isPage())
        m_tree->setCurrentItem(m_tree->itemById(item->id()));
    connectSignals();
}

void Sidebar::removeItem(const QString &id)
{
    delete m_tree->itemById(id);
}

void Sidebar::selectItem(const QString &id)
{
    if (SidebarTreeItem *row = m_tree->itemById(id))
        m_tree->setCurrentItem(row);
}

Folder *Sidebar::currentFolder() const
{
    auto *row = dynamic_cast<SidebarTreeItem *>(m_tree->currentItem());
    if (!row)
        return nullptr;
    if (Folder *folder = row->wikiItem()->toFolder())
        return folder;
    auto *parentRow = dynamic_cast<SidebarTreeItem *>(row->parent());
    return parentRow ? parentRow->wikiItem()->toFolder() : nullptr;
}

void Sidebar::slotOnCurrentItemChanged(QTreeWidgetItem *newSelection, QTreeWidgetItem *)
{
    auto *row = dynamic_cast<SidebarTreeItem *>(newSelection);
    if (!row)
        return;
    if (Folder *folder = row->wikiItem()->toFolder())
        emit signalOnFolderSelected(folder);
    else
        emit onPageSelectionChanged(nullptr, row->wikiItem()->toPage());
}

void Sidebar::onItemMoved(
    Folder *sourceFolder, int sourceIndex, Folder *targetFolder, int targetIndex)
{
    if (!m_wiki)
        return;
    QList<WikiItem *> &items = m_wiki->items();
    const int sourceCount = sourceFolder ? sourceFolder->pages().size() : items.size();
    if (sourceIndex < 0 || sourceIndex >= sourceCount)
        return;
    WikiItem *item = sourceFolder ? sourceFolder->pages().at(sourceIndex) : items.at(sourceIndex);
    // A folder's list holds pages only; anything else in it would be written out as a page.
    if (targetFolder && !item->isPage())
        return;

    if (sourceFolder)
        sourceFolder->pages().removeAt(sourceIndex);
    else
        items.removeAt(sourceIndex);
    if (targetFolder) {
        QList<Page *> &pages = targetFolder->pages();
        pages.insert(qBound(0, targetIndex, pages.size()), item->toPage());
    } else {
        items.insert(qBound(0, targetIndex, items.size()), item);
    }
    // The order of the lists is the order the file keeps.
    m_wiki->requestSave();
}
