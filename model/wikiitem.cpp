#include "model/wikiitem.h"

#include "model/folder.h"
#include "model/page.h"

#include <QJsonArray>
#include <QReadLocker>
#include <QWriteLocker>

WikiItem::WikiItem(const QString &type, const QString &id, const QString &name)
    : m_id(id)
    , m_name(name)
    , m_type(type)
{ }

WikiItem::WikiItem(const WikiItem &other)
    : m_id(other.id())
    , m_name(other.name())
    , m_type(other.type())
{ }

QString WikiItem::id() const
{
    QReadLocker locker(&m_itemLock);
    return m_id;
}

QString WikiItem::name() const
{
    QReadLocker locker(&m_itemLock);
    return m_name;
}

QString WikiItem::type() const
{
    QReadLocker locker(&m_itemLock);
    return m_type;
}

void WikiItem::setId(const QString &id)
{
    {
        QWriteLocker locker(&m_itemLock);
        m_id = id;
    }
    jsonChanged();
}

void WikiItem::setName(const QString &name)
{
    {
        QWriteLocker locker(&m_itemLock);
        m_name = name;
    }
    jsonChanged();
}

bool WikiItem::isPage() const
{
    return type() == QLatin1String("page");
}

bool WikiItem::isFolder() const
{
    return type() == QLatin1String("folder");
}

Page *WikiItem::toPage()
{
    return isPage() ? static_cast<Page *>(this) : nullptr;
}

Folder *WikiItem::toFolder()
{
    return isFolder() ? static_cast<Folder *>(this) : nullptr;
}

bool WikiItem::hasName(const QString &name) const
{
    return this->name().compare(name, Qt::CaseInsensitive) == 0;
}

WikiItem *WikiItem::fromJson(const QJsonObject &json)
{
    // Type texts are matched exactly: "Page" or "FOLDER" is not an item this program wrote.
    const QString type = jsonText(json, QStringLiteral("type"));
    if (type == QLatin1String("folder"))
        return Folder::fromJson(json);
    if (type == QLatin1String("page"))
        return Page::fromJson(json);
    return nullptr;
}

QString WikiItem::jsonText(const QJsonObject &json, const QString &key)
{
    return json.value(key).toString(QLatin1String(""));
}

QJsonObject WikiItem::toJson() const
{
    QVector<CompactText> contents;
    int next = 0;
    return withContents(toJsonWithoutContent(&contents), contents, &next);
}

QJsonObject WikiItem::withContents(
    QJsonObject item, const QVector<CompactText> &contents, int *next)
{
    const QString type = item.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("page")) {
        item.insert(QStringLiteral("content"), contents.value((*next)++).toString());
    } else if (type == QLatin1String("folder")) {
        const QString pagesKey = QStringLiteral("pages");
        QJsonArray pages = item.take(pagesKey).toArray();
        for (int i = 0; i < pages.size(); ++i)
            pages.replace(i, withContents(pages.at(i).toObject(), contents, next));
        item.insert(pagesKey, pages);
    }
    return item;
}
