#include "search/searchresult.h"

#include <QtGlobal>

SearchResult::SearchResult(const QString &pageID, const QString &pageName, const QString &text,
    bool isLocked, int hitStart, int hitLength, int occurrence)
    : m_pageID(pageID)
    , m_pageName(pageName)
    , m_text(text)
    , m_isLocked(isLocked)
    , m_hitStart(qBound(0, hitStart, int(text.size())))
    , m_hitLength(qBound(0, hitLength, int(text.size()) - m_hitStart))
    , m_occurrence(occurrence)
{ }

bool SearchResult::operator==(const SearchResult &other) const
{
    return m_pageID == other.m_pageID && m_pageName == other.m_pageName && m_text == other.m_text
        && m_isLocked == other.m_isLocked && m_hitStart == other.m_hitStart
        && m_hitLength == other.m_hitLength && m_occurrence == other.m_occurrence
        && m_hitText == other.m_hitText;
}

SearchResult::SearchResult(const QString &pageID, const QString &pageName, const QString &text,
    bool isLocked, int hitStart, int hitLength, int occurrence, const QString &hitText)
    : SearchResult(pageID, pageName, text, isLocked, hitStart, hitLength, occurrence)
{
    if (hitText != SearchResult::hitText())
        m_hitText = hitText;
}

QString SearchResult::hitText() const
{
    return m_hitText.isNull() ? m_text.mid(m_hitStart, m_hitLength) : m_hitText;
}

bool SearchResult::isSameHit(const SearchResult &other) const
{
    return m_pageID == other.m_pageID && m_pageName == other.m_pageName
        && m_isLocked == other.m_isLocked && m_occurrence == other.m_occurrence
        && hitText() == other.hitText();
}
