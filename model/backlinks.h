#pragma once

#include "model/compacttext.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class Page;

// Which pages link to a page, read from the pages' stored markup. A link counts where the
// editor's own link handling would see one: an <a> element whose href starts with the page
// address form, the rest of the address naming the page. Markup in comments, in elements that
// hold raw text (style, textarea...) and addresses outside an <a href> count for nothing.
//
// Each page's links are kept with the content they were read from and read again only when
// that content changed, so asking again after an edit costs one page's scan.
class Backlinks final
{
public:
    // The page identifiers html links to, each once, in the order first met.
    static QStringList linkedPageIds(const QString &html);

    // The pages among pages (in their order) whose content links to pageId. The page itself
    // and locked pages, whose content is not to be read, are left out.
    QList<Page *> pagesLinkingTo(const QString &pageId, const QList<Page *> &pages);

    // Forgets every page read so far (another wiki was opened).
    void clear() { m_links.clear(); }

private:
    struct Entry
    {
        CompactText content;
        bool read = false;
        QStringList targets;
    };
    QHash<QString, Entry> m_links;
};
