#include "editor/editor.h"

#include "editor/editoractions.h"
#include "editor/imagefile.h"
#include "editor/jspagecontroller.h"
#include "editor/pageprofile.h"
#include "editor/pictureinliner.h"
#include "editor/webenginepage.h"
#include "model/htmlsanitizer.h"
#include "model/page.h"
#include "model/urls.h"

#include <QAction>
#include <QChildEvent>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUuid>
#include <QWebEngineFindTextResult>
#include <QWebEngineLoadingInfo>
#include <QWebEngineSettings>

#include <algorithm>

namespace {

// jQuery comes first, then the page script, then jQuery UI: the page script only binds its
// handlers when the document is ready, by which time jQuery UI is there as well.
const QString pageTemplate = QStringLiteral(
    R"html(<!DOCTYPE html><html><head>${fonts}<link rel="stylesheet" href="qrc:///css/style.css"></link><link rel='stylesheet' href='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.css'></link><link rel='stylesheet' href='qrc:///css/jquery-ui.override.css'></link><script type="text/javascript" src="qrc:///js/jquery.min.js"></script><script type="text/javascript" src="qrc:///js/velmora.js"></script><script type='text/javascript' src='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.js'></script></head><body>${pageContent}</body></html>)html");

const QString contentToken = QStringLiteral("${pageContent}");
const QString fontsToken = QStringLiteral("${fonts}");

// The engine sees the system's fonts only, not those the program brings in its resources: the
// page's standard font is declared here from them.
const QString pageFonts = QStringLiteral(
    "<style>"
    "@font-face { font-family: 'Roboto Regular'; src: url(qrc:///fonts/Roboto-Regular.ttf); }"
    "@font-face { font-family: 'Roboto Regular'; font-weight: bold;"
    " src: url(qrc:///fonts/Roboto-Bold.ttf); }"
    "@font-face { font-family: 'Roboto Regular'; font-style: italic;"
    " src: url(qrc:///fonts/Roboto-Italic.ttf); }"
    "@font-face { font-family: 'Roboto Regular'; font-weight: bold; font-style: italic;"
    " src: url(qrc:///fonts/Roboto-BoldItalic.ttf); }"
    "</style>");

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
    return QStringLiteral("<html><head>") + pageFonts
        + QStringLiteral("</head><body style='text-align: center;'><p style='font-size: 22px; "
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
    return QStringLiteral("<html><head>") + pageFonts
        + QStringLiteral("</head><body style='text-align: center;'><p style='font-size: 16px; "
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
// How long a commit waits for keys the engine has not yet brought to the document, and how
// often it asks meanwhile. Keys take milliseconds, a second or so on a machine under load.
const int keysWaitMs = 5000;
const int keysRetryMs = 10;

} // namespace

Editor::Editor(QWidget *mainWindow, QWidget *parent)
    : QWebEngineView(parent)
    , m_profile(new PageProfile(this))
    , m_controller(new JsPageController(this))
    , m_page(new WebEnginePage(m_profile, m_controller, this))
{
    // The window connects to the editor's signals itself; the editor never calls it.
    Q_UNUSED(mainWindow)
    setObjectName(QStringLiteral("Editor"));
    setStyleSheet(QStringLiteral("#Editor { background: #ffffff; border: none; }"));
    setPage(m_page);

    QWebEngineSettings *settings = m_page->settings();
    settings->setFontFamily(QWebEngineSettings::StandardFont, QStringLiteral("Roboto Regular"));
    settings->setFontSize(QWebEngineSettings::DefaultFontSize, defaultFontSize);

    // Only the end of the document set last counts: one replaced while loading ends as well.
    connect(m_page, &QWebEnginePage::loadingChanged, this,
        [this](const QWebEngineLoadingInfo &info) {
            if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus
                && info.url() == m_page->documentUrl())
                onLoadFinished(info.status() == QWebEngineLoadingInfo::LoadSucceededStatus);
        });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this, [this] {
        // The document is gone with its process; the page is shown again from what it last
        // committed, once the engine is through with this report.
        emit pageProcessEnded();
        if (m_shown != Shown::PageDocument || !m_currentPage)
            return;
        // Nothing can answer until the page is shown again.
        m_loading = true;
        const int unloads = m_unloads;
        QTimer::singleShot(0, this, [this, unloads] {
            if (unloads == m_unloads && m_currentPage && m_shown == Shown::PageDocument)
                loadPage(m_currentPage);
        });
    });
    connect(m_page, &WebEnginePage::linkClicked, this, [this](const QUrl &url) {
        if (m_linksConnected)
            emit linkActivated(url);
    });
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
    for (auto action : {QWebEnginePage::Undo, QWebEnginePage::Redo, QWebEnginePage::Cut,
             QWebEnginePage::Copy})
        connect(m_page->action(action), &QAction::changed, this, &Editor::editCommandsChanged);
    connectSignals();
    m_actions = new EditorActions(this, this);
}

Editor::~Editor()
{
    // Nothing the page still answers goes into a page; and the page goes before its profile,
    // which the engine requires.
    unloadPage();
    // The engine calls what is still waiting for an answer as it deletes the page; the
    // window around this editor is going too, so nothing of that may run.
    m_closing = true;
    delete m_page;
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
        // Only the template's own tokens are replaced; the page's text is not searched again.
        // What the page brings that could run or load is left out of the shown document; the
        // page itself keeps its content until the user edits it.
        QString html = pageTemplate;
        html.replace(html.indexOf(fontsToken), fontsToken.size(), pageFonts);
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
    ++m_unloads;
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
    // Loading until the engine reports the end of this document; what is asked of the page
    // meanwhile waits for it.
    m_loading = true;
    m_page->setDocument(html);
}

bool Editor::isLoading() const
{
    return m_loading;
}

void Editor::updatePageContent(const std::function<void()> &done)
{
    // A document still loading has no script that could answer, and commits nothing until it
    // is ready.
    if (!m_currentPage || m_shown != Shown::PageDocument || m_loading) {
        if (done)
            QMetaObject::invokeMethod(this, done, Qt::QueuedConnection);
        return;
    }
    // The body comes back as the script's own answer rather than through the bridge, so that
    // it is in the page when done runs. It belongs to the page shown when it was asked for,
    // also when the window has gone on to the next page meanwhile (a link to a new page).
    // The page lives on until the window unloads it, before it deletes the wiki.
    askForCommit(m_currentPage, m_generation, m_unloads, done, QDeadlineTimer(keysWaitMs));
}

void Editor::askForCommit(Page *page, int generation, int unloads,
    const std::function<void()> &done, const QDeadlineTimer &keysDeadline)
{
    runScript(QStringLiteral("window.takeCommitAfterKeys ? takeCommitAfterKeys(%1) : null")
                  .arg(m_keysSent),
        [this, done, page, generation, unloads, keysDeadline](const QVariant &result) {
            const QVariantMap commit = result.toMap();
            const bool current = unloads == m_unloads && generation == m_generation;
            const auto received = commit.find(QStringLiteral("keysReceived"));
            if (received != commit.end()) {
                // Keys typed before the request are still on their way to the document.
                if (current && !keysDeadline.hasExpired()) {
                    QTimer::singleShot(keysRetryMs, this,
                        [this, page, generation, unloads, done, keysDeadline] {
                            askForCommit(page, generation, unloads, done, keysDeadline);
                        });
                    return;
                }
                // A key the engine never delivered: the count starts again from what arrived.
                if (current) {
                    m_keysSent = qMin(m_keysSent, received->toInt());
                    askForCommit(page, generation, unloads, done, keysDeadline);
                } else if (done) {
                    done();
                }
                return;
            }
            if (unloads == m_unloads && !commit.isEmpty()
                && commit.value(QStringLiteral("generation")).toInt() == generation) {
                page->setContent(
                    HtmlSanitizer::clean(commit.value(QStringLiteral("html")).toString()));
                page->setModified(true);
                emit contentsChanged();
            }
            if (done)
                done();
        });
}

void Editor::onContentCommitted(int generation, const QString &html)
{
    // The placeholder and the welcome document must never end up as a page's content, nor
    // the body of a page shown before: the engine may bring that one after the next page was
    // loaded.
    if (generation != m_generation || !m_currentPage || m_shown != Shown::PageDocument)
        return;
    m_currentPage->setContent(HtmlSanitizer::clean(html));
    m_currentPage->setModified(true);
    emit contentsChanged();
}

void Editor::connectSignals()
{
    m_linksConnected = true;
}

void Editor::disconnectSignals()
{
    m_linksConnected = false;
}

void Editor::setEditable(bool editable)
{
    m_editable = editable;
    // Set again when the next document has loaded: a script given now may still reach the one
    // shown before.
    runScript(QStringLiteral("document.designMode = %1")
                  .arg(editable ? QLatin1String("'on'") : QLatin1String("'off'")));
}

void Editor::runScript(const QString &script)
{
    m_page->runJavaScript(script);
}

void Editor::runScript(
    const QString &script, const std::function<void(const QVariant &)> &callback)
{
    // The engine answers through the event loop, never from inside this call.
    m_page->runJavaScript(script, [this, callback](const QVariant &result) {
        if (!m_closing)
            callback(result);
    });
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
    // Committed at once, so that the page that is marked modified also holds the cleaned
    // markup, and a save without further edits does not write the broken links back.
    runScript(QStringLiteral("removeBrokenLinks(%1, %2)")
                  .arg(scriptString(QLatin1String(pageUrlPrefix)),
                      QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(pageIds))
                                            .toJson(QJsonDocument::Compact))),
        [this](const QVariant &removed) {
            if (removed.toInt() > 0)
                updatePageContent();
        });
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
        QWebEngineView::dragLeaveEvent(&leave);
        // The caret goes where the markup was let go, as the engine's own drop would put it.
        const QPoint at = event->position().toPoint();
        runScript(
            QStringLiteral("(function (x, y) {var r = document.caretRangeFromPoint(x, y);"
                           "if (r) {getSelection().removeAllRanges();"
                           "getSelection().addRange(r);}})(%1, %2);")
                .arg(at.x())
                .arg(at.y()));
        pasteMarkup(mime->html());
        event->acceptProposedAction();
        return;
    }
    QWebEngineView::dropEvent(event);
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

// The page script steps and counts with the engine's find in the page, which selects what it
// finds; the engine's own find, which cannot count up to a bound or say which match the
// selection starts at, only highlights every match.

void Editor::findText(const QString &text, bool caseSensitive, FindStep step,
    const std::function<void(bool found, int count, int current)> &callback)
{
    const QString stepName = step == FindStep::FromSelectionStart ? QStringLiteral("start")
        : step == FindStep::Next                                   ? QStringLiteral("next")
                                                                   : QStringLiteral("previous");
    runScript(QStringLiteral("findStep(%1, %2, %3, %4)")
                  .arg(scriptString(text),
                      caseSensitive ? QLatin1String("true") : QLatin1String("false"),
                      scriptString(stepName), QString::number(maxFindCount)),
        [this, text, caseSensitive, callback](const QVariant &result) {
            const QVariantMap answer = result.toMap();
            highlightAll(text, caseSensitive);
            callback(answer.value(QStringLiteral("found")).toBool(),
                answer.value(QStringLiteral("count")).toInt(),
                answer.value(QStringLiteral("current")).toInt());
        });
}

void Editor::highlightMatches(const QString &text, bool caseSensitive,
    const std::function<void(int count, int current)> &callback)
{
    runScript(QStringLiteral("findCount(%1, %2, %3)")
                  .arg(scriptString(text),
                      caseSensitive ? QLatin1String("true") : QLatin1String("false"),
                      QString::number(maxFindCount)),
        [this, text, caseSensitive, callback](const QVariant &result) {
            const QVariantMap answer = result.toMap();
            highlightAll(text, caseSensitive);
            callback(answer.value(QStringLiteral("count")).toInt(),
                answer.value(QStringLiteral("current")).toInt());
        });
}

void Editor::highlightAll(const QString &text, bool caseSensitive)
{
    if (text.isEmpty()) {
        clearFindHighlight();
        return;
    }
    // The engine's find starts from the selection and leaves it elsewhere: the selection the
    // page's find made is set again once it has highlighted.
    m_page->findText(text,
        caseSensitive ? QWebEnginePage::FindCaseSensitively : QWebEnginePage::FindFlags(),
        [this](const QWebEngineFindTextResult &) { runScript(QStringLiteral("restoreFindSelection()")); });
}

void Editor::clearFindHighlight()
{
    m_page->findText(QString());
}

void Editor::replaceMatch(const QString &text, bool caseSensitive, const QString &replacement,
    const std::function<void(bool replaced)> &callback)
{
    // The page checks its own selection: the one the engine reports to this side may lag
    // behind the find's last step.
    runScript(QStringLiteral("replaceSelectedMatch(%1, %2, %3)")
                  .arg(scriptString(text),
                      caseSensitive ? QLatin1String("true") : QLatin1String("false"),
                      scriptString(replacement)),
        [callback](const QVariant &result) { callback(result.toBool()); });
}

void Editor::replaceAll(const QString &text, const QString &replacement, bool caseSensitive,
    const std::function<void(int replaced)> &callback)
{
    if (!acceptsMarkup() || text.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [callback] { callback(0); }, Qt::QueuedConnection);
        return;
    }
    // A bound far above any page a person writes.
    const int maxReplaced = 100000;
    // Each replacement is one of the engine's edits, made in one script; the page's undo takes
    // them back together. The page takes the result in one commit.
    clearFindHighlight();
    runScript(QStringLiteral("replaceAllMatches(%1, %2, %3, %4)")
                  .arg(scriptString(text), scriptString(replacement),
                      caseSensitive ? QLatin1String("true") : QLatin1String("false"),
                      QString::number(maxReplaced)),
        [this, callback](const QVariant &result) {
            const int replaced = result.toInt();
            if (replaced > 0)
                updatePageContent([callback, replaced] { callback(replaced); });
            else
                callback(0);
        });
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
    m_loading = false;
    // Keys from here on reach this document, which counts from its start.
    m_keysSent = 0;
    setEditable(m_editable);
    if (m_pendingFocus != PendingFocus::None)
        focusPage(m_pendingFocus == PendingFocus::SelectAll);
    m_pendingFocus = PendingFocus::None;
    if (m_pendingHitOccurrence >= 0)
        selectSearchHit(m_pendingHitText, m_pendingHitOccurrence);
    if (m_pendingPageIds.isEmpty())
        return;
    const QStringList pageIds = m_pendingPageIds;
    m_pendingPageIds.clear();
    removeBrokenLinksNow(pageIds);
}

// --- Editing commands ------------------------------------------------------------------------

void Editor::execCommand(const QString &command, const QString &value)
{
    runScript(QStringLiteral("document.execCommand(%1, false, %2)")
                           .arg(scriptString(command), scriptString(value)));
}

void Editor::triggerAction(QWebEnginePage::WebAction action)
{
    m_page->triggerAction(action);
}

bool Editor::isActionEnabled(QWebEnginePage::WebAction action) const
{
    // The engine updates it as the page reports what it can do: as of its last report.
    return m_page->action(action)->isEnabled();
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

void Editor::alignLeft() { triggerAction(QWebEnginePage::AlignLeft); }
void Editor::alignCenter() { triggerAction(QWebEnginePage::AlignCenter); }
void Editor::alignRight() { triggerAction(QWebEnginePage::AlignRight); }
void Editor::alignJustify() { triggerAction(QWebEnginePage::AlignJustified); }

void Editor::undo()
{
    // A picture's new size is not one of the engine's edits: it is taken back first. Right
    // after typing turned into a block format, the conversion's steps go back together.
    if (m_shown == Shown::PageDocument)
        runScript(QStringLiteral("undoEdit()"));
    else
        triggerAction(QWebEnginePage::Undo);
}
void Editor::redo() { triggerAction(QWebEnginePage::Redo); }
void Editor::cut() { triggerAction(QWebEnginePage::Cut); }
void Editor::copy() { triggerAction(QWebEnginePage::Copy); }
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
        triggerAction(QWebEnginePage::Paste);
}
void Editor::pastePlainText()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (acceptsMarkup() && !text.isEmpty())
        execCommand(QStringLiteral("insertText"), text);
}
void Editor::selectAll() { triggerAction(QWebEnginePage::SelectAll); }
bool Editor::canUndo() const { return isActionEnabled(QWebEnginePage::Undo); }
bool Editor::canRedo() const { return isActionEnabled(QWebEnginePage::Redo); }
bool Editor::canCut() const { return isActionEnabled(QWebEnginePage::Cut); }
bool Editor::canCopy() const { return isActionEnabled(QWebEnginePage::Copy); }
// Pasting goes through the editor, which cleans markup; the engine's own paste command stays
// off while its page may not read the clipboard.
bool Editor::canPaste() const
{
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    return acceptsMarkup() && mime && !mime->formats().isEmpty();
}
bool Editor::canSelectAll() const { return m_shown != Shown::Nothing; }

void Editor::changeFontSize(int delta)
{
    runEditScript(QStringLiteral("changeFontSize(%1, %2)").arg(delta).arg(defaultFontSize));
}

void Editor::runEditScript(const QString &script)
{
    if (!acceptsMarkup())
        return;
    runScript(script + QStringLiteral(";reportState()"));
    // Changes made through the document rather than the engine's commands are not committed
    // by the page itself.
    updatePageContent();
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
    return m_currentPage && m_shown == Shown::PageDocument && m_editable;
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

void Editor::childEvent(QChildEvent *event)
{
    QWebEngineView::childEvent(event);
    if (event->added() && event->child()->isWidgetType())
        event->child()->installEventFilter(this);
}

bool Editor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        ++m_keysSent;
    if (event->type() == QEvent::ShortcutOverride && acceptsMarkup()) {
        // The page script and the engine do these in the page, in line with the typing: undo
        // and redo, the clipboard, select all, bold, italic and underline.
        static const QList<QKeySequence> pageKeys = {QKeySequence::Undo, QKeySequence::Redo,
            QKeySequence::Cut, QKeySequence::Copy, QKeySequence::Paste, QKeySequence::SelectAll,
            QKeySequence(Qt::CTRL | Qt::Key_B), QKeySequence(Qt::CTRL | Qt::Key_I),
            QKeySequence(Qt::CTRL | Qt::Key_U), QKeySequence(Qt::CTRL | Qt::Key_Y),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence typed(key->keyCombination());
        if (std::any_of(pageKeys.begin(), pageKeys.end(), [&typed](const QKeySequence &known) {
                return known.matches(typed) == QKeySequence::ExactMatch;
            })) {
            event->accept();
            return true;
        }
    }
    return QWebEngineView::eventFilter(watched, event);
}

bool Editor::focusNextPrevChild(bool next)
{
    if (acceptsMarkup())
        return true;
    return QWebEngineView::focusNextPrevChild(next);
}

void Editor::contextMenuEvent(QContextMenuEvent *event)
{
    // Never passed on: the engine's own menu offers reloading and navigation, which would
    // leave the page document.
    event->accept();
    if (!acceptsMarkup())
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
