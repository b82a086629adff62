#include "search/textmatcher.h"

#include "search/collationfolding.h"

#include <unicode/ucol.h>
#include <unicode/unorm2.h>
#include <unicode/usearch.h>

#include <algorithm>

namespace {

bool isKanaLetter(char16_t c)
{
    return (c >= 0x3041 && c <= 0x3096) || (c >= 0x30a1 && c <= 0x30fa)
        || (c >= 0x31f0 && c <= 0x31ff) || (c >= 0xff66 && c <= 0xff9d && c != 0xff70);
}

bool isSmallKanaLetter(char16_t c)
{
    static const char16_t small[] = {0x3041, 0x3043, 0x3045, 0x3047, 0x3049, 0x3063, 0x3083, 0x3085,
        0x3087, 0x308e, 0x3095, 0x3096};
    if (c >= 0x31f0 && c <= 0x31ff) // katakana phonetic extensions are all small
        return true;
    if (c >= 0xff67 && c <= 0xff6f) // halfwidth small katakana
        return true;
    const char16_t hiragana = c >= 0x30a1 && c <= 0x30f6 ? char16_t(c - 0x60) : c;
    return std::find(std::begin(small), std::end(small), hiragana) != std::end(small);
}

enum VoicedMark { NoVoicedMark, Voiced, SemiVoiced };

VoicedMark composedVoicedMark(char16_t c)
{
    if (c == 0x30f7 || c == 0x30f8 || c == 0x30f9 || c == 0x30fa) // katakana va, vi, ve, vo
        return Voiced;
    // Katakana letters sit 0x60 above the matching hiragana.
    const char16_t h = c >= 0x30a1 && c <= 0x30f6 ? char16_t(c - 0x60) : c;
    if ((h >= 0x304c && h <= 0x3062 && h % 2 == 0) || h == 0x3065 || h == 0x3067 || h == 0x3069
        || h == 0x3094)
        return Voiced;
    if (h >= 0x3070 && h <= 0x307c) {
        if ((h - 0x3070) % 3 == 0)
            return Voiced;
        if ((h - 0x3070) % 3 == 1)
            return SemiVoiced;
    }
    return NoVoicedMark;
}

bool isCombiningVoicedMark(char16_t c)
{
    return c == 0x3099 || c == 0x309a;
}

QString normalizedNfc(const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2 *nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status))
        return text;
    QString out(text.size() * 3 + 1, Qt::Uninitialized);
    const int32_t length = unorm2_normalize(nfc, reinterpret_cast<const UChar *>(text.utf16()),
        text.size(), reinterpret_cast<UChar *>(out.data()), out.size(), &status);
    if (U_FAILURE(status))
        return text;
    out.truncate(length);
    return out;
}

QString foldQuoteMarks(const QString &text)
{
    QString folded = text;
    for (QChar &c : folded)
        c = QChar(char16_t(CollationFolding::foldQuoteMark(c.unicode())));
    return folded;
}

} // namespace

TextMatcher::TextMatcher(const QString &searchText, const QString &locale)
    : m_pattern(foldQuoteMarks(searchText))
{
    if (m_pattern.isEmpty())
        return;
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open(CollationFolding::collatorName(locale).constData(), &status);
    if (U_FAILURE(status) || !m_collator)
        return;
    // Letter case is a tertiary difference; with the pattern's unaccented letters taken as
    // wildcards, "e" finds "é" while "é" still finds only "é".
    ucol_setStrength(m_collator, UCOL_SECONDARY);
    const UChar newline = '\n';
    UStringSearch *search
        = usearch_openFromCollator(reinterpret_cast<const UChar *>(m_pattern.utf16()),
            m_pattern.size(), &newline, 1, m_collator, nullptr, &status);
    if (U_FAILURE(status) || !search)
        return;
    usearch_setAttribute(
        search, USEARCH_ELEMENT_COMPARISON, USEARCH_PATTERN_BASE_WEIGHT_IS_WILDCARD, &status);
    if (U_FAILURE(status)) {
        usearch_close(search);
        return;
    }
    m_search = search;
    for (QChar c : m_pattern)
        m_patternHasKana = m_patternHasKana || isKanaLetter(c.unicode());
    if (m_patternHasKana)
        m_normalizedPattern = normalizedNfc(m_pattern);
}

TextMatcher::~TextMatcher()
{
    if (m_search)
        usearch_close(m_search);
    if (m_collator)
        ucol_close(m_collator);
}

bool TextMatcher::isBadMatch(const QString &match) const
{
    // The collator's primary strength ignores small kana and voicing marks; the find does not,
    // and skips such matches.
    if (!m_patternHasKana)
        return false;
    const QString normalized = normalizedNfc(match);
    const QChar *a = m_normalizedPattern.constData();
    const QChar *aEnd = a + m_normalizedPattern.size();
    const QChar *b = normalized.constData();
    const QChar *bEnd = b + normalized.size();
    for (;;) {
        while (a != aEnd && !isKanaLetter(a->unicode()))
            ++a;
        while (b != bEnd && !isKanaLetter(b->unicode()))
            ++b;
        // Both should end together; when they do not, the find keeps the match.
        if (a == aEnd || b == bEnd)
            return false;
        if (isSmallKanaLetter(a->unicode()) != isSmallKanaLetter(b->unicode()))
            return true;
        if (composedVoicedMark(a->unicode()) != composedVoicedMark(b->unicode()))
            return true;
        ++a;
        ++b;
        for (;;) {
            const bool markA = a != aEnd && isCombiningVoicedMark(a->unicode());
            const bool markB = b != bEnd && isCombiningVoicedMark(b->unicode());
            if (!markA && !markB)
                break;
            if (markA != markB || *a != *b)
                return true;
            ++a;
            ++b;
        }
    }
}

bool TextMatcher::firstMatch(const QString &text, int from, Match *match)
{
    if (from >= text.size())
        return false;
    UErrorCode status = U_ZERO_ERROR;
    usearch_setText(m_search, reinterpret_cast<const UChar *>(text.utf16()) + from,
        text.size() - from, &status);
    usearch_setOffset(m_search, 0, &status);
    for (int32_t start = usearch_next(m_search, &status);
         U_SUCCESS(status) && start != USEARCH_DONE; start = usearch_next(m_search, &status)) {
        const int32_t length = usearch_getMatchedLength(m_search);
        if (length <= 0)
            return false;
        if (!isBadMatch(text.mid(from + start, length))) {
            *match = {from + int(start), int(length)};
            return true;
        }
    }
    return false;
}

QVector<TextMatcher::Match> TextMatcher::matches(const QString &text)
{
    QVector<Match> found;
    if (!m_search)
        return found;
    QString folded = text;
    for (QChar &c : folded)
        c = QChar(char16_t(CollationFolding::foldQuoteMark(c.unicode())));
    Match match {0, 0};
    int from = 0;
    while (firstMatch(folded, from, &match)) {
        if (!found.isEmpty() && match == found.last()) {
            from = match.start + match.length;
            continue;
        }
        found.append(match);
        from = match.start;
    }
    return found;
}
