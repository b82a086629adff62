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
#include <QUuid>
#include <QWebElement>
#include <QWebElementCollection>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

namespace {

// jQuery comes first, then the page script, then jQuery UI: the page script only binds its
// handlers when the document is ready, by which time jQuery UI is there as well.
const QString pageTemplate = QStringLiteral(
    R"html(<!DOCTYPE html><html><head><link rel="stylesheet" href="qrc:///css/style.css"></link><link rel='stylesheet' href='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.css'></link><link rel='stylesheet' href='qrc:///css/jquery-ui.override.css'></link><script type="text/javascript" src="qrc:///js/jquery.min.js"></script><script type="text/javascript" src="qrc:///js/velmora.js"></script><script type='text/javascript' src='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.js'></script></head><body>${pageContent}</body></html>)html");

const QString contentToken = QStringLiteral("${pageContent}");

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
        + QStringLiteral("</body></html>");
}

QString protectedPagePlaceholder()
{
    return QStringLiteral("<html><body style='text-align: center;'><p style='font-size: 16px; "
                          "margin-top: 40px; margin-bottom: 50px;'>This page is protected with a "
                          "<a href='")
        + commandUrl(UnlockPageCommand) + QStringLiteral("'>password</a>.</p></body></html>");
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
    m_currentPage->setContent(HtmlSanitizer::clean(bodyHtml()));
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
    if (event->key() == Qt::Key_Escape)
        emit escapePressed();
    if (event->matches(QKeySequence::Undo)) {
        undo();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        paste();
        event->accept();
        return;
    }
    const bool pageShown = m_shown == Shown::PageDocument && page()->isContentEditable();
    const bool newLine = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && !(event->modifiers() & Qt::ShiftModifier);
    if (pageShown && newLine) {
        if (m_autoformat && evaluateJavaScript(QStringLiteral("autoformatOnReturn()")).toBool()) {
            event->accept();
            return;
        }
        evaluateJavaScript(QStringLiteral("beforeReturn()"));
    }
    QWebView::keyPressEvent(event);
    // What the scripts change besides the engine's own commands (a checklist's new box) is
    // committed here.
    if (pageShown && newLine) {
        evaluateJavaScript(QStringLiteral("leaveEmptyLinkAtCaret(); afterReturn()"));
        updatePageContent();
    }
    if (pageShown && m_autoformat && event->text() == QLatin1String(" ")
        && evaluateJavaScript(QStringLiteral("autoformatAfterSpace()")).toBool())
        updatePageContent();
}

bool Editor::focusNextPrevChild(bool next)
{
    // Inside a table or a list, Tab and Shift+Tab move between cells or indent; elsewhere they
    // do what they do in any view.
    if (m_shown == Shown::PageDocument && page()->isContentEditable()
        && evaluateJavaScript(QStringLiteral("tabKey(%1)").arg(next ? "false" : "true")).toBool())
        return true;
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
        evaluateJavaScript(
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
    // The find starts after the selection: from the top, it meets the hits in the order the
    // search counted them.
    evaluateJavaScript(QStringLiteral("getSelection().removeAllRanges()"));
    for (int i = 0; i <= occurrence && page()->findText(text); ++i) { }
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
    evaluateJavaScript(QStringLiteral(
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

void Editor::selectWord()
{
    evaluateJavaScript(QStringLiteral("selectWord()"));
}

void Editor::selectLink()
{
    evaluateJavaScript(QStringLiteral("selectLink()"));
}

void Editor::collapseSelectionToStart()
{
    evaluateJavaScript(QStringLiteral("collapseSelectionToStart()"));
}

void Editor::ensureSelection()
{
    if (selectedText().isEmpty())
        selectWord();
}

QString Editor::selectedTextOrWord()
{
    ensureSelection();
    return selectedText();
}

QString Editor::selectedHtmlOrWord()
{
    ensureSelection();
    return selectedHtml();
}

void Editor::execCommand(const QString &command, const QString &value)
{
    evaluateJavaScript(QStringLiteral("document.execCommand(%1, false, %2)")
                           .arg(scriptString(command), scriptString(value)));
}

void Editor::triggerAction(QWebPage::WebAction action)
{
    page()->action(action)->activate(QAction::Trigger);
}

bool Editor::isActionChecked(QWebPage::WebAction action)
{
    return page()->action(action)->isChecked();
}

bool Editor::isActionEnabled(QWebPage::WebAction action) const
{
    return page()->action(action)->isEnabled();
}

void Editor::formatSelectionOrWord(const std::function<void()> &command)
{
    const int caret = selectedText().isEmpty()
        ? evaluateJavaScript(QStringLiteral("selectWordAroundCaret()")).toInt()
        : -1;
    command();
    if (caret >= 0)
        evaluateJavaScript(QStringLiteral("placeCaretInSelection(%1)").arg(caret));
}

void Editor::toggleBold()
{
    formatSelectionOrWord([this] { triggerAction(QWebPage::ToggleBold); });
}

void Editor::toggleItalic()
{
    formatSelectionOrWord([this] { triggerAction(QWebPage::ToggleItalic); });
}

void Editor::toggleUnderline()
{
    formatSelectionOrWord([this] { triggerAction(QWebPage::ToggleUnderline); });
}

void Editor::toggleStrikethrough()
{
    formatSelectionOrWord([this] { triggerAction(QWebPage::ToggleStrikethrough); });
}

bool Editor::isBold() { return isActionChecked(QWebPage::ToggleBold); }
bool Editor::isItalic() { return isActionChecked(QWebPage::ToggleItalic); }
bool Editor::isUnderlined() { return isActionChecked(QWebPage::ToggleUnderline); }
bool Editor::isStrikethrough() { return isActionChecked(QWebPage::ToggleStrikethrough); }

void Editor::alignLeft() { triggerAction(QWebPage::AlignLeft); }
void Editor::alignCenter() { triggerAction(QWebPage::AlignCenter); }
void Editor::alignRight() { triggerAction(QWebPage::AlignRight); }
void Editor::alignJustify() { triggerAction(QWebPage::AlignJustified); }

void Editor::undo()
{
    // A picture's new size is not one of the engine's edits: it is taken back first. Right
    // after typing turned into a block format, the conversion's steps go back together.
    if (m_shown == Shown::PageDocument
        && evaluateJavaScript(QStringLiteral("undoAutoformat() || undoResize()")).toBool())
        return;
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
    formatSelectionOrWord([this, delta] { applyFontSize(delta); });
}

void Editor::applyFontSize(int delta)
{
    // At a bare caret the engine's own command sizes what is typed next.
    if (selectedText().isEmpty()) {
        execCommand(QStringLiteral("fontSizeDelta"), QStringLiteral("%1px").arg(delta));
        return;
    }
    const QString fontSize = inlineStyleOf(selectedElement()).value(QStringLiteral("font-size"));
    int size = defaultFontSize;
    if (!fontSize.isEmpty()) {
        // "22px" gives 22; another unit ("1.5em") or no number counts as the default.
        const int value = fontSize.chopped(std::min(2, int(fontSize.size()))).toInt();
        if (value != 0)
            size = value;
    }
    const int newSize = std::max(1, size + delta);
    evaluateJavaScript(QStringLiteral("setSelectionFontSize(%1)").arg(newSize));
    emit page()->contentsChanged();
}

void Editor::runEditScript(const QString &script)
{
    if (!acceptsMarkup())
        return;
    evaluateJavaScript(script);
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
    formatSelectionOrWord([this] { runEditScript(QStringLiteral("toggleInlineCode()")); });
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

QVariantMap Editor::blockFormatState()
{
    if (m_shown != Shown::PageDocument)
        return QVariantMap();
    return evaluateJavaScript(QStringLiteral("blockFormatState()")).toMap();
}

QWebElement Editor::elementFromHtml(const QString &html)
{
    QWebPage scratch;
    scratch.setNetworkAccessManager(PageNetworkAccessManager::instance());
    scratch.settings()->setAttribute(QWebSettings::JavascriptEnabled, false);
    scratch.settings()->setAttribute(QWebSettings::AutoLoadImages, false);
    scratch.mainFrame()->setHtml(
        QStringLiteral("<html><body><div id='elementFromHtml'>%1</div></body></html>").arg(html),
        QUrl());
    return scratch.mainFrame()
        ->findFirstElement(QStringLiteral("#elementFromHtml"))
        .firstChild();
}

QWebElement Editor::selectedElement()
{
    return elementFromHtml(selectedHtmlOrWord());
}

QHash<QString, QString> Editor::inlineStyleOf(const QWebElement &element)
{
    QHash<QString, QString> styles;
    for (QWebElement e = element; !e.isNull(); e = e.firstChild()) {
        const QString style = e.attribute(QStringLiteral("style"));
        if (style.isEmpty())
            continue;
        for (const QString &part : style.split(QLatin1Char(';'))) {
            const QStringList pieces = part.split(QLatin1Char(':'));
            if (pieces.size() == 2)
                styles.insert(pieces.at(0).trimmed(), pieces.at(1).trimmed());
        }
    }
    return styles;
}

QPoint Editor::caretPosition() const
{
    return page()->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
}

QWebHitTestResult Editor::hitTest(const QPoint &point) const
{
    return page()->mainFrame()->hitTestContent(point);
}

QString Editor::currentLinkUrl()
{
    const QString html = selectedHtml();
    if (!html.isEmpty()) {
        const QString href = elementFromHtml(html).attribute(QStringLiteral("href"));
        if (!href.isEmpty())
            return href;
        // The engine hands the text around a link over as styled spans, so the link is often
        // a sibling of the first element rather than inside it: search the whole selection.
        return elementFromHtml(QStringLiteral("<div>%1</div>").arg(html))
            .findFirst(QStringLiteral("a"))
            .attribute(QStringLiteral("href"));
    }
    return hitTest(caretPosition()).linkUrl().toString();
}

void Editor::createLink(const QString &url)
{
    if (!QUrl(url, QUrl::TolerantMode).isValid())
        return;
    if (selectedText().isEmpty())
        selectWord();
    execCommand(QStringLiteral("createLink"), url);
    collapseSelectionToStart();
    updatePageContent();
}

void Editor::unlink()
{
    if (selectedHtml().isEmpty())
        selectLink();
    execCommand(QStringLiteral("unlink"), QStringLiteral("false"));
    // The engine may leave a styled span around the former link text; the script takes off
    // only a span that holds nothing but that text.
    evaluateJavaScript(
        QStringLiteral("unwrapUnlinkedText(%1)").arg(scriptString(selectedText())));
    emit page()->contentsChanged();
    collapseSelectionToStart();
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
    evaluateJavaScript(QStringLiteral("pasteHtmlAtCaret(%1);").arg(scriptString(html)));
}

void Editor::addRemoveImageAction(QMenu *menu, const QString &imageId)
{
    if (!m_currentPage)
        return;
    QAction *action = menu->addAction(tr("Remove Image"));
    connect(action, &QAction::triggered, this, [this, imageId] {
        evaluateJavaScript(QStringLiteral("removeImage(%1)").arg(scriptString(imageId)));
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
    // The element of the last right-button press, also when the menu comes from the keyboard.
    const QVariantMap element
        = evaluateJavaScript(QStringLiteral("rightButtonClickedElementInfo()")).toMap();

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
