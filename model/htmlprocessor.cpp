#include "model/htmlprocessor.h"

#include "model/htmlsanitizer.h"
#include "model/htmltree.h"
#include "model/urls.h"

#include <QStringList>
#include <QVector>

#include <utility>

namespace {

bool oneOf(const QString &name, std::initializer_list<const char *> names)
{
    for (const char *candidate : names) {
        if (name == QLatin1String(candidate))
            return true;
    }
    return false;
}

bool isCollapsible(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r';
}

bool isHeading(const HtmlNode &node)
{
    return node.ns == HtmlNode::Html && node.name.size() == 2 && node.name.at(0) == QLatin1Char('h')
        && node.name.at(1) >= QLatin1Char('1') && node.name.at(1) <= QLatin1Char('6');
}

// How an element takes part in the page's layout, as far as its plain text goes.
enum class Display {
    None, // not shown, nor anything in it
    Inline,
    Block,
    RowGroup, // table sections: neither lines nor cells of their own
    Row,
    Cell,
    Leaf, // shown, but its content is not text of the page (pictures, controls, frames)
};

enum class WhiteSpace { Collapse, PreserveNewlines, Preserve };

// The value of one property in an inline style, lower case; empty when it is not set.
QString styleValue(const HtmlNode &element, QLatin1String property)
{
    if (!element.hasAttribute(QStringLiteral("style")))
        return QString();
    const QString style = element.attribute(QStringLiteral("style"));
    QString value;
    for (const QString &declaration : style.split(QLatin1Char(';'))) {
        const int colon = declaration.indexOf(QLatin1Char(':'));
        if (colon > 0
            && declaration.left(colon).trimmed().compare(property, Qt::CaseInsensitive) == 0) {
            value = declaration.mid(colon + 1).trimmed().toLower();
            value.remove(QLatin1String("!important"));
            value = value.trimmed();
        }
    }
    return value;
}

Display displayOf(const HtmlNode &element)
{
    if (element.ns != HtmlNode::Html)
        return element.name == QLatin1String("svg") ? Display::Leaf : Display::Inline;
    if (element.hasAttribute(QStringLiteral("hidden")))
        return Display::None;
    const QString styled = styleValue(element, QLatin1String("display"));
    if (styled == QLatin1String("none"))
        return Display::None;
    const QString &name = element.name;
    const bool leaf = oneOf(name,
        {"img", "input", "select", "textarea", "iframe", "embed", "object", "video", "audio",
            "keygen", "meter", "progress", "canvas", "applet", "frame"});
    if (leaf) {
        if (name == QLatin1String("input")
            && element.attribute(QStringLiteral("type"))
                    .compare(QLatin1String("hidden"), Qt::CaseInsensitive)
                == 0)
            return Display::None;
        return Display::Leaf;
    }
    if (oneOf(styled, {"block", "list-item", "table", "flex", "grid", "table-caption"}))
        return Display::Block;
    if (oneOf(styled, {"inline", "inline-block", "inline-flex", "inline-grid", "inline-table"}))
        return Display::Inline;
    if (styled == QLatin1String("table-row"))
        return Display::Row;
    if (styled == QLatin1String("table-cell"))
        return Display::Cell;
    if (oneOf(name,
            {"head", "script", "style", "title", "meta", "link", "base", "basefont", "datalist",
                "noembed", "noframes", "param", "template", "area", "rp", "col", "colgroup"}))
        return Display::None;
    if (oneOf(name,
            {"html", "body", "address", "article", "aside", "blockquote", "center", "dd", "details",
                "dialog", "dir", "div", "dl", "dt", "fieldset", "figcaption", "figure", "footer",
                "form", "frameset", "h1", "h2", "h3", "h4", "h5", "h6", "header", "hgroup", "hr",
                "legend", "listing", "main", "menu", "nav", "ol", "p", "plaintext", "pre",
                "section", "summary", "ul", "xmp", "li", "table", "caption"}))
        return Display::Block;
    if (name == QLatin1String("tr"))
        return Display::Row;
    if (name == QLatin1String("td") || name == QLatin1String("th"))
        return Display::Cell;
    if (oneOf(name, {"thead", "tbody", "tfoot"}))
        return Display::RowGroup;
    return Display::Inline;
}

WhiteSpace whiteSpaceOf(const HtmlNode &element, WhiteSpace inherited)
{
    const QString styled = styleValue(element, QLatin1String("white-space"));
    if (styled == QLatin1String("pre") || styled == QLatin1String("pre-wrap")
        || styled == QLatin1String("break-spaces"))
        return WhiteSpace::Preserve;
    if (styled == QLatin1String("pre-line"))
        return WhiteSpace::PreserveNewlines;
    if (styled == QLatin1String("normal") || styled == QLatin1String("nowrap"))
        return WhiteSpace::Collapse;
    if (element.ns == HtmlNode::Html
        && oneOf(element.name, {"pre", "listing", "xmp", "plaintext", "textarea"}))
        return WhiteSpace::Preserve;
    return inherited;
}

bool isBlockLevel(Display display)
{
    return display == Display::Block || display == Display::Row || display == Display::Cell
        || display == Display::RowGroup;
}

// Elements the engine counts as replaced when it walks the text: nothing of their own is
// written, but they count as something shown on the line.
bool isReplaced(const HtmlNode &element)
{
    return element.ns == HtmlNode::Html
        && oneOf(element.name,
            {"img", "input", "select", "textarea", "button", "fieldset", "legend", "meter",
                "progress", "iframe", "embed", "object", "video", "audio", "keygen", "output",
                "applet"});
}

// Whether the engine makes a box for a text node: white space alone between blocks, at the
// start of a block or after a line break is dropped before layout.
bool isRenderedText(
    const HtmlNode &text, const HtmlNode &parent, Display parentDisplay, WhiteSpace whiteSpace)
{
    if (parentDisplay == Display::RowGroup || parentDisplay == Display::Row
        || (parent.ns == HtmlNode::Html && parent.name == QLatin1String("table")))
        return false;
    bool spaceOnly = true;
    for (const QChar c : text.data) {
        if (!isCollapsible(c) && c != QLatin1Char('\f')) {
            spaceOnly = false;
            break;
        }
    }
    if (!spaceOnly || whiteSpace != WhiteSpace::Collapse)
        return true;
    // The nearest earlier sibling that has a box.
    const HtmlNode *previous = nullptr;
    Display previousDisplay = Display::None;
    for (int i = text.indexInParent() - 1; i >= 0 && !previous; --i) {
        const HtmlNode *sibling = parent.children[size_t(i)].get();
        if (sibling->type == HtmlNode::Comment)
            continue;
        if (sibling->type == HtmlNode::Element) {
            previousDisplay = displayOf(*sibling);
            if (previousDisplay != Display::None)
                previous = sibling;
        } else if (isRenderedText(*sibling, parent, parentDisplay, whiteSpace)) {
            previous = sibling;
            previousDisplay = Display::Inline;
        }
    }
    if (previous && previous->is("br"))
        return false;
    if (parentDisplay == Display::Inline)
        return !previous || !isBlockLevel(previousDisplay);
    return previous && !isBlockLevel(previousDisplay);
}

// The text a browser gives for a document or an element (its innerText): text as laid out,
// white space folded as it shows, a line break for each block and <br>, a blank line after
// paragraphs and headings, and a tab between table cells.
class PlainTextWriter
{
public:
    explicit PlainTextWriter(const HtmlNode *documentElement)
    {
        findLastRendered(documentElement, WhiteSpace::Collapse);
    }

    QString text(const HtmlNode *root)
    {
        m_out.clear();
        m_lastChar = 0;
        m_hasEmitted = false;
        m_seenText = false;
        m_pendingSpace = false;
        m_lineStart = true;
        // Whether the last rendered node of the document lies before root, so that nothing
        // rendered follows anything inside it.
        m_passedLast = !m_last || (!contains(root, m_last) && precedes(m_last, root));
        WhiteSpace whiteSpace = WhiteSpace::Collapse;
        QVector<const HtmlNode *> ancestors;
        for (const HtmlNode *node = root; node; node = node->parent)
            ancestors.prepend(node);
        for (const HtmlNode *node : std::as_const(ancestors)) {
            if (node->type == HtmlNode::Element)
                whiteSpace = whiteSpaceOf(*node, whiteSpace);
        }
        writeChildren(*root, displayOf(*root), whiteSpace);
        return m_out;
    }

private:
    static bool contains(const HtmlNode *ancestor, const HtmlNode *node)
    {
        for (; node; node = node->parent) {
            if (node == ancestor)
                return true;
        }
        return false;
    }

    // Document order of two nodes, neither inside the other.
    static bool precedes(const HtmlNode *a, const HtmlNode *b)
    {
        QVector<const HtmlNode *> pathA, pathB;
        for (; a; a = a->parent)
            pathA.prepend(a);
        for (; b; b = b->parent)
            pathB.prepend(b);
        int i = 0;
        while (i < pathA.size() && i < pathB.size() && pathA.at(i) == pathB.at(i))
            ++i;
        if (i == 0 || i >= pathA.size() || i >= pathB.size())
            return false;
        return pathA.at(i)->indexInParent() < pathB.at(i)->indexInParent();
    }

    void findLastRendered(const HtmlNode *element, WhiteSpace whiteSpace)
    {
        const Display display = displayOf(*element);
        if (display == Display::None)
            return;
        m_last = element;
        if (display == Display::Leaf)
            return;
        whiteSpace = whiteSpaceOf(*element, whiteSpace);
        for (const auto &child : element->children) {
            if (child->type == HtmlNode::Element)
                findLastRendered(child.get(), whiteSpace);
            else if (child->type == HtmlNode::Text
                && isRenderedText(*child, *element, display, whiteSpace))
                m_last = child.get();
        }
    }

    void put(QChar c)
    {
        m_out += c;
        m_lastChar = c.unicode();
        m_hasEmitted = true;
    }

    // Content is about to be placed on the line: a space folded before it shows, unless the
    // line has only just begun.
    void placeContent()
    {
        if (m_pendingSpace && !m_lineStart)
            put(QLatin1Char(' '));
        m_pendingSpace = false;
        m_lineStart = false;
    }

    void endLine()
    {
        m_pendingSpace = false;
        m_lineStart = true;
    }

    void writeText(const HtmlNode &text, WhiteSpace whiteSpace)
    {
        for (const QChar c : text.data) {
            if (whiteSpace == WhiteSpace::Preserve) {
                placeContent();
                put(c);
                m_lineStart = c == QLatin1Char('\n');
            } else if (c == QLatin1Char('\n') && whiteSpace == WhiteSpace::PreserveNewlines) {
                put(c);
                endLine();
            } else if (isCollapsible(c)) {
                m_pendingSpace = true;
            } else {
                placeContent();
                put(c);
            }
        }
    }

    void writeChildren(const HtmlNode &element, Display display, WhiteSpace whiteSpace)
    {
        for (const auto &child : element.children) {
            if (child->type == HtmlNode::Element) {
                writeElement(*child, whiteSpace);
            } else if (child->type == HtmlNode::Text
                && isRenderedText(*child, element, display, whiteSpace)) {
                if (child.get() == m_last)
                    m_passedLast = true;
                m_seenText = true;
                writeText(*child, whiteSpace);
            }
        }
    }

    void writeElement(const HtmlNode &element, WhiteSpace whiteSpace)
    {
        const Display display = displayOf(element);
        if (display == Display::None)
            return;
        if (&element == m_last)
            m_passedLast = true;
        whiteSpace = whiteSpaceOf(element, whiteSpace);
        const bool blockBox = (display == Display::Block || display == Display::Row)
            && !element.is("body") && !element.is("html");
        // Before a picture or a control, the engine writes a space that text left folded,
        // even at the start of a line; one right after them it drops.
        if (element.is("br")) {
            put(QLatin1Char('\n'));
            endLine();
            return;
        }
        if (isReplaced(element)) {
            if (m_pendingSpace)
                put(QLatin1Char(' '));
            m_pendingSpace = false;
            m_lineStart = true;
            m_hasEmitted = true;
            m_lastChar = 0;
        } else if (display == Display::Cell) {
            if (m_hasEmitted && m_lastChar != '\n')
                put(QLatin1Char('\t'));
        } else if (blockBox && m_hasEmitted && m_lastChar != '\n') {
            put(QLatin1Char('\n'));
        }
        if (isBlockLevel(display))
            endLine();
        if (display == Display::Leaf)
            return;
        writeChildren(element, display, whiteSpace);
        if (isBlockLevel(display))
            endLine();
        // The engine looks back at an element as it leaves its last child, and only when that
        // child has a box of its own.
        if (!blockBox || element.children.empty() || !m_hasEmitted || !m_seenText || m_passedLast)
            return;
        const HtmlNode &last = *element.children.back();
        const bool lastRendered = last.type == HtmlNode::Element
            ? displayOf(last) != Display::None
            : last.type == HtmlNode::Text && isRenderedText(last, element, display, whiteSpace);
        if (!lastRendered)
            return;
        // Paragraphs and headings have a bottom margin of at least half their font size: a
        // blank line stands for it.
        const bool margin = element.is("p") || isHeading(element);
        if (m_lastChar != '\n')
            put(QLatin1Char('\n'));
        else if (!margin)
            return;
        if (margin)
            put(QLatin1Char('\n'));
    }

    const HtmlNode *m_last = nullptr;
    QString m_out;
    char16_t m_lastChar = 0;
    bool m_hasEmitted = false;
    bool m_seenText = false;
    bool m_pendingSpace = false;
    bool m_lineStart = true;
    bool m_passedLast = false;
};

QString plainText(const HtmlTree &tree, const HtmlNode *root)
{
    return PlainTextWriter(tree.documentElement()).text(root);
}

QString textContent(const HtmlNode &node)
{
    if (node.type == HtmlNode::Text)
        return node.data;
    QString text;
    for (const auto &child : node.children)
        text += textContent(*child);
    return text;
}

bool isCheckbox(const HtmlNode &node)
{
    return node.is("input")
        && node.attribute(QStringLiteral("type"))
               .compare(QLatin1String("checkbox"), Qt::CaseInsensitive)
        == 0;
}

bool isInternalLink(const HtmlNode &node)
{
    return node.is("a") && node.hasAttribute(QStringLiteral("href"))
        && node.attribute(QStringLiteral("href")).startsWith(QLatin1String(pageUrlPrefix));
}

// The table an element belongs to directly, not one around that table.
const HtmlNode *enclosingTable(const HtmlNode *element)
{
    for (element = element->parent; element && !element->is("table"); element = element->parent) { }
    return element;
}

std::unique_ptr<HtmlNode> elementWithText(const QString &name, const QString &text)
{
    auto element = HtmlNode::element(name);
    if (!text.isEmpty())
        element->appendChild(HtmlNode::text(text));
    return element;
}

// A block that shows text exactly as given, line breaks and spaces included, set apart from
// what comes before and after by a blank line as a paragraph is.
void replaceByText(HtmlNode *element, const QString &text)
{
    auto paragraph = elementWithText(QStringLiteral("p"), text);
    paragraph->setAttribute(QStringLiteral("style"), QStringLiteral("white-space: pre"));
    element->replaceWith(std::move(paragraph));
}

QString tableText(const HtmlTree &tree, HtmlNode *table)
{
    PlainTextWriter writer(tree.documentElement());
    QVector<QStringList> rows;
    QVector<bool> headerRows;
    QVector<int> widths;
    for (const HtmlNode *row : table->findAll("tr")) {
        if (enclosingTable(row) != table)
            continue;
        QStringList cells;
        bool header = true;
        for (const auto &cell : row->children) {
            if (!cell->is("td") && !cell->is("th"))
                continue;
            header = header && cell->is("th");
            cells << writer.text(cell.get()).simplified();
            if (widths.size() < cells.size())
                widths << 0;
            widths[cells.size() - 1] = qMax(widths.at(cells.size() - 1), int(cells.last().size()));
        }
        rows << cells;
        headerRows << (header && !cells.isEmpty());
    }
    QStringList lines;
    for (int r = 0; r < rows.size(); ++r) {
        QStringList padded;
        for (int c = 0; c < widths.size(); ++c)
            padded << rows.at(r).value(c).leftJustified(widths.at(c));
        lines << (QStringLiteral("| ") + padded.join(QLatin1String(" | ")) + QStringLiteral(" |"));
        if (headerRows.at(r)) {
            QStringList rules;
            for (int width : std::as_const(widths))
                rules << QString(qMax(width, 1), QLatin1Char('-'));
            lines << (QStringLiteral("|-") + rules.join(QLatin1String("-|-"))
                + QStringLiteral("-|"));
        }
    }
    return lines.join(QLatin1Char('\n'));
}

void removeAll(const QVector<HtmlNode *> &nodes)
{
    // Inner ones first, so that no node is used after an outer one took it away.
    for (int i = int(nodes.size()) - 1; i >= 0; --i)
        nodes.at(i)->take();
}

} // namespace

HtmlProcessor::HtmlProcessor(const QString &html)
{
    setHtml(html);
}

HtmlProcessor::~HtmlProcessor() = default;

void HtmlProcessor::setHtml(const QString &html)
{
    // What could load or run is left out first, as for every view of a page.
    m_tree = std::make_unique<HtmlTree>(HtmlSanitizer::clean(html));
}

QString HtmlProcessor::toHtml() const
{
    return m_tree->toHtml();
}

QString HtmlProcessor::toPlainText() const
{
    return plainText(*m_tree, m_tree->documentElement());
}

QString HtmlProcessor::toReadableText()
{
    HtmlNode *document = m_tree->documentElement();
    for (HtmlNode *box : document->findAll(isCheckbox))
        box->replaceWith(
            HtmlNode::text(box->hasAttribute(QStringLiteral("checked")) ? QStringLiteral("[x] ")
                                                                        : QStringLiteral("[ ] ")));
    for (HtmlNode *item : document->findAll("li")) {
        const HtmlNode *list = item->parent;
        int depth = 0;
        for (const HtmlNode *e = list->parent; e; e = e->parent)
            depth += e->is("ul") || e->is("ol");
        QString marker;
        if (list->is("ol")) {
            int number = list->hasAttribute(QStringLiteral("start"))
                ? list->attribute(QStringLiteral("start")).toInt()
                : 1;
            for (int i = item->indexInParent() - 1; i >= 0; --i)
                number += list->children[size_t(i)]->is("li");
            marker = QStringLiteral("%1. ").arg(number);
        } else if (!list->attribute(QStringLiteral("class"))
                        .split(QLatin1Char(' '), Qt::SkipEmptyParts)
                        .contains(QLatin1String("checklist"))) {
            marker = QStringLiteral("- ");
        }
        // No-break spaces: an indent of ordinary ones would fold away.
        const QString prefix = QString(depth * 2, QChar(0xa0)) + marker;
        if (!prefix.isEmpty())
            item->insertChild(0, HtmlNode::text(prefix));
    }
    // A blank line after each outer list, as after a paragraph.
    for (HtmlNode *list :
        document->findAll([](const HtmlNode &n) { return n.is("ul") || n.is("ol"); })) {
        bool outer = true;
        for (const HtmlNode *e = list->parent; e && outer; e = e->parent)
            outer = !e->is("ul") && !e->is("ol");
        if (outer)
            list->parent->insertChild(
                list->indexInParent() + 1, HtmlNode::element(QStringLiteral("br")));
    }
    for (HtmlNode *heading : document->findAll([](const HtmlNode &n) { return isHeading(n); }))
        heading->insertChild(0,
            HtmlNode::text(
                QString(heading->name.at(1).digitValue(), QLatin1Char('#')) + QLatin1Char(' ')));
    const auto outerPre = [](const HtmlNode &n) {
        if (!n.is("pre"))
            return false;
        for (const HtmlNode *e = n.parent; e; e = e->parent) {
            if (e->is("pre"))
                return false; // goes with the outer one
        }
        return true;
    };
    for (HtmlNode *code : document->findAll(outerPre)) {
        QString text = plainText(*m_tree, code);
        while (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        replaceByText(code, QStringLiteral("```\n%1\n```").arg(text));
    }
    for (HtmlNode *rule : document->findAll("hr"))
        replaceByText(rule, QString(40, QLatin1Char('-')));
    // Inner tables and quotes first, so that the outer ones take their text as laid out.
    const QVector<HtmlNode *> tables = document->findAll("table");
    for (int i = int(tables.size()) - 1; i >= 0; --i)
        replaceByText(tables.at(i), tableText(*m_tree, tables.at(i)));
    const QVector<HtmlNode *> quotes = document->findAll("blockquote");
    for (int i = int(quotes.size()) - 1; i >= 0; --i) {
        QStringList lines = plainText(*m_tree, quotes.at(i)).trimmed().split(QLatin1Char('\n'));
        for (QString &line : lines)
            line.prepend(line.isEmpty() ? QStringLiteral(">") : QStringLiteral("> "));
        replaceByText(quotes.at(i), lines.join(QLatin1Char('\n')));
    }
    return toPlainText().replace(QChar(0xa0), QLatin1Char(' '));
}

QString HtmlProcessor::disableCheckboxes()
{
    for (HtmlNode *box : m_tree->documentElement()->findAll(isCheckbox))
        box->setAttribute(QStringLiteral("disabled"), QStringLiteral("disabled"));
    return toHtml();
}

QString HtmlProcessor::unlinkInternalLinks()
{
    // A link can sit inside another through a table cell: inner ones go first, so that no
    // link is used after an outer one took it away.
    const QVector<HtmlNode *> links = m_tree->documentElement()->findAll(isInternalLink);
    for (auto it = links.crbegin(); it != links.crend(); ++it) {
        HtmlNode *link = *it;
        // The text goes in as a text node: "<img ...>" in a link's text stays text. White
        // space at either end of the link stays too, or its words would run into the next.
        QString text = plainText(*m_tree, link);
        const QString raw = textContent(*link);
        if (!text.isEmpty() && !raw.isEmpty() && isCollapsible(raw.front()))
            text.prepend(QLatin1Char(' '));
        if (!text.isEmpty() && !raw.isEmpty() && isCollapsible(raw.back()))
            text.append(QLatin1Char(' '));
        if (text.isEmpty())
            link->take();
        else
            link->replaceWith(HtmlNode::text(text));
    }
    return toHtml();
}

QString HtmlProcessor::rewriteInternalLinks(const QMap<QString, QString> &fileNames)
{
    for (HtmlNode *link : m_tree->documentElement()->findAll(isInternalLink)) {
        const QString fileName
            = fileNames.value(pageIdFromUrl(link->attribute(QStringLiteral("href"))));
        if (!fileName.isEmpty())
            link->setAttribute(QStringLiteral("href"), QStringLiteral("./") + fileName);
    }
    return toHtml();
}

QString HtmlProcessor::removeScripts()
{
    removeAll(m_tree->documentElement()->findAll("script"));
    return toHtml();
}

QString HtmlProcessor::removeStylesheets()
{
    // Any "stylesheet" among the link's kinds: "alternate stylesheet" is still offered by
    // browsers to apply.
    removeAll(m_tree->documentElement()->findAll([](const HtmlNode &n) {
        return n.is("link")
            && n.attribute(QStringLiteral("rel"))
                   .toLower()
                   .simplified()
                   .split(QLatin1Char(' '))
                   .contains(QLatin1String("stylesheet"));
    }));
    return toHtml();
}

QString HtmlProcessor::declareUtf8()
{
    removeAll(m_tree->documentElement()->findAll([](const HtmlNode &n) {
        return n.is("meta")
            && (n.hasAttribute(QStringLiteral("charset"))
                || (n.hasAttribute(QStringLiteral("http-equiv"))
                    && n.attribute(QStringLiteral("http-equiv")).trimmed().toLower()
                        == QLatin1String("content-type")));
    }));
    // A reader takes the first declaration it finds, so it leads the head.
    auto meta = HtmlNode::element(QStringLiteral("meta"));
    meta->setAttribute(QStringLiteral("charset"), QStringLiteral("utf-8"));
    m_tree->head()->insertChild(0, std::move(meta));
    return toHtml();
}

QString HtmlProcessor::setTitleAndStyle(const QString &title, const QString &css)
{
    removeAll(m_tree->documentElement()->findAll("title"));
    HtmlNode *head = m_tree->head();
    head->insertChild(0, elementWithText(QStringLiteral("title"), title));
    head->appendChild(elementWithText(QStringLiteral("style"), css));
    return toHtml();
}

QString HtmlProcessor::htmlToPlainText(const QString &html)
{
    return HtmlProcessor(html).toPlainText();
}

QString HtmlProcessor::htmlToReadableText(const QString &html)
{
    return HtmlProcessor(html).toReadableText();
}

QString HtmlProcessor::unlinkInternalLinks(const QString &html)
{
    return HtmlProcessor(html).unlinkInternalLinks();
}

QString HtmlProcessor::rewriteInternalLinks(
    const QString &html, const QMap<QString, QString> &fileNames)
{
    return HtmlProcessor(html).rewriteInternalLinks(fileNames);
}

QString HtmlProcessor::removeScripts(const QString &html)
{
    return HtmlProcessor(html).removeScripts();
}

QString HtmlProcessor::removeStylesheets(const QString &html)
{
    return HtmlProcessor(html).removeStylesheets();
}
