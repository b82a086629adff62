#pragma once

#include "editor/imagefile.h"

#include <QStringList>
#include <QVariant>
#include <QWebEnginePage>
#include <QDeadlineTimer>
#include <QWebEngineView>

#include <functional>

class EditorActions;
class JsPageController;
class Page;
class PageProfile;
class WebEnginePage;
class QMenu;
class QMimeData;

// The view in which one wiki page at a time is shown and edited in place. The page's markup is
// wrapped in a document that loads the page stylesheets and script; every edit is read back
// from the document body into the page. Links are never followed here: each one is handed to
// the window through linkActivated(). Without a wiki it shows a welcome document, for a locked
// page a placeholder that asks for the password.
//
// The editor never waits for an answer from the page: commands go to the page script without
// one, answers come back later through a callback, and what the selection stands in (the
// formatting the actions show as checked) is reported by the page whenever it changes.
//
// The page runs in the engine's own process. Keys and mouse events go to the view's
// focusProxy(), where the engine takes them; the page script's listeners do the editing.
//
// Callers bracket programmatic loads with disconnectSignals() and connectSignals(), so that
// loading a page does not follow links.
class Editor final : public QWebEngineView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Editor)

public:
    // mainWindow is the window the editor sits in; the editor reports to it only through its
    // signals, which the window connects.
    Editor(QWidget *mainWindow, QWidget *parent);
    ~Editor() override;

    // The formatting, edit, link and picture actions that act on this editor.
    EditorActions *editorActions() const { return m_actions; }

    void loadPage(Page *page);
    // The page last given to loadPage(), or null.
    Page *currentPage() const { return m_currentPage; }
    // Forgets the current page and stops editing; the main window calls it before it deletes
    // the wiki that owns the page, so that nothing is committed into a page that is gone.
    void unloadPage();

    // Also forgets the current page and stops editing: nothing typed there belongs to a page.
    // protectedWiki names a wiki that was not opened because of its password; the document
    // then offers to open it.
    void showWelcomePage(const QString &protectedWiki = QString());
    void showProtectedPagePlaceholder();
    void setPageHtml(const QString &html);

    // Asks the shown page document to commit: the page script answers with its cleaned body
    // when it changed since its last commit, and the editor stores it into the current page and
    // marks it modified. The page also commits by itself shortly after every edit. Neither
    // happens while no page's own document is shown or while it is still loading.
    //
    // The engine runs the page in another process, so the answer comes later: done is called
    // once the page has answered (or at once, through the event loop, when nothing is shown
    // that could), and only then does the current page hold what the document shows. Whoever
    // reads the current page (saving, switching pages, searching, exporting) does so in done.
    void updatePageContent(const std::function<void()> &done = {});

    // Takes the focus with a caret in the page, once it has loaded: where the user left it,
    // else at the start; or with all of the page's text selected, so that typing replaces it.
    void focusPage(bool selectAllText);

    void connectSignals();
    void disconnectSignals();
    void setEditable(bool editable);

    // Runs a page script and forgets its result.
    void runScript(const QString &script);
    // Runs a page script and hands its result (an invalid value when it throws) to callback,
    // always after this returns, never from inside it.
    void runScript(const QString &script, const std::function<void(const QVariant &)> &callback);

    // Turns links to pages that are not in pageIds into their plain text. When the document is
    // still loading, this is done as soon as it has loaded.
    void removeBrokenLinks(const QStringList &pageIds);
    // Selects the occurrence-th hit of the page search's text and scrolls it into view, once
    // the document has loaded.
    void selectSearchHit(const QString &text, int occurrence);

    // The find bar's calls to the engine's find. Each answers through its callback, always
    // after it returns, never from inside it.
    enum class FindStep { FromSelectionStart, Next, Previous };
    // Counting matches stops here.
    static constexpr int maxFindCount = 1000;
    // Selects a match of text and highlights every match. FromSelectionStart finds the one at
    // or after the selection's start, so that the match found so far grows as the text grows;
    // Next and Previous move on from the selection, wrapping at either end. callback gets
    // whether a match was found, how many there are (up to maxFindCount) and which of them is
    // selected (from 1; 0 when none or not counted).
    void findText(const QString &text, bool caseSensitive, FindStep step,
        const std::function<void(bool found, int count, int current)> &callback);
    // Highlights every match and counts them as findText() does, leaving the selection and the
    // scroll as they are; current is the match the selection starts at.
    void highlightMatches(const QString &text, bool caseSensitive,
        const std::function<void(int count, int current)> &callback);
    void clearFindHighlight();
    // Whether the document set last is still loading; commands that need it wait for it.
    bool isLoading() const;
    // Whether a page's own document is shown for editing: only then is text replaced.
    bool isEditable() const { return acceptsMarkup(); }
    // Replaces the selected match of text by replacement, or deletes it when that is empty;
    // callback learns whether the selection was such a match.
    void replaceMatch(const QString &text, bool caseSensitive, const QString &replacement,
        const std::function<void(bool replaced)> &callback);
    // Replaces every match of text, as one step for Undo, and commits the page once; callback
    // gets how many were replaced.
    void replaceAll(const QString &text, const QString &replacement, bool caseSensitive,
        const std::function<void(int replaced)> &callback);

    // Runs one of the engine's editing commands; text is passed as a script string literal,
    // so quotes, backslashes and line breaks in it can neither break nor extend the script.
    void execCommand(const QString &command, const QString &value);

    // Character formatting: a selection stays selected; a bare caret inside a word formats the
    // word and stays where it was; elsewhere the style applies to what is typed next.
    void toggleBold();
    void toggleItalic();
    void toggleUnderline();
    void toggleStrikethrough();
    // As the page last reported them.
    bool isBold() const;
    bool isItalic() const;
    bool isUnderlined() const;
    bool isStrikethrough() const;
    void alignLeft();
    void alignCenter();
    void alignRight();
    void alignJustify();
    // Wraps the selection in a span whose size is the current size plus delta, at least 1 px.
    void changeFontSize(int delta);

    // Block formats for the blocks the selection touches; each one given again turns it off.
    // tag is "h1", "h2", "h3", "p", "pre" or "blockquote".
    void toggleBlockFormat(const QString &tag);
    // kind is "ul", "ol" or "checklist".
    void toggleList(const QString &kind);
    void toggleInlineCode();
    void insertHorizontalRule();
    void insertTable(int rows, int columns);
    // Acts on the table cell of the last right-button press, or the caret's: "insertRowAbove",
    // "insertRowBelow", "insertColumnLeft", "insertColumnRight", "deleteRow", "deleteColumn",
    // "deleteTable".
    void tableCommand(const QString &command);
    // What the caret stands in: "block" ("h1".."h3", "pre", "blockquote" or empty), "list"
    // ("ul", "ol", "checklist" or empty), "code" and "table" (booleans), as the page last
    // reported them; empty while no page's own document is shown.
    QVariantMap blockFormatState() const;
    // Markdown-style typing at the start of a line ("# ", "- ", "[ ] ", "---" and Return...).
    void setAutoformat(bool enabled);
    bool autoformat() const;

    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    // Pastes the clipboard's text alone, without its formatting.
    void pastePlainText();
    void selectAll();
    bool canUndo() const;
    bool canRedo() const;
    bool canCut() const;
    bool canCopy() const;
    bool canPaste() const;
    bool canSelectAll() const;

    // The link at the selection or caret as the page last reported it; empty when there is
    // none.
    QString currentLinkUrl() const;
    // What the link command acts on, handed to callback later: the link at the selection, or
    // else (url empty) the selected text, the word at a bare caret selected first.
    void requestLinkTarget(
        const std::function<void(const QString &url, const QString &text)> &callback);
    // Links the selection, or the word at a bare caret, to url, and commits.
    void createLink(const QString &url);
    void unlink();

    // Inserts an image stored inline in the page at the caret, with an identifier of its own,
    // and commits. Does nothing without a page or without data.
    void insertImage(const QString &base64Data, const QString &format);
    // The picture file that a drop names as text, by path or file:// URL. Not valid when the
    // drop carries markup or an image (the engine inserts those best) or names no picture.
    static ImageFile droppedImageFile(const QMimeData *mime);
    // Replaces the selection by the markup and leaves the caret after it; does not commit.
    void pasteHtml(const QString &html);
    // Pastes markup from outside (the clipboard, a drop) at the caret: cleaned, its web pictures
    // stored inline, then committed. Pasting waits for the pictures to arrive.
    void pasteMarkup(const QString &html);

    // The context menu's entries: removing the image with that id, or the link and formatting
    // commands as the same actions the window's menus show.
    void addRemoveImageAction(QMenu *menu, const QString &imageId);
    void addEditingActions(QMenu *menu);

signals:
    // The shown page document changed, by the user or by a command: sent when the page has
    // committed the change into the current page.
    void contentsChanged();
    // A link in the shown document was clicked; sent only between connectSignals() and
    // disconnectSignals().
    void linkActivated(QUrl url);
    void escapePressed();
    // The page reported a new formatting state: see isBold() and blockFormatState().
    void formatStateChanged();
    // Something was dropped onto the view. A receiver that takes the drop accepts the event;
    // otherwise the web engine handles it.
    void dropReceived(QDropEvent *event);
    // Before every paste, by key or command: a receiver that takes care of it (or refuses it)
    // sets *handled, and the engine then pastes nothing.
    void pasteRequested(bool *handled);
    // The engine changed whether undo, redo, cut or copy can be done: it says so after the
    // edit or selection change that caused it.
    void editCommandsChanged();
    // The engine's process that showed the page has ended (it crashed or was killed): whatever
    // was asked of the page gets no answer. The shown page is loaded again from what it last
    // committed.
    void pageProcessEnded();

protected:
    void dropEvent(QDropEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    // Tab in a page being edited belongs to the page (a tab, the next cell, indenting), not to
    // the focus chain.
    bool focusNextPrevChild(bool next) override;
    // The engine's input widget comes and goes with the documents shown: each gets the filter
    // below.
    void childEvent(QChildEvent *event) override;
    // The editing keys the page handles itself reach it in the order they were typed; a window
    // shortcut would run its script ahead of the keys still on their way.
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void onLoadFinished(bool ok);
    void onContentCommitted(int generation, const QString &html);

private:
    // Which document the view shows: only a page's own document may be committed into it.
    enum class Shown { Nothing, PageDocument, ProtectedPlaceholder, WelcomeDocument };

    // Whether a page's own document is shown for editing.
    bool acceptsMarkup() const;
    void triggerAction(QWebEnginePage::WebAction action);
    // Runs a page script that edits the document and commits the result.
    void runEditScript(const QString &script);
    void onStateReported(const QVariantMap &state);
    bool isActionEnabled(QWebEnginePage::WebAction action) const;
    void removeBrokenLinksNow(const QStringList &pageIds);
    // updatePageContent() for page, shown as the document generation: asks again, shortly, while
    // keys handed to the engine before the request have not reached the document, until
    // keysDeadline.
    void askForCommit(Page *page, int generation, int unloads, const std::function<void()> &done,
        const QDeadlineTimer &keysDeadline);
    // Has the engine highlight every match of text, leaving the selection where it is.
    void highlightAll(const QString &text, bool caseSensitive);

    Page *m_currentPage = nullptr;
    PageProfile *m_profile;
    JsPageController *m_controller;
    WebEnginePage *m_page;
    EditorActions *m_actions = nullptr;
    Shown m_shown = Shown::Nothing;
    // Between a document being set and the engine's report that it has loaded.
    bool m_loading = false;
    bool m_editable = false;
    // Whether clicked links are passed on: see connectSignals().
    bool m_linksConnected = false;
    // Counts the documents shown; the page document's commits carry its own, and only those of
    // the document shown now are taken.
    int m_generation = 0;
    // Counts unloadPage() calls: a page asked to commit before one may be gone.
    int m_unloads = 0;
    // Key presses handed to the engine since the shown document loaded. The engine delivers
    // them apart from the scripts the editor runs, and may deliver them after a script run
    // later: the document counts those it received, and a commit waits for them.
    int m_keysSent = 0;
    bool m_closing = false;
    // Page identifiers of a removeBrokenLinks() that arrived while the document was loading.
    QStringList m_pendingPageIds;
    // A selectSearchHit() that arrived while the document was loading.
    QString m_pendingHitText;
    int m_pendingHitOccurrence = -1;
    // A focusPage() that arrived while the document was loading.
    enum class PendingFocus { None, Caret, SelectAll };
    PendingFocus m_pendingFocus = PendingFocus::None;
    // The page's last reports: its formatting state, and the element of the last right-button
    // press (nodeName, id, inTable).
    QVariantMap m_state;
    QVariantMap m_contextElement;
};
