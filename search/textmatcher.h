#pragma once

#include <QString>
#include <QVector>

struct UCollator;
struct UStringSearch;

// Finds a search text in a stretch of page text with the comparison the web engine's find uses
// when it ignores case: its collator for the locale, secondary strength with plain letters in
// the search text standing for any accented form, its folding of quote marks and soft hyphens,
// and its rule that tells small kana and voiced kana apart. Successive hits are found the way
// the find steps through a page: the next search starts where the last hit starts, and only a
// hit that is the same as the last one sends it on to where that hit ends.
class TextMatcher final
{
public:
    TextMatcher(const QString &searchText, const QString &locale);
    ~TextMatcher();
    TextMatcher(const TextMatcher &) = delete;
    TextMatcher &operator=(const TextMatcher &) = delete;

    bool isValid() const { return m_search != nullptr; }

    struct Match
    {
        int start;
        int length;
        bool operator==(const Match &other) const
        {
            return start == other.start && length == other.length;
        }
    };
    // Every hit in text, which must end where the find matches nothing across (a block's end,
    // a line break, a picture) and, for a search text without white space, at white space:
    // what comes before or after it cannot change what the find would find inside it.
    QVector<Match> matches(const QString &text);

private:
    bool firstMatch(const QString &text, int from, Match *match);
    bool isBadMatch(const QString &match) const;

    UCollator *m_collator = nullptr;
    UStringSearch *m_search = nullptr;
    QString m_pattern;
    bool m_patternHasKana = false;
    QString m_normalizedPattern;
};
