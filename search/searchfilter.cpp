#include "search/searchfilter.h"

#include "model/htmlentities.h"
#include "search/collationfolding.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Elements whose text is their text nodes and nothing else, and which parse, render and search
// the same in a fresh page and inside another page's body. Sorted for a binary search.
// Namespaced names (Office's "o:p") are unknown elements, shown inline like span.
const char *const plainElements[] = {
    "a",
    "abbr",
    "acronym",
    "address",
    "b",
    "bdi",
    "bdo",
    "big",
    "blockquote",
    "br",
    "caption",
    "center",
    "cite",
    "code",
    "col",
    "colgroup",
    "dd",
    "del",
    "dfn",
    "div",
    "dl",
    "dt",
    "em",
    "figcaption",
    "figure",
    "font",
    "footer",
    "h1",
    "h2",
    "h3",
    "h4",
    "h5",
    "h6",
    "header",
    "hr",
    "i",
    "img",
    "ins",
    "kbd",
    "li",
    "main",
    "mark",
    "nav",
    "nobr",
    "ol",
    "p",
    "pre",
    "s",
    "samp",
    "section",
    "small",
    "span",
    "strike",
    "strong",
    "sub",
    "sup",
    "table",
    "tbody",
    "td",
    "tfoot",
    "th",
    "thead",
    "time",
    "tr",
    "tt",
    "u",
    "ul",
    "var",
    "wbr",
};

bool isPlainElement(const char *name)
{
    const auto end = std::end(plainElements);
    const auto found = std::lower_bound(std::begin(plainElements), end, name,
        [](const char *entry, const char *key) { return std::strcmp(entry, key) < 0; });
    return found != end && std::strcmp(*found, name) == 0;
}

bool isHtmlSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\f' || u == '\r';
}

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

// A style that changes which characters are drawn (case, masking, generated or replaced
// content) or that cannot be read plainly (escapes, scripted values).
bool styleChangesCharacters(QStringView style)
{
    static const char *const words[]
        = {"transform", "security", "content", "expression", "binding", "behavior", "\\"};
    for (const char *word : words) {
        if (style.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

struct SearchFilter::Scan
{
    const QChar *text = nullptr;
    int size = 0;
    quint64 state = 0;
    // The state before the current text segment, which may turn out hidden.
    quint64 segmentStart = 0;
    bool atSegmentStart = true;
    int lastCombiningClass = 0;
    bool mayMatch = false;
    bool plain = true;
    // The open table structure, innermost last: 'T' table, 'S' row group, 'R' row, 'C' cell or
    // caption. The parser moves text and other elements met directly inside a table, a row
    // group or a row out in front of the table, so the filter cannot follow their order there.
    QVarLengthArray<char, 16> tables;
    bool inTableStructure() const { return !tables.isEmpty() && tables.last() != 'C'; }
    // The position of the innermost open `kind` within the innermost table, or -1.
    int openInTable(char kind) const
    {
        for (int k = tables.size() - 1; k >= 0; --k) {
            if (tables.at(k) == kind)
                return k;
            if (tables.at(k) == 'T')
                break;
        }
        return -1;
    }
};

SearchFilter::SearchFilter(CollationFolding &folding, const QString &searchText)
    : m_folding(folding)
{
    QVector<quint32> units;
    if (!folding.isUsable() || !folding.fold(searchText, &units) || units.isEmpty())
        return;
    int previousClass = 0;
    for (uint c : searchText.toUcs4()) {
        const int combiningClass = c >= 0x300 ? CollationFolding::combiningClass(c) : 0;
        if (combiningClass && previousClass > combiningClass)
            return; // marks out of canonical order: the collator reorders them
        previousClass = combiningClass;
    }
    // A match of the whole text is also a match of its first 64 units.
    const int length = qMin(units.size(), 64);
    quint32 largest = 0;
    for (int i = 0; i < length; ++i)
        largest = qMax(largest, units.at(i));
    m_masks.fill(0, int(largest) + 1);
    for (int i = 0; i < length; ++i)
        m_masks[int(units.at(i))] |= quint64(1) << i;
    m_accept = quint64(1) << (length - 1);
    m_filters = true;
    m_kinds.fill(Unknown, 0x10000);
    m_characterMasks.fill(0, 0x10000);
    // Markup and references always leave the fast loop.
    m_kinds['<'] = Other;
    m_kinds['&'] = Other;
    // The ASCII characters that matter while no match is under way: those that can begin one,
    // markup, references and any that need the slow path. All others are skipped in blocks.
    for (char16_t c = 0; c < 128; ++c) {
        const quint8 kind = m_kinds.at(c) == Unknown ? classify(c) : m_kinds.at(c);
        if (kind == Other || (kind == Single && (m_characterMasks.at(c) & 1)))
            m_quietStops.append(c);
    }
}

int SearchFilter::skipQuiet(const QChar *s, int i, int n) const
{
#ifdef __SSE2__
    if (m_quietStops.size() <= 8) {
        __m128i stops[8];
        const int count = m_quietStops.size();
        for (int k = 0; k < count; ++k)
            stops[k] = _mm_set1_epi16(short(m_quietStops.at(k)));
        const __m128i nonAscii = _mm_set1_epi16(short(0xff80));
        const __m128i zero = _mm_setzero_si128();
        for (; i + 8 <= n; i += 8) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
            __m128i hit = _mm_xor_si128(
                _mm_cmpeq_epi16(_mm_and_si128(block, nonAscii), zero), _mm_set1_epi16(-1));
            for (int k = 0; k < count; ++k)
                hit = _mm_or_si128(hit, _mm_cmpeq_epi16(block, stops[k]));
            const int bits = _mm_movemask_epi8(hit);
            if (bits)
                return i + qCountTrailingZeroBits(quint32(bits)) / 2;
        }
    }
#endif
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c >= 128 || m_quietStops.contains(c))
            return i;
    }
    return n;
}

quint8 SearchFilter::classify(char16_t c)
{
    quint8 kind = Other;
    if (!QChar::isSurrogate(c) && (c < 0x300 || CollationFolding::combiningClass(c) == 0)) {
        const CollationFolding::Units units = m_folding.units(c);
        if (units.size == 0) {
            kind = Ignored;
        } else if (units.size == 1) {
            const quint32 unit = units.data[0];
            m_characterMasks[c] = int(unit) < m_masks.size() ? m_masks.at(int(unit)) : 0;
            kind = m_characterMasks.at(c) ? Single : Reset;
        }
    }
    m_kinds[c] = kind;
    return kind;
}

// Feeds the text from i up to the next markup, reference or character that needs the slow
// path, and returns where it stopped.
int SearchFilter::feedText(Scan &scan, int i)
{
    const QChar *s = scan.text;
    const int n = scan.size;
    const quint8 *kinds = m_kinds.constData();
    const quint64 *masks = m_characterMasks.constData();
    quint64 state = scan.state;
    bool folded = false;
    for (; i < n; ++i) {
        if (state == 0) {
            const int stop = skipQuiet(s, i, n);
            // The skipped characters reset or leave the state of no match as it is.
            folded = folded || stop > i;
            i = stop;
            if (i >= n)
                break;
        }
        const char16_t c = s[i].unicode();
        quint8 kind = kinds[c];
        if (kind == Reset) {
            state = 0;
            folded = true;
            continue;
        }
        if (kind == Single) {
            state = ((state << 1) | 1) & masks[c];
            folded = true;
            if (state & m_accept) {
                scan.mayMatch = true;
                break;
            }
            continue;
        }
        if (c == '<' || c == '&')
            break;
        if (kind == Unknown)
            kind = classify(c);
        if (kind == Ignored)
            continue;
        if (kind != Other) {
            --i; // classified just now: take it again
            continue;
        }
        break;
    }
    if (folded) {
        scan.atSegmentStart = false;
        scan.lastCombiningClass = 0;
    }
    scan.state = state;
    return i;
}

bool SearchFilter::feed(Scan &scan, char32_t c)
{
    if (c >= 0x300) {
        const int combiningClass = CollationFolding::combiningClass(c);
        // Marks the collator would reorder, here or with text before the segment, which a
        // hidden element may have put next to it.
        if (combiningClass && (scan.atSegmentStart || scan.lastCombiningClass > combiningClass))
            return scan.mayMatch = true;
        scan.lastCombiningClass = combiningClass;
    } else {
        scan.lastCombiningClass = 0;
    }
    scan.atSegmentStart = false;
    const CollationFolding::Units units = m_folding.units(c);
    if (units.size < 0)
        return scan.mayMatch = true;
    const int masks = m_masks.size();
    quint64 state = scan.state;
    for (int i = 0; i < units.size; ++i) {
        const quint32 unit = units.data[i];
        state = ((state << 1) | 1) & (int(unit) < masks ? m_masks.at(int(unit)) : 0);
        if (state & m_accept)
            return scan.mayMatch = true;
    }
    scan.state = state;
    return false;
}

void SearchFilter::skipTo(Scan &scan, int &i, QChar c)
{
    const qsizetype found = QStringView(scan.text, scan.size).indexOf(c, i);
    i = found < 0 ? scan.size : int(found) + 1;
}

bool SearchFilter::readTag(Scan &scan, int &i, bool endTag)
{
    // Tokenized as the HTML tokenizer does it, so that a '>' inside a quoted attribute value
    // does not end the tag. An unfinished tag at the end is dropped by the parser.
    const QChar *s = scan.text;
    const int n = scan.size;
    char name[12];
    int length = 0;
    bool namespaced = false;
    for (; i < n && !isHtmlSpace(s[i]) && s[i] != QLatin1Char('/') && s[i] != QLatin1Char('>');
         ++i) {
        const char16_t u = s[i].unicode();
        namespaced = namespaced || u == ':';
        if (length < 11)
            name[length] = u < 128 ? char(u >= 'A' && u <= 'Z' ? u + 32 : u) : '?';
        ++length;
    }
    name[qMin(length, 11)] = '\0';
    // Of the form fields only a checklist's checkbox, which shows no text, is plain.
    const bool input = !endTag && !namespaced && std::strcmp(name, "input") == 0;
    bool checkbox = false;
    bool typeSeen = false;
    if (!endTag && !namespaced && !input && (length > 10 || !isPlainElement(name)))
        return false;
    if (!scan.mayMatch)
        tableTag(scan, namespaced || length > 10 ? "" : name, endTag);
    while (i < n) {
        while (i < n && (isHtmlSpace(s[i]) || s[i] == QLatin1Char('/')))
            ++i;
        if (i >= n)
            break;
        if (s[i] == QLatin1Char('>')) {
            ++i;
            break;
        }
        // The first character of a name may be '='; the name runs to space, '/', '>' or '='.
        const int nameStart = i++;
        while (i < n && !isHtmlSpace(s[i]) && s[i] != QLatin1Char('/') && s[i] != QLatin1Char('>')
            && s[i] != QLatin1Char('='))
            ++i;
        const QStringView attribute(s + nameStart, i - nameStart);
        while (i < n && isHtmlSpace(s[i]))
            ++i;
        QStringView value;
        if (i < n && s[i] == QLatin1Char('=')) {
            ++i;
            while (i < n && isHtmlSpace(s[i]))
                ++i;
            if (i < n && (s[i] == QLatin1Char('"') || s[i] == QLatin1Char('\''))) {
                const QChar quote = s[i++];
                const int start = i;
                skipTo(scan, i, quote);
                value = QStringView(s + start, qMax(0, i - 1 - start));
            } else {
                const int start = i;
                while (i < n && !isHtmlSpace(s[i]) && s[i] != QLatin1Char('>'))
                    ++i;
                value = QStringView(s + start, i - start);
            }
        }
        if (endTag)
            continue;
        // The parser keeps the first of an attribute given twice.
        if (input && !typeSeen
            && attribute.compare(QLatin1String("type"), Qt::CaseInsensitive) == 0) {
            typeSeen = true;
            checkbox = value.compare(QLatin1String("checkbox"), Qt::CaseInsensitive) == 0;
        }
        if (attribute.startsWith(QLatin1String("on"), Qt::CaseInsensitive)
            || (attribute.compare(QLatin1String("style"), Qt::CaseInsensitive) == 0
                && styleChangesCharacters(value)))
            return false;
    }
    return !input || checkbox;
}

// Follows the table structure as the parser builds it, and gives up (the page may match) where
// the parser would move content out in front of a table.
void SearchFilter::tableTag(Scan &scan, const char *name, bool endTag)
{
    auto &tables = scan.tables;
    const bool isTable = std::strcmp(name, "table") == 0;
    if (tables.isEmpty() && !isTable)
        return; // cell and row tags outside a table are dropped
    auto closeFrom = [&tables](int k) {
        if (k >= 0)
            tables.resize(k);
    };
    const bool rowGroup = std::strcmp(name, "tbody") == 0 || std::strcmp(name, "thead") == 0
        || std::strcmp(name, "tfoot") == 0;
    const bool cell = std::strcmp(name, "td") == 0 || std::strcmp(name, "th") == 0;
    const bool row = std::strcmp(name, "tr") == 0;
    const bool caption = std::strcmp(name, "caption") == 0;
    const bool column = std::strcmp(name, "col") == 0 || std::strcmp(name, "colgroup") == 0;
    if (endTag) {
        if (isTable)
            closeFrom(scan.openInTable('T'));
        else if (rowGroup)
            closeFrom(scan.openInTable('S'));
        else if (row)
            closeFrom(scan.openInTable('R'));
        else if (cell || caption)
            closeFrom(scan.openInTable('C'));
        else if (!column && scan.inTableStructure())
            scan.mayMatch = true;
        return;
    }
    if (isTable) {
        if (scan.inTableStructure())
            closeFrom(scan.openInTable('T')); // a table in a table ends the first
        tables.append('T');
        return;
    }
    if (!rowGroup && !cell && !row && !caption && !column) {
        if (scan.inTableStructure())
            scan.mayMatch = true;
        return;
    }
    // Each of these ends the open cell, and the row or row group where it needs another.
    int keep = -1;
    if (cell)
        keep = scan.openInTable('R');
    if ((cell || row) && keep < 0)
        keep = scan.openInTable('S');
    if (keep < 0)
        keep = scan.openInTable('T');
    tables.resize(keep + 1);
    if (caption)
        tables.append('C');
    if (rowGroup || ((cell || row) && tables.last() == 'T'))
        tables.append('S');
    if ((cell || row) && tables.last() == 'S')
        tables.append('R');
    if (cell)
        tables.append('C');
}

SearchFilter::PageCheck SearchFilter::checkPage(const QString &html)
{
    Scan scan;
    scan.text = html.constData();
    scan.size = html.size();
    scan.mayMatch = !m_filters;
    const QChar *s = scan.text;
    const int n = scan.size;
    // Loaded as UTF-8 by a fresh page, a leading byte order mark would vanish.
    if (n > 0 && s[0] == QChar(0xfeff))
        return {true, false};

    auto endSegment = [&scan] {
        scan.state |= scan.segmentStart;
        scan.segmentStart = scan.state;
        scan.atSegmentStart = true;
    };

    int i = 0;
    while (i < n) {
        if (!scan.mayMatch && m_filters && !scan.inTableStructure()) {
            i = feedText(scan, i);
            if (i >= n)
                break;
        }
        const QChar c = s[i];
        if (c == QLatin1Char('<') && i + 1 < n) {
            const QChar next = s[i + 1];
            if (isAsciiLetter(next)) {
                endSegment();
                i += 1;
                if (!readTag(scan, i, false))
                    return {true, false};
                continue;
            }
            // At the end of the input the tokenizer gives "</" back as text.
            if (next == QLatin1Char('/') && i + 2 < n) {
                endSegment();
                i += 2;
                if (i < n && isAsciiLetter(s[i]))
                    readTag(scan, i, true);
                else
                    skipTo(scan, i, QLatin1Char('>')); // "</>" or a bogus comment
                continue;
            }
            if (next == QLatin1Char('!')) {
                endSegment();
                if (QStringView(html).mid(i, 4) == QLatin1String("<!--")) {
                    i += 4;
                    // "<!-->" and "<!--->" are whole comments; otherwise one ends at "-->"
                    // or "--!>".
                    if (i < n && s[i] == QLatin1Char('>')) {
                        ++i;
                        continue;
                    }
                    if (i + 1 < n && s[i] == QLatin1Char('-') && s[i + 1] == QLatin1Char('>')) {
                        i += 2;
                        continue;
                    }
                    int end = n;
                    for (int k = html.indexOf(QLatin1String("--"), i); k >= 0;
                         k = html.indexOf(QLatin1String("--"), k + 1)) {
                        int after = k + 2;
                        while (after < n && s[after] == QLatin1Char('-'))
                            ++after;
                        if (after < n && s[after] == QLatin1Char('>')) {
                            end = after + 1;
                            break;
                        }
                        if (after + 1 < n && s[after] == QLatin1Char('!')
                            && s[after + 1] == QLatin1Char('>')) {
                            end = after + 2;
                            break;
                        }
                    }
                    i = end;
                    continue;
                }
                // A doctype switches the document's mode; anything else is a bogus comment.
                if (QStringView(html).mid(i + 2, 7).compare(
                        QLatin1String("doctype"), Qt::CaseInsensitive)
                    == 0)
                    scan.plain = false;
                i += 2;
                skipTo(scan, i, QLatin1Char('>'));
                continue;
            }
            if (next == QLatin1Char('?')) {
                endSegment();
                i += 2;
                skipTo(scan, i, QLatin1Char('>'));
                continue;
            }
        }
        ++i;
        char32_t code = c.unicode();
        if (c.isSurrogate()) {
            if (!c.isHighSurrogate() || i >= n || !s[i].isLowSurrogate())
                return {true, false}; // dropped or replaced on the way into a fresh page
            code = QChar::surrogateToUcs4(c, s[i]);
            ++i;
        }
        if (scan.mayMatch)
            continue; // only the markup still matters
        if (scan.inTableStructure() && !isHtmlSpace(c)) {
            scan.mayMatch = true; // moved out in front of the table
            continue;
        }
        if (c == QLatin1Char('&')) {
            const CharacterReference reference = readCharacterReference(QStringView(html).mid(i));
            if (reference.unusual) {
                scan.mayMatch = true;
                continue;
            }
            if (reference.length > 0) {
                i += reference.length;
                for (int k = 0; k < reference.count && !feed(scan, reference.codePoints[k]); ++k) {
                }
                continue;
            }
        }
        feed(scan, code);
    }
    return {scan.mayMatch, scan.plain};
}

bool SearchFilter::mayMatchText(const QString &text)
{
    if (!m_filters)
        return true;
    Scan scan;
    for (uint c : text.toUcs4()) {
        if (feed(scan, c))
            return true;
    }
    return false;
}
