#pragma once

#include "model/htmlnode.h"

#include <QString>

#include <memory>
#include <vector>

// A page's HTML read into a document tree the way a browser's parser builds one: always an
// <html> element with a <head> and a <body>; end tags that HTML implies (paragraphs, list
// items, table rows and cells) closed where a browser closes them; void elements without
// content; scripts and style sheets read as raw text; character references decoded. Misnested
// inline end tags are simply closed or ignored rather than re-opened, which the editor's own
// (always well-formed) markup never needs. Any thread.
class HtmlTree final
{
public:
    explicit HtmlTree(const QString &html);

    HtmlNode *documentElement() const { return m_html.get(); }
    HtmlNode *head() const;
    HtmlNode *body() const;
    // A document without a doctype is read as browsers read one in quirks mode.
    bool quirksMode() const { return m_quirks; }

    // The whole document: the doctype and comments around <html> included.
    QString toHtml() const;

private:
    friend class HtmlTreeBuilder;
    std::unique_ptr<HtmlNode> m_html;
    std::vector<std::unique_ptr<HtmlNode>> m_before;
    std::vector<std::unique_ptr<HtmlNode>> m_after;
    bool m_quirks = true;
};
