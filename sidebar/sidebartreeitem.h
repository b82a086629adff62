#pragma once

#include "model/compacttext.h"

#include <QString>
#include <QTreeWidgetItem>

class WikiItem;

// One row of the sidebar tree, bound for its whole life to the page or folder it shows. The wiki
// document owns that item; the row only points at it and stores no text or icon of its own.
class SidebarTreeItem final : public QTreeWidgetItem
{
public:
    explicit SidebarTreeItem(WikiItem *item);

    WikiItem *wikiItem() const { return m_item; }
    bool isPage() const;
    bool isFolder() const;
    bool isHomePage() const;
    // Folders and every page but the home page.
    bool isDraggable() const;

    // The preview line of the row's page (empty for a folder). It is made again only when the
    // page's content or locked state differs from the last time.
    QString preview();

    // How many previews all rows together have made since the program started.
    static int previewsMade();

    // The item's name as the row's text, which typing in the tree searches, and as its tooltip,
    // where a long name is read whole. The delegate paints the row from the item instead.
    QVariant data(int column, int role) const override;

private:
    WikiItem *const m_item;
    bool m_hasPreview = false;
    CompactText m_previewContent;
    bool m_previewLocked = false;
    QString m_preview;
};
