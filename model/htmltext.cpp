#include "model/htmltext.h"

#include "model/htmlentities.h"

#include <algorithm>
#include <cstring>

namespace {

// Elements that the web engine sets apart from the text around them (blocks, list items, table
// rows and cells, line breaks). Sorted for a binary search.
const char *const separatingElements[] = {
    "address",
    "article",
    "aside",
    "blockquote",
    "body",
    "br",
    "caption",
    "center",
    "dd",
    "details",
    "dialog",
    "dir",
    "div",
    "dl",
    "dt",
    "fieldset",
    "figcaption",
    "figure",
    "footer",
    "form",
    "h1",
    "h2",
    "h3",
    "h4",
    "h5",
    "h6",
    "header",
    "hgroup",
    "hr",
    "html",
    "legend",
    "li",
    "listing",
    "main",
    "menu",
    "nav",
    "ol",
    "p",
    "pre",
    "section",
    "summary",
    "table",
    "tbody",
    "td",
    "tfoot",
    "th",
    "thead",
    "tr",
    "ul",
};

// Elements whose content shows no text of its own: raw text the parser does not read as markup
// (scripts, style sheets), or controls and containers whose text the page's plain text leaves
// out. Their content is skipped up to their end tag. Sorted.
const char *const silentElements[] = {
    "iframe",
    "noembed",
    "noframes",
    "script",
    "select",
    "style",
    "template",
    "textarea",
    "title",
};

bool contains(const char *const *begin, const char *const *end, const char *name)
{
    const auto found = std::lower_bound(begin, end, name,
        [](const char *entry, const char *key) { return std::strcmp(entry, key) < 0; });
    return found != end && std::strcmp(*found, name) == 0;
}

bool isHtmlSpace(char16_t u)
{
    return u == ' ' || u == '\t' || u == '\n' || u == '\f' || u == '\r';
}

bool isAsciiLetter(char16_t u)
{
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

class TextCollector
{
public:
    explicit TextCollector(int maxLength)
        : m_maxLength(maxLength)
    {
        m_text.reserve(maxLength + 2);
    }

    bool full() const { return m_text.size() >= m_maxLength; }
    void separate() { m_space = !m_text.isEmpty(); }

    void add(char32_t c)
    {
        // A no-break space shows as a blank like any other once runs are folded.
        if ((c < 0x80 && isHtmlSpace(char16_t(c))) || c == 0xa0) {
            separate();
            return;
        }
        if (m_space) {
            m_text += QLatin1Char(' ');
            m_space = false;
        }
        if (QChar::requiresSurrogates(c)) {
            m_text += QChar(QChar::highSurrogate(c));
            m_text += QChar(QChar::lowSurrogate(c));
        } else {
            m_text += QChar(char16_t(c));
        }
    }

    QString take()
    {
        if (m_text.size() > m_maxLength) {
            // A cut between the halves of a surrogate pair would leave half a character.
            const bool splitsPair = m_text.at(m_maxLength - 1).isHighSurrogate();
            m_text.truncate(splitsPair ? m_maxLength - 1 : m_maxLength);
        }
        return m_text;
    }

private:
    const int m_maxLength;
    QString m_text;
    bool m_space = false;
};

class MarkupReader
{
public:
    MarkupReader(const QString &html, int maxLength)
        : m_s(html.constData())
        , m_n(html.size())
        , m_html(html)
        , m_out(maxLength)
    { }

    QString read()
    {
        while (m_i < m_n && !m_out.full()) {
            const char16_t c = m_s[m_i].unicode();
            if (c == '<' && m_i + 1 < m_n && readMarkup())
                continue;
            ++m_i;
            if (c == '&') {
                const CharacterReference reference
                    = readCharacterReference(QStringView(m_html).mid(m_i));
                if (reference.length > 0) {
                    m_i += reference.length;
                    for (int k = 0; k < reference.count; ++k)
                        m_out.add(reference.codePoints[k]);
                    continue;
                }
            }
            if (QChar::isHighSurrogate(c) && m_i < m_n && m_s[m_i].isLowSurrogate()) {
                m_out.add(QChar::surrogateToUcs4(c, m_s[m_i].unicode()));
                ++m_i;
                continue;
            }
            m_out.add(c);
        }
        return m_out.take();
    }

private:
    // Past the first character equal to c from m_i on, or at the end.
    void skipPast(QChar c)
    {
        const qsizetype found = QStringView(m_s, m_n).indexOf(c, m_i);
        m_i = found < 0 ? m_n : int(found) + 1;
    }

    // A tag, comment or declaration at m_i (a '<'); false when the '<' is text.
    bool readMarkup()
    {
        const char16_t next = m_s[m_i + 1].unicode();
        if (isAsciiLetter(next)) {
            m_i += 1;
            readTag(false);
            return true;
        }
        if (next == '/') {
            m_i += 2;
            if (m_i < m_n && isAsciiLetter(m_s[m_i].unicode()))
                readTag(true);
            else
                skipPast(QLatin1Char('>'));
            return true;
        }
        if (next == '!') {
            if (QStringView(m_s + m_i, m_n - m_i).startsWith(QLatin1String("<!--"))) {
                m_i += 4;
                // "<!-->" and "<!--->" are whole comments; others end at "-->" or "--!>".
                if (at('>')) {
                    ++m_i;
                    return true;
                }
                if (at('-') && m_i + 1 < m_n && m_s[m_i + 1] == QLatin1Char('>')) {
                    m_i += 2;
                    return true;
                }
                const QStringView rest(m_s, m_n);
                for (qsizetype k = rest.indexOf(QLatin1String("--"), m_i); k >= 0;
                     k = rest.indexOf(QLatin1String("--"), k + 1)) {
                    qsizetype after = k + 2;
                    while (after < m_n && m_s[after] == QLatin1Char('-'))
                        ++after;
                    if (after < m_n && m_s[after] == QLatin1Char('>')) {
                        m_i = int(after) + 1;
                        return true;
                    }
                    if (after + 1 < m_n && m_s[after] == QLatin1Char('!')
                        && m_s[after + 1] == QLatin1Char('>')) {
                        m_i = int(after) + 2;
                        return true;
                    }
                }
                m_i = m_n;
                return true;
            }
            m_i += 2;
            skipPast(QLatin1Char('>'));
            return true;
        }
        if (next == '?') {
            m_i += 2;
            skipPast(QLatin1Char('>'));
            return true;
        }
        return false;
    }

    // Reads a tag whose name starts at m_i, up to and past its '>'. The attributes are read as
    // the HTML tokenizer reads them, so that a '>' inside a quoted value does not end the tag.
    void readTag(bool endTag)
    {
        char name[12];
        int length = 0;
        for (; m_i < m_n; ++m_i) {
            const char16_t u = m_s[m_i].unicode();
            if (isHtmlSpace(u) || u == '/' || u == '>')
                break;
            if (length < 11)
                name[length] = u < 128 ? char(u >= 'A' && u <= 'Z' ? u + 32 : u) : '?';
            ++length;
        }
        name[qMin(length, 11)] = '\0';
        skipAttributes();
        if (length > 10)
            return;
        if (contains(std::begin(separatingElements), std::end(separatingElements), name)) {
            m_out.separate();
        } else if (!endTag
            && contains(std::begin(silentElements), std::end(silentElements), name)) {
            skipToEndTag(name);
        }
    }

    bool at(char16_t c) const { return m_i < m_n && m_s[m_i].unicode() == c; }
    void skipSpaces()
    {
        while (m_i < m_n && isHtmlSpace(m_s[m_i].unicode()))
            ++m_i;
    }

    void skipAttributes()
    {
        while (m_i < m_n) {
            while (m_i < m_n && (isHtmlSpace(m_s[m_i].unicode()) || at('/')))
                ++m_i;
            if (m_i >= m_n)
                return;
            if (at('>')) {
                ++m_i;
                return;
            }
            // The first character of a name may be '='; the name runs to space, '/', '>', '='.
            for (++m_i;
                 m_i < m_n && !isHtmlSpace(m_s[m_i].unicode()) && !at('/') && !at('>') && !at('=');
                 ++m_i) { }
            skipSpaces();
            if (!at('='))
                continue;
            ++m_i;
            skipSpaces();
            if (at('"') || at('\'')) {
                // Pictures are kept in values as data: addresses hundreds of kB long.
                const QChar quote = m_s[m_i++];
                skipPast(quote);
            } else {
                while (m_i < m_n && !isHtmlSpace(m_s[m_i].unicode()) && !at('>'))
                    ++m_i;
            }
        }
    }

    void skipToEndTag(const char *name)
    {
        const QString endTag = QLatin1String("</") + QLatin1String(name);
        for (;;) {
            const qsizetype found
                = QStringView(m_s, m_n).indexOf(QStringView(endTag), m_i, Qt::CaseInsensitive);
            if (found < 0) {
                m_i = m_n;
                return;
            }
            m_i = int(found) + endTag.size();
            if (m_i >= m_n || isHtmlSpace(m_s[m_i].unicode()) || m_s[m_i] == QLatin1Char('/')
                || m_s[m_i] == QLatin1Char('>')) {
                skipPast(QLatin1Char('>'));
                return;
            }
        }
    }

    const QChar *m_s;
    const int m_n;
    const QString &m_html;
    int m_i = 0;
    TextCollector m_out;
};

} // namespace

QString htmlTextStart(const QString &html, int maxLength)
{
    if (maxLength <= 0)
        return QString();
    return MarkupReader(html, maxLength).read();
}
