#pragma once

#include <QMetaType>
#include <QString>

// One place where a search found its text: the page, the page's name when the search ran, the
// line of page text that holds the hit with where the hit lies in it, the text hit, which of the
// page's hits it is (counted in the order the find meets them), and whether the page was locked
// at the time.
class SearchResult final
{
public:
    SearchResult() = default;
    SearchResult(const QString &pageID, const QString &pageName, const QString &text, bool isLocked,
        int hitStart = 0, int hitLength = 0, int occurrence = 0);
    // The text hit, where the line does not show all of it.
    SearchResult(const QString &pageID, const QString &pageName, const QString &text, bool isLocked,
        int hitStart, int hitLength, int occurrence, const QString &hitText);

    QString pageID() const { return m_pageID; }
    QString pageName() const { return m_pageName; }
    QString text() const { return m_text; }
    bool isLocked() const { return m_isLocked; }
    // The hit within text(), clamped to it: a hit that wraps onto the next line is cut there.
    int hitStart() const { return m_hitStart; }
    int hitLength() const { return m_hitLength; }
    int occurrence() const { return m_occurrence; }
    QString hitText() const;
    // The same hit on the same page, whatever line is shown around it.
    bool isSameHit(const SearchResult &other) const;

    bool operator==(const SearchResult &other) const;
    bool operator!=(const SearchResult &other) const { return !(*this == other); }

private:
    QString m_pageID {QLatin1String("")};
    QString m_pageName {QLatin1String("")};
    QString m_text {QLatin1String("")};
    bool m_isLocked = false;
    int m_hitStart = 0;
    int m_hitLength = 0;
    int m_occurrence = 0;
    QString m_hitText;
};

Q_DECLARE_METATYPE(SearchResult)
Q_DECLARE_METATYPE(SearchResult *)
