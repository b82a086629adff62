#include "model/wikiitem.h"

#include "model/folder.h"
#include "model/page.h"

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
