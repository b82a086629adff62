#pragma once

#include "model/compacttext.h"

#include <QJsonObject>
#include <QReadWriteLock>
#include <QString>
#include <QVector>

class Folder;
class Page;

// One node of a wiki's two-level tree: a page, or a folder of pages. Items are owned by the list
// that holds them.
class WikiItem
{
public:
    virtual ~WikiItem() = default;
    WikiItem &operator=(const WikiItem &) = delete;

    QString id() const;
    QString name() const;
    // "page" or "folder", fixed by the subclass.
    QString type() const;
    void setId(const QString &id);
    void setName(const QString &name);

    bool isPage() const;
    bool isFolder() const;
    Page *toPage();
    Folder *toFolder();
    // Names are unique without regard to case.
    bool hasName(const QString &name) const;

    // The item as a wiki file holds it.
    QJsonObject toJson() const;
    // The same without the pages' "content" fields, which are appended to contents instead, in
    // the order the pages come. Cheap: no page text is copied or converted.
    virtual QJsonObject toJsonWithoutContent(QVector<CompactText> *contents) const = 0;
    // An item's JSON from toJsonWithoutContent() with its pages' contents put back, taken from
    // contents in order from *next on, which is moved past them.
    static QJsonObject withContents(
        QJsonObject item, const QVector<CompactText> &contents, int *next);

    // A new page or folder from an element of the wiki's item list, or null when its "type" is
    // neither "page" nor "folder" exactly. The caller owns the item.
    static WikiItem *fromJson(const QJsonObject &json);

protected:
    WikiItem(const QString &type, const QString &id, const QString &name);
    WikiItem(const WikiItem &other);

    // Told after the identifier or the name changed, for items that keep their JSON.
    virtual void jsonChanged() { }

    // The text under key; "" when it is missing or not a string.
    static QString jsonText(const QJsonObject &json, const QString &key);

private:
    QString m_id {QLatin1String("")};
    QString m_name {QLatin1String("")};
    const QString m_type;
    mutable QReadWriteLock m_itemLock;
};
