#include "model/folder.h"

#include "model/page.h"

#include <QJsonArray>

Folder::Folder()
    : Folder(QLatin1String(""), QLatin1String(""))
{ }

Folder::Folder(const QString &id, const QString &name)
    : WikiItem(QStringLiteral("folder"), id, name)
{ }

void Folder::addPage(Page *page)
{
    m_pages.append(page);
}

Page *Folder::findPage(const QString &id) const
{
    for (Page *page : m_pages) {
        if (page->id() == id)
            return page;
    }
    return nullptr;
}

bool Folder::removePage(const QString &id)
{
    for (int i = 0; i < m_pages.size(); ++i) {
        if (m_pages.at(i)->id() == id) {
            m_pages.removeAt(i);
            return true;
        }
    }
    return false;
}

QJsonObject Folder::toJsonWithoutContent(QVector<CompactText> *contents) const
{
    QJsonArray pages;
    for (const Page *page : m_pages)
        pages.append(page->toJsonWithoutContent(contents));
    return QJsonObject {
        {QStringLiteral("type"), type()},
        {QStringLiteral("id"), id()},
        {QStringLiteral("name"), name()},
        {QStringLiteral("pages"), pages},
    };
}

Folder *Folder::fromJson(const QJsonObject &json)
{
    auto *folder
        = new Folder(jsonText(json, QStringLiteral("id")), jsonText(json, QStringLiteral("name")));
    const QJsonArray pages = json.value(QStringLiteral("pages")).toArray();
    for (const QJsonValue &page : pages)
        folder->addPage(Page::fromJson(page.toObject()));
    return folder;
}
