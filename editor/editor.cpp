#include "editor/editor.h"

#include "app/mainwindow.h"
#include "editor/jspagecontroller.h"
#include "editor/webpage.h"
#include "model/page.h"
#include "model/urls.h"

#include <QKeyEvent>
#include <QWebElement>
#include <QWebElementCollection>
#include <QWebFrame>
#include <QWebSettings>

namespace {

// jQuery comes first, then the page script, then jQuery UI: the page script only binds its
// handlers when the document is ready, by which time jQuery UI is there as well.
const QString pageTemplate = QStringLiteral(
    R"html(<!DOCTYPE html><html><head><link rel="stylesheet" href="qrc:///css/style.css"></link><link rel='stylesheet' href='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.css'></link><link rel='stylesheet' href='qrc:///css/jquery-ui.override.css'></link><script type="text/javascript" src="qrc:///js/jquery.min.js"></script><script type="text/javascript" src="qrc:///js/velmora.js"></script><script type='text/javascript' src='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.js'></script></head><body>${pageContent}</body></html>)html");

const QString contentToken = QStringLiteral("${pageContent}");

QString welcomeDocument()
{
    return QStringLiteral("<html><body style='text-align: center;'><p style='font-size: 22px; "
                          "margin-top: 40px; margin-bottom: 50px;'>Welcome to Velmora</p><p><a "
                          "href='")
        + commandUrl(NewWikiCommand)
        + QStringLiteral("'>Create a new wiki</a></p><p style='font-size: 16px;'>or</p><p><a "
                         "href='")
        + commandUrl(OpenWikiCommand)
        + QStringLiteral("'>Open an existing wiki</a></p></body></html>");
}

QString protectedPagePlaceholder()
{
    return QStringLiteral("<html><body style='text-align: center;'><p style='font-size: 16px; "
                          "margin-top: 40px; margin-bottom: 50px;'>This page is protected with a "
                          "<a href='")
        + commandUrl(UnlockPageCommand) + QStringLiteral("'>password</a>.</p></body></html>");
}

} // namespace

Editor::Editor(MainWindow *mainWindow, QWidget *parent)
    : QWebView(parent)
    , m_mainWindow(mainWindow)
    , m_controller(new JsPageController(this))
{
    setObjectName(QStringLiteral("Editor"));
    setStyleSheet(QStringLiteral("#Editor { background: #ffffff; border: none; }"));

    // Owned by the view, so that it goes with it; the view itself only deletes pages it made.
    auto *webPage = new WebPage(this);
    setPage(webPage);
    webPage->setContentEditable(true);
    webPage->setLinkDelegationPolicy(QWebPage::DelegateAllLinks);

    QWebSettings *settings = QWebSettings::globalSettings();
    settings->setFontFamily(QWebSettings::StandardFont, QStringLiteral("Roboto Regular"));
    settings->setFontSize(QWebSettings::DefaultFontSize, 18);
    settings->setAttribute(QWebSettings::PluginsEnabled, false);

    connect(this, &QWebView::loadFinished, this, &Editor::onLoadFinished);
    connectSignals();
}

void Editor::loadPage(Page *page)
{
    if (!page) {
        unloadPage();
        setPageHtml(QString());
        return;
    }
    m_pendingPageIds.clear();
    m_currentPage = page;
    const bool locked = page->isLocked();
    if (locked) {
        showProtectedPagePlaceholder();
    } else {
        // Only the template's own token is replaced; the page's text is not searched again.
        QString html = pageTemplate;
        html.replace(html.indexOf(contentToken), contentToken.size(), page->content());
        setPageHtml(html);
        m_shown = Shown::PageDocument;
    }
    setEditable(!locked);
}

void Editor::unloadPage()
{
    m_currentPage = nullptr;
    m_pendingPageIds.clear();
    m_shown = Shown::Nothing;
    setEditable(false);
}

void Editor::showWelcomePage()
{
    unloadPage();
    setPageHtml(welcomeDocument());
    m_shown = Shown::WelcomeDocument;
}

void Editor::showProtectedPagePlaceholder()
{
    setPageHtml(protectedPagePlaceholder());
    m_shown = Shown::ProtectedPlaceholder;
}

void Editor::setPageHtml(const QString &html)
{
    // A document set from outside is no page's own; loadPage() says so after setting one.
    m_shown = Shown::Nothing;
    QWebFrame *frame = page()->mainFrame();
    frame->setHtml(html, QUrl());
    // Loading a document clears the window object, the bridge with it.
    frame->addToJavaScriptWindowObject(
        QStringLiteral("page"), m_controller, QWebFrame::QtOwnership);
}

QString Editor::bodyHtml() const
{
    return page()->mainFrame()->findFirstElement(QStringLiteral("body")).toInnerXml();
}

bool Editor::isLoading() const
{
    // The template's scripts come from the resources asynchronously and the body is parsed only
    // after them: until then the body is empty or partial.
    return page()->mainFrame()->evaluateJavaScript(QStringLiteral("document.readyState")).toString()
        == QLatin1String("loading");
}

void Editor::updatePageContent()
{
    // The placeholder and the welcome document must never end up as a page's content, nor
    // must a body that has not been parsed whole.
    if (!m_currentPage || m_shown != Shown::PageDocument || isLoading())
        return;
    evaluateJavaScript(QStringLiteral("cleanupBeforeSaveContent()"));
    m_currentPage->setContent(bodyHtml());
    m_currentPage->setModified(true);
}

void Editor::connectSignals()
{
    connect(page(), &QWebPage::contentsChanged, this, &Editor::onPageContentsChanged,
        Qt::UniqueConnection);
    if (m_mainWindow)
        connect(page(), &QWebPage::linkClicked, m_mainWindow, &MainWindow::onLinkClicked,
            Qt::UniqueConnection);
}

void Editor::disconnectSignals()
{
    disconnect(page(), &QWebPage::contentsChanged, this, &Editor::onPageContentsChanged);
    if (m_mainWindow)
        disconnect(page(), &QWebPage::linkClicked, m_mainWindow, &MainWindow::onLinkClicked);
}

void Editor::setEditable(bool editable)
{
    page()->setContentEditable(editable);
}

QVariant Editor::evaluateJavaScript(const QString &script)
{
    return page()->mainFrame()->evaluateJavaScript(script);
}

QString Editor::toHtml() const
{
    return page()->mainFrame()->toHtml();
}

QString Editor::toPlainText() const
{
    return page()->mainFrame()->toPlainText();
}

void Editor::removeBrokenLinks(const QStringList &pageIds)
{
    if (!m_currentPage || pageIds.isEmpty() || m_shown != Shown::PageDocument)
        return;
    if (isLoading())
        m_pendingPageIds = pageIds;
    else
        removeBrokenLinksNow(pageIds);
}

void Editor::removeBrokenLinksNow(const QStringList &pageIds)
{
    const QWebElementCollection links = page()->mainFrame()->documentElement().findAll(
        QStringLiteral("a[href^='%1']").arg(QLatin1String(pageUrlPrefix)));
    int removed = 0;
    for (QWebElement link : links) {
        if (pageIds.contains(pageIdFromUrl(link.attribute(QStringLiteral("href")))))
            continue;
        // replace() parses markup: the text is escaped so that a link reading "<img ...>"
        // stays words instead of becoming an element.
        link.replace(link.toPlainText().toHtmlEscaped());
        ++removed;
    }
    // Committed at once, so that the page that is marked modified also holds the cleaned
    // markup, and a save without further edits does not write the broken links back.
    if (removed > 0)
        updatePageContent();
}

void Editor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_mainWindow)
        m_mainWindow->onHideSearchResults();
    QWebView::keyPressEvent(event);
}

void Editor::dropEvent(QDropEvent *event)
{
    if (m_mainWindow && m_mainWindow->onEditorReceivedDropEvent(event))
        return;
    QWebView::dropEvent(event);
}

void Editor::onLoadFinished(bool)
{
    if (m_pendingPageIds.isEmpty() || isLoading())
        return;
    const QStringList pageIds = m_pendingPageIds;
    m_pendingPageIds.clear();
    removeBrokenLinksNow(pageIds);
}

void Editor::onPageContentsChanged()
{
    updatePageContent();
}
