#include "search/pagetext.h"

#include "model/htmlentities.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace {

// Elements shown inline, whose edges never end a run. Sorted for a binary search.
const char *const inlineElements[] = {"a", "abbr", "acronym", "b", "bdi", "bdo", "big", "cite",
    "code", "del", "dfn", "em", "font", "i", "ins", "kbd", "mark", "nobr", "s", "samp", "small",
    "span", "strike", "strong", "sub", "sup", "time", "tt", "u", "var"};

// Elements that start and end a block: lines and runs end at their edges. Sorted.
const char *const blockElements[] = {"address", "blockquote", "caption", "center", "col",
    "colgroup", "dd", "div", "dl", "dt", "figcaption", "figure", "footer", "h1", "h2", "h3", "h4",
    "h5", "h6", "header", "hr", "li", "main", "nav", "ol", "p", "pre", "section", "table", "tbody",
    "td", "tfoot", "th", "thead", "tr", "ul"};

// Attributes that change neither which text a page shows nor where. Sorted.
const char *const plainAttributes[] = {"align", "alt", "bgcolor", "border", "cellpadding",
    "cellspacing", "checked", "cite", "class", "color", "colspan", "datetime", "dir", "face",
    "height", "href", "id", "lang", "name", "rel", "rowspan", "size", "src", "start", "style",
    "tabindex", "target", "title", "type", "valign", "value", "width"};

// Style properties, with everything they stand for (font-size for font), that change neither.
const char *const plainStyles[]
    = {"background", "border", "clear", "color", "cursor", "direction", "font", "height",
        "letter-spacing", "line-height", "list-style", "margin", "max-height", "max-width",
        "min-height", "min-width", "opacity", "outline", "padding", "text-align", "text-decoration",
        "text-indent", "unicode-bidi", "vertical-align", "white-space", "width", "word-spacing"};

template <size_t N> bool listed(const char *const (&list)[N], const char *name)
{
    const auto found = std::lower_bound(std::begin(list), std::end(list), name,
        [](const char *entry, const char *key) { return std::strcmp(entry, key) < 0; });
    return found != std::end(list) && std::strcmp(*found, name) == 0;
}

// A tag name, lower-cased; longer names are never plain.
struct TagName
{
    char text[12];
    bool hidden;
};

bool is(const char *name, const char *other)
{
    return std::strcmp(name, other) == 0;
}

bool isHeading(const char *name)
{
    return name[0] == 'h' && name[1] >= '1' && name[1] <= '6' && name[2] == '\0';
}

// The rows and columns of a table: text between them is moved out of the table by the parser.
bool isTableStructure(const char *name)
{
    return is(name, "table") || is(name, "tbody") || is(name, "thead") || is(name, "tfoot")
        || is(name, "tr") || is(name, "colgroup");
}

bool isHtmlSpace(char32_t u)
{
    return u == ' ' || u == '\t' || u == '\n' || u == '\f' || u == '\r';
}

bool isAsciiLetter(char16_t u)
{
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

bool isPlainStyleProperty(const QString &property)
{
    for (const char *style : plainStyles) {
        const QLatin1String name(style);
        if (property == name
            || (property.startsWith(name) && property.size() > name.size()
                && property.at(name.size()) == QLatin1Char('-')))
            return true;
    }
    return false;
}

enum class Style { Plain, Hidden, Other };

// A style attribute's declarations, read as far as needed to know every property it sets;
// anything that would need a full style sheet parser to read (comments, escapes, blocks,
// character references, unbalanced quotes or brackets) is no plain style. "display: none"
// hides the element with all it holds; whiteSpace tells whether a "white-space" property
// changes how its spaces collapse.
Style readStyle(QStringView style, bool *whiteSpace)
{
    for (const char *hard : {"&", "\\", "/*", "{", "}", "@"}) {
        if (style.contains(QLatin1String(hard)))
            return Style::Other;
    }
    Style result = Style::Plain;
    int start = 0;
    QChar quote;
    int depth = 0;
    for (int i = 0; i <= style.size(); ++i) {
        const QChar c = i < style.size() ? style.at(i) : QLatin1Char(';');
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else if (i == style.size())
                return Style::Other;
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            if (--depth < 0)
                return Style::Other;
        } else if (c == QLatin1Char(';') && depth == 0) {
            const QStringView declaration = style.mid(start, i - start).trimmed();
            start = i + 1;
            if (declaration.isEmpty())
                continue;
            const qsizetype colon = declaration.indexOf(QLatin1Char(':'));
            if (colon <= 0)
                return Style::Other;
            const QString property = declaration.left(colon).trimmed().toString().toLower();
            *whiteSpace = *whiteSpace || property == QLatin1String("white-space");
            if (property == QLatin1String("display")
                && declaration.mid(colon + 1).trimmed().compare(
                       QLatin1String("none"), Qt::CaseInsensitive)
                    == 0)
                result = Style::Hidden;
            else if (!isPlainStyleProperty(property))
                return Style::Other;
        }
    }
    return depth == 0 ? result : Style::Other;
}

} // namespace

// Reads the markup as the HTML tokenizer does and keeps the elements open in a stack. Tree
// building is followed only where it builds what the markup says: every end tag must close the
// element opened last, and a start tag that the parser would take as closing an open element
// (a paragraph in a paragraph, a list item in a list item, a cell outside a row...) or would
// move out of a table makes the page unreadable.
class PageTextReader
{
public:
    PageTextReader(const QString &html, PageText &out)
        : m_s(html.constData())
        , m_n(html.size())
        , m_out(out)
    { }

    bool read()
    {
        // A fresh page decodes the page as UTF-8 and drops a leading byte order mark.
        if (m_n > 0 && m_s[0] == QChar(0xfeff))
            return false;
        while (m_i < m_n) {
            const char16_t c = m_s[m_i].unicode();
            if (c == '<' && m_i + 1 < m_n) {
                const int result = readMarkup();
                if (result < 0)
                    return false;
                if (result > 0)
                    continue;
            }
            ++m_i;
            char32_t code = c;
            if (c == '&') {
                const CharacterReference reference
                    = readCharacterReference(QStringView(m_s + m_i, m_n - m_i));
                if (reference.unusual)
                    return false;
                if (reference.length > 0) {
                    m_i += reference.length;
                    for (int k = 0; k < reference.count; ++k) {
                        if (!addText(reference.codePoints[k]))
                            return false;
                    }
                    continue;
                }
            } else if (QChar::isSurrogate(c)) {
                if (!QChar::isHighSurrogate(c) || m_i >= m_n || !m_s[m_i].isLowSurrogate())
                    return false;
                code = QChar::surrogateToUcs4(c, m_s[m_i++].unicode());
            } else if (c == 0) {
                return false; // the parser drops it
            } else if (c == '\r') {
                // The parser reads a line end written as CR LF as one LF.
                if (m_i < m_n && m_s[m_i] == QLatin1Char('\n'))
                    ++m_i;
                code = '\n';
            }
            if (!addText(code))
                return false;
        }
        endLine();
        return true;
    }

private:
    // 1: markup read; 0: the '<' is text; -1: the page is not readable.
    int readMarkup()
    {
        const char16_t next = m_s[m_i + 1].unicode();
        if (isAsciiLetter(next)) {
            m_i += 1;
            return readTag(false) ? 1 : -1;
        }
        // At the end of the input the tokenizer gives "</" back as text.
        if (next == '/' && m_i + 2 < m_n) {
            m_i += 2;
            if (isAsciiLetter(m_s[m_i].unicode()))
                return readTag(true) ? 1 : -1;
            skipPast(QLatin1Char('>')); // "</>" or a bogus comment
            return 1;
        }
        if (next == '!') {
            const QStringView rest(m_s + m_i, m_n - m_i);
            if (rest.startsWith(QLatin1String("<!--"))) {
                skipComment();
                return 1;
            }
            // A doctype switches the document's mode; anything else is a bogus comment.
            if (rest.mid(2, 7).compare(QLatin1String("doctype"), Qt::CaseInsensitive) == 0)
                return -1;
            m_i += 2;
            skipPast(QLatin1Char('>'));
            return 1;
        }
        if (next == '?') {
            m_i += 2;
            skipPast(QLatin1Char('>'));
            return 1;
        }
        return 0;
    }

    void skipPast(QChar c)
    {
        const qsizetype found = QStringView(m_s, m_n).indexOf(c, m_i);
        m_i = found < 0 ? m_n : int(found) + 1;
    }

    void skipComment()
    {
        m_i += 4;
        // "<!-->" and "<!--->" are whole comments; others end at "-->" or "--!>".
        if (m_i < m_n && m_s[m_i] == QLatin1Char('>')) {
            ++m_i;
            return;
        }
        if (m_i + 1 < m_n && m_s[m_i] == QLatin1Char('-') && m_s[m_i + 1] == QLatin1Char('>')) {
            m_i += 2;
            return;
        }
        const QStringView all(m_s, m_n);
        for (qsizetype k = all.indexOf(QLatin1String("--"), m_i); k >= 0;
             k = all.indexOf(QLatin1String("--"), k + 1)) {
            qsizetype after = k + 2;
            while (after < m_n && m_s[after] == QLatin1Char('-'))
                ++after;
            if (after < m_n && m_s[after] == QLatin1Char('>')) {
                m_i = int(after) + 1;
                return;
            }
            if (after + 1 < m_n && m_s[after] == QLatin1Char('!')
                && m_s[after + 1] == QLatin1Char('>')) {
                m_i = int(after) + 2;
                return;
            }
        }
        m_i = m_n;
    }

    // Reads the tag whose name starts at m_i and applies it; false when the page is not
    // readable.
    bool readTag(bool endTag)
    {
        char name[12];
        int length = 0;
        bool namespaced = false;
        for (; m_i < m_n; ++m_i) {
            const char16_t u = m_s[m_i].unicode();
            if (isHtmlSpace(u) || u == '/' || u == '>')
                break;
            namespaced = namespaced || u == ':';
            if (length < 11)
                name[length] = u < 128 ? char(u >= 'A' && u <= 'Z' ? u + 32 : u) : '?';
            ++length;
        }
        // Names beyond ASCII are never plain; none of the known ones is longer than ten.
        if (length > 10 || std::memchr(name, '?', size_t(length)))
            return false;
        name[length] = '\0';
        // Namespaced names (Office's "o:p") are unknown elements, shown inline like span.
        const bool input = is(name, "input");
        const bool known = namespaced || listed(inlineElements, name) || listed(blockElements, name)
            || is(name, "br") || is(name, "img") || input;
        if (!known)
            return false;
        bool complete = false;
        bool hidden = false;
        QStringView type;
        if (!readAttributes(endTag, &complete, &hidden, &type))
            return false;
        if (!complete)
            return true; // the parser drops a tag cut off by the end of the input
        // Of the form fields only a checklist's checkbox, which shows no text of its own.
        if (input && (endTag || type.compare(QLatin1String("checkbox"), Qt::CaseInsensitive) != 0))
            return false;
        return endTag ? closeElement(name) : openElement(name, hidden);
    }

    bool readAttributes(bool endTag, bool *complete, bool *hidden, QStringView *type)
    {
        bool typeSeen = false;
        while (m_i < m_n) {
            while (m_i < m_n && (isHtmlSpace(m_s[m_i].unicode()) || m_s[m_i] == QLatin1Char('/')))
                ++m_i;
            if (m_i >= m_n)
                break;
            if (m_s[m_i] == QLatin1Char('>')) {
                ++m_i;
                *complete = true;
                return true;
            }
            // The first character of a name may be '='; the name runs to space, '/', '>', '='.
            const int nameStart = m_i++;
            while (m_i < m_n && !isHtmlSpace(m_s[m_i].unicode()) && m_s[m_i] != QLatin1Char('/')
                && m_s[m_i] != QLatin1Char('>') && m_s[m_i] != QLatin1Char('='))
                ++m_i;
            const QString attribute = QStringView(m_s + nameStart, m_i - nameStart).toString();
            while (m_i < m_n && isHtmlSpace(m_s[m_i].unicode()))
                ++m_i;
            QStringView value;
            if (m_i < m_n && m_s[m_i] == QLatin1Char('=')) {
                ++m_i;
                while (m_i < m_n && isHtmlSpace(m_s[m_i].unicode()))
                    ++m_i;
                if (m_i < m_n && (m_s[m_i] == QLatin1Char('"') || m_s[m_i] == QLatin1Char('\''))) {
                    const QChar quote = m_s[m_i++];
                    const int start = m_i;
                    skipPast(quote);
                    value = QStringView(m_s + start, qMax(0, m_i - 1 - start));
                } else {
                    const int start = m_i;
                    while (m_i < m_n && !isHtmlSpace(m_s[m_i].unicode())
                        && m_s[m_i] != QLatin1Char('>'))
                        ++m_i;
                    value = QStringView(m_s + start, m_i - start);
                }
            }
            if (endTag)
                continue;
            const QString lower = attribute.toLower();
            if (lower.startsWith(QLatin1String("data-")))
                continue;
            if (lower.size() > 11 || !listed(plainAttributes, lower.toLatin1().constData()))
                return false;
            // The parser keeps the first of an attribute given twice.
            if (lower == QLatin1String("type") && !typeSeen) {
                *type = value;
                typeSeen = true;
            }
            if (lower == QLatin1String("style")) {
                bool whiteSpace = false;
                const Style style = readStyle(value, &whiteSpace);
                if (whiteSpace)
                    m_out.m_spacesCollapse = false;
                if (style == Style::Other)
                    return false;
                *hidden = *hidden || style == Style::Hidden;
            }
        }
        return true;
    }

    const char *top() const { return m_open.isEmpty() ? "" : m_open.last().text; }

    bool isOpen(const char *name) const
    {
        return std::any_of(m_open.begin(), m_open.end(),
            [name](const TagName &open) { return is(open.text, name); });
    }

    // A paragraph the parser would close before a block starts.
    bool paragraphInButtonScope() const
    {
        for (int k = m_open.size() - 1; k >= 0; --k) {
            const char *open = m_open.at(k).text;
            if (is(open, "p"))
                return true;
            if (is(open, "table") || is(open, "td") || is(open, "th") || is(open, "caption"))
                return false;
        }
        return false;
    }

    // A list item (or term, or definition) the parser would close before another starts.
    bool itemToClose(const char *a, const char *b) const
    {
        for (int k = m_open.size() - 1; k >= 0; --k) {
            const char *open = m_open.at(k).text;
            if (is(open, a) || is(open, b))
                return true;
            if (listed(blockElements, open) && !is(open, "address") && !is(open, "div")
                && !is(open, "p"))
                return false;
        }
        return false;
    }

    bool openElement(const char *name, bool hidden)
    {
        const char *current = top();
        const bool inTable = isTableStructure(current);
        const bool block = listed(blockElements, name);
        if (inTable) {
            // Anything but the table's own structure would be moved before the table.
            const bool fits = is(current, "table")
                ? is(name, "caption") || is(name, "colgroup") || is(name, "col")
                    || is(name, "tbody") || is(name, "thead") || is(name, "tfoot") || is(name, "tr")
                : is(current, "tr")       ? is(name, "td") || is(name, "th")
                : is(current, "colgroup") ? is(name, "col")
                                          : is(name, "tr");
            if (!fits)
                return false;
        } else if (is(name, "caption") || is(name, "colgroup") || is(name, "col")
            || is(name, "tbody") || is(name, "thead") || is(name, "tfoot") || is(name, "tr")
            || is(name, "td") || is(name, "th")) {
            return false; // ignored outside a table
        } else if (block) {
            if (paragraphInButtonScope())
                return false;
            if (is(name, "li") && itemToClose("li", "li"))
                return false;
            if ((is(name, "dd") || is(name, "dt")) && itemToClose("dd", "dt"))
                return false;
            if (isHeading(name) && isHeading(current))
                return false;
        } else if ((is(name, "a") || is(name, "nobr")) && isOpen(name)) {
            return false;
        }

        // A hidden element and all it holds are left out as if they were not there: its edges
        // end no run.
        const bool shown = !hidden && m_hidden == 0;
        const bool picture = is(name, "img") || is(name, "input");
        if (!shown && (is(name, "br") || picture || is(name, "hr") || is(name, "col"))) {
            // But a line break, picture or rule hidden by a style of its own (not inside a
            // hidden element) still parts the text on either side for the find; its line
            // goes on.
            if (m_hidden == 0 && !is(name, "input") && !is(name, "col")) {
                endRun();
                endSegment();
            }
            return true;
        }
        if (is(name, "br")) {
            endLine();
            return true;
        }
        if (is(name, "input")) {
            // A checkbox shows no text, and the find matches across it as if it were not
            // there; only the white space on either side of it does not collapse into one.
            if (m_space) {
                if (m_segmentStart < 0)
                    m_segmentStart = m_out.m_text.size();
                m_out.m_text += QLatin1Char(' ');
                m_space = false;
            }
            return true;
        }
        if (picture) {
            // A picture ends a run and a segment: the find matches neither a text nor white
            // space across it. It reads as a space in the line.
            endRun();
            endSegment();
            m_space = m_out.m_text.size() > m_lineStart;
            return true;
        }
        if (block && shown)
            endLine();
        if (is(name, "hr") || is(name, "col"))
            return true;
        TagName open;
        std::strcpy(open.text, name);
        open.hidden = hidden;
        m_open.append(open);
        m_hidden += hidden ? 1 : 0;
        if (is(name, "pre")) {
            ++m_preformatted;
            // The parser drops a line end right after the start tag.
            if (m_i < m_n && m_s[m_i] == QLatin1Char('\n'))
                ++m_i;
            else if (m_i < m_n && m_s[m_i] == QLatin1Char('\r'))
                m_i += m_i + 1 < m_n && m_s[m_i + 1] == QLatin1Char('\n') ? 2 : 1;
        }
        return true;
    }

    bool closeElement(const char *name)
    {
        if (m_open.isEmpty() || !is(top(), name))
            return false;
        const bool hidden = m_open.last().hidden;
        m_open.removeLast();
        m_hidden -= hidden ? 1 : 0;
        if (is(name, "pre"))
            --m_preformatted;
        if (listed(blockElements, name) && !hidden && m_hidden == 0)
            endLine();
        return true;
    }

    bool addText(char32_t c)
    {
        if (m_hidden > 0)
            return !isTableStructure(top()) || isHtmlSpace(c);
        // The engine lays out a form feed, or a carriage return written as a reference, as
        // something other than a collapsed space.
        if (c == '\f' || c == '\r')
            m_out.m_spacesCollapse = false;
        if (isHtmlSpace(c)) {
            endRun();
            if (m_preformatted > 0) {
                if (c == '\n' || c == '\r')
                    endLine();
                else
                    m_out.m_text += QChar(char16_t(c));
            } else {
                m_space = m_out.m_text.size() > m_lineStart;
            }
            return true;
        }
        // Text between the rows and cells of a table is moved out of it.
        if (isTableStructure(top()))
            return false;
        if (m_space) {
            m_out.m_text += QLatin1Char(' ');
            m_space = false;
        }
        if (m_segmentStart < 0)
            m_segmentStart = m_out.m_text.size();
        if (c == 0xa0) {
            endRun();
        } else if (m_runStart < 0) {
            m_runStart = m_out.m_text.size();
        }
        if (QChar::requiresSurrogates(c)) {
            m_out.m_text += QChar(QChar::highSurrogate(c));
            m_out.m_text += QChar(QChar::lowSurrogate(c));
        } else {
            m_out.m_text += QChar(char16_t(c));
        }
        return true;
    }

    void endRun()
    {
        if (m_runStart >= 0)
            m_out.m_runs.append({m_runStart, int(m_out.m_text.size())});
        m_runStart = -1;
    }

    void endSegment()
    {
        if (m_segmentStart >= 0)
            m_out.m_segments.append({m_segmentStart, int(m_out.m_text.size())});
        m_segmentStart = -1;
    }

    void endLine()
    {
        endRun();
        endSegment();
        if (m_out.m_text.size() > m_lineStart)
            m_out.m_lines.append({m_lineStart, int(m_out.m_text.size())});
        m_lineStart = m_out.m_text.size();
        m_space = false;
    }

    const QChar *m_s;
    const int m_n;
    PageText &m_out;
    int m_i = 0;
    QVarLengthArray<TagName, 32> m_open;
    int m_preformatted = 0;
    int m_hidden = 0;
    int m_runStart = -1;
    int m_segmentStart = -1;
    int m_lineStart = 0;
    bool m_space = false;
};

PageText::PageText(const QString &html)
{
    m_readable = PageTextReader(html, *this).read();
    if (!m_readable) {
        m_text.clear();
        m_runs.clear();
        m_segments.clear();
        m_lines.clear();
    }
}

QString PageText::run(int index) const
{
    const Span span = m_runs.at(index);
    return m_text.mid(span.start, span.end - span.start);
}

QString PageText::segment(int index) const
{
    const Span span = m_segments.at(index);
    return m_text.mid(span.start, span.end - span.start);
}

QString PageText::line(int run, int start, int length, int maxLength, int *before) const
{
    return lineAround(m_runs.at(run).start + start, length, maxLength, before);
}

QString PageText::segmentLine(int segment, int start, int length, int maxLength, int *before) const
{
    return lineAround(m_segments.at(segment).start + start, length, maxLength, before);
}

QString PageText::lineAround(int hit, int length, int maxLength, int *before) const
{
    const auto found = std::upper_bound(m_lines.begin(), m_lines.end(), hit,
        [](int position, const Span &span) { return position < span.start; });
    const Span line = found == m_lines.begin() ? Span {hit, hit + length} : *(found - 1);

    int from = line.start;
    int to = line.end;
    if (to - from > maxLength) {
        // Two fifths of the room before the hit and the rest after it, or all that the line
        // has on one side, each end moved in to a space where that does not reach the hit.
        const int room = qMax(0, maxLength - length);
        from = qMax(line.start, hit - room * 2 / 5);
        to = qMin(line.end, hit + length + room - (hit - from));
        from = qMax(line.start, to - qMax(maxLength, length));
        if (from > line.start && m_text.at(from - 1) != QLatin1Char(' ')) {
            const qsizetype space = m_text.indexOf(QLatin1Char(' '), from);
            if (space >= 0 && space < hit)
                from = int(space) + 1;
            else if (m_text.at(from).isLowSurrogate())
                ++from;
        }
        if (to < line.end && m_text.at(to) != QLatin1Char(' ')) {
            const qsizetype space = m_text.lastIndexOf(QLatin1Char(' '), to);
            if (space >= hit + length)
                to = int(space);
            else if (m_text.at(to).isLowSurrogate())
                ++to;
        }
    }
    const QString ellipsis(QChar(0x2026));
    QString text = m_text.mid(from, to - from);
    *before = hit - from;
    if (from > line.start) {
        text.prepend(ellipsis);
        ++*before;
    }
    if (to < line.end)
        text += ellipsis;
    return text;
}
