#include "search/searchresult.h"

SearchResult::SearchResult(
    const QString &pageID, const QString &pageName, const QString &text, bool isLocked)
    : m_pageID(pageID)
    , m_pageName(pageName)
    , m_text(text)
    , m_isLocked(isLocked)
{ }

bool SearchResult::operator==(const SearchResult &other) const
{
    return m_pageID == other.m_pageID && m_pageName == other.m_pageName && m_text == other.m_text
        && m_isLocked == other.m_isLocked;
}
