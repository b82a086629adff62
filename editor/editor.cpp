#include "editor/editor.h"

#include "editor/editoractions.h"
#include "editor/imagefile.h"
#include "editor/jspagecontroller.h"
#include "editor/pictureinliner.h"
#include "editor/webpage.h"
#include "model/htmlsanitizer.h"
#include "model/page.h"
#include "model/pagenetworkaccessmanager.h"
#include "model/urls.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QUndoStack>
#include <QUuid>
#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

namespace {

// jQuery comes first, then the page script, then jQuery UI: the page script only binds its
// handlers when the document is ready, by which time jQuery UI is there as well.
const QString pageTemplate = QStringLiteral(
    R"html(<!DOCTYPE html><html><head><link rel="stylesheet" href="qrc:///css/style.css"></link><link rel='stylesheet' href='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.css'></link><link rel='stylesheet' href='qrc:///css/jquery-ui.override.css'></link><script type="text/javascript" src="qrc:///js/jquery.min.js"></script><script type="text/javascript" src="qrc:///js/velmora.js"></script><script type='text/javascript' src='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.js'></script></head><body>${pageContent}</body></html>)html");

const QString contentToken = QStringLiteral("${pageContent}");

// The documents without the page script still tell the window about Escape.
const QString escapeScript = QStringLiteral(
    "<script>document.addEventListener('keydown', function (e) {"
    " if (e.keyCode === 27) page.escapePressed(); });</script>");

QString welcomeDocument(const QString &protectedWiki)
{
    QString lastWiki;
    if (!protectedWiki.isEmpty()) {
        lastWiki = QStringLiteral("<p style='font-size: 16px; margin-top: 40px;'>")
            + Editor::tr("The wiki you had open last, \"%1\", is protected with a password.")
                  .arg(protectedWiki.toHtmlEscaped())
            + QStringLiteral("</p><p><a href='") + commandUrl(OpenLastWikiCommand)
            + QStringLiteral("'>") + Editor::tr("Open \"%1\"").arg(protectedWiki.toHtmlEscaped())
            + QStringLiteral("</a></p>");
    }
    return QStringLiteral("<html><body style='text-align: center;'><p style='font-size: 22px; "
                          "margin-top: 40px; margin-bottom: 50px;'>Welcome to Velmora</p><p><a "
                          "href='")
        + commandUrl(NewWikiCommand)
        + QStringLiteral("'>Create a new wiki</a></p><p style='font-size: 16px;'>or</p><p><a "
                         "href='")
        + commandUrl(OpenWikiCommand) + QStringLiteral("'>Open an existing wiki</a></p>") + lastWiki
        + escapeScript + QStringLiteral("</body></html>");
}

QString protectedPagePlaceholder()
{
    return QStringLiteral("<html><body style='text-align: center;'><p style='font-size: 16px; "
                          "margin-top: 40px; margin-bottom: 50px;'>This page is protected with a "
                          "<a href='")
        + commandUrl(UnlockPageCommand) + QStringLiteral("'>password</a>.</p>") + escapeScript
        + QStringLiteral("</body></html>");
}

// text as a script string literal: JSON's escaping is valid script and covers quotes,
// backslashes, line breaks and the line and paragraph separators.
QString scriptString(const QString &text)
{
    const QByteArray json = QJsonDocument(QJsonArray {text}).toJson(QJsonDocument::Compact);
    // "[...]" without the brackets; "</" split so that the text can never close a script element.
    return QString::fromUtf8(json.mid(1, json.size() - 2)).replace(QLatin1String("</"),
                                                                   QLatin1String("<\\/"));
}

const int defaultFontSize = 18;

} // namespace

Editor::Editor(QWidget *mainWindow, QWidget *parent)
    : QWebView(parent)
    , m_controller(new JsPageController(this))
{
    // The window connects to the editor's signals itself; the editor never calls it.
    Q_UNUSED(mainWindow)
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
    connect(webPage, &QWebPage::contentsChanged, this, &Editor::contentsChanged);
    connect(m_controller, &JsPageController::contentCommitted, this, &Editor::onContentCommitted);
    // Queued: what they lead to may open a dialog, which must not wait inside the page's key
    // handler.
    connect(m_controller, &JsPageController::escapeRequested, this, &Editor::escapePressed,
        Qt::QueuedConnection);
    connect(m_controller, &JsPageController::pasteRequested, this, &Editor::paste,
        Qt::QueuedConnection);
    connect(m_controller, &JsPageController::stateReported, this, &Editor::onStateReported);
    connect(m_controller, &JsPageController::contextElementReported, this,
        [this](const QVariantMap &element) { m_contextElement = element; });
    connectSignals();
    m_actions = new EditorActions(this, this);
}

void Editor::loadPage(Page *page)
{
    if (!page) {
        unloadPage();
        setPageHtml(QString());
        return;
    }
    m_pendingPageIds.clear();
    m_pendingHitOccurrence = -1;
    m_pendingFocus = PendingFocus::None;
    m_currentPage = page;
    const bool locked = page->isLocked();
    if (locked) {
        showProtectedPagePlaceholder();
    } else {
        // Only the template's own token is replaced; the page's text is not searched again.
        // What the page brings that could run or load is left out of the shown document; the
        // page itself keeps its content until the user edits it.
        QString html = pageTemplate;
        html.insert(html.indexOf(QLatin1String("<head>")) + 6, HtmlSanitizer::policyElement());
        // The page names this document in its commits by the generation setPageHtml() is about
        // to give it.
        html.insert(html.indexOf(QLatin1String("<html>")) + 5,
            QStringLiteral(" data-generation=\"%1\"").arg(m_generation + 1));
        html.replace(
            html.indexOf(contentToken), contentToken.size(), HtmlSanitizer::clean(page->content()));
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

void Editor::showWelcomePage(const QString &protectedWiki)
{
    unloadPage();
    setPageHtml(welcomeDocument(protectedWiki));
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
    ++m_generation;
    m_contextElement.clear();
    onStateReported(QVariantMap());
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
    // The page answers through onContentCommitted(); a document still loading has no script
    // that could, and commits nothing until it is ready.
    if (m_currentPage && m_shown == Shown::PageDocument)
        runScript(QStringLiteral("if (window.commitContent) commitContent();"));
}

void Editor::onContentCommitted(int generation, const QString &html)
{
    // The placeholder and the welcome document must never end up as a page's content, nor
    // the body of a page shown before: an engine that delivers later may bring that one after
    // the next page was loaded.
    if (generation != m_generation || !m_currentPage || m_shown != Shown::PageDocument)
        return;
    m_currentPage->setContent(HtmlSanitizer::clean(html));
    m_currentPage->setModified(true);
}

void Editor::connectSignals()
{
    connect(page(), &QWebPage::contentsChanged, this, &Editor::onPageContentsChanged,
        Qt::UniqueConnection);
    connect(page(), &QWebPage::linkClicked, this, &Editor::linkActivated, Qt::UniqueConnection);
}

void Editor::disconnectSignals()
{
    disconnect(page(), &QWebPage::contentsChanged, this, &Editor::onPageContentsChanged);
    disconnect(page(), &QWebPage::linkClicked, this, &Editor::linkActivated);
}

void Editor::setEditable(bool editable)
{
    page()->setContentEditable(editable);
}

void Editor::runScript(const QString &script)
{
    page()->mainFrame()->evaluateJavaScript(script);
}

void Editor::runScript(
    const QString &script, const std::function<void(const QVariant &)> &callback)
{
    const QVariant result = page()->mainFrame()->evaluateJavaScript(script);
    // Handed over from the event loop, as an engine that runs the page elsewhere would: callers
    // are written for an answer that comes later.
    QMetaObject::invokeMethod(
        this, [callback, result] { callback(result); }, Qt::QueuedConnection);
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
    // The page commits when it has removed any.
    runScript(QStringLiteral("removeBrokenLinks(%1, %2)")
                  .arg(scriptString(QLatin1String(pageUrlPrefix)),
                      QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(pageIds))
                                            .toJson(QJsonDocument::Compact))));
}

bool Editor::focusNextPrevChild(bool next)
{
    // The view takes Tab before the page sees it. In a page's document it goes to the page,
    // whose script moves between table cells and indents list items; only a Tab that neither
    // the script nor the engine used moves the focus on.
    if (m_shown == Shown::PageDocument && page()->isContentEditable()) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, next ? Qt::NoModifier : Qt::ShiftModifier);
        page()->event(&tab);
        return tab.isAccepted() || QWidget::focusNextPrevChild(next);
    }
    return QWebView::focusNextPrevChild(next);
}

void Editor::dropEvent(QDropEvent *event)
{
    const bool accepted = event->isAccepted();
    event->ignore();
    emit dropReceived(event);
    if (event->isAccepted())
        return;
    event->setAccepted(accepted);
    // Markup from elsewhere goes in cleaned; a move inside the page is the engine's own.
    const QMimeData *mime = event->mimeData();
    if (mime && mime->hasHtml() && event->source() != this && acceptsMarkup()) {
        QDragLeaveEvent leave;
        QWebView::dragLeaveEvent(&leave);
        // The caret goes where the markup was let go, as the engine's own drop would put it.
        runScript(
            QStringLiteral("(function (x, y) {var r = document.caretRangeFromPoint(x, y);"
                           "if (r) {getSelection().removeAllRanges();"
                           "getSelection().addRange(r);}})(%1, %2);")
                .arg(event->pos().x())
                .arg(event->pos().y()));
        pasteMarkup(mime->html());
        event->acceptProposedAction();
        return;
    }
    QWebView::dropEvent(event);
}

void Editor::selectSearchHit(const QString &text, int occurrence)
{
    m_pendingHitText = text;
    m_pendingHitOccurrence = occurrence;
    if (isLoading())
        return;
    m_pendingHitOccurrence = -1;
    runScript(QStringLiteral("selectSearchHit(%1, %2)")
                  .arg(scriptString(text), QString::number(occurrence)));
}

// QtWebKit's find answers at once and counts nothing: stepping, highlighting and the undo macro
// of Replace All are its own calls here; the page script counts. The answers still go out
// through the event loop, as from an engine that finds elsewhere.

namespace {

QWebPage::FindFlags findFlags(bool caseSensitive)
{
    return caseSensitive ? QWebPage::FindCaseSensitively : QWebPage::FindFlags();
}

} // namespace

void Editor::findText(const QString &text, bool caseSensitive, FindStep step,
    const std::function<void(bool found, int count, int current)> &callback)
{
    if (step == FindStep::FromSelectionStart)
        runScript(QStringLiteral("collapseSelectionToStart()"));
    QWebPage::FindFlags options = findFlags(caseSensitive) | QWebPage::FindWrapsAroundDocument;
    if (step == FindStep::Previous)
        options |= QWebPage::FindBackward;
    const bool found = !text.isEmpty() && page()->findText(text, options);
    highlightMatches(text, caseSensitive,
        [callback, found](int count, int current) { callback(found, count, current); });
}

void Editor::highlightMatches(const QString &text, bool caseSensitive,
    const std::function<void(int count, int current)> &callback)
{
    clearFindHighlight();
    page()->findText(text, findFlags(caseSensitive) | QWebPage::HighlightAllOccurrences);
    runScript(QStringLiteral("findCount(%1, %2, %3)")
                  .arg(scriptString(text),
                      caseSensitive ? QLatin1String("true") : QLatin1String("false"),
                      QString::number(maxFindCount)),
        [callback](const QVariant &result) {
            const QVariantMap answer = result.toMap();
            callback(answer.value(QStringLiteral("count")).toInt(),
                answer.value(QStringLiteral("current")).toInt());
        });
}

void Editor::clearFindHighlight()
{
    page()->findText(QString(), QWebPage::HighlightAllOccurrences);
}

void Editor::replaceSelection(const QString &replacement, const std::function<void()> &callback)
{
    const QString command
        = replacement.isEmpty() ? QStringLiteral("delete") : QStringLiteral("insertText");
    runScript(QStringLiteral("document.execCommand(%1, false, %2)")
                  .arg(scriptString(command), scriptString(replacement)),
        [callback](const QVariant &) { callback(); });
}

void Editor::replaceAll(const QString &text, const QString &replacement, bool caseSensitive,
    const std::function<void(int replaced)> &callback)
{
    // A bound far above any page a person writes.
    const int maxReplaced = 100000;
    int replaced = 0;
    if (acceptsMarkup() && !text.isEmpty()) {
        // Each replacement is one of the engine's edits; gathered into one macro on the page's
        // undo stack, they are undone together. The page takes the result in one commit.
        disconnectSignals();
        runScript(QStringLiteral("window.getSelection().removeAllRanges()"));
        QUndoStack *undoStack = page()->undoStack();
        if (undoStack)
            undoStack->beginMacro(tr("Replace All"));
        while (replaced < maxReplaced && page()->findText(text, findFlags(caseSensitive))) {
            execCommand(replacement.isEmpty() ? QStringLiteral("delete")
                                              : QStringLiteral("insertText"),
                replacement);
            ++replaced;
        }
        if (undoStack)
            undoStack->endMacro();
        // Setting the selection anew ends the engine's typing step, so that what is typed next
        // is an edit of its own and not part of the macro.
        runScript(QStringLiteral("findSettleSelection()"));
        connectSignals();
        if (replaced > 0)
            updatePageContent();
    }
    QMetaObject::invokeMethod(
        this, [callback, replaced] { callback(replaced); }, Qt::QueuedConnection);
}

void Editor::focusPage(bool selectAllText)
{
    setFocus(Qt::OtherFocusReason);
    if (m_shown != Shown::PageDocument)
        return;
    if (isLoading()) {
        m_pendingFocus = selectAllText ? PendingFocus::SelectAll : PendingFocus::Caret;
        return;
    }
    m_pendingFocus = PendingFocus::None;
    // A caret the user left in the page stays where it is; without one, nothing typed would
    // arrive anywhere.
    runScript(QStringLiteral(
        "(function (selectAll) { var body = document.body; if (!body) return;"
        " var selection = window.getSelection();"
        " if (!selectAll && selection.rangeCount > 0 && body.contains(selection.anchorNode))"
        " return;"
        " body.focus(); var range = document.createRange(); range.selectNodeContents(body);"
        " if (!selectAll) range.collapse(true);"
        " selection.removeAllRanges(); selection.addRange(range); })(%1)")
                           .arg(selectAllText ? QLatin1String("true") : QLatin1String("false")));
}

void Editor::onLoadFinished(bool)
{
    if (m_pendingFocus != PendingFocus::None && !isLoading())
        focusPage(m_pendingFocus == PendingFocus::SelectAll);
    m_pendingFocus = PendingFocus::None;
    if (m_pendingHitOccurrence >= 0 && !isLoading())
        selectSearchHit(m_pendingHitText, m_pendingHitOccurrence);
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

// --- Editing commands ------------------------------------------------------------------------

void Editor::execCommand(const QString &command, const QString &value)
{
    runScript(QStringLiteral("document.execCommand(%1, false, %2)")
                           .arg(scriptString(command), scriptString(value)));
}

void Editor::triggerAction(QWebPage::WebAction action)
{
    page()->action(action)->activate(QAction::Trigger);
}

bool Editor::isActionEnabled(QWebPage::WebAction action) const
{
    return page()->action(action)->isEnabled();
}

void Editor::toggleBold()
{
    runScript(QStringLiteral("toggleStyle('bold')"));
}

void Editor::toggleItalic()
{
    runScript(QStringLiteral("toggleStyle('italic')"));
}

void Editor::toggleUnderline()
{
    runScript(QStringLiteral("toggleStyle('underline')"));
}

void Editor::toggleStrikethrough()
{
    runScript(QStringLiteral("toggleStyle('strikethrough')"));
}

void Editor::onStateReported(const QVariantMap &state)
{
    // Most keys leave it as it was; the actions are not touched then.
    if (state == m_state)
        return;
    m_state = state;
    emit formatStateChanged();
}

bool Editor::isBold() const { return m_state.value(QStringLiteral("bold")).toBool(); }
bool Editor::isItalic() const { return m_state.value(QStringLiteral("italic")).toBool(); }
bool Editor::isUnderlined() const { return m_state.value(QStringLiteral("underline")).toBool(); }
bool Editor::isStrikethrough() const
{
    return m_state.value(QStringLiteral("strikethrough")).toBool();
}

void Editor::setAutoformat(bool enabled)
{
    m_controller->setAutoformat(enabled);
}

bool Editor::autoformat() const
{
    return m_controller->autoformat();
}

void Editor::alignLeft() { triggerAction(QWebPage::AlignLeft); }
void Editor::alignCenter() { triggerAction(QWebPage::AlignCenter); }
void Editor::alignRight() { triggerAction(QWebPage::AlignRight); }
void Editor::alignJustify() { triggerAction(QWebPage::AlignJustified); }

void Editor::undo()
{
    // A picture's new size is not one of the engine's edits: it is taken back first. Right
    // after typing turned into a block format, the conversion's steps go back together.
    if (m_shown == Shown::PageDocument)
        runScript(QStringLiteral("undoEdit()"));
    else
        triggerAction(QWebPage::Undo);
}
void Editor::redo() { triggerAction(QWebPage::Redo); }
void Editor::cut() { triggerAction(QWebPage::Cut); }
void Editor::copy() { triggerAction(QWebPage::Copy); }
void Editor::paste()
{
    bool handled = false;
    emit pasteRequested(&handled);
    if (handled)
        return;
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    if (mime && mime->hasHtml() && acceptsMarkup())
        pasteMarkup(mime->html());
    else
        triggerAction(QWebPage::Paste);
}
void Editor::pastePlainText()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (acceptsMarkup() && !text.isEmpty())
        execCommand(QStringLiteral("insertText"), text);
}
void Editor::selectAll() { triggerAction(QWebPage::SelectAll); }
bool Editor::canUndo() const { return isActionEnabled(QWebPage::Undo); }
bool Editor::canRedo() const { return isActionEnabled(QWebPage::Redo); }
bool Editor::canCut() const { return isActionEnabled(QWebPage::Cut); }
bool Editor::canCopy() const { return isActionEnabled(QWebPage::Copy); }
bool Editor::canPaste() const { return isActionEnabled(QWebPage::Paste); }
bool Editor::canSelectAll() const { return isActionEnabled(QWebPage::SelectAll); }

void Editor::changeFontSize(int delta)
{
    runEditScript(QStringLiteral("changeFontSize(%1, %2)").arg(delta).arg(defaultFontSize));
}

void Editor::runEditScript(const QString &script)
{
    if (!acceptsMarkup())
        return;
    runScript(script + QStringLiteral(";reportState()"));
    // Changes made through the document rather than the engine's commands do not signal.
    emit page()->contentsChanged();
}

void Editor::toggleBlockFormat(const QString &tag)
{
    runEditScript(QStringLiteral("toggleBlockFormat(%1)").arg(scriptString(tag)));
}

void Editor::toggleList(const QString &kind)
{
    runEditScript(QStringLiteral("toggleList(%1)").arg(scriptString(kind)));
}

void Editor::toggleInlineCode()
{
    runEditScript(QStringLiteral("formatSelectionOrWord(toggleInlineCode)"));
}

void Editor::insertHorizontalRule()
{
    runEditScript(QStringLiteral("insertRule()"));
}

void Editor::insertTable(int rows, int columns)
{
    if (rows > 0 && columns > 0)
        runEditScript(QStringLiteral("insertTable(%1, %2)").arg(rows).arg(columns));
}

void Editor::tableCommand(const QString &command)
{
    runEditScript(QStringLiteral("tableCommand(%1)").arg(scriptString(command)));
}

QVariantMap Editor::blockFormatState() const
{
    if (m_shown != Shown::PageDocument)
        return QVariantMap();
    return m_state;
}

QString Editor::currentLinkUrl() const
{
    return m_state.value(QStringLiteral("link")).toString();
}

void Editor::requestLinkTarget(
    const std::function<void(const QString &url, const QString &text)> &callback)
{
    runScript(QStringLiteral("linkCommandTarget()"), [callback](const QVariant &result) {
        const QVariantMap target = result.toMap();
        callback(target.value(QStringLiteral("url")).toString(),
            target.value(QStringLiteral("text")).toString());
    });
}

void Editor::createLink(const QString &url)
{
    if (!QUrl(url, QUrl::TolerantMode).isValid())
        return;
    runScript(QStringLiteral("createLinkAtSelection(%1)").arg(scriptString(url)));
    updatePageContent();
}

void Editor::unlink()
{
    runScript(QStringLiteral("unlinkAtSelection()"));
    // The script's own changes around the engine's command do not signal.
    emit page()->contentsChanged();
    updatePageContent();
}

// --- Images and the context menu -------------------------------------------------------------

void Editor::insertImage(const QString &base64Data, const QString &format)
{
    // An element without data would show as a broken picture and be saved as one.
    if (!m_currentPage || m_shown != Shown::PageDocument || base64Data.isEmpty()
        || format.isEmpty())
        return;
    // The id is what "Remove Image" finds the element by.
    const QString element
        = QStringLiteral("<img id='%1' src='data:image/%2;base64,%3' tabindex='0'>")
              .arg(QUuid::createUuid().toString(), format, base64Data);
    pasteHtml(element);
    updatePageContent();
}

ImageFile Editor::droppedImageFile(const QMimeData *mime)
{
    if (!mime || mime->hasHtml() || mime->hasImage() || !mime->hasText())
        return ImageFile(QString(), nullptr);
    QString path = mime->text().trimmed();
    // The URL's own conversion keeps the leading slash of an absolute path and decodes "%20"
    // and the like; cutting the scheme off by hand did neither.
    if (path.startsWith(QLatin1String("file://")))
        path = QUrl(path, QUrl::TolerantMode).toLocalFile();
    return ImageFile(path, nullptr);
}

bool Editor::acceptsMarkup() const
{
    return m_currentPage && m_shown == Shown::PageDocument && page()->isContentEditable();
}

void Editor::pasteMarkup(const QString &html)
{
    if (!acceptsMarkup())
        return;
    // The pictures are fetched before anything is inserted, so the page never holds an
    // address that would be fetched again each time it is shown.
    // What sets fonts, colours and sizes of its own is left behind: the page's style decides.
    auto *inliner = new PictureInliner(
        HtmlSanitizer::withoutPresentation(HtmlSanitizer::clean(html)), this);
    const QString pageId = m_currentPage->id();
    connect(
        inliner, &PictureInliner::finished, this, [this, inliner, pageId](const QString &clean) {
            inliner->deleteLater();
            if (!acceptsMarkup() || m_currentPage->id() != pageId)
                return;
            // Inserted the way the engine pastes, so that styles copied from this page are matched
            // the same way and the step can be undone.
            execCommand(QStringLiteral("insertHTML"), clean);
            updatePageContent();
        });
    inliner->start();
}

void Editor::pasteHtml(const QString &html)
{
    runScript(QStringLiteral("pasteHtmlAtCaret(%1);").arg(scriptString(html)));
}

void Editor::addRemoveImageAction(QMenu *menu, const QString &imageId)
{
    if (!m_currentPage)
        return;
    QAction *action = menu->addAction(tr("Remove Image"));
    connect(action, &QAction::triggered, this, [this, imageId] {
        runScript(QStringLiteral("removeImage(%1)").arg(scriptString(imageId)));
    });
}

void Editor::addEditingActions(QMenu *menu)
{
    // Checked states and the link entry's text follow the selection as it is now.
    m_actions->updateLinkAction();
    m_actions->updateFormatActions();
    menu->addAction(m_actions->createLinkAction);
    menu->addSeparator();
    m_actions->addFormatActions(menu);
}

void Editor::contextMenuEvent(QContextMenuEvent *event)
{
    // Never passed on: the engine's own menu offers reloading and navigation, which would
    // leave the page document.
    event->accept();
    if (!m_currentPage || m_shown != Shown::PageDocument || !page()->isContentEditable())
        return;
    // The element of the last right-button press, as the page reported it; also when the menu
    // comes from the keyboard.
    const QVariantMap element = m_contextElement;

    QPointer<QMenu> menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("EditorContextMenu"));
    menu->setStyleSheet(QStringLiteral("#EditorContextMenu { border: 0px; }"));
    if (element.value(QStringLiteral("nodeName")).toString() == QLatin1String("IMG")) {
        const QString id = element.value(QStringLiteral("id")).toString();
        if (!id.isEmpty())
            addRemoveImageAction(menu, id);
    } else {
        addEditingActions(menu);
        if (element.value(QStringLiteral("inTable")).toBool()) {
            menu->addSeparator();
            m_actions->addTableActions(menu);
        }
    }
    // An image without an id has nothing to offer; an empty menu would still pop up as a box.
    if (!menu->actions().isEmpty())
        menu->exec(event->globalPos());
    delete menu;
}
