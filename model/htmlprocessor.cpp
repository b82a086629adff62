#include "model/htmlprocessor.h"

#include "model/htmlsanitizer.h"
#include "model/pagenetworkaccessmanager.h"
#include "model/urls.h"

#include <QUrl>
#include <QVector>
#include <QWebElement>
#include <QWebElementCollection>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

HtmlProcessor::HtmlProcessor(const QString &html)
    : m_page(std::make_unique<QWebPage>())
{
    // Page content is only read and edited here, never run: scripts stored in a page must not
    // execute each time a preview or an export is made, and nothing is fetched from the web.
    // The edits below go through the DOM, which needs no script of its own.
    m_page->setNetworkAccessManager(PageNetworkAccessManager::instance());
    QWebSettings *settings = m_page->settings();
    settings->setAttribute(QWebSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebSettings::AutoLoadImages, false);
    setHtml(html);
}

HtmlProcessor::~HtmlProcessor() = default;

void HtmlProcessor::setHtml(const QString &html)
{
    // The document itself is loaded at once; only outside resources would arrive later. What
    // could load or run is left out before the engine sees it.
    m_page->mainFrame()->setHtml(HtmlSanitizer::clean(html), QUrl());
}

QString HtmlProcessor::toHtml() const
{
    return m_page->mainFrame()->toHtml();
}

QString HtmlProcessor::toPlainText() const
{
    return m_page->mainFrame()->toPlainText();
}

namespace {

bool isTag(const QWebElement &element, const char *name)
{
    return element.tagName().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// The table an element belongs to directly, not one around that table.
QWebElement enclosingTable(QWebElement element)
{
    for (element = element.parent(); !element.isNull() && !isTag(element, "table");
         element = element.parent()) { }
    return element;
}

// A block that shows text exactly as given, line breaks and spaces included, set apart from
// what comes before and after by a blank line as a paragraph is.
void replaceByText(QWebElement element, const QString &text)
{
    element.replace(
        QStringLiteral("<p style=\"white-space: pre\">%1</p>").arg(text.toHtmlEscaped()));
}

QString tableText(const QWebElement &table)
{
    QVector<QStringList> rows;
    QVector<bool> headerRows;
    QVector<int> widths;
    for (const QWebElement &row : table.findAll(QStringLiteral("tr"))) {
        if (enclosingTable(row) != table)
            continue;
        QStringList cells;
        bool header = true;
        for (QWebElement cell = row.firstChild(); !cell.isNull(); cell = cell.nextSibling()) {
            if (!isTag(cell, "td") && !isTag(cell, "th"))
                continue;
            header = header && isTag(cell, "th");
            cells << cell.toPlainText().simplified();
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
            for (int width : qAsConst(widths))
                rules << QString(qMax(width, 1), QLatin1Char('-'));
            lines << (QStringLiteral("|-") + rules.join(QLatin1String("-|-"))
                + QStringLiteral("-|"));
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QString HtmlProcessor::toReadableText()
{
    QWebElement document = m_page->mainFrame()->documentElement();
    for (QWebElement box : document.findAll(QStringLiteral("input[type=checkbox]")))
        box.replace(box.hasAttribute(QStringLiteral("checked")) ? QStringLiteral("[x] ")
                                                                 : QStringLiteral("[ ] "));
    for (QWebElement item : document.findAll(QStringLiteral("li"))) {
        const QWebElement list = item.parent();
        int depth = 0;
        for (QWebElement e = list.parent(); !e.isNull(); e = e.parent())
            depth += isTag(e, "ul") || isTag(e, "ol");
        QString marker;
        if (isTag(list, "ol")) {
            int number = list.hasAttribute(QStringLiteral("start"))
                ? list.attribute(QStringLiteral("start")).toInt()
                : 1;
            for (QWebElement e = item.previousSibling(); !e.isNull(); e = e.previousSibling())
                number += isTag(e, "li");
            marker = QStringLiteral("%1. ").arg(number);
        } else if (!list.hasClass(QStringLiteral("checklist"))) {
            marker = QStringLiteral("- ");
        }
        // No-break spaces: an indent of ordinary ones would fold away.
        item.prependInside(QString(depth * 2, QChar(0xa0)) + marker.toHtmlEscaped());
    }
    // A blank line after each outer list, as after a paragraph.
    for (QWebElement list : document.findAll(QStringLiteral("ul, ol"))) {
        bool outer = true;
        for (QWebElement e = list.parent(); !e.isNull() && outer; e = e.parent())
            outer = !isTag(e, "ul") && !isTag(e, "ol");
        if (outer)
            list.appendOutside(QStringLiteral("<br>"));
    }
    for (int level = 1; level <= 6; ++level) {
        for (QWebElement heading : document.findAll(QStringLiteral("h%1").arg(level)))
            heading.prependInside(QString(level, QLatin1Char('#')) + QLatin1Char(' '));
    }
    for (QWebElement code : document.findAll(QStringLiteral("pre"))) {
        QString text = code.toPlainText();
        while (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        replaceByText(code, QStringLiteral("```\n%1\n```").arg(text));
    }
    for (QWebElement rule : document.findAll(QStringLiteral("hr")))
        replaceByText(rule, QString(40, QLatin1Char('-')));
    // Inner tables and quotes first, so that the outer ones take their text as laid out.
    const QWebElementCollection tables = document.findAll(QStringLiteral("table"));
    for (int i = tables.count() - 1; i >= 0; --i)
        replaceByText(tables.at(i), tableText(tables.at(i)));
    const QWebElementCollection quotes = document.findAll(QStringLiteral("blockquote"));
    for (int i = quotes.count() - 1; i >= 0; --i) {
        QStringList lines = quotes.at(i).toPlainText().trimmed().split(QLatin1Char('\n'));
        for (QString &line : lines)
            line.prepend(line.isEmpty() ? QStringLiteral(">") : QStringLiteral("> "));
        replaceByText(quotes.at(i), lines.join(QLatin1Char('\n')));
    }
    return toPlainText().replace(QChar(0xa0), QLatin1Char(' '));
}

QString HtmlProcessor::disableCheckboxes()
{
    for (QWebElement box :
        m_page->mainFrame()->documentElement().findAll(QStringLiteral("input[type=checkbox]")))
        box.setAttribute(QStringLiteral("disabled"), QStringLiteral("disabled"));
    return toHtml();
}

QString HtmlProcessor::internalLinkSelector() const
{
    return QStringLiteral("a[href^='%1']").arg(QLatin1String(pageUrlPrefix));
}

QString HtmlProcessor::unlinkInternalLinks()
{
    const QWebElementCollection links
        = m_page->mainFrame()->documentElement().findAll(internalLinkSelector());
    // replace() parses markup: the link's text is escaped so that a text such as "<img ...>"
    // stays text instead of becoming an element.
    for (QWebElement link : links)
        link.replace(link.toPlainText().toHtmlEscaped());
    return toHtml();
}

QString HtmlProcessor::rewriteInternalLinks(const QMap<QString, QString> &fileNames)
{
    const QWebElementCollection links
        = m_page->mainFrame()->documentElement().findAll(internalLinkSelector());
    for (QWebElement link : links) {
        QString href = link.attribute(QStringLiteral("href"));
        if (href.isEmpty())
            href = link.findFirst(QStringLiteral("a")).attribute(QStringLiteral("href"));
        const QString fileName = fileNames.value(pageIdFromUrl(href));
        if (!fileName.isEmpty())
            link.setAttribute(QStringLiteral("href"), QStringLiteral("./") + fileName);
    }
    return toHtml();
}

void HtmlProcessor::removeAll(const QString &selector)
{
    // Done through the DOM rather than a jQuery statement: the offscreen page loads no jQuery,
    // so such a statement would fail and leave every element in place.
    const QWebElementCollection elements = m_page->mainFrame()->documentElement().findAll(selector);
    for (QWebElement element : elements)
        element.removeFromDocument();
}

QString HtmlProcessor::removeScripts()
{
    removeAll(QStringLiteral("script"));
    return toHtml();
}

QString HtmlProcessor::removeStylesheets()
{
    // "~=" also catches "alternate stylesheet", which a browser still offers to apply.
    removeAll(QStringLiteral("link[rel~='stylesheet']"));
    return toHtml();
}

QString HtmlProcessor::declareUtf8()
{
    QWebElement document = m_page->mainFrame()->documentElement();
    removeAll(QStringLiteral("meta[charset]"));
    const QWebElementCollection equivalents = document.findAll(QStringLiteral("meta[http-equiv]"));
    for (QWebElement meta : equivalents) {
        if (meta.attribute(QStringLiteral("http-equiv")).trimmed().toLower()
            == QLatin1String("content-type"))
            meta.removeFromDocument();
    }
    // The engine parses no markup straight into the head, so the element is made in the body
    // and moved. A reader takes the first declaration it finds, so it leads the head.
    QWebElement body = document.findFirst(QStringLiteral("body"));
    body.appendInside(QStringLiteral("<meta charset=\"utf-8\">"));
    document.findFirst(QStringLiteral("head")).prependInside(body.lastChild());
    return toHtml();
}

QString HtmlProcessor::setTitleAndStyle(const QString &title, const QString &css)
{
    QWebElement document = m_page->mainFrame()->documentElement();
    removeAll(QStringLiteral("title"));
    // Made in the body and moved, as above; the texts go in as text, never as markup.
    QWebElement head = document.findFirst(QStringLiteral("head"));
    QWebElement body = document.findFirst(QStringLiteral("body"));
    body.appendInside(QStringLiteral("<title></title>"));
    QWebElement titleElement = body.lastChild();
    titleElement.setPlainText(title);
    head.prependInside(titleElement);
    body.appendInside(QStringLiteral("<style></style>"));
    QWebElement style = body.lastChild();
    style.setPlainText(css);
    head.appendInside(style);
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
