#include "model/htmlnode.h"

#include <algorithm>

namespace {

bool isVoid(const HtmlNode &node)
{
    static const char *const names[] = {"area", "base", "basefont", "bgsound", "br", "col", "embed",
        "frame", "hr", "img", "input", "keygen", "link", "meta", "param", "source", "track", "wbr"};
    if (node.ns != HtmlNode::Html)
        return false;
    for (const char *name : names) {
        if (node.name == QLatin1String(name))
            return true;
    }
    return false;
}

// Text in these elements is not markup, so it is written as it stands.
bool holdsRawText(const HtmlNode *node)
{
    return node && node->ns == HtmlNode::Html
        && (node->name == QLatin1String("script") || node->name == QLatin1String("style")
            || node->name == QLatin1String("xmp") || node->name == QLatin1String("iframe")
            || node->name == QLatin1String("noembed") || node->name == QLatin1String("noframes")
            || node->name == QLatin1String("plaintext"));
}

// Attribute values escape '<' and '>' as well: a value that reads like a tag must stay inert
// for any later reader of the file, not only for one that knows where quoted values end.
void escape(QString &out, const QString &text, bool attribute)
{
    // Pictures are kept as data: addresses hundreds of kB long with nothing to escape.
    const auto plain = [attribute](QChar c) {
        const char16_t u = c.unicode();
        return u != '&' && u != '<' && u != '>' && u != 0xa0 && !(attribute && u == '"');
    };
    if (std::all_of(text.cbegin(), text.cend(), plain)) {
        out += text;
        return;
    }
    out.reserve(out.size() + text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case 0xa0:
            out += QLatin1String("&nbsp;");
            break;
        case '"':
            if (attribute) {
                out += QLatin1String("&quot;");
                break;
            }
            Q_FALLTHROUGH();
        default:
            out += c;
        }
    }
}

void collect(
    HtmlNode &node, const std::function<bool(const HtmlNode &)> &test, QVector<HtmlNode *> &found)
{
    for (const auto &child : node.children) {
        if (child->type != HtmlNode::Element)
            continue;
        if (test(*child))
            found << child.get();
        collect(*child, test, found);
    }
}

} // namespace

std::unique_ptr<HtmlNode> HtmlNode::element(const QString &name, Namespace ns)
{
    auto node = std::make_unique<HtmlNode>();
    node->name = name;
    node->ns = ns;
    return node;
}

std::unique_ptr<HtmlNode> HtmlNode::text(const QString &data)
{
    auto node = std::make_unique<HtmlNode>();
    node->type = Text;
    node->data = data;
    return node;
}

std::unique_ptr<HtmlNode> HtmlNode::comment(const QString &data)
{
    auto node = std::make_unique<HtmlNode>();
    node->type = Comment;
    node->data = data;
    return node;
}

std::unique_ptr<HtmlNode> HtmlNode::doctype(const QString &data)
{
    auto node = std::make_unique<HtmlNode>();
    node->type = Doctype;
    node->data = data;
    return node;
}

bool HtmlNode::hasAttribute(const QString &attributeName) const
{
    for (const HtmlAttribute &attribute : attributes) {
        if (attribute.name == attributeName)
            return true;
    }
    return false;
}

QString HtmlNode::attribute(const QString &attributeName) const
{
    for (const HtmlAttribute &attribute : attributes) {
        if (attribute.name == attributeName)
            return attribute.value;
    }
    return QString();
}

void HtmlNode::setAttribute(const QString &attributeName, const QString &value)
{
    for (HtmlAttribute &attribute : attributes) {
        if (attribute.name == attributeName) {
            attribute.value = value;
            return;
        }
    }
    attributes.append({attributeName, value});
}

HtmlNode *HtmlNode::appendChild(std::unique_ptr<HtmlNode> child)
{
    return insertChild(int(children.size()), std::move(child));
}

HtmlNode *HtmlNode::insertChild(int index, std::unique_ptr<HtmlNode> child)
{
    child->parent = this;
    return children.insert(children.begin() + index, std::move(child))->get();
}

int HtmlNode::indexInParent() const
{
    if (!parent)
        return -1;
    for (size_t i = 0; i < parent->children.size(); ++i) {
        if (parent->children[i].get() == this)
            return int(i);
    }
    return -1;
}

std::unique_ptr<HtmlNode> HtmlNode::take()
{
    const int index = indexInParent();
    if (index < 0)
        return nullptr;
    std::unique_ptr<HtmlNode> self = std::move(parent->children[size_t(index)]);
    parent->children.erase(parent->children.begin() + index);
    self->parent = nullptr;
    return self;
}

HtmlNode *HtmlNode::replaceWith(std::unique_ptr<HtmlNode> node)
{
    HtmlNode *const oldParent = parent;
    const int index = indexInParent();
    node->parent = oldParent;
    HtmlNode *const placed = node.get();
    oldParent->children[size_t(index)] = std::move(node); // destroys this node
    return placed;
}

QVector<HtmlNode *> HtmlNode::findAll(const std::function<bool(const HtmlNode &)> &test)
{
    QVector<HtmlNode *> found;
    collect(*this, test, found);
    return found;
}

QVector<HtmlNode *> HtmlNode::findAll(const char *tagName)
{
    return findAll([tagName](const HtmlNode &node) { return node.is(tagName); });
}

HtmlNode *HtmlNode::findFirst(const char *tagName)
{
    for (const auto &child : children) {
        if (child->is(tagName))
            return child.get();
        if (HtmlNode *found = child->findFirst(tagName))
            return found;
    }
    return nullptr;
}

QString HtmlNode::outerHtml() const
{
    QString out;
    writeHtml(out);
    return out;
}

void HtmlNode::writeHtml(QString &out) const
{
    switch (type) {
    case Text:
        if (holdsRawText(parent))
            out += data;
        else
            escape(out, data, false);
        return;
    case Comment:
        out += QLatin1String("<!--");
        out += data;
        out += QLatin1String("-->");
        return;
    case Doctype:
        out += QLatin1String("<!DOCTYPE ");
        out += data;
        out += QLatin1Char('>');
        return;
    case Element:
        break;
    }
    out += QLatin1Char('<');
    out += name;
    for (const HtmlAttribute &attribute : attributes) {
        out += QLatin1Char(' ');
        out += attribute.name;
        out += QLatin1String("=\"");
        escape(out, attribute.value, true);
        out += QLatin1Char('"');
    }
    out += QLatin1Char('>');
    if (isVoid(*this))
        return;
    for (const auto &child : children)
        child->writeHtml(out);
    out += QLatin1String("</");
    out += name;
    out += QLatin1Char('>');
}
