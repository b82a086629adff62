#pragma once

#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

struct HtmlAttribute
{
    QString name; // lower case for HTML elements
    QString value; // decoded
};

// One node of a parsed HTML document: an element with its attributes and children, a run of
// text, a comment or the doctype. Text and values are held decoded; outerHtml() writes them back
// escaped, so a value or a text that reads like markup stays what it is. A node owns its children.
class HtmlNode final
{
public:
    enum Type { Element, Text, Comment, Doctype };
    enum Namespace { Html, Svg, MathMl };

    static std::unique_ptr<HtmlNode> element(const QString &name, Namespace ns = Html);
    static std::unique_ptr<HtmlNode> text(const QString &data);
    static std::unique_ptr<HtmlNode> comment(const QString &data);
    static std::unique_ptr<HtmlNode> doctype(const QString &data);

    Type type = Element;
    Namespace ns = Html;
    QString name; // elements only
    QString data; // text, comments and what follows "<!DOCTYPE "
    QVector<HtmlAttribute> attributes;
    HtmlNode *parent = nullptr;
    std::vector<std::unique_ptr<HtmlNode>> children;

    // An HTML element of that (lower-case) name.
    bool is(QLatin1String tagName) const
    {
        return type == Element && ns == Html && name == tagName;
    }
    bool is(const char *tagName) const { return is(QLatin1String(tagName)); }
    bool hasAttribute(const QString &attributeName) const;
    QString attribute(const QString &attributeName) const;
    void setAttribute(const QString &attributeName, const QString &value);

    HtmlNode *appendChild(std::unique_ptr<HtmlNode> child);
    HtmlNode *insertChild(int index, std::unique_ptr<HtmlNode> child);
    // Takes the node out of its parent.
    std::unique_ptr<HtmlNode> take();
    // Puts node where this one was; this one is destroyed.
    HtmlNode *replaceWith(std::unique_ptr<HtmlNode> node);
    int indexInParent() const;

    // Descendant elements in document order (this one not included) for which test is true.
    QVector<HtmlNode *> findAll(const std::function<bool(const HtmlNode &)> &test);
    QVector<HtmlNode *> findAll(const char *tagName);
    HtmlNode *findFirst(const char *tagName);

    // The node as markup, escaped the way the HTML serializer escapes.
    QString outerHtml() const;
    void writeHtml(QString &out) const;
};
