#include "sidebar/sidebartreeitem.h"

#include "model/page.h"
#include "model/wikiitem.h"

namespace {

int previewCount = 0;

} // namespace

SidebarTreeItem::SidebarTreeItem(WikiItem *item)
    : QTreeWidgetItem(QTreeWidgetItem::Type)
    , m_item(item)
{ }

QVariant SidebarTreeItem::data(int column, int role) const
{
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_item->name();
    return QTreeWidgetItem::data(column, role);
}

bool SidebarTreeItem::isPage() const
{
    return m_item->isPage();
}

bool SidebarTreeItem::isFolder() const
{
    return m_item->isFolder();
}

bool SidebarTreeItem::isHomePage() const
{
    return isPage() && m_item->toPage()->isHomePage();
}

bool SidebarTreeItem::isDraggable() const
{
    return isFolder() || (isPage() && !isHomePage());
}

QString SidebarTreeItem::preview()
{
    Page *page = m_item->toPage();
    if (!page)
        return QString();
    // Kept so that a paint of the row makes no new text. The content is kept by value, so an
    // edit through setContent() is always seen; while the page is unchanged both sides share
    // one string and the comparison costs nothing.
    const CompactText content = page->compactContent();
    const bool locked = page->isLocked();
    if (!m_hasPreview || locked != m_previewLocked || content != m_previewContent) {
        m_preview = page->plainTextPreview();
        m_previewContent = content;
        m_previewLocked = locked;
        m_hasPreview = true;
        ++previewCount;
    }
    return m_preview;
}

int SidebarTreeItem::previewsMade()
{
    return previewCount;
}
