#include "model/htmlprocessor.h"

#include "model/htmlsanitizer.h"
#include "model/pagenetworkaccessmanager.h"
#include "model/urls.h"

#include <QUrl>
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
