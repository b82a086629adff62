#pragma once

#include <QMap>
#include <QString>

#include <memory>

class QWebPage;

// An offscreen web page that loads a page's HTML fragment, edits it as a document and hands it
// back as HTML or as the plain text the web engine renders. GUI thread only.
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
    QString internalLinkSelector() const;
    void removeAll(const QString &selector);

    std::unique_ptr<QWebPage> m_page;
};
