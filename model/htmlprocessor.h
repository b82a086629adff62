#pragma once

#include <QMap>
#include <QString>

#include <memory>

class HtmlTree;

// Reads a page's HTML fragment into a document tree, edits it and hands it back as HTML or as
// the plain text a browser shows for it (blocks on lines of their own, paragraphs and headings
// followed by a blank line, table cells apart by tabs). Nothing in the page runs or is fetched.
// Any thread.
class HtmlProcessor final
{
public:
    explicit HtmlProcessor(const QString &html);
    ~HtmlProcessor();
    HtmlProcessor(const HtmlProcessor &) = delete;
    HtmlProcessor &operator=(const HtmlProcessor &) = delete;

    void setHtml(const QString &html);
    QString toHtml() const;
    QString toPlainText() const;
    // The text as a plain-text file shows it: headings marked "# ", "## ", "### ", list items
    // "- " or numbered, checklist items "[ ]" or "[x]", code between lines of three backquotes,
    // quotes with "> ", rules as a line of dashes and tables as aligned columns. Edits the
    // document.
    QString toReadableText();

    // Each edit below returns the document's HTML after the edit.

    // Replaces every link to another page with the link's text.
    QString unlinkInternalLinks();
    // Points links to the pages in fileNames (page identifier to file name) at "./<file name>";
    // links to other pages keep their internal address.
    QString rewriteInternalLinks(const QMap<QString, QString> &fileNames);
    QString removeScripts();
    QString removeStylesheets();
    // Puts <meta charset="utf-8"> first in the head and drops every other declaration of the
    // encoding, for a document that is written out as UTF-8.
    QString declareUtf8();
    // Checkboxes (of checklists) are shown but cannot be changed.
    QString disableCheckboxes();
    // Gives the document title as its only title and css as a style element after its own.
    QString setTitleAndStyle(const QString &title, const QString &css);

    // One-shot forms: a processor built on html runs the one operation.
    static QString htmlToPlainText(const QString &html);
    static QString htmlToReadableText(const QString &html);
    static QString unlinkInternalLinks(const QString &html);
    static QString rewriteInternalLinks(
        const QString &html, const QMap<QString, QString> &fileNames);
    static QString removeScripts(const QString &html);
    static QString removeStylesheets(const QString &html);

private:
    std::unique_ptr<HtmlTree> m_tree;
};
