#pragma once

#include "editor/editoractions.h"
#include "editor/pagehistory.h"
#include "model/backlinks.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QTime>
#include <QUrl>

class Editor;
class FindBar;
class LinkedFromPanel;
class Folder;
class Page;
class QAction;
class QDropEvent;
class QFrame;
class QLabel;
class QMenu;
class QTimer;
class SearchResultsWidget;
class SearchRunner;
class Sidebar;
class SidebarContainer;
class SidebarToolbar;
class Toolbar;
class UpdateChecker;
class WikiDocument;
class WikiSafeguards;

// What the enabled states of the window's commands depend on.
struct WindowState
{
    bool wikiOpen = false;
    // A page of the wiki is in the editor, rather than the welcome document.
    bool pageShown = false;
    bool homePage = false;
    bool pageInFolder = false;
    // A folder's row is current in the sidebar; the page shown before stays in the editor.
    bool folderSelected = false;
    bool pageLocked = false;
    bool canGoBack = false;
    bool canGoForward = false;
};

// The program's one top-level window: it owns the sidebar, the editor with its toolbar, the
// search panel, every menu, the open wiki and the page history, and every user command
// arrives as one of its slots. The editor and the sidebar tell it what happened through their
// signals.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Bring the link, formatting and edit actions up to date before a menu that shows them
    // opens.
    void updateLinkAction() { editing->updateLinkAction(); }
    void updateFormatActions() { editing->updateFormatActions(); }
    void updateEditActions() { editing->updateEditActions(); }
    // Sets every command's enabled state from state; updateActions() uses the window's own.
    void updateActions(const WindowState &state);

    // Opens the wiki at path. False only when it was not opened because of its password. The
    // open wiki is written first, unless saveOpenWiki is false: its file is no longer its own
    // (changed outside, or a version put back in its place).
    bool openWiki(
        const QString &path, bool checkPassword, bool quietIfProtected, bool saveOpenWiki = true);
    // Opens a wiki another copy of the program was started with, once the window's dialogs
    // are closed and the shown page is saved.
    void openHandedOverWiki(const QString &path);
    WikiDocument *currentWiki() const { return wiki; }
    // Asks the web site for a newer release and returns at once; the answer comes later.
    void checkForUpdates(bool verbose);
    Editor *editor() const { return m_editor; }
    // Opens the wiki named on the command line (argument), offering to create it when there
    // is none there and the name ends in ".velmora", or else the most recent wiki.
    void openStartupWiki(const QString &argument);
    Sidebar *sidebar() const { return m_sidebar; }

signals:
    // Every link the editor hands over, as it arrived.
    void linkClicked(QUrl url);

public slots:
    void onLinkClicked(QUrl url);
    // True when the window took the drop itself; otherwise the editor's engine handles it.
    bool onEditorReceivedDropEvent(QDropEvent *event);
    void onNewWiki();
    void onOpenWiki();
    void slotOnOpenRecentWiki();
    void onAboutVelmora();
    void onNewPage();
    void onNewFolder();
    void onDeleteFolder();
    void onDeletePage();
    void onRenamePage();
    void slotOnPageSelectionChanged(Page *previousPage, Page *newPage);
    void slotOnFolderSelected(Folder *folder);
    // Has the wiki written in the background when the shown page changed, or always when
    // forced; the status bar and the title's mark follow how it goes.
    void saveWiki(bool forced);
    void saveWiki() { saveWiki(false); }
    void onWidgetFocusChanged(QWidget *old, QWidget *now);
    void onLinkUnlink();
    void onInsertImage();
    void onClearRecent();
    void onExportPageAsHTML() { exportPage(true); }
    void onExportPageAsText() { exportPage(false); }
    void onExportWikiAsHTML() { exportWiki(true); }
    void onExportWikiAsText() { exportWiki(false); }
    void onToolbarBackButton();
    void onToolbarForwardButton();
    void onToolbarFormatButton();
    void onToolbarLinkUnlinkButton() { onLinkUnlink(); }
    void onToolbarDeletePageButton() { onDeletePage(); }
    void slotOnWikiPassword();
    void slotOnPagePassword();
    void onRunSearch();
    void onHideSearchResults();
    // Escape: stops a running search, or else hides the results.
    void onSearchEscape();
    void onSearchResultSelected(QString pageID);
    // The Go to Page box: opens the page chosen there with the caret in it.
    void onGoToPage();
    // Writes the wiki at once, whether or not the page changed.
    void onSaveNow();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createWidgets();
    void createMenus();
    template <typename Slot>
    QAction *addMenuAction(QMenu *menu, const char *name, const QString &text,
        const QString &statusTip, Slot slot, const QKeySequence &shortcut = QKeySequence());
    QMenu *addSubmenu(QMenu *menu, const char *name, const QString &title);
    void createGoMenu();
    // Moves the focus step areas on in the cycle sidebar, page, search box, results (when
    // shown).
    void moveFocusToArea(int step);
    // The link command's second half, once the editor has said what it acts on: removes the
    // link at url, or links text to a web address or a page of that name, made when missing.
    void linkOrUnlink(const QString &url, const QString &text);
    WindowState currentState() const;
    void updateActions() { updateActions(currentState()); }
    void replaceWiki(WikiDocument *newWiki);
    void closeWikiWithoutHomePage();
    void updateRecentFileActions();
    // The one way a page reaches the editor: loaded with its editable state, focused, recorded
    // in the history, and the commands set for it.
    void showPage(Page *page, bool removeBrokenLinks);
    void unlockCurrentPage();
    void reportSaveResult(bool saved);
    void updateSaveState();
    // Waits for the running save and writes what is only in memory, with a busy cursor meanwhile.
    // When that fails the user decides: true to go on closing (or opening another wiki) and lose
    // the changes, false to keep the wiki open.
    bool finishSaving(bool closing);
    // Saves the wiki when the current page changed (or always when forced); the page must
    // hold what it shows.
    void requestSave(bool forced);
    // Asks the page for what it shows and waits for the answer, for as long as the page's
    // process lives (and at most pageCommitWaitMs); false when none came.
    bool waitForPageCommit();
    void exportPage(bool asHtml);
    void exportWiki(bool asHtml);
    void renameFolder();
    // Lists the pages that link to the shown page under it.
    void updateLinkedFrom();
    bool confirmDeletion(const QString &title, const QString &text);
    // A message box with one "OK" button under the accept role.
    void tell(const QString &title, const QString &text);

    WikiDocument *wiki = nullptr;
    PageHistory history;
    UpdateChecker *updateChecker = nullptr;
    SearchRunner *searchRunner = nullptr;
    // Counts the wikis shown, so that a late answer of the page finds out whether its wiki is
    // still the one open.
    int wikiCount = 0;
    // Counts the searches asked for: only the latest starts once the page has answered.
    int searchRequests = 0;
    WikiSafeguards *safeguards = nullptr;
    QTimer *autosaveTimer = nullptr;
    // A failed save is told once; the next failure is told again only after a save succeeded.
    bool saveFailureReported = false;
    bool lastSaveFailed = false;
    QTime lastSavedAt;
    bool selectingPage = false;
    bool folderSelected = false;
    // The receiver of the application's focus signal: a member, so that it goes, and the
    // connection with it, before the window's widgets are torn down and move the focus.
    QObject focusHook;

    Editor *m_editor = nullptr;
    EditorActions *editing = nullptr;
    Sidebar *m_sidebar = nullptr;
    SidebarToolbar *sidebarToolbar = nullptr;
    SidebarContainer *sidebarContainer = nullptr;
    Toolbar *toolbar = nullptr;
    SearchResultsWidget *searchResults = nullptr;
    QLabel *saveState = nullptr;
    QFrame *editorFrame = nullptr;
    FindBar *findBar = nullptr;
    LinkedFromPanel *linkedFrom = nullptr;
    Backlinks backlinks;

    // The actions and menus whose state changes after construction.
    QAction *newWikiAction = nullptr;
    QAction *openWikiAction = nullptr;
    QAction *newFolderAction = nullptr;
    QAction *deleteFolderAction = nullptr;
    QAction *newPageAction = nullptr;
    QAction *deletePageAction = nullptr;
    QAction *renamePageAction = nullptr;
    QAction *wikiPasswordAction = nullptr;
    QAction *pagePasswordAction = nullptr;
    QList<QAction *> recentFileActions;
    QAction *restoreBackupAction = nullptr;
    QAction *wikiSizeAction = nullptr;
    QAction *backAction = nullptr;
    QAction *forwardAction = nullptr;
    QAction *goToPageAction = nullptr;
    QMenu *recentFilesMenu = nullptr;
    QMenu *exportPageMenu = nullptr;
    QMenu *exportWikiMenu = nullptr;
};
