#pragma once

#include "model/wikiitem.h"

#include <QJsonArray>
#include <QList>

// An ordered list of pages under one name. The folder does not own its pages: destroying it or
// taking a page out leaves the pages alive.
class Folder final : public WikiItem
{
public:
    Folder();
    Folder(const QString &id, const QString &name);
    Folder(const Folder &) = delete;

    // Callers reorder the list in place (drag and drop) and save the wiki afterwards.
    QList<Page *> &pages() { return m_pages; }
    const QList<Page *> &pages() const { return m_pages; }
    void addPage(Page *page);
    Page *findPage(const QString &id) const;
    // Takes the first page with id out of the list; false when there is none.
    bool removePage(const QString &id);

    QJsonObject toJsonWithoutContent(QVector<CompactText> *contents) const override;
    // Every element of "pages" is read as a page, whatever its own "type" says.
    static Folder *fromJson(const QJsonObject &json);

private:

    QList<Page *> m_pages;
};
