#include "search/searchfilter.h"

#include "search/collationfolding.h"
#include "search/htmlentities.h"

#include <QSet>

namespace {

// Elements whose text is their text nodes and nothing else, and which parse, render and search
// the same in a fresh page and inside another page's body. Namespaced names (Office's "o:p")
// are unknown elements, shown inline like span.
const QSet<QString> &plainElements()
{
    static const QSet<QString> names = {
        QStringLiteral("a"),
        QStringLiteral("abbr"),
        QStringLiteral("acronym"),
        QStringLiteral("address"),
        QStringLiteral("b"),
        QStringLiteral("bdi"),
        QStringLiteral("bdo"),
        QStringLiteral("big"),
        QStringLiteral("blockquote"),
        QStringLiteral("br"),
        QStringLiteral("caption"),
        QStringLiteral("center"),
        QStringLiteral("cite"),
        QStringLiteral("code"),
        QStringLiteral("col"),
        QStringLiteral("colgroup"),
        QStringLiteral("dd"),
        QStringLiteral("del"),
        QStringLiteral("dfn"),
        QStringLiteral("div"),
        QStringLiteral("dl"),
        QStringLiteral("dt"),
        QStringLiteral("em"),
        QStringLiteral("figcaption"),
        QStringLiteral("figure"),
        QStringLiteral("font"),
        QStringLiteral("footer"),
        QStringLiteral("h1"),
        QStringLiteral("h2"),
        QStringLiteral("h3"),
        QStringLiteral("h4"),
        QStringLiteral("h5"),
        QStringLiteral("h6"),
        QStringLiteral("header"),
        QStringLiteral("hr"),
        QStringLiteral("i"),
        QStringLiteral("img"),
        QStringLiteral("ins"),
        QStringLiteral("kbd"),
        QStringLiteral("li"),
        QStringLiteral("main"),
        QStringLiteral("mark"),
        QStringLiteral("nav"),
        QStringLiteral("nobr"),
        QStringLiteral("ol"),
        QStringLiteral("p"),
        QStringLiteral("pre"),
        QStringLiteral("s"),
        QStringLiteral("samp"),
        QStringLiteral("section"),
        QStringLiteral("small"),
        QStringLiteral("span"),
        QStringLiteral("strike"),
        QStringLiteral("strong"),
        QStringLiteral("sub"),
        QStringLiteral("sup"),
        QStringLiteral("table"),
        QStringLiteral("tbody"),
        QStringLiteral("td"),
        QStringLiteral("tfoot"),
        QStringLiteral("th"),
        QStringLiteral("thead"),
        QStringLiteral("time"),
        QStringLiteral("tr"),
        QStringLiteral("tt"),
        QStringLiteral("u"),
        QStringLiteral("ul"),
        QStringLiteral("var"),
        QStringLiteral("wbr"),
    };
    return names;
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
bool styleChangesCharacters(const QString &style)
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
    for (; i < scan.size; ++i) {
        if (scan.text[i] == c) {
            ++i;
            return;
        }
    }
}

bool SearchFilter::readTag(Scan &scan, int &i, bool endTag)
{
    // Tokenized as the HTML tokenizer does it, so that a '>' inside a quoted attribute value
    // does not end the tag. An unfinished tag at the end is dropped by the parser.
    const QChar *s = scan.text;
    const int n = scan.size;
    QString name;
    for (; i < n && !isHtmlSpace(s[i]) && s[i] != QLatin1Char('/') && s[i] != QLatin1Char('>'); ++i)
        name += isAsciiLetter(s[i]) ? s[i].toLower() : s[i];
    if (!endTag && !plainElements().contains(name) && !name.contains(QLatin1Char(':')))
        return false;
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
        const QString attribute = QString(s + nameStart, i - nameStart).toLower();
        while (i < n && isHtmlSpace(s[i]))
            ++i;
        QString value;
        if (i < n && s[i] == QLatin1Char('=')) {
            ++i;
            while (i < n && isHtmlSpace(s[i]))
                ++i;
            if (i < n && (s[i] == QLatin1Char('"') || s[i] == QLatin1Char('\''))) {
                const QChar quote = s[i++];
                const int start = i;
                skipTo(scan, i, quote);
                value = QString(s + start, qMax(0, i - 1 - start));
            } else {
                const int start = i;
                while (i < n && !isHtmlSpace(s[i]) && s[i] != QLatin1Char('>'))
                    ++i;
                value = QString(s + start, i - start);
            }
        }
        if (endTag)
            continue;
        if (attribute.startsWith(QLatin1String("on"))
            || (attribute == QLatin1String("style") && styleChangesCharacters(value)))
            return false;
    }
    return true;
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
            if (next == QLatin1Char('/')) {
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
