#pragma once

#include <QMetaType>
#include <QString>

// One place where a search found its text: the page, the page's name when the search ran, the
// line of page text that holds the hit, and whether the page was locked at the time.
class SearchResult final
{
public:
    SearchResult() = default;
    SearchResult(
        const QString &pageID, const QString &pageName, const QString &text, bool isLocked);

    QString pageID() const { return m_pageID; }
    QString pageName() const { return m_pageName; }
    QString text() const { return m_text; }
    bool isLocked() const { return m_isLocked; }

    bool operator==(const SearchResult &other) const;
    bool operator!=(const SearchResult &other) const { return !(*this == other); }

private:
    QString m_pageID {QLatin1String("")};
    QString m_pageName {QLatin1String("")};
    QString m_text {QLatin1String("")};
    bool m_isLocked = false;
};

Q_DECLARE_METATYPE(SearchResult)
Q_DECLARE_METATYPE(SearchResult *)
