#pragma once

#include "editor/pagehistory.h"

#include <QMainWindow>
#include <QTime>
#include <QUrl>

class Editor;
class Folder;
class Page;
class QAction;
class QActionGroup;
class QDropEvent;
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

// The program's one top-level window: it owns the sidebar, the editor with its toolbar, the
// search panel, every action and menu, the open wiki and the page history, and every user
// command arrives as one of its slots.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Sets the application style sheet and, once per process, registers the shipped fonts.
    static void installApplicationLook();

    // Bring the link and formatting actions up to date before a menu that shows them opens.
    void updateLinkAction();
    void updateFormatActions();
    void updateEditActions();
    void updateEditCommandActions();

    // Opens the wiki at path. False only when it was not opened because of its password.
    bool openWiki(const QString &path, bool checkPassword, bool quietIfProtected);
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
    void onMakeTextBold();
    void onMakeTextUnderlined();
    void onMakeTextItalic();
    void onMakeTextStrikethrough();
    void onWidgetFocusChanged(QWidget *old, QWidget *now);
    void onLinkUnlink();
    void onInsertImage();
    void onTextAlign(QAction *action);
    void onMakeTextSmaller();
    void onMakeTextLarger();
    void onClearRecent();
    void onExportPageAsHTML();
    void onExportPageAsText();
    void onExportWikiAsHTML();
    void onExportWikiAsText();
    void onToolbarBackButton();
    void onToolbarForwardButton();
    void onToolbarFormatButton();
    void onToolbarLinkUnlinkButton();
    void onToolbarDeletePageButton();
    void slotOnWikiPassword();
    void slotOnPagePassword();
    void onRunSearch();
    void onHideSearchResults();
    // Escape: stops a running search, or else hides the results.
    void onSearchEscape();
    void onSearchResultSelected(QString pageID);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createActions();
    void createMenus();
    QAction *makeAction(const QString &objectName, const QString &text, const QString &statusTip,
        const QKeySequence &shortcut, bool checkable, bool enabled);
    void replaceWiki(WikiDocument *newWiki);
    void closeWikiWithoutHomePage();
    void updateRecentFileActions();
    void updateHistoryButtons();
    void updateFocusDependentActions();
    void setEditingActionsEnabled(bool enabled);
    void setPageActionsFor(Page *page);
    void showPageInEditor(Page *page, bool removeBrokenLinks);
    void unlockCurrentPage();
    void reportSaveResult(bool saved);
    void updateSaveState();
    // Waits for the running save and writes what is only in memory, with a busy cursor meanwhile.
    // When that fails the user decides: true to go on closing (or opening another wiki) and lose
    // the changes, false to keep the wiki open.
    bool finishSaving(bool closing);
    QString askForSaveFileName(
        const QString &caption, const QString &filter, const QString &extension);
    QString askForText(const QString &title, const QString &label);
    QString askForDirectory();
    void exportWiki(bool asHtml);
    bool confirmDeletion(const QString &title, const QString &text);

    WikiDocument *wiki = nullptr;
    PageHistory history;
    UpdateChecker *updateChecker = nullptr;
    SearchRunner *searchRunner = nullptr;
    QTimer *autosaveTimer = nullptr;
    // A failed save is told once; the next failure is told again only after a save succeeded.
    bool saveFailureReported = false;
    bool lastSaveFailed = false;
    QTime lastSavedAt;
    bool selectingPage = false;

    Editor *m_editor = nullptr;
    Sidebar *m_sidebar = nullptr;
    SidebarToolbar *sidebarToolbar = nullptr;
    SidebarContainer *sidebarContainer = nullptr;
    Toolbar *toolbar = nullptr;
    SearchResultsWidget *searchResults = nullptr;
    QLabel *saveState = nullptr;

    QAction *newWikiAction = nullptr;
    QAction *newFolderAction = nullptr;
    QAction *deleteFolderAction = nullptr;
    QAction *newPageAction = nullptr;
    QAction *deletePageAction = nullptr;
    QAction *renamePageAction = nullptr;
    QAction *openWikiAction = nullptr;
    QList<QAction *> recentFileActions;
    QAction *clearRecentAction = nullptr;
    QAction *exitAction = nullptr;
    QAction *aboutAction = nullptr;
    QAction *boldAction = nullptr;
    QAction *italicAction = nullptr;
    QAction *underlineAction = nullptr;
    QAction *strikethroughAction = nullptr;
    QAction *createLinkAction = nullptr;
    QAction *insertImageAction = nullptr;
    QAction *smallerAction = nullptr;
    QAction *largerAction = nullptr;
    QActionGroup *alignmentGroup = nullptr;
    QAction *alignLeftAction = nullptr;
    QAction *alignCenterAction = nullptr;
    QAction *alignRightAction = nullptr;
    QAction *alignJustifyAction = nullptr;
    QAction *undoAction = nullptr;
    QAction *redoAction = nullptr;
    QAction *cutAction = nullptr;
    QAction *copyAction = nullptr;
    QAction *pasteAction = nullptr;
    QAction *selectAllAction = nullptr;
    QAction *exportPageHtmlAction = nullptr;
    QAction *exportPageTextAction = nullptr;
    QAction *exportWikiHtmlAction = nullptr;
    QAction *exportWikiTextAction = nullptr;
    QAction *wikiPasswordAction = nullptr;
    QAction *pagePasswordAction = nullptr;

    QMenu *fileMenu = nullptr;
    QMenu *recentFilesMenu = nullptr;
    QMenu *exportPageMenu = nullptr;
    QMenu *exportWikiMenu = nullptr;
    QMenu *editMenu = nullptr;
    QMenu *formatMenu = nullptr;
    QMenu *helpMenu = nullptr;
};
