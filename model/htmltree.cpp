#include "model/htmltree.h"

#include "model/htmlentities.h"

#include <QVector>

#include <algorithm>
#include <utility>

namespace {

bool isSpace(char16_t u)
{
    return u == ' ' || u == '\t' || u == '\n' || u == '\f' || u == '\r';
}

bool isAsciiLetter(char16_t u)
{
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

bool isAsciiAlphanumeric(char16_t u)
{
    return isAsciiLetter(u) || (u >= '0' && u <= '9');
}

bool isWhiteSpaceOnly(const QString &text)
{
    for (const QChar c : text) {
        if (!isSpace(c.unicode()))
            return false;
    }
    return true;
}

bool oneOf(const QString &name, std::initializer_list<const char *> names)
{
    for (const char *candidate : names) {
        if (name == QLatin1String(candidate))
            return true;
    }
    return false;
}

// Numeric references to the C1 range are read as Windows-1252, as every browser reads them.
char32_t windows1252(char32_t c)
{
    static const char16_t table[32] = {0x20ac, 0x81, 0x201a, 0x192, 0x201e, 0x2026, 0x2020, 0x2021,
        0x2c6, 0x2030, 0x160, 0x2039, 0x152, 0x8d, 0x17d, 0x8f, 0x90, 0x2018, 0x2019, 0x201c,
        0x201d, 0x2022, 0x2013, 0x2014, 0x2dc, 0x2122, 0x161, 0x203a, 0x153, 0x9d, 0x17e, 0x178};
    return c >= 0x80 && c <= 0x9f ? table[c - 0x80] : c;
}

// Appends the reference after the '&' at text[at]; returns the characters read after the '&',
// 0 when the '&' stands for itself.
int appendReference(QString &out, QStringView text, int at, bool inAttribute)
{
    const QStringView rest = text.mid(at + 1);
    const CharacterReference reference = readCharacterReference(rest);
    if (reference.length == 0)
        return 0;
    const bool numeric = rest.at(0) == QLatin1Char('#');
    // In a value, "&copy=" or "&copyx" without its ';' is text: it is likely part of an address.
    if (inAttribute && !numeric && rest.at(reference.length - 1) != QLatin1Char(';')
        && reference.length < rest.size()
        && (rest.at(reference.length) == QLatin1Char('=')
            || isAsciiAlphanumeric(rest.at(reference.length).unicode())))
        return 0;
    char32_t first = reference.codePoints[0];
    if (numeric && reference.unusual) {
        // The reader maps what it finds unusual to U+FFFD; C1 values get their letters back.
        bool hex
            = rest.size() > 1 && (rest.at(1) == QLatin1Char('x') || rest.at(1) == QLatin1Char('X'));
        QStringView digits = rest.mid(hex ? 2 : 1, reference.length - (hex ? 2 : 1));
        if (digits.endsWith(QLatin1Char(';')))
            digits.chop(1);
        bool ok = false;
        const uint value = digits.size() <= 6 ? digits.toString().toUInt(&ok, hex ? 16 : 10) : 0;
        if (ok && value >= 0x80 && value <= 0x9f)
            first = windows1252(value);
    }
    out += QString::fromUcs4(&first, 1);
    if (reference.count == 2)
        out += QString::fromUcs4(&reference.codePoints[1], 1);
    return reference.length;
}

QString decoded(QStringView text, bool inAttribute)
{
    if (!text.contains(QLatin1Char('&')) && !text.contains(QChar(0)))
        return text.toString();
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('&')) {
            const int length = appendReference(out, text, i, inAttribute);
            if (length > 0) {
                i += length;
                continue;
            }
        }
        if (c.unicode() != 0)
            out += c;
    }
    return out;
}

struct Token
{
    enum Kind { StartTag, EndTag, Characters, Comment, Doctype, EndOfFile };
    Kind kind = EndOfFile;
    QString name; // tag names in lower case; comment and doctype text
    QVector<HtmlAttribute> attributes;
    bool selfClosing = false;
    QString text;
};

class Tokenizer
{
public:
    explicit Tokenizer(const QString &html)
        : m_s(html)
    {
        // Line ends are read as single newlines before anything else.
        if (m_s.contains(QLatin1Char('\r'))) {
            m_s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            m_s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        }
    }

    // After a start tag of an element whose content is text up to its end tag.
    void readRawText(const QString &endTagName, bool decodeReferences)
    {
        m_rawEnd = endTagName;
        m_rawDecode = decodeReferences;
    }
    void readRestAsText()
    {
        m_rawEnd = QStringLiteral("\x01");
        m_rawDecode = false;
    }

    Token next()
    {
        Token token;
        if (!m_rawEnd.isEmpty()) {
            token.kind = Token::Characters;
            token.text = rawText();
            m_rawEnd.clear();
            if (!token.text.isEmpty())
                return token;
        }
        const int n = int(m_s.size());
        while (m_i < n) {
            if (m_s.at(m_i) == QLatin1Char('<') && m_i + 1 < n) {
                const int before = m_i;
                if (readMarkup(token))
                    return token;
                if (m_i != before)
                    continue; // markup that makes no token, such as "</>"
            }
            return readText();
        }
        token.kind = Token::EndOfFile;
        return token;
    }

private:
    QString rawText()
    {
        const int n = int(m_s.size());
        int end = n;
        if (m_rawEnd != QLatin1String("\x01")) {
            const QString closing = QLatin1String("</") + m_rawEnd;
            for (int at = int(m_s.indexOf(closing, m_i, Qt::CaseInsensitive)); at >= 0;
                 at = int(m_s.indexOf(closing, at + 1, Qt::CaseInsensitive))) {
                const int after = at + int(closing.size());
                if (after < n
                    && (isSpace(m_s.at(after).unicode()) || m_s.at(after) == QLatin1Char('/')
                        || m_s.at(after) == QLatin1Char('>'))) {
                    end = at;
                    break;
                }
            }
        }
        const QStringView text = QStringView(m_s).mid(m_i, end - m_i);
        m_i = end;
        return m_rawDecode ? decoded(text, false) : text.toString().remove(QChar(0));
    }

    Token readText()
    {
        Token token;
        token.kind = Token::Characters;
        const int n = int(m_s.size());
        int start = m_i;
        // A '<' that opens no markup is text; the run goes on past it.
        int end = int(m_s.indexOf(QLatin1Char('<'), m_i + 1));
        while (end >= 0 && end + 1 < n && !opensMarkup(end))
            end = int(m_s.indexOf(QLatin1Char('<'), end + 1));
        if (end < 0 || end + 1 >= n)
            end = n;
        m_i = end;
        token.text = decoded(QStringView(m_s).mid(start, end - start), false);
        return token;
    }

    bool opensMarkup(int at) const
    {
        const QChar next = m_s.at(at + 1);
        return isAsciiLetter(next.unicode()) || next == QLatin1Char('/') || next == QLatin1Char('!')
            || next == QLatin1Char('?');
    }

    void skipPast(QChar c)
    {
        const int found = int(m_s.indexOf(c, m_i));
        m_i = found < 0 ? int(m_s.size()) : found + 1;
    }

    // Markup at m_i (a '<'); false when the '<' is text.
    bool readMarkup(Token &token)
    {
        const int n = int(m_s.size());
        const QChar next = m_s.at(m_i + 1);
        if (isAsciiLetter(next.unicode())) {
            m_i += 1;
            return readTag(token, Token::StartTag);
        }
        if (next == QLatin1Char('/')) {
            if (m_i + 2 < n && isAsciiLetter(m_s.at(m_i + 2).unicode())) {
                m_i += 2;
                return readTag(token, Token::EndTag);
            }
            if (m_i + 2 < n && m_s.at(m_i + 2) == QLatin1Char('>')) {
                m_i += 3; // "</>" is dropped
                return false;
            }
            return readBogusComment(token, m_i + 2);
        }
        if (next == QLatin1Char('!')) {
            const QStringView rest = QStringView(m_s).mid(m_i);
            if (rest.startsWith(QLatin1String("<!--")))
                return readComment(token);
            if (rest.startsWith(QLatin1String("<!doctype"), Qt::CaseInsensitive)) {
                m_i += 9;
                const int start = m_i;
                skipPast(QLatin1Char('>'));
                token.kind = Token::Doctype;
                token.text = m_s.mid(start, m_i - start);
                if (token.text.endsWith(QLatin1Char('>')))
                    token.text.chop(1);
                token.text = token.text.trimmed();
                const int nameEnd = int(token.text.indexOf(QLatin1Char(' ')));
                token.text.replace(0, nameEnd < 0 ? token.text.size() : nameEnd,
                    token.text.left(nameEnd < 0 ? token.text.size() : nameEnd).toLower());
                return true;
            }
            return readBogusComment(token, m_i + 2);
        }
        if (next == QLatin1Char('?'))
            return readBogusComment(token, m_i + 1);
        return false;
    }

    bool readBogusComment(Token &token, int start)
    {
        m_i = start;
        skipPast(QLatin1Char('>'));
        token.kind = Token::Comment;
        token.text = m_s.mid(start, m_i - start);
        if (token.text.endsWith(QLatin1Char('>')))
            token.text.chop(1);
        return true;
    }

    bool readComment(Token &token)
    {
        const int n = int(m_s.size());
        token.kind = Token::Comment;
        m_i += 4;
        // "<!-->" and "<!--->" are whole comments; others end at "-->" or "--!>".
        if (m_i < n && m_s.at(m_i) == QLatin1Char('>')) {
            ++m_i;
            return true;
        }
        if (m_i + 1 < n && m_s.at(m_i) == QLatin1Char('-') && m_s.at(m_i + 1) == QLatin1Char('>')) {
            m_i += 2;
            return true;
        }
        const int start = m_i;
        for (int k = int(m_s.indexOf(QLatin1String("--"), m_i)); k >= 0;
             k = int(m_s.indexOf(QLatin1String("--"), k + 1))) {
            if (k + 2 < n && m_s.at(k + 2) == QLatin1Char('>')) {
                token.text = m_s.mid(start, k - start);
                m_i = k + 3;
                return true;
            }
            if (k + 3 < n && m_s.at(k + 2) == QLatin1Char('!')
                && m_s.at(k + 3) == QLatin1Char('>')) {
                token.text = m_s.mid(start, k - start);
                m_i = k + 4;
                return true;
            }
        }
        token.text = m_s.mid(start);
        m_i = n;
        return true;
    }

    // A tag whose name starts at m_i, read as the HTML tokenizer reads it; false (and the rest of
    // the markup used up) when the markup ends inside the tag, which a browser then drops.
    bool readTag(Token &token, Token::Kind kind)
    {
        const int n = int(m_s.size());
        token.kind = kind;
        const int nameStart = m_i;
        while (m_i < n && !isSpace(m_s.at(m_i).unicode()) && m_s.at(m_i) != QLatin1Char('/')
            && m_s.at(m_i) != QLatin1Char('>'))
            ++m_i;
        token.name = m_s.mid(nameStart, m_i - nameStart).toLower();
        for (;;) {
            bool slash = false;
            while (m_i < n && (isSpace(m_s.at(m_i).unicode()) || m_s.at(m_i) == QLatin1Char('/'))) {
                slash = m_s.at(m_i) == QLatin1Char('/');
                ++m_i;
            }
            if (m_i >= n)
                return false;
            if (m_s.at(m_i) == QLatin1Char('>')) {
                ++m_i;
                token.selfClosing = slash;
                return true;
            }
            // A '=' that starts a name belongs to it.
            const int attributeStart = m_i++;
            while (m_i < n && !isSpace(m_s.at(m_i).unicode()) && m_s.at(m_i) != QLatin1Char('/')
                && m_s.at(m_i) != QLatin1Char('>') && m_s.at(m_i) != QLatin1Char('='))
                ++m_i;
            HtmlAttribute attribute;
            attribute.name = m_s.mid(attributeStart, m_i - attributeStart).toLower();
            int j = m_i;
            while (j < n && isSpace(m_s.at(j).unicode()))
                ++j;
            if (j < n && m_s.at(j) == QLatin1Char('=')) {
                ++j;
                while (j < n && isSpace(m_s.at(j).unicode()))
                    ++j;
                int valueStart = j;
                int valueEnd;
                if (j < n && (m_s.at(j) == QLatin1Char('"') || m_s.at(j) == QLatin1Char('\''))) {
                    valueStart = j + 1;
                    valueEnd = int(m_s.indexOf(m_s.at(j), valueStart));
                    if (valueEnd < 0) {
                        m_i = n;
                        return false;
                    }
                    m_i = valueEnd + 1;
                } else {
                    while (j < n && !isSpace(m_s.at(j).unicode()) && m_s.at(j) != QLatin1Char('>'))
                        ++j;
                    valueEnd = j;
                    m_i = j;
                }
                attribute.value
                    = decoded(QStringView(m_s).mid(valueStart, valueEnd - valueStart), true);
            }
            // The first of two attributes of the same name counts.
            bool repeated = false;
            for (const HtmlAttribute &earlier : std::as_const(token.attributes))
                repeated = repeated || earlier.name == attribute.name;
            if (!repeated && kind == Token::StartTag)
                token.attributes.append(attribute);
        }
    }

    QString m_s;
    int m_i = 0;
    QString m_rawEnd;
    bool m_rawDecode = false;
};

enum class Scope { Default, Button, ListItem, Table };

const int maximumDepth = 512;

} // namespace

class HtmlTreeBuilder
{
public:
    explicit HtmlTreeBuilder(const QString &html)
        : m_tokenizer(html)
    { }

    void build(HtmlTree *tree)
    {
        for (;;) {
            Token token = m_tokenizer.next();
            if (token.kind == Token::EndOfFile)
                break;
            process(token);
        }
        if (!m_html)
            startHtml({});
        if (!m_head)
            m_head = m_html->insertChild(0, HtmlNode::element(QStringLiteral("head")));
        if (!m_body)
            m_body = m_html->appendChild(HtmlNode::element(QStringLiteral("body")));
        tree->m_quirks = m_quirks;
        tree->m_html = std::move(m_html);
        tree->m_before = std::move(m_before);
        tree->m_after = std::move(m_after);
    }

private:
    enum Mode { Initial, BeforeHtml, BeforeHead, InHead, AfterHead, InBody };
    enum TableContext { NoTable, InTable, InTableBody, InRow, InCell, InCaption };

    HtmlNode *current() const { return m_stack.isEmpty() ? m_html.get() : m_stack.last(); }

    void process(Token &token)
    {
        switch (m_mode) {
        case Initial:
        case BeforeHtml:
            beforeHtml(token);
            return;
        case BeforeHead:
            beforeHead(token);
            return;
        case InHead:
            inHead(token);
            return;
        case AfterHead:
            afterHead(token);
            return;
        case InBody:
            inBody(token);
            return;
        }
    }

    // Leading white space of a text token that a mode passes over; true when nothing is left.
    static bool dropLeadingSpace(Token &token, QString *dropped = nullptr)
    {
        int i = 0;
        while (i < token.text.size() && isSpace(token.text.at(i).unicode()))
            ++i;
        if (dropped)
            *dropped = token.text.left(i);
        token.text.remove(0, i);
        return token.text.isEmpty();
    }

    void startHtml(const QVector<HtmlAttribute> &attributes)
    {
        m_html = HtmlNode::element(QStringLiteral("html"));
        m_html->attributes = attributes;
        m_stack = {m_html.get()};
        m_mode = BeforeHead;
    }

    void beforeHtml(Token &token)
    {
        if (token.kind == Token::Doctype) {
            if (m_mode == Initial) {
                m_quirks = !token.text.startsWith(QLatin1String("html"));
                m_before.push_back(HtmlNode::doctype(token.text));
            }
            m_mode = BeforeHtml;
            return;
        }
        m_mode = BeforeHtml;
        if (token.kind == Token::Comment) {
            m_before.push_back(HtmlNode::comment(token.text));
            return;
        }
        if (token.kind == Token::Characters && dropLeadingSpace(token))
            return;
        if (token.kind == Token::StartTag && token.name == QLatin1String("html")) {
            startHtml(token.attributes);
            return;
        }
        if (token.kind == Token::EndTag && !oneOf(token.name, {"head", "body", "html", "br"}))
            return;
        startHtml({});
        process(token);
    }

    void mergeAttributes(HtmlNode *node, const QVector<HtmlAttribute> &attributes)
    {
        for (const HtmlAttribute &attribute : attributes) {
            if (!node->hasAttribute(attribute.name))
                node->attributes.append(attribute);
        }
    }

    void beforeHead(Token &token)
    {
        if (token.kind == Token::Characters && dropLeadingSpace(token))
            return;
        if (token.kind == Token::Comment) {
            current()->appendChild(HtmlNode::comment(token.text));
            return;
        }
        if (token.kind == Token::Doctype)
            return;
        if (token.kind == Token::StartTag && token.name == QLatin1String("html")) {
            mergeAttributes(m_html.get(), token.attributes);
            return;
        }
        if (token.kind == Token::EndTag && !oneOf(token.name, {"head", "body", "html", "br"}))
            return;
        m_head = insertElement(QStringLiteral("head"), {});
        m_mode = InHead;
        if (token.kind == Token::StartTag && token.name == QLatin1String("head")) {
            m_head->attributes = token.attributes;
            return;
        }
        process(token);
    }

    // Elements that belong in the head; true when token was one of them and is done.
    bool headElement(Token &token)
    {
        if (token.kind != Token::StartTag)
            return false;
        if (oneOf(token.name, {"base", "basefont", "bgsound", "link", "meta"})) {
            insertVoid(token);
            return true;
        }
        if (oneOf(token.name, {"title", "style", "script", "noframes"})) {
            insertRaw(token);
            return true;
        }
        return false;
    }

    void insertRaw(const Token &token)
    {
        insertElement(token.name, token.attributes);
        m_tokenizer.readRawText(token.name,
            token.name == QLatin1String("title") || token.name == QLatin1String("textarea"));
        // Empty content reads as nothing: the token is then the end tag, or the end.
        Token text = m_tokenizer.next();
        if (text.kind == Token::Characters) {
            if (token.name == QLatin1String("textarea") && text.text.startsWith(QLatin1Char('\n')))
                text.text.remove(0, 1);
            appendText(text.text);
            m_closingRaw = token.name; // the end tag comes next, if there is one
        }
        m_stack.removeLast();
    }

    // What the head and the stretch after it take alike: leading white space (kept as text),
    // comments, doctypes and a repeated <html>. True when the token is used up.
    bool takenBesideHead(Token &token)
    {
        switch (token.kind) {
        case Token::Characters: {
            QString space;
            const bool done = dropLeadingSpace(token, &space);
            if (!space.isEmpty())
                appendText(space);
            return done;
        }
        case Token::Comment:
            current()->appendChild(HtmlNode::comment(token.text));
            return true;
        case Token::Doctype:
            return true;
        case Token::StartTag:
            if (token.name != QLatin1String("html"))
                return false;
            mergeAttributes(m_html.get(), token.attributes);
            return true;
        default:
            return false;
        }
    }

    void inHead(Token &token)
    {
        if (takenBesideHead(token))
            return;
        if (token.kind == Token::StartTag) {
            if (headElement(token) || token.name == QLatin1String("head"))
                return;
        } else if (token.kind == Token::EndTag) {
            if (endOfRaw(token))
                return;
            if (token.name == QLatin1String("head")) {
                m_stack.removeLast();
                m_mode = AfterHead;
                return;
            }
            if (!oneOf(token.name, {"body", "html", "br"}))
                return;
        }
        m_stack.removeLast();
        m_mode = AfterHead;
        process(token);
    }

    // The end tag of a raw-text element just read; true when token is it.
    bool endOfRaw(const Token &token)
    {
        const bool match = !m_closingRaw.isEmpty() && token.name == m_closingRaw;
        m_closingRaw.clear();
        return match;
    }

    void afterHead(Token &token)
    {
        if (takenBesideHead(token))
            return;
        if (token.kind == Token::StartTag) {
            if (token.name == QLatin1String("head"))
                return;
            if (token.name == QLatin1String("body") || token.name == QLatin1String("frameset")) {
                m_body = insertElement(QStringLiteral("body"), token.attributes);
                m_mode = InBody;
                return;
            }
            m_stack.append(m_head);
            const bool done = headElement(token);
            m_stack.removeOne(m_head);
            if (done)
                return;
        } else if (token.kind == Token::EndTag) {
            if (endOfRaw(token))
                return;
            if (!oneOf(token.name, {"body", "html", "br"}))
                return;
        }
        m_body = insertElement(QStringLiteral("body"), {});
        m_mode = InBody;
        process(token);
    }

    // Where a new node goes: the current node, or before the table when content turns up
    // where only table parts may be.
    void insertNode(std::unique_ptr<HtmlNode> node)
    {
        HtmlNode *target = current();
        if (m_fosterParenting && isTablePart(target)) {
            for (int i = int(m_stack.size()) - 1; i > 0; --i) {
                HtmlNode *table = m_stack.at(i);
                if (!table->is("table"))
                    continue;
                HtmlNode *parent = table->parent ? table->parent : m_stack.at(i - 1);
                const int index
                    = table->parent ? table->indexInParent() : int(parent->children.size());
                if (node->type == HtmlNode::Text && index > 0
                    && parent->children[size_t(index - 1)]->type == HtmlNode::Text) {
                    parent->children[size_t(index - 1)]->data += node->data;
                    return;
                }
                parent->insertChild(index, std::move(node));
                return;
            }
        }
        if (node->type == HtmlNode::Text && !target->children.empty()
            && target->children.back()->type == HtmlNode::Text) {
            target->children.back()->data += node->data;
            return;
        }
        target->appendChild(std::move(node));
    }

    HtmlNode *insertElement(const QString &name, const QVector<HtmlAttribute> &attributes,
        HtmlNode::Namespace ns = HtmlNode::Html)
    {
        // As deep as browsers nest: past that, elements become siblings, and nothing that
        // walks the tree can run out of stack.
        if (m_stack.size() >= maximumDepth)
            m_stack.removeLast();
        auto node = HtmlNode::element(name, ns);
        node->attributes = attributes;
        HtmlNode *element = node.get();
        insertNode(std::move(node));
        m_stack.append(element);
        return element;
    }

    void insertVoid(const Token &token)
    {
        insertElement(token.name, token.attributes);
        m_stack.removeLast();
    }

    void appendText(const QString &text)
    {
        if (!text.isEmpty())
            insertNode(HtmlNode::text(text));
    }

    static bool isTablePart(const HtmlNode *node)
    {
        return node->ns == HtmlNode::Html
            && oneOf(node->name, {"table", "tbody", "thead", "tfoot", "tr"});
    }

    bool inScope(const std::initializer_list<const char *> &names, Scope scope) const
    {
        for (int i = int(m_stack.size()) - 1; i >= 0; --i) {
            const HtmlNode *node = m_stack.at(i);
            if (node->ns == HtmlNode::Html && oneOf(node->name, names))
                return true;
            if (isScopeBoundary(node, scope))
                return false;
        }
        return false;
    }
    bool inScope(const QString &name, Scope scope) const
    {
        for (int i = int(m_stack.size()) - 1; i >= 0; --i) {
            const HtmlNode *node = m_stack.at(i);
            if (node->ns == HtmlNode::Html && node->name == name)
                return true;
            if (isScopeBoundary(node, scope))
                return false;
        }
        return false;
    }

    static bool isScopeBoundary(const HtmlNode *node, Scope scope)
    {
        if (node->ns == HtmlNode::Svg)
            return scope != Scope::Table && oneOf(node->name, {"foreignObject", "desc", "title"});
        if (node->ns == HtmlNode::MathMl)
            return scope != Scope::Table
                && oneOf(node->name, {"mi", "mo", "mn", "ms", "mtext", "annotation-xml"});
        if (oneOf(node->name, {"html", "table", "template"}))
            return true;
        if (scope == Scope::Table)
            return false;
        if (oneOf(node->name, {"applet", "caption", "td", "th", "marquee", "object"}))
            return true;
        return (scope == Scope::Button && node->name == QLatin1String("button"))
            || (scope == Scope::ListItem && oneOf(node->name, {"ol", "ul"}));
    }

    // Pops up to and including the element of one of names (HTML elements only).
    void popUntil(std::initializer_list<const char *> names)
    {
        while (m_stack.size() > 1) {
            HtmlNode *node = m_stack.takeLast();
            if (node->ns == HtmlNode::Html && oneOf(node->name, names))
                return;
        }
    }
    void popUntil(const QString &name)
    {
        while (m_stack.size() > 1) {
            HtmlNode *node = m_stack.takeLast();
            if (node->ns == HtmlNode::Html && node->name == name)
                return;
        }
    }
    // Pops while the current node is not one of names.
    void popTo(std::initializer_list<const char *> names)
    {
        while (m_stack.size() > 1
            && !(current()->ns == HtmlNode::Html && oneOf(current()->name, names)))
            m_stack.removeLast();
    }

    void generateImpliedEndTags(const QString &except = QString())
    {
        while (m_stack.size() > 1 && current()->ns == HtmlNode::Html && current()->name != except
            && oneOf(current()->name,
                {"dd", "dt", "li", "optgroup", "option", "p", "rb", "rp", "rt", "rtc"}))
            m_stack.removeLast();
    }

    static bool isFormatting(const QString &name)
    {
        return oneOf(name,
            {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong",
                "tt", "u"});
    }

    // Bold, italics, links and the like that a block closed around them are opened again for
    // the text after it, as browsers do: "<p><b>a<p>b" is bold in both paragraphs.
    void reconstructFormatting()
    {
        if (m_formatting.isEmpty() || !m_formatting.last() || m_stack.contains(m_formatting.last()))
            return;
        int i = int(m_formatting.size()) - 1;
        while (i > 0 && m_formatting.at(i - 1) && !m_stack.contains(m_formatting.at(i - 1)))
            --i;
        for (; i < m_formatting.size(); ++i) {
            const HtmlNode *closed = m_formatting.at(i);
            m_formatting[i] = insertElement(closed->name, closed->attributes);
        }
    }

    // Formatting opened inside a table cell stays there.
    void clearFormattingToMarker()
    {
        while (!m_formatting.isEmpty() && m_formatting.takeLast()) { }
    }

    void closeCell()
    {
        popUntil({"td", "th"});
        clearFormattingToMarker();
    }

    void closeParagraph()
    {
        if (inScope(QStringLiteral("p"), Scope::Button)) {
            generateImpliedEndTags(QStringLiteral("p"));
            popUntil(QStringLiteral("p"));
        }
    }

    TableContext tableContext() const
    {
        for (int i = int(m_stack.size()) - 1; i >= 0; --i) {
            const HtmlNode *node = m_stack.at(i);
            if (node->ns != HtmlNode::Html)
                continue;
            if (node->is("td") || node->is("th"))
                return InCell;
            if (node->is("tr"))
                return InRow;
            if (node->is("tbody") || node->is("thead") || node->is("tfoot"))
                return InTableBody;
            if (node->is("table"))
                return InTable;
            if (node->is("caption"))
                return InCaption;
            if (node->is("html") || node->is("template"))
                return NoTable;
        }
        return NoTable;
    }

    bool inForeignContent() const
    {
        const HtmlNode *node = current();
        if (node->ns == HtmlNode::Html)
            return false;
        if (node->ns == HtmlNode::Svg)
            return !oneOf(node->name, {"foreignObject", "desc", "title"});
        return !oneOf(node->name, {"mi", "mo", "mn", "ms", "mtext", "annotation-xml"});
    }

    static QString svgName(const QString &name)
    {
        static const char *const names[] = {"clipPath", "foreignObject", "linearGradient",
            "radialGradient", "textPath", "feGaussianBlur", "feOffset", "feMerge", "feMergeNode",
            "feColorMatrix", "feBlend", "feFlood", "feComposite"};
        for (const char *proper : names) {
            if (name.compare(QLatin1String(proper), Qt::CaseInsensitive) == 0)
                return QLatin1String(proper);
        }
        return name;
    }

    static void adjustSvgAttributes(QVector<HtmlAttribute> &attributes)
    {
        static const char *const names[]
            = {"viewBox", "preserveAspectRatio", "gradientUnits", "gradientTransform",
                "patternUnits", "patternTransform", "clipPathUnits", "stdDeviation", "textLength",
                "lengthAdjust", "markerWidth", "markerHeight", "refX", "refY"};
        for (HtmlAttribute &attribute : attributes) {
            for (const char *proper : names) {
                if (attribute.name.compare(QLatin1String(proper), Qt::CaseInsensitive) == 0)
                    attribute.name = QLatin1String(proper);
            }
        }
    }

    void foreignStartTag(Token &token)
    {
        static const std::initializer_list<const char *> breakout
            = {"b", "big", "blockquote", "body", "br", "center", "code", "dd", "div", "dl", "dt",
                "em", "embed", "h1", "h2", "h3", "h4", "h5", "h6", "head", "hr", "i", "img", "li",
                "listing", "menu", "meta", "nobr", "ol", "p", "pre", "ruby", "s", "small", "span",
                "strong", "strike", "sub", "sup", "table", "tt", "u", "ul", "var"};
        const bool fontBreakout = token.name == QLatin1String("font")
            && std::any_of(
                token.attributes.cbegin(), token.attributes.cend(), [](const HtmlAttribute &a) {
                    return oneOf(a.name, {"color", "face", "size"});
                });
        if (oneOf(token.name, breakout) || fontBreakout) {
            while (m_stack.size() > 1 && inForeignContent())
                m_stack.removeLast();
            inBody(token);
            return;
        }
        const HtmlNode::Namespace ns = current()->ns;
        QString name = token.name;
        if (ns == HtmlNode::Svg) {
            name = svgName(name);
            adjustSvgAttributes(token.attributes);
        }
        insertElement(name, token.attributes, ns);
        if (token.selfClosing)
            m_stack.removeLast();
    }

    void foreignEndTag(Token &token)
    {
        for (int i = int(m_stack.size()) - 1; i > 0; --i) {
            HtmlNode *node = m_stack.at(i);
            if (node->ns == HtmlNode::Html)
                break;
            if (node->name.compare(token.name, Qt::CaseInsensitive) == 0) {
                m_stack.resize(i);
                return;
            }
        }
        inBodyEndTag(token);
    }

    void inBody(Token &token)
    {
        switch (token.kind) {
        case Token::Characters:
            inBodyText(token.text);
            return;
        case Token::Comment:
            if (m_afterHtml)
                m_after.push_back(HtmlNode::comment(token.text));
            else if (m_afterBody)
                m_html->appendChild(HtmlNode::comment(token.text));
            else
                insertNode(HtmlNode::comment(token.text));
            return;
        case Token::Doctype:
        case Token::EndOfFile:
            return;
        case Token::StartTag:
            if (inForeignContent())
                foreignStartTag(token);
            else
                inBodyStartTag(token);
            return;
        case Token::EndTag:
            if (endOfRaw(token))
                return;
            if (inForeignContent())
                foreignEndTag(token);
            else
                inBodyEndTag(token);
            return;
        }
    }

    void inBodyText(QString text)
    {
        if (!isWhiteSpaceOnly(text))
            m_afterBody = m_afterHtml = false;
        if (m_skipNewline) {
            m_skipNewline = false;
            if (text.startsWith(QLatin1Char('\n')))
                text.remove(0, 1);
        }
        text.remove(QChar(0));
        const TableContext context = tableContext();
        const bool tableText = (context == InTable || context == InTableBody || context == InRow)
            && isTablePart(current());
        m_fosterParenting = tableText && !isWhiteSpaceOnly(text);
        if (!tableText || m_fosterParenting)
            reconstructFormatting();
        appendText(text);
        m_fosterParenting = false;
    }

    void inBodyStartTag(Token &token)
    {
        m_skipNewline = false;
        m_afterBody = m_afterHtml = false;
        const QString &name = token.name;
        const TableContext context = tableContext();
        if (context == InCell || context == InCaption) {
            if (oneOf(name,
                    {"caption", "col", "colgroup", "tbody", "td", "tfoot", "th", "thead", "tr"})) {
                if (context == InCell)
                    closeCell();
                else
                    popUntil({"caption"});
                inBody(token);
                return;
            }
        } else if (context != NoTable && tableStartTag(token, context)) {
            return;
        }
        m_fosterParenting = context == InTable || context == InTableBody || context == InRow;
        bodyStartTag(token);
        m_fosterParenting = false;
    }

    // A start tag where only table parts belong; false when it is other content.
    bool tableStartTag(Token &token, TableContext context)
    {
        const QString &name = token.name;
        if (name == QLatin1String("td") || name == QLatin1String("th")) {
            if (context == InTable) {
                popTo({"table"});
                insertElement(QStringLiteral("tbody"), {});
                insertElement(QStringLiteral("tr"), {});
            } else if (context == InTableBody) {
                popTo({"tbody", "thead", "tfoot"});
                insertElement(QStringLiteral("tr"), {});
            } else {
                popTo({"tr"});
            }
            insertElement(name, token.attributes);
            m_formatting.append(nullptr);
            return true;
        }
        if (name == QLatin1String("tr")) {
            if (context == InRow) {
                popUntil({"tr"});
                context = InTableBody;
            }
            if (context == InTable) {
                popTo({"table"});
                insertElement(QStringLiteral("tbody"), {});
            } else {
                popTo({"tbody", "thead", "tfoot"});
            }
            insertElement(name, token.attributes);
            return true;
        }
        if (oneOf(name, {"tbody", "thead", "tfoot", "caption", "colgroup"})) {
            popTo({"table"});
            insertElement(name, token.attributes);
            if (name == QLatin1String("caption"))
                m_formatting.append(nullptr);
            return true;
        }
        if (name == QLatin1String("col")) {
            popTo({"table"});
            insertElement(QStringLiteral("colgroup"), {});
            insertVoid(token);
            m_stack.removeLast();
            return true;
        }
        if (name == QLatin1String("table")) {
            popUntil({"table"});
            inBody(token);
            return true;
        }
        if (oneOf(name, {"style", "script", "template"})
            || (name == QLatin1String("input")
                && std::any_of(
                    token.attributes.cbegin(), token.attributes.cend(), [](const HtmlAttribute &a) {
                        return a.name == QLatin1String("type")
                            && a.value.compare(QLatin1String("hidden"), Qt::CaseInsensitive) == 0;
                    }))) {
            bodyStartTag(token);
            return true;
        }
        return false;
    }

    void bodyStartTag(Token &token)
    {
        const QString &name = token.name;
        if (name == QLatin1String("html")) {
            mergeAttributes(m_html.get(), token.attributes);
            return;
        }
        if (name == QLatin1String("body")) {
            if (m_body)
                mergeAttributes(m_body, token.attributes);
            return;
        }
        if (oneOf(name,
                {"head", "caption", "col", "colgroup", "frame", "tbody", "td", "tfoot", "th",
                    "thead", "tr"}))
            return;
        if (headElement(token))
            return;
        if (oneOf(name,
                {"address", "article", "aside", "blockquote", "center", "details", "dialog", "dir",
                    "div", "dl", "fieldset", "figcaption", "figure", "footer", "header", "hgroup",
                    "main", "menu", "nav", "ol", "p", "section", "summary", "ul", "form"})) {
            closeParagraph();
            insertElement(name, token.attributes);
            return;
        }
        if (oneOf(name, {"h1", "h2", "h3", "h4", "h5", "h6"})) {
            closeParagraph();
            if (oneOf(current()->name, {"h1", "h2", "h3", "h4", "h5", "h6"}))
                m_stack.removeLast();
            insertElement(name, token.attributes);
            return;
        }
        if (oneOf(name, {"pre", "listing"})) {
            closeParagraph();
            insertElement(name, token.attributes);
            m_skipNewline = true;
            return;
        }
        if (name == QLatin1String("li") || name == QLatin1String("dd")
            || name == QLatin1String("dt")) {
            for (int i = int(m_stack.size()) - 1; i > 0; --i) {
                const HtmlNode *node = m_stack.at(i);
                const bool same = name == QLatin1String("li") ? node->is("li")
                                                              : node->is("dd") || node->is("dt");
                if (same) {
                    generateImpliedEndTags(node->name);
                    popUntil(node->name);
                    break;
                }
                if (isSpecial(node) && !node->is("address") && !node->is("div") && !node->is("p"))
                    break;
            }
            closeParagraph();
            insertElement(name, token.attributes);
            return;
        }
        if (name == QLatin1String("plaintext")) {
            closeParagraph();
            insertElement(name, token.attributes);
            m_tokenizer.readRestAsText();
            return;
        }
        if (name == QLatin1String("button")) {
            if (inScope(name, Scope::Default)) {
                generateImpliedEndTags();
                popUntil(name);
            }
            reconstructFormatting();
            insertElement(name, token.attributes);
            return;
        }
        if (isFormatting(name)) {
            // A link inside a link closes the first.
            if ((name == QLatin1String("a") || name == QLatin1String("nobr"))
                && inScope(name, Scope::Default)) {
                closeFormatting(name);
            }
            reconstructFormatting();
            m_formatting.append(insertElement(name, token.attributes));
            return;
        }
        if (name == QLatin1String("table")) {
            if (!m_quirks)
                closeParagraph();
            insertElement(name, token.attributes);
            return;
        }
        if (oneOf(name,
                {"area", "br", "embed", "img", "keygen", "wbr", "input", "param", "source", "track",
                    "image"})) {
            if (!oneOf(name, {"param", "source", "track"}))
                reconstructFormatting();
            if (name == QLatin1String("image"))
                token.name = QStringLiteral("img");
            insertVoid(token);
            return;
        }
        if (name == QLatin1String("hr")) {
            closeParagraph();
            insertVoid(token);
            return;
        }
        if (name == QLatin1String("textarea")) {
            insertRaw(token);
            return;
        }
        if (oneOf(name, {"xmp", "iframe", "noembed"})) {
            if (name == QLatin1String("xmp"))
                closeParagraph();
            insertRaw(token);
            return;
        }
        if (name == QLatin1String("option") || name == QLatin1String("optgroup")) {
            if (current()->is("option"))
                m_stack.removeLast();
            if (name == QLatin1String("optgroup") && current()->is("optgroup"))
                m_stack.removeLast();
            insertElement(name, token.attributes);
            return;
        }
        if (oneOf(name, {"rb", "rp", "rt", "rtc"})) {
            if (inScope({"ruby"}, Scope::Default))
                generateImpliedEndTags(name == QLatin1String("rt") || name == QLatin1String("rp")
                        ? QStringLiteral("rtc")
                        : QString());
            insertElement(name, token.attributes);
            return;
        }
        if (name == QLatin1String("svg") || name == QLatin1String("math")) {
            reconstructFormatting();
            if (name == QLatin1String("svg"))
                adjustSvgAttributes(token.attributes);
            insertElement(name, token.attributes,
                name == QLatin1String("svg") ? HtmlNode::Svg : HtmlNode::MathMl);
            if (token.selfClosing)
                m_stack.removeLast();
            return;
        }
        if (oneOf(name, {"applet", "marquee", "object"})) {
            reconstructFormatting();
            insertElement(name, token.attributes);
            m_formatting.append(nullptr);
            return;
        }
        reconstructFormatting();
        insertElement(name, token.attributes);
    }

    // Closes the open formatting element of that name, unless a block stands between: then
    // the end tag is ignored. Either way it is not opened again.
    void closeFormatting(const QString &name)
    {
        for (int i = int(m_formatting.size()) - 1; i >= 0 && m_formatting.at(i); --i) {
            if (m_formatting.at(i)->name == name) {
                m_formatting.remove(i);
                break;
            }
        }
        for (int i = int(m_stack.size()) - 1; i > 0; --i) {
            HtmlNode *node = m_stack.at(i);
            if (node->ns == HtmlNode::Html && node->name == name) {
                m_stack.resize(i);
                return;
            }
            if (isSpecial(node))
                return;
        }
    }

    static bool isSpecial(const HtmlNode *node)
    {
        if (node->ns != HtmlNode::Html)
            return false;
        return oneOf(node->name,
            {"address", "applet", "area", "article", "aside", "base", "basefont", "bgsound",
                "blockquote", "body", "br", "button", "caption", "center", "col", "colgroup", "dd",
                "details", "dir", "div", "dl", "dt", "embed", "fieldset", "figcaption", "figure",
                "footer", "form", "frame", "frameset", "h1", "h2", "h3", "h4", "h5", "h6", "head",
                "header", "hgroup", "hr", "html", "iframe", "img", "input", "keygen", "li", "link",
                "listing", "main", "marquee", "menu", "meta", "nav", "noembed", "noframes",
                "noscript", "object", "ol", "p", "param", "plaintext", "pre", "script", "section",
                "select", "source", "style", "summary", "table", "tbody", "td", "template",
                "textarea", "tfoot", "th", "thead", "title", "tr", "track", "ul", "wbr", "xmp"});
    }

    // True when a table end tag was handled here.
    bool tableEndTag(const QString &name, TableContext context)
    {
        if (context == InCell) {
            if (name == QLatin1String("td") || name == QLatin1String("th")) {
                if (inScope(name, Scope::Table)) {
                    generateImpliedEndTags();
                    popUntil(name);
                    clearFormattingToMarker();
                }
                return true;
            }
            if (oneOf(name, {"body", "caption", "col", "colgroup", "html"}))
                return true;
            if (oneOf(name, {"table", "tbody", "tfoot", "thead", "tr"})) {
                if (inScope(name, Scope::Table)) {
                    closeCell();
                    Token again;
                    again.kind = Token::EndTag;
                    again.name = name;
                    inBodyEndTag(again);
                }
                return true;
            }
            return false;
        }
        if (context == InCaption) {
            if (name == QLatin1String("caption") || name == QLatin1String("table")) {
                popUntil({"caption"});
                if (name == QLatin1String("table"))
                    popUntil({"table"});
                return true;
            }
            return false;
        }
        if (name == QLatin1String("table")) {
            if (inScope(name, Scope::Table))
                popUntil({"table"});
            return true;
        }
        if (oneOf(name, {"tbody", "tfoot", "thead", "tr", "colgroup"})) {
            if (inScope(name, Scope::Table))
                popUntil(name);
            return true;
        }
        return oneOf(name, {"body", "caption", "col", "html", "td", "th"});
    }

    void inBodyEndTag(const Token &token)
    {
        m_skipNewline = false;
        const QString &name = token.name;
        const TableContext context = tableContext();
        if (context != NoTable && tableEndTag(name, context))
            return;
        if (name == QLatin1String("body") && inScope(name, Scope::Default)) {
            m_afterBody = true;
            return;
        }
        if (name == QLatin1String("html")) {
            m_afterBody = m_afterHtml = true;
            return;
        }
        if (name == QLatin1String("body"))
            return;
        if (name == QLatin1String("p")) {
            if (!inScope(name, Scope::Button))
                insertElement(name, {}); // "</p>" alone makes an empty paragraph
            generateImpliedEndTags(name);
            popUntil(name);
            return;
        }
        if (name == QLatin1String("br")) {
            Token br;
            br.kind = Token::StartTag;
            br.name = name;
            inBodyStartTag(br);
            return;
        }
        if (name == QLatin1String("li")) {
            if (inScope(name, Scope::ListItem)) {
                generateImpliedEndTags(name);
                popUntil(name);
            }
            return;
        }
        if (oneOf(name, {"h1", "h2", "h3", "h4", "h5", "h6"})) {
            if (inScope({"h1", "h2", "h3", "h4", "h5", "h6"}, Scope::Default)) {
                generateImpliedEndTags();
                popUntil({"h1", "h2", "h3", "h4", "h5", "h6"});
            }
            return;
        }
        if (isSpecial(current()) && current()->name == name) {
            m_stack.removeLast();
            return;
        }
        if (oneOf(name,
                {"address", "article", "aside", "blockquote", "button", "center", "details",
                    "dialog", "dir", "div", "dl", "fieldset", "figcaption", "figure", "footer",
                    "header", "hgroup", "listing", "main", "menu", "nav", "ol", "pre", "section",
                    "summary", "ul", "form", "dd", "dt", "applet", "marquee", "object"})) {
            if (inScope(name, Scope::Default)) {
                generateImpliedEndTags(name);
                popUntil(name);
            }
            return;
        }
        if (isFormatting(name)) {
            closeFormatting(name);
            return;
        }
        // Any other end tag closes the nearest open element of its name, unless a block or
        // other special element stands in between: then it is ignored.
        for (int i = int(m_stack.size()) - 1; i > 0; --i) {
            HtmlNode *node = m_stack.at(i);
            if (node->ns == HtmlNode::Html && node->name == name) {
                generateImpliedEndTags(name);
                m_stack.resize(i);
                return;
            }
            if (isSpecial(node))
                return;
        }
    }

    Tokenizer m_tokenizer;
    std::unique_ptr<HtmlNode> m_html;
    HtmlNode *m_head = nullptr;
    HtmlNode *m_body = nullptr;
    QVector<HtmlNode *> m_stack;
    Mode m_mode = Initial;
    bool m_quirks = true;
    bool m_skipNewline = false;
    bool m_fosterParenting = false;
    bool m_afterBody = false;
    bool m_afterHtml = false;
    // Formatting elements open, or closed by a block and due to be opened again; nullptr
    // marks the start of a table cell or caption.
    QVector<HtmlNode *> m_formatting;
    QString m_closingRaw;
    std::vector<std::unique_ptr<HtmlNode>> m_before;
    std::vector<std::unique_ptr<HtmlNode>> m_after;
};

HtmlTree::HtmlTree(const QString &html)
{
    HtmlTreeBuilder(html).build(this);
}

QString HtmlTree::toHtml() const
{
    QString out;
    for (const auto &node : m_before)
        node->writeHtml(out);
    m_html->writeHtml(out);
    for (const auto &node : m_after)
        node->writeHtml(out);
    return out;
}

HtmlNode *HtmlTree::head() const
{
    for (const auto &child : m_html->children) {
        if (child->is("head"))
            return child.get();
    }
    return nullptr;
}

HtmlNode *HtmlTree::body() const
{
    for (const auto &child : m_html->children) {
        if (child->is("body"))
            return child.get();
    }
    return nullptr;
}
