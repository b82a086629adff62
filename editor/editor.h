#pragma once

#include "editor/imagefile.h"

#include <QHash>
#include <QStringList>
#include <QVariant>
#include <QWebElement>
#include <QWebFrame>
#include <QWebView>

#include <functional>

class EditorActions;
class JsPageController;
class Page;
class QMenu;
class QMimeData;

// The view in which one wiki page at a time is shown and edited in place. The page's markup is
// wrapped in a document that loads the page stylesheets and script; every edit is read back
// from the document body into the page. Links are never followed here: each one is handed to
// the window through linkActivated(). Without a wiki it shows a welcome document, for a locked
// page a placeholder that asks for the password.
//
// Callers bracket programmatic loads with disconnectSignals() and connectSignals(), so that
// loading a page does not count as an edit.
class Editor final : public QWebView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Editor)

public:
    // mainWindow is the window the editor sits in; the editor reports to it only through its
    // signals, which the window connects.
    Editor(QWidget *mainWindow, QWidget *parent);

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

    QString bodyHtml() const;
    // Stores the body's markup into the current page and marks it modified. Refused while no
    // page's own document is shown or while it is still loading.
    void updatePageContent();

    // Takes the focus with a caret in the page, once it has loaded: where the user left it,
    // else at the start; or with all of the page's text selected, so that typing replaces it.
    void focusPage(bool selectAllText);

    void connectSignals();
    void disconnectSignals();
    void setEditable(bool editable);

    // The script's result, or an invalid value when it throws.
    QVariant evaluateJavaScript(const QString &script);
    QString toHtml() const;
    QString toPlainText() const;

    // Turns links to pages that are not in pageIds into their plain text. When the document is
    // still loading, this is done as soon as it has loaded.
    void removeBrokenLinks(const QStringList &pageIds);
    // Selects the occurrence-th hit of the page search's text and scrolls it into view, once
    // the document has loaded.
    void selectSearchHit(const QString &text, int occurrence);

    // Selection helpers. A command given with a bare caret applies to the word at the caret.
    void selectWord();
    void selectLink();
    void collapseSelectionToStart();
    void ensureSelection();
    QString selectedTextOrWord();
    QString selectedHtmlOrWord();
    // Runs one of the engine's editing commands; text is passed as a script string literal,
    // so quotes, backslashes and line breaks in it can neither break nor extend the script.
    void execCommand(const QString &command, const QString &value);

    // Character formatting: a selection stays selected; a bare caret inside a word formats the
    // word and stays where it was; elsewhere the style applies to what is typed next.
    void toggleBold();
    void toggleItalic();
    void toggleUnderline();
    void toggleStrikethrough();
    bool isBold();
    bool isItalic();
    bool isUnderlined();
    bool isStrikethrough();
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
    // ("ul", "ol", "checklist" or empty), "code" and "table" (booleans).
    QVariantMap blockFormatState();
    // Markdown-style typing at the start of a line ("# ", "- ", "[ ] ", "---" and Return...).
    void setAutoformat(bool enabled) { m_autoformat = enabled; }
    bool autoformat() const { return m_autoformat; }

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

    // The link at the selection or caret; empty when there is none.
    QString currentLinkUrl();
    void createLink(const QString &url);
    void unlink();

    // Markup parsed off screen; a null element when it starts with text or is empty.
    static QWebElement elementFromHtml(const QString &html);
    QWebElement selectedElement();
    // Inline style declarations down the first-child chain, inner ones winning.
    static QHash<QString, QString> inlineStyleOf(const QWebElement &element);
    QPoint caretPosition() const;
    QWebHitTestResult hitTest(const QPoint &point) const;

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
    // The shown document changed, by the user or by a command; also while signals are
    // disconnected for a programmatic load.
    void contentsChanged();
    // A link in the shown document was clicked; sent only between connectSignals() and
    // disconnectSignals().
    void linkActivated(QUrl url);
    void escapePressed();
    // Something was dropped onto the view. A receiver that takes the drop accepts the event;
    // otherwise the web engine handles it.
    void dropReceived(QDropEvent *event);
    // Before every paste, by key or command: a receiver that takes care of it (or refuses it)
    // sets *handled, and the engine then pastes nothing.
    void pasteRequested(bool *handled);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private slots:
    void onLoadFinished(bool ok);
    void onPageContentsChanged();

private:
    // Which document the view shows: only a page's own document may be committed into it.
    enum class Shown { Nothing, PageDocument, ProtectedPlaceholder, WelcomeDocument };

    bool isLoading() const;
    // Whether a page's own document is shown for editing.
    bool acceptsMarkup() const;
    void triggerAction(QWebPage::WebAction action);
    void formatSelectionOrWord(const std::function<void()> &command);
    // Runs a page script that edits the document and commits the result.
    void runEditScript(const QString &script);
    void applyFontSize(int delta);
    bool isActionChecked(QWebPage::WebAction action);
    bool isActionEnabled(QWebPage::WebAction action) const;
    void removeBrokenLinksNow(const QStringList &pageIds);

    Page *m_currentPage = nullptr;
    JsPageController *m_controller;
    EditorActions *m_actions = nullptr;
    Shown m_shown = Shown::Nothing;
    // Page identifiers of a removeBrokenLinks() that arrived while the document was loading.
    QStringList m_pendingPageIds;
    // A selectSearchHit() that arrived while the document was loading.
    QString m_pendingHitText;
    int m_pendingHitOccurrence = -1;
    // A focusPage() that arrived while the document was loading.
    enum class PendingFocus { None, Caret, SelectAll };
    PendingFocus m_pendingFocus = PendingFocus::None;
    bool m_autoformat = true;
};
