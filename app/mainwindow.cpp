#include "app/mainwindow.h"

#include "app/aboutdialog.h"
#include "app/createpassworddialog.h"
#include "app/enterpassworddialog.h"
#include "app/gotopagedialog.h"
#include "app/settings.h"
#include "app/updatechecker.h"
#include "app/wikisafeguards.h"
#include "editor/editor.h"
#include "editor/editoractions.h"
#include "editor/findbar.h"
#include "editor/linkedfrompanel.h"
#include "editor/toolbar.h"
#include "model/commandline.h"
#include "model/exporter.h"
#include "model/folder.h"
#include "model/htmlprocessor.h"
#include "model/page.h"
#include "model/urls.h"
#include "model/wikidocument.h"
#include "model/wikifilecheck.h"
#include "model/wikisaver.h"
#include "search/searchresultswidget.h"
#include "search/searchrunner.h"
#include "search/searchtextedit.h"
#include "sidebar/sidebar.h"
#include "sidebar/sidebarcontainer.h"
#include "sidebar/sidebartoolbar.h"
#include "sidebar/sidebartree.h"
#include "widgets/applicationlook.h"
#include "widgets/imagebutton.h"
#include "widgets/widgetutils.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const int autosaveIntervalMs = 10000;
// The longest the window waits for the page's last words before it closes or opens another
// wiki: the page answers within milliseconds, within seconds on a machine under load, and a
// process that has not answered in a minute is hung. A busy cursor shows after a moment.
const int pageCommitWaitMs = 60000;
const int pageCommitNoticeableMs = 300;
const int maxRecentFiles = 5;

QString welcomeNoWikiText()
{
    return MainWindow::tr("Welcome to Velmora. Open or create a new wiki to get started.");
}

// How many links in pages other than the one with this identifier lead to it.
int linksTo(const QList<Page *> &pages, const QString &id)
{
    // The address ends at its quote: the link to "12" is not one to "123".
    const QRegularExpression link(
        QStringLiteral("href=[\"']%1[\"']").arg(QRegularExpression::escape(pageUrl(id))));
    int count = 0;
    for (const Page *page : pages) {
        if (page->id() == id)
            continue;
        for (auto match = link.globalMatch(page->content()); match.hasNext(); match.next())
            ++count;
    }
    return count;
}

// A menu of the menu bar, or a submenu, with its object name.
template <typename Parent>
QMenu *addNamedMenu(Parent *parent, const char *name, const QString &title)
{
    QMenu *menu = parent->addMenu(title);
    menu->setObjectName(QLatin1String(name));
    return menu;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    Gui::installApplicationLook();
    setObjectName(QStringLiteral("MainWindow"));

    // The widgets come first: the menus show the editor's own actions.
    createWidgets();
    createMenus();
    statusBar()->showMessage(welcomeNoWikiText());
    // A permanent widget: menu status tips take the message area over for a while.
    saveState = new QLabel(this);
    saveState->setObjectName(QStringLiteral("saveStateLabel"));
    saveState->setStyleSheet(QStringLiteral("#saveStateLabel { padding: 0 8px; }"));
    statusBar()->addPermanentWidget(saveState);
    safeguards = new WikiSafeguards(this, m_editor, statusBar());
    connect(safeguards, &WikiSafeguards::reopenRequested, this,
        [this](const QString &path, bool checkPassword) {
            openWiki(path, checkPassword, false, false);
        });
    connect(safeguards, &WikiSafeguards::pageRequested, this,
        [this](const QString &id) { m_sidebar->selectItem(id); });
    connect(m_editor, &Editor::pasteRequested, this,
        [this](bool *handled) { *handled = safeguards->interceptPaste(); });

    connect(m_editor, &Editor::linkActivated, this, &MainWindow::onLinkClicked);
    // Queued: the editor's own handler stores the edit in the page first.
    connect(m_editor, &Editor::contentsChanged, this, &MainWindow::updateSaveState,
        Qt::QueuedConnection);
    connect(m_editor, &Editor::escapePressed, this, &MainWindow::onSearchEscape);
    connect(m_editor, &Editor::dropReceived, this, &MainWindow::onEditorReceivedDropEvent);
    connect(
        m_sidebar, &Sidebar::onPageSelectionChanged, this, &MainWindow::slotOnPageSelectionChanged);
    connect(m_sidebar, &Sidebar::signalOnFolderSelected, this, &MainWindow::slotOnFolderSelected);
    // A row chosen with Enter puts the caret in its page; a folder's row opens or closes.
    connect(m_sidebar->tree(), &SidebarTree::rowEntered, this, [this] {
        QTreeWidgetItem *row = m_sidebar->tree()->currentItem();
        if (folderSelected)
            row->setExpanded(!row->isExpanded());
        else
            m_editor->focusPage(false);
    });
    connect(sidebarToolbar->newPageButton, &ImageButton::clicked, this, &MainWindow::onNewPage);
    connect(toolbar->backButton, &ImageButton::clicked, this, &MainWindow::onToolbarBackButton);
    connect(
        toolbar->forwardButton, &ImageButton::clicked, this, &MainWindow::onToolbarForwardButton);
    connect(toolbar->formatButton, &ImageButton::clicked, this, &MainWindow::onToolbarFormatButton);
    connect(toolbar->linkUnlinkButton, &ImageButton::clicked, this,
        &MainWindow::onToolbarLinkUnlinkButton);
    connect(toolbar->deletePageButton, &ImageButton::clicked, this,
        &MainWindow::onToolbarDeletePageButton);
    connect(toolbar->searchEdit, &SearchTextEdit::runSearch, this, &MainWindow::onRunSearch);
    connect(searchResults, &SearchResultsWidget::hideButtonClicked, this,
        &MainWindow::onHideSearchResults);
    connect(searchResults, &SearchResultsWidget::itemSelected, this,
        &MainWindow::onSearchResultSelected);

    updateActions();
    openStartupWiki(firstCommandLineArgument());

    connect(qApp, &QApplication::focusChanged, &focusHook,
        [this](QWidget *old, QWidget *now) { onWidgetFocusChanged(old, now); });
    setUnifiedTitleAndToolBarOnMac(true);

    autosaveTimer = new QTimer(this);
    autosaveTimer->setObjectName(QStringLiteral("autosaveTimer"));
    connect(autosaveTimer, &QTimer::timeout, this, [this] { saveWiki(false); });
    autosaveTimer->start(autosaveIntervalMs);

    // Only sent here: the answer arrives through the event loop, after the window is shown.
    searchRunner = new SearchRunner(this);
    connect(
        searchRunner, &SearchRunner::progressed, searchResults, &SearchResultsWidget::showProgress);
    connect(
        searchRunner, &SearchRunner::resultsFound, searchResults, &SearchResultsWidget::addResults);
    connect(
        searchRunner, &SearchRunner::finished, searchResults, &SearchResultsWidget::finishResults);
    connect(searchResults, &SearchResultsWidget::hitSelected, this,
        [this](const QString &pageID, const QString &text, int occurrence) {
            if (m_editor->currentPage() && m_editor->currentPage()->id() == pageID)
                m_editor->selectSearchHit(text, occurrence);
        });
    // The sidebar row of the page being typed in shows its new first words within a moment.
    auto *previewTimer = new QTimer(this);
    previewTimer->setSingleShot(true);
    previewTimer->setInterval(500);
    connect(previewTimer, &QTimer::timeout, m_sidebar->tree()->viewport(),
        qOverload<>(&QWidget::update));
    connect(m_editor, &Editor::contentsChanged, previewTimer, [previewTimer] {
        if (!previewTimer->isActive())
            previewTimer->start();
    });
    updateChecker = new UpdateChecker(this);
    if (Settings::checkForUpdatesAtStartup())
        checkForUpdates(false);
}

MainWindow::~MainWindow()
{
    // The views point into the wiki's items: let go of them before the items go.
    m_editor->unloadPage();
    ++wikiCount;
    delete std::exchange(wiki, nullptr);
}

void MainWindow::createWidgets()
{
    m_sidebar = new Sidebar(this);
    sidebarToolbar = new SidebarToolbar(this);
    sidebarToolbar->hide();
    sidebarContainer = new SidebarContainer(sidebarToolbar, m_sidebar, this);

    m_editor = new Editor(this, this);
    m_editor->setEditable(false);
    m_editor->setAutoformat(Settings::markdownAutoformat());
    m_editor->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    editing = m_editor->editorActions();
    toolbar = new Toolbar(this, editing);

    auto *rightColumn = new QFrame(this);
    QVBoxLayout *rightLayout = Gui::makeVBoxLayout(rightColumn);
    auto *splitter = new QSplitter(Qt::Vertical, rightColumn);
    splitter->setChildrenCollapsible(false);
    searchResults = new SearchResultsWidget(splitter);
    searchResults->hide();
    // The find bar over the page, the pages linking to it under it. The frame's border
    // round the page shows where the focus is, as the other areas' own borders do.
    auto *pageColumn = new QWidget(splitter);
    QVBoxLayout *pageLayout = Gui::makeVBoxLayout(pageColumn);
    findBar = new FindBar(m_editor, pageColumn);
    linkedFrom = new LinkedFromPanel(pageColumn);
    linkedFrom->hide();
    editorFrame = new QFrame(pageColumn);
    editorFrame->setObjectName(QStringLiteral("EditorFrame"));
    editorFrame->setStyleSheet(QStringLiteral("#EditorFrame { border: 2px solid #ffffff; } "
                                              "#EditorFrame[pageFocus=\"true\"] { border-color: "
                                              "#03a2f3; }"));
    Gui::makeVBoxLayout(editorFrame)->addWidget(m_editor);
    pageLayout->addWidget(findBar);
    // The page takes the height that the find bar and the links under it leave.
    pageLayout->addWidget(editorFrame, 1);
    pageLayout->addWidget(linkedFrom);
    connect(linkedFrom, &LinkedFromPanel::pageActivated, this,
        [this](const QString &id) { m_sidebar->selectItem(id); });
    splitter->addWidget(pageColumn);
    splitter->addWidget(searchResults);
    rightLayout->addWidget(toolbar);
    rightLayout->addWidget(splitter);

    // The sidebar's width is the user's, dragged at the handle and kept for the next start.
    auto *columns = new QSplitter(Qt::Horizontal, this);
    columns->setObjectName(QStringLiteral("columnSplitter"));
    columns->setChildrenCollapsible(false);
    columns->setHandleWidth(3);
    columns->addWidget(sidebarContainer);
    columns->addWidget(rightColumn);
    columns->setStretchFactor(0, 0);
    columns->setStretchFactor(1, 1);
    const int sidebarWidth = Settings::sidebarWidth();
    columns->setSizes({sidebarWidth > 0 ? sidebarWidth : 260, 740});
    connect(columns, &QSplitter::splitterMoved, this,
        [columns] { Settings::setSidebarWidth(columns->sizes().constFirst()); });
    setCentralWidget(columns);
    // Small enough for a half screen; at this size the search box and the sidebar's title
    // still show whole.
    setMinimumSize(760, 480);
}

// --- Actions and menus -------------------------------------------------------------------

template <typename Slot>
QAction *MainWindow::addMenuAction(QMenu *menu, const char *name, const QString &text,
    const QString &statusTip, Slot slot, const QKeySequence &shortcut)
{
    auto *action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(statusTip);
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, slot);
    menu->addAction(action);
    return action;
}

void MainWindow::createMenus()
{
    QMenu *fileMenu = addNamedMenu(menuBar(), "fileMenu", tr("&File"));
    newWikiAction
        = addMenuAction(fileMenu, "newWikiAction", tr("&New Wiki"), tr("Create a new Velmora wiki"),
            &MainWindow::onNewWiki, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    openWikiAction = addMenuAction(fileMenu, "openWikiAction", tr("&Open Wiki"),
        tr("Open an existing Velmora wiki"), &MainWindow::onOpenWiki,
        QKeySequence(Qt::CTRL | Qt::Key_O));
    fileMenu->addSeparator();
    recentFilesMenu = addNamedMenu(fileMenu, "recentFilesMenu", tr("&Recent Files"));
    for (int i = 0; i < maxRecentFiles; ++i) {
        recentFileActions << addMenuAction(recentFilesMenu,
            QStringLiteral("recentFileAction%1").arg(i + 1).toLatin1().constData(), QString(),
            QString(), &MainWindow::slotOnOpenRecentWiki);
        recentFileActions.last()->setVisible(false);
    }
    recentFilesMenu->addSeparator();
    addMenuAction(recentFilesMenu, "clearRecentAction", tr("&Clear Menu"), QString(),
        &MainWindow::onClearRecent);
    fileMenu->addSeparator();
    newFolderAction = addMenuAction(fileMenu, "newFolderAction", tr("New &Folder"),
        tr("Create a new folder in this wiki"), &MainWindow::onNewFolder);
    deleteFolderAction = addMenuAction(fileMenu, "deleteFolderAction", tr("De&lete Folder"),
        tr("Delete the current folder and all contained pages."), &MainWindow::onDeleteFolder);
    fileMenu->addSeparator();
    newPageAction = addMenuAction(fileMenu, "newPageAction", tr("New &Page"),
        tr("Create a new page in this wiki"), &MainWindow::onNewPage,
        QKeySequence(Qt::CTRL | Qt::Key_N));
    deletePageAction = addMenuAction(fileMenu, "deletePageAction", tr("&Delete Page"),
        tr("Delete the current page"), &MainWindow::onDeletePage);
    fileMenu->addSeparator();
    renamePageAction = addMenuAction(fileMenu, "renamePageAction", tr("Rena&me Page"),
        tr("Rename the current page"), &MainWindow::onRenamePage, QKeySequence(Qt::Key_F2));
    addMenuAction(fileMenu, "saveNowAction", tr("&Save Now"), tr("Write the wiki to its file now"),
        &MainWindow::onSaveNow, QKeySequence::Save);
    fileMenu->addSeparator();
    wikiPasswordAction = addMenuAction(fileMenu, "wikiPasswordAction", tr("&Wiki Password"),
        tr("Wiki password protection"), &MainWindow::slotOnWikiPassword);
    pagePasswordAction = addMenuAction(fileMenu, "pagePasswordAction", tr("P&age Password"),
        tr("Page password protection"), &MainWindow::slotOnPagePassword);
    fileMenu->addSeparator();
    exportPageMenu = addNamedMenu(fileMenu, "exportPageMenu", tr("&Export Page As"));
    addMenuAction(exportPageMenu, "exportPageHtmlAction", tr("Export as &HTML"),
        tr("Save the current page as an HTML document"), &MainWindow::onExportPageAsHTML);
    addMenuAction(exportPageMenu, "exportPageTextAction", tr("Export as &Text"),
        tr("Save the current page as a text file"), &MainWindow::onExportPageAsText);
    exportWikiMenu = addNamedMenu(fileMenu, "exportWikiMenu", tr("Expor&t Wiki As"));
    addMenuAction(exportWikiMenu, "exportWikiHtmlAction", tr("Export as &HTML"),
        tr("Save all the pages as HTML documents"), &MainWindow::onExportWikiAsHTML);
    addMenuAction(exportWikiMenu, "exportWikiTextAction", tr("Export as &Text"),
        tr("Save all the pages as text files"), &MainWindow::onExportWikiAsText);
    fileMenu->addSeparator();
    restoreBackupAction = addMenuAction(fileMenu, "restoreBackupAction",
        tr("Restore From &Backup…"), tr("Look at or restore an earlier version of this wiki"),
        [this] { safeguards->showVersions(); });
    wikiSizeAction = addMenuAction(fileMenu, "wikiSizeAction", tr("Wiki Si&ze…"),
        tr("How full this wiki is, and its largest pages and pictures"),
        [this] { safeguards->showSizes(); });
    fileMenu->addSeparator();
    addMenuAction(fileMenu, "exitAction", tr("E&xit Velmora"), tr("Exit Velmora"), &QWidget::close,
        QKeySequence(Qt::CTRL | Qt::Key_Q));
    updateRecentFileActions();

    connect(editing->createLinkAction, &QAction::triggered, this, &MainWindow::onLinkUnlink);
    connect(editing->insertImageAction, &QAction::triggered, this, &MainWindow::onInsertImage);
    QMenu *editMenu = addNamedMenu(menuBar(), "editMenu", tr("&Edit"));
    editing->addEditActions(editMenu);
    editMenu->addSeparator();
    findBar->addActionsTo(editMenu);
    connect(editMenu, &QMenu::aboutToShow, this, &MainWindow::updateEditActions);
    QMenu *formatMenu = addNamedMenu(menuBar(), "formatMenu", tr("F&ormat"));
    editing->addFormatActions(formatMenu);
    connect(formatMenu, &QMenu::aboutToShow, this, &MainWindow::updateFormatActions);

    editing->insertImageAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
    createGoMenu();

    QMenu *helpMenu = addNamedMenu(menuBar(), "helpMenu", tr("&Help"));
    addMenuAction(helpMenu, "aboutAction", tr("&About Velmora"),
        tr("Get more information about this Velmora installation"), &MainWindow::onAboutVelmora);
    QAction *startupCheck = helpMenu->addAction(tr("&Check for Updates at Start-up"), this,
        [](bool checked) { Settings::setCheckForUpdatesAtStartup(checked); });
    startupCheck->setObjectName(QStringLiteral("startupUpdateCheckAction"));
    startupCheck->setCheckable(true);
    startupCheck->setChecked(Settings::checkForUpdatesAtStartup());
}

// Moving between pages and between the window's areas by keyboard.
void MainWindow::createGoMenu()
{
    QMenu *goMenu = addNamedMenu(menuBar(), "goMenu", tr("&Go"));
    backAction
        = addMenuAction(goMenu, "backAction", tr("&Back"), tr("Return to the previous page."),
            &MainWindow::onToolbarBackButton, QKeySequence(Qt::ALT | Qt::Key_Left));
    forwardAction
        = addMenuAction(goMenu, "forwardAction", tr("&Forward"), tr("Go to the next page."),
            &MainWindow::onToolbarForwardButton, QKeySequence(Qt::ALT | Qt::Key_Right));
    goToPageAction = addMenuAction(goMenu, "goToPageAction", tr("&Go to Page…"),
        tr("Open a page by typing part of its name"), &MainWindow::onGoToPage);
    goToPageAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_P), QKeySequence(Qt::CTRL | Qt::Key_G)});
    goMenu->addSeparator();
    // The page keeps Tab for indenting, so these keys are the way out of it.
    addMenuAction(goMenu, "nextAreaAction", tr("&Next Area"),
        tr("Move the focus to the sidebar, the page, the search box or the results"),
        [this] { moveFocusToArea(1); })
        ->setShortcuts({QKeySequence(Qt::Key_F6), QKeySequence(Qt::CTRL | Qt::Key_Tab)});
    addMenuAction(goMenu, "previousAreaAction", tr("&Previous Area"),
        tr("Move the focus back to the area before"), [this] { moveFocusToArea(-1); })
        ->setShortcuts({QKeySequence(Qt::SHIFT | Qt::Key_F6),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)});

    // Delete belongs to the page's text everywhere but in the sidebar.
    auto *deleteRow = new QAction(m_sidebar->tree());
    deleteRow->setShortcut(QKeySequence::Delete);
    deleteRow->setShortcutContext(Qt::WidgetShortcut);
    m_sidebar->tree()->addAction(deleteRow);
    connect(deleteRow, &QAction::triggered, this, [this] {
        if (folderSelected)
            onDeleteFolder();
        else
            onDeletePage();
    });
}

void MainWindow::moveFocusToArea(int step)
{
    QList<QWidget *> areas {m_sidebar->tree(), m_editor, toolbar->searchEdit};
    if (searchResults->isVisible())
        areas << searchResults;
    QWidget *focus = QApplication::focusWidget();
    int current = -1;
    for (int i = 0; i < areas.size(); ++i) {
        if (focus && (areas.at(i) == focus || areas.at(i)->isAncestorOf(focus)))
            current = i;
    }
    // Nowhere yet: forwards starts at the sidebar, backwards at the last area.
    const int next = current < 0 ? (step > 0 ? 0 : areas.size() - 1)
                                 : (current + step + areas.size()) % areas.size();
    QWidget *area = areas.at(next);
    if (area == m_editor)
        m_editor->focusPage(false);
    else
        area->setFocus(Qt::ShortcutFocusReason);
}

void MainWindow::onGoToPage()
{
    if (!wiki)
        return;
    QList<QPair<QString, QString>> pages;
    for (const Page *page : wiki->allPages())
        pages.append({page->id(), page->name()});
    GoToPageDialog dialog(pages, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_sidebar->selectItem(dialog.chosenPageId());
    m_editor->focusPage(false);
}

void MainWindow::onSaveNow()
{
    if (!wiki)
        return;
    saveWiki(true);
    statusBar()->showMessage(tr("Saving the wiki now"), 3000);
}

// --- Enabled states ----------------------------------------------------------------------

WindowState MainWindow::currentState() const
{
    WindowState state;
    Page *page = wiki ? m_editor->currentPage() : nullptr;
    state.wikiOpen = wiki;
    state.pageShown = page;
    state.homePage = page && page->isHomePage();
    state.pageInFolder = page && wiki->isPageInFolder(page->id());
    state.folderSelected = folderSelected;
    state.pageLocked = page && page->isLocked();
    state.canGoBack = history.canGoBack();
    state.canGoForward = history.canGoForward();
    return state;
}

// Every rule for which command is available, in one place. The edit actions (Undo to Select
// All) follow the engine instead, when the Edit menu opens.
void MainWindow::updateActions(const WindowState &state)
{
    const bool wikiCommands = state.wikiOpen;
    const bool page = wikiCommands && state.pageShown;
    const bool editable = page && !state.pageLocked;
    const bool notHome = page && !state.homePage;

    for (QAction *action : {newWikiAction, openWikiAction})
        action->setEnabled(true);
    recentFilesMenu->setEnabled(recentFileActions.first()->isVisible());
    for (QAction *action : {newFolderAction, newPageAction, wikiPasswordAction, pagePasswordAction,
             restoreBackupAction, wikiSizeAction})
        action->setEnabled(wikiCommands);
    exportWikiMenu->setEnabled(wikiCommands);
    deleteFolderAction->setEnabled(page && (state.pageInFolder || state.folderSelected));
    deletePageAction->setEnabled(notHome);
    // F2 renames what is selected in the sidebar: a folder as well as a page.
    renamePageAction->setEnabled(notHome || (wikiCommands && state.folderSelected));
    exportPageMenu->setEnabled(page && !state.pageLocked);
    editing->setEditingEnabled(editable);

    toolbar->deletePageButton->setEnabled(notHome);
    toolbar->backButton->setEnabled(state.canGoBack);
    toolbar->forwardButton->setEnabled(state.canGoForward);
    backAction->setEnabled(state.canGoBack);
    forwardAction->setEnabled(state.canGoForward);
    goToPageAction->setEnabled(wikiCommands);
    toolbar->searchEdit->setEnabled(state.wikiOpen);
    sidebarToolbar->setVisible(state.wikiOpen);
}

void MainWindow::onWidgetFocusChanged(QWidget *old, QWidget *now)
{
    if (old == m_editor || now == m_editor) {
        updateActions();
        editorFrame->setProperty("pageFocus", now == m_editor);
        editorFrame->style()->unpolish(editorFrame);
        editorFrame->style()->polish(editorFrame);
    }
}

void MainWindow::showPage(Page *page, bool removeBrokenLinks)
{
    // A page chosen with the mouse or the arrows in the sidebar leaves the focus there, for
    // the next key; from anywhere else the caret goes into the page.
    const bool sidebarFocused = m_sidebar->tree()->hasFocus();
    // The page being left keeps the last words typed into it: they come with the page's
    // answer, after the next page is shown, and are saved then.
    Page *leaving = m_editor->currentPage();
    if (leaving && leaving != page) {
        const int left = wikiCount;
        const QString id = leaving->id();
        m_editor->updatePageContent([this, left, id] {
            Page *stillThere = wiki && wikiCount == left ? wiki->findPageById(id) : nullptr;
            if (stillThere && stillThere != m_editor->currentPage() && stillThere->isModified()) {
                stillThere->setModified(false);
                wiki->requestSave();
            }
        });
    }
    m_editor->disconnectSignals();
    m_editor->setEditable(page->isUnlocked());
    m_editor->loadPage(page);
    if (!sidebarFocused)
        m_editor->focusPage(false);
    if (removeBrokenLinks)
        m_editor->removeBrokenLinks(wiki->allPageIds());
    m_editor->connectSignals();
    // Showing the current entry again adds nothing to the history.
    history.push(page->id());
    folderSelected = false;
    updateActions();
    // After the caller's own changes: a page being deleted goes from the wiki only after the
    // page shown in its place is loaded.
    QTimer::singleShot(0, this, &MainWindow::updateLinkedFrom);
}

void MainWindow::updateLinkedFrom()
{
    Page *page = wiki ? m_editor->currentPage() : nullptr;
    linkedFrom->setVisible(page);
    if (page)
        linkedFrom->showPages(backlinks.pagesLinkingTo(page->id(), wiki->allPages()));
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F && event->modifiers() != Qt::NoModifier) {
        toolbar->searchEdit->setFocus(Qt::OtherFocusReason);
        toolbar->searchEdit->selectAll();
    } else if (event->key() == Qt::Key_Escape) {
        onSearchEscape();
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::tell(const QString &title, const QString &text)
{
    Gui::runMessageBox(
        QMessageBox::Information, title, text, {{tr("OK"), QMessageBox::AcceptRole}}, this);
}

// --- Opening, saving and closing ----------------------------------------------------------

void MainWindow::openStartupWiki(const QString &argument)
{
    // The command line's wiki, else the most recent one (silently not when protected), else none.
    const QString recent = Settings::mostRecentWiki();
    bool opened = true;
    bool recentProtected = false;
    if (!argument.isEmpty() && QFileInfo::exists(argument)) {
        opened = openWiki(argument, true, false);
    } else if (argument.endsWith(QLatin1String(".velmora"), Qt::CaseInsensitive)) {
        // Only a name that New Wiki would give: a test program's function name, for one, is
        // no wiki to create.
        const QString path = QFileInfo(argument).absoluteFilePath();
        const bool create = Gui::runMessageBox(QMessageBox::Question, tr("New Wiki"),
                                tr("There is no wiki at %1. Create a new wiki there?")
                                    .arg(QDir::toNativeSeparators(path)),
                                {{tr("Yes"), QMessageBox::AcceptRole},
                                    {tr("No"), QMessageBox::RejectRole}},
                                this)
            == 0;
        // Created as New Wiki creates one; opening a new path writes the wiki there.
        opened = openWiki(create ? path : QString(), false, false);
    } else if (!recent.isEmpty() && QFileInfo::exists(recent)) {
        opened = openWiki(recent, true, true);
        recentProtected = !opened;
    } else {
        if (!recent.isEmpty())
            Settings::removeRecentWiki(recent);
        opened = openWiki(QString(), false, false);
    }
    if (!opened)
        openWiki(QString(), false, false);
    // The most recent wiki stays closed when protected; the welcome document says so.
    if (recentProtected)
        m_editor->showWelcomePage(QFileInfo(recent).fileName());
}

bool MainWindow::openWiki(
    const QString &path, bool checkPassword, bool quietIfProtected, bool saveOpenWiki)
{
    // The wiki open now goes to the disk first, whatever becomes of the new one.
    if (!path.isEmpty() && saveOpenWiki && !finishSaving(false))
        return true;
    if (path.isEmpty()) {
        m_editor->showWelcomePage();
        return true;
    }

    auto *newWiki = new WikiDocument(path);
    if (newWiki->loadFailed()) {
        // The file holds something that is no wiki: leave it, and whatever was open, alone.
        delete newWiki;
        // A pipe, a device or a folder never becomes readable: it leaves the recent list.
        if (!QFileInfo(path).isFile()) {
            Settings::removeRecentWiki(path);
            updateRecentFileActions();
        }
        Gui::showErrorMessage(WikiFileCheck::notAWikiMessage(path), this);
        if (!wiki)
            m_editor->showWelcomePage();
        return true;
    }

    if (checkPassword && newWiki->passwordDescriptor().isSet()) {
        if (quietIfProtected) {
            delete newWiki;
            return false;
        }
        if (!EnterPasswordDialog::confirm(newWiki->passwordDescriptor(), true, false, this)) {
            delete newWiki;
            return false;
        }
    }

    replaceWiki(newWiki);
    setWindowFilePath(path);
    updateSaveState();
    statusBar()->showMessage(tr("Welcome to Velmora"));

    Page *home = wiki->homePage();
    if (!home) {
        closeWikiWithoutHomePage();
        return true;
    }

    m_sidebar->setWiki(wiki);
    sidebarToolbar->setTitle(QFileInfo(path).baseName());
    showPage(home, true);
    m_editor->focusPage(false);

    Settings::addRecentWiki(path);
    updateRecentFileActions();

    if (!wiki->legacyBackupPath().isEmpty()) {
        Gui::showInfoMessage(tr("Wiki From an Earlier Release"),
            tr("This wiki was made by an earlier release of Velmora and will be saved "
               "in the current format. A copy of the original file was kept at:\n%1")
                .arg(QDir::toNativeSeparators(wiki->legacyBackupPath())),
            this);
    }
    return true;
}

void MainWindow::openHandedOverWiki(const QString &path)
{
    // A dialog of the window is answered first; the wiki opens once it has closed.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(250, this, [this, path] { openHandedOverWiki(path); });
        return;
    }
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
    if (!QFileInfo::exists(path)) {
        Gui::showErrorMessage(tr("The selected file does not exist."), this);
        return;
    }
    // openWiki writes the open wiki's last state first and asks when that fails.
    openWiki(path, true, false);
}

void MainWindow::replaceWiki(WikiDocument *newWiki)
{
    // Nothing may keep pointing into the old wiki's items once it is gone; answers of the page
    // asked for before are for the old wiki.
    ++wikiCount;
    m_editor->unloadPage();
    m_sidebar->setWiki(nullptr);
    onHideSearchResults();
    history = PageHistory();
    if (wiki) {
        // Its destructor writes what an autosave during a password dialog may have queued.
        const bool busy = wiki->saver()->isBusy();
        if (busy)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        delete std::exchange(wiki, nullptr);
        if (busy)
            QApplication::restoreOverrideCursor();
    }
    wiki = newWiki;
    backlinks.clear();
    updateLinkedFrom();
    safeguards->setWiki(wiki);
    saveFailureReported = false;
    lastSaveFailed = false;
    lastSavedAt = QTime();
    folderSelected = false;
    if (wiki) {
        connect(wiki->saver(), &WikiSaver::saveStarted, this, &MainWindow::updateSaveState);
        connect(wiki->saver(), &WikiSaver::saveFinished, this, &MainWindow::reportSaveResult);
    }
    updateActions();
}

void MainWindow::closeWikiWithoutHomePage()
{
    replaceWiki(nullptr);
    setWindowFilePath(QString());
    updateSaveState();
    statusBar()->showMessage(welcomeNoWikiText());
    m_editor->showWelcomePage();
}

void MainWindow::onOpenWiki()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open Velmora Wiki"), QDir::homePath(), tr("Velmora Wiki (*.velmora)"));
    if (!path.isEmpty())
        openWiki(path, true, false);
}

void MainWindow::onNewWiki()
{
    const QString path = Gui::askForSaveFileName(tr("Save Velmora Wiki As"),
        tr("Velmora Wiki (*.velmora)"), QStringLiteral(".velmora"), this);
    // Written out before the file is emptied: it may be the very file of the open wiki.
    if (path.isEmpty() || !finishSaving(false))
        return;
    QFile::resize(path, 0);
    openWiki(path, false, false);
}

void MainWindow::slotOnOpenRecentWiki()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    const QString path = action->data().toString();
    if (QFileInfo::exists(path)) {
        openWiki(path, true, false);
        return;
    }
    tell(tr("Error"), tr("The selected file does not exist."));
    Settings::removeRecentWiki(path);
    updateRecentFileActions();
}

void MainWindow::onClearRecent()
{
    Settings::clearRecentWikiList();
    updateRecentFileActions();
}

void MainWindow::updateRecentFileActions()
{
    const QStringList list = Settings::recentWikiList();
    const int count = std::min(int(list.size()), maxRecentFiles);
    for (int i = 0; i < count; ++i) {
        QAction *action = recentFileActions.at(i);
        action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(list.at(i)).fileName()));
        action->setData(list.at(i));
        action->setVisible(true);
    }
    for (int i = count; i < maxRecentFiles; ++i)
        recentFileActions.at(i)->setVisible(false);
    recentFilesMenu->setEnabled(count > 0);
}

void MainWindow::saveWiki(bool forced)
{
    if (!wiki)
        return;
    if (!m_editor->currentPage())
        return;
    // A forced save follows a change to the wiki's pages, folders or passwords, which is in
    // the wiki already: it is asked for at once.
    if (forced)
        requestSave(true);
    // The page must hold what it shows before it counts as modified or not: this save goes on
    // once the page has answered.
    const int saved = wikiCount;
    m_editor->updatePageContent([this, saved] {
        if (wiki && wikiCount == saved)
            requestSave(false);
    });
}

void MainWindow::requestSave(bool forced)
{
    Page *page = m_editor->currentPage();
    if (!wiki || !page)
        return;
    if (!page->isModified() && !forced && !lastSaveFailed)
        return;
    page->setModified(false);
    wiki->requestSave();
}

bool MainWindow::waitForPageCommit()
{
    // The page answers from the engine's process, through the event loop. Closing the window
    // or opening another wiki is decided within the call that asks, like the wait for the
    // running save after this, so this is the one place that waits for the page, taking no
    // input from the user meanwhile. A busy machine may keep the answer for seconds, and it
    // holds the last words typed: the wait lasts while the page's process lives, with a busy
    // cursor once it is noticeable, and gives up only on a process that no longer answers at
    // all. The answer is shared, since it may come after the wait gave up.
    auto answered = std::make_shared<bool>(false);
    bool ended = false;
    const QMetaObject::Connection endedConnection =
        connect(m_editor, &Editor::pageProcessEnded, this, [&ended] { ended = true; });
    m_editor->updatePageContent([answered] { *answered = true; });
    const QDeadlineTimer deadline(pageCommitWaitMs);
    const QDeadlineTimer noticeable(pageCommitNoticeableMs);
    bool busyCursor = false;
    QTimer tick; // wakes the wait to look at the time
    tick.start(50);
    while (!*answered && !ended && !deadline.hasExpired()) {
        if (!busyCursor && noticeable.hasExpired()) {
            QApplication::setOverrideCursor(Qt::BusyCursor);
            busyCursor = true;
        }
        QCoreApplication::processEvents(
            QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    }
    if (busyCursor)
        QApplication::restoreOverrideCursor();
    disconnect(endedConnection);
    return *answered;
}

bool MainWindow::finishSaving(bool closing)
{
    if (!wiki)
        return true;
    waitForPageCommit();
    requestSave(false);
    const bool busy = wiki->saver()->isBusy();
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    // A save refused because the file changed outside is settled by the question the save's
    // report asked: what the user chose there counts.
    const bool saved = wiki->waitForSaves() || !lastSaveFailed;
    if (busy)
        QApplication::restoreOverrideCursor();
    if (saved)
        return true;
    const QString text = closing
        ? tr("Your latest changes could not be saved to \"%1\". If you close Velmora now, "
             "they are lost.")
        : tr("Your latest changes could not be saved to \"%1\". If you open another wiki "
             "now, they are lost.");
    return Gui::runMessageBox(QMessageBox::Warning, tr("Unsaved Changes"),
               text.arg(QDir::toNativeSeparators(wiki->filePath())),
               {{closing ? tr("Close and lose changes") : tr("Open and lose changes"),
                    QMessageBox::DestructiveRole},
                   {closing ? tr("Keep Velmora open") : tr("Cancel"), QMessageBox::RejectRole}},
               this)
        == 0;
}

void MainWindow::updateSaveState()
{
    const bool busy = wiki && wiki->saver()->isBusy();
    const Page *page = m_editor->currentPage();
    const bool unsaved = wiki && (lastSaveFailed || busy || (page && page->isModified()));
    // The title holds the "[*]" mark only while it comes from a wiki's file path.
    setWindowModified(unsaved && !windowFilePath().isEmpty());
    if (!wiki)
        saveState->clear();
    else if (lastSaveFailed)
        saveState->setText(tr("Not saved: %1").arg(wiki->lastSaveError()));
    else if (busy)
        saveState->setText(tr("Saving\u2026"));
    else if (lastSavedAt.isValid())
        saveState->setText(tr("Saved at %1").arg(lastSavedAt.toString(QStringLiteral("HH:mm"))));
    else
        saveState->clear();
}

// A failing save is told once, with its reason, and again only after a later save worked.
// The wiki stays in memory and autosave keeps trying; the status bar says so meanwhile.
void MainWindow::reportSaveResult(bool saved)
{
    saved = safeguards->afterSave(saved);
    lastSaveFailed = !saved;
    if (saved)
        lastSavedAt = QTime::currentTime();
    updateSaveState();
    if (saved) {
        saveFailureReported = false;
        return;
    }
    if (saveFailureReported)
        return;
    saveFailureReported = true;
    Gui::showErrorMessage(
        tr("The wiki could not be saved to \"%1\": %2\n\nYour changes are kept "
           "while Velmora runs, and saving will be tried again.")
            .arg(QDir::toNativeSeparators(wiki->filePath()), wiki->lastSaveError()),
        this);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    autosaveTimer->stop();
    if (!isMaximized() && !isMinimized())
        Settings::setLastWindowGeometry(QRect(pos(), size()));

    // Waits for the running save and writes the last state; asks when that fails.
    if (!finishSaving(true)) {
        event->ignore();
        autosaveTimer->start(autosaveIntervalMs);
        return;
    }
    event->accept();
}

// --- Pages and folders ---------------------------------------------------------------------

void MainWindow::slotOnPageSelectionChanged(Page *previousPage, Page *newPage)
{
    if (selectingPage)
        return;
    selectingPage = true;
    struct Reset
    {
        bool &flag;
        ~Reset() { flag = false; }
    } reset {selectingPage};

    if (!newPage || !wiki)
        return;
    Page *previous = previousPage ? previousPage : m_editor->currentPage();
    if (previous) {
        if (previous->id() == newPage->id())
            return;
        if (previous->passwordDescriptor().isSet() && !previous->isLocked()) {
            previous->setLocked(true);
            previous->setModified(true);
        }
        if (previous->isModified() || lastSaveFailed) {
            previous->setModified(false);
            wiki->requestSave();
        }
    }
    showPage(newPage, true);
}

void MainWindow::slotOnFolderSelected(Folder *)
{
    folderSelected = true;
    updateActions();
}

void MainWindow::onNewPage()
{
    if (!wiki)
        return;
    const QString name
        = Gui::askForText(tr("Page Name"), tr("Enter the name of the new page:"), this);
    if (name.isEmpty())
        return;
    if (Page *existing = wiki->findPageByName(name)) {
        const int choice = Gui::runMessageBox(QMessageBox::Information, tr("Page already exists"),
            tr("A page with that name already exists."),
            {{tr("Open '%1'").arg(name), QMessageBox::AcceptRole},
                {tr("Cancel"), QMessageBox::RejectRole}},
            this);
        if (choice == 0)
            m_sidebar->selectItem(existing->id());
        return;
    }

    Folder *folder = m_sidebar->currentFolder();
    Page *page = wiki->createPage(name, folder);
    m_sidebar->addItem(page, folder);
    showPage(page, false);
    // The default text is selected, so that the first words typed replace it.
    m_editor->focusPage(true);
}

void MainWindow::onNewFolder()
{
    if (!wiki)
        return;
    const QString name
        = Gui::askForText(tr("Folder Name"), tr("Enter the name of the new folder:"), this);
    if (name.isEmpty())
        return;
    if (wiki->findFolderByName(name)) {
        tell(tr("Folder already exists"), tr("A folder with that name already exists."));
        return;
    }
    Folder *folder = wiki->createFolder(name);
    m_sidebar->addItem(folder, nullptr);
}

void MainWindow::onRenamePage()
{
    if (folderSelected) {
        renameFolder();
        return;
    }
    Page *page = m_editor->currentPage();
    if (!wiki || !page || page->isHomePage())
        return;
    const QString name = Gui::askForText(
        tr("Page Name"), tr("Enter the new name for this page:"), this, page->name());
    if (name.isEmpty() || name == page->name())
        return;
    if (wiki->findPageByName(name)) {
        QMessageBox::warning(
            this, tr("Error"), tr("A page with that name already exists."), QMessageBox::Ok);
        return;
    }
    page->setName(name);
    wiki->requestSave();
    m_sidebar->update();
}

void MainWindow::renameFolder()
{
    Folder *folder = m_sidebar->currentFolder();
    if (!wiki || !folder)
        return;
    const QString name = Gui::askForText(
        tr("Folder Name"), tr("Enter the new name for this folder:"), this, folder->name());
    if (name.isEmpty() || name == folder->name())
        return;
    const Folder *existing = wiki->findFolderByName(name);
    if (existing && existing != folder) {
        tell(tr("Folder already exists"), tr("A folder with that name already exists."));
        return;
    }
    folder->setName(name);
    wiki->requestSave();
    m_sidebar->update();
}

bool MainWindow::confirmDeletion(const QString &title, const QString &text)
{
    // Shown as a tool window, as the program's confirmations always were.
    return Gui::runMessageBox(QMessageBox::Question, title, text,
               {{tr("Yes, delete"), QMessageBox::AcceptRole},
                   {tr("Cancel"), QMessageBox::RejectRole}},
               this, Qt::Tool)
        == 0;
}

void MainWindow::onDeletePage()
{
    Page *page = m_editor->currentPage();
    if (!wiki || !page || page->isHomePage())
        return;
    const int links = linksTo(wiki->allPages(), page->id());
    QString question = tr("Do you really want to delete the page \"%1\"?").arg(page->name());
    if (links == 1)
        question += QLatin1Char(' ') + tr("The link to it in another page will become plain text.");
    else if (links > 1)
        question += QLatin1Char(' ')
            + tr("The %1 links to it in other pages will become plain text.").arg(links);
    if (!confirmDeletion(tr("Delete Page?"), question))
        return;

    Page *home = wiki->homePage();
    const QString id = page->id();
    m_sidebar->disconnectSignals();
    m_sidebar->removeItem(id);
    m_sidebar->selectItem(home->id());
    m_sidebar->connectSignals();
    history.remove(id);
    // What the page still had to say is dropped with it.
    m_editor->unloadPage();
    showPage(home, true);
    wiki->removePage(id);
    saveWiki(true);
}

void MainWindow::onDeleteFolder()
{
    Folder *folder = m_sidebar->currentFolder();
    if (!wiki || !m_editor->currentPage() || !folder)
        return;
    QString text = tr("Do you really want to delete the folder '%1'").arg(folder->name());
    if (!folder->pages().isEmpty())
        text += tr(" and all the pages it contains");
    text += QLatin1Char('?');
    if (!confirmDeletion(tr("Delete Folder?"), text))
        return;

    Page *home = wiki->homePage();
    m_sidebar->disconnectSignals();
    m_sidebar->removeItem(folder->id());
    m_sidebar->selectItem(home->id());
    m_sidebar->connectSignals();
    for (const Page *page : folder->pages())
        history.remove(page->id());
    // The page shown may be one of them: what it still had to say goes with it.
    if (folder->pages().contains(m_editor->currentPage()))
        m_editor->unloadPage();
    showPage(home, true);
    wiki->removeFolder(folder->id());
    saveWiki(true);
}

void MainWindow::onLinkClicked(QUrl url)
{
    emit linkClicked(url);
    const QString text = url.toString();
    if (isPageUrl(text)) {
        if (wiki) {
            if (Page *page = wiki->findPageById(pageIdFromUrl(text)))
                m_sidebar->selectItem(page->id());
        }
    } else if (isCommandUrl(text)) {
        switch (commandIdFromUrl(text)) {
        case NewWikiCommand:
            onNewWiki();
            break;
        case OpenWikiCommand:
            onOpenWiki();
            break;
        case UnlockPageCommand:
            unlockCurrentPage();
            break;
        case OpenLastWikiCommand:
            if (!Settings::mostRecentWiki().isEmpty())
                openWiki(Settings::mostRecentWiki(), true, false);
            break;
        default:
            break;
        }
    } else {
        // Web and mail addresses go to the desktop unasked. Anything else may open a local
        // file or start a program, so the user first sees where the link leads.
        const QString scheme = url.scheme().toLower();
        if (scheme != QLatin1String("http") && scheme != QLatin1String("https")
            && scheme != QLatin1String("mailto")) {
            const int choice = Gui::runMessageBox(QMessageBox::Question, tr("Open Link"),
                tr("This link leads to \"%1\", which is not a web page. Open it with another "
                   "program?")
                    .arg(url.toDisplayString()),
                {{tr("Open"), QMessageBox::AcceptRole}, {tr("Cancel"), QMessageBox::RejectRole}},
                this);
            if (choice != 0)
                return;
        }
        QDesktopServices::openUrl(url);
    }
}

void MainWindow::unlockCurrentPage()
{
    Page *page = m_editor->currentPage();
    if (!page || !wiki || !page->isLocked())
        return;
    if (!EnterPasswordDialog::confirm(page->passwordDescriptor(), false, false, this))
        return;
    page->setLocked(false);
    saveWiki(true);
    showPage(page, false);
}

void MainWindow::onToolbarBackButton()
{
    if (!history.canGoBack())
        return;
    history.back();
    updateActions();
    m_sidebar->selectItem(history.currentId());
}

void MainWindow::onToolbarForwardButton()
{
    if (!history.canGoForward())
        return;
    history.forward();
    updateActions();
    m_sidebar->selectItem(history.currentId());
}

void MainWindow::onToolbarFormatButton()
{
    toolbar->showFormatMenu();
}

void MainWindow::slotOnWikiPassword()
{
    if (!wiki)
        return;
    PasswordDescriptor &descriptor = wiki->passwordDescriptor();
    if (!descriptor.isSet()) {
        CreatePasswordDialog dialog(true, this);
        if (dialog.exec() != QDialog::Accepted || dialog.password().isEmpty())
            return;
        if (!wiki->setPassword(dialog.password(), dialog.hint()))
            return;
        wiki->requestSave();
        Gui::showInfoMessage(
            tr("Password Protection"), tr("This wiki is now password protected."), this);
    } else {
        if (!EnterPasswordDialog::confirm(descriptor, true, true, this))
            return;
        wiki->removePassword();
        wiki->requestSave();
        Gui::showInfoMessage(
            tr("Password Protection"), tr("This wiki is no longer password protected."), this);
    }
}

void MainWindow::slotOnPagePassword()
{
    Page *page = m_editor->currentPage();
    if (!page || !wiki)
        return;
    if (!page->passwordDescriptor().isSet()) {
        CreatePasswordDialog dialog(false, this);
        if (dialog.exec() != QDialog::Accepted || dialog.password().isEmpty())
            return;
        if (!page->setPassword(dialog.password(), dialog.hint()))
            return;
        // The page stays readable until the user leaves it.
        page->setLocked(false);
        page->setModified(true);
        Gui::showInfoMessage(
            tr("Password Protection"), tr("This page is now password protected."), this);
        saveWiki(true);
    } else {
        if (!EnterPasswordDialog::confirm(page->passwordDescriptor(), false, true, this))
            return;
        page->removePassword();
        page->setModified(true);
        showPage(page, false);
        Gui::showInfoMessage(
            tr("Password Protection"), tr("This page is no longer password protected."), this);
        saveWiki(true);
    }
}

// --- Links and images ----------------------------------------------------------------------

void MainWindow::onLinkUnlink()
{
    Page *current = m_editor->currentPage();
    if (!wiki || !current || current->isLocked())
        return;
    m_editor->requestLinkTarget([this, current](const QString &url, const QString &text) {
        if (wiki && m_editor->currentPage() == current)
            linkOrUnlink(url, text.trimmed());
    });
}

void MainWindow::linkOrUnlink(const QString &url, const QString &text)
{
    if (!QUrl(url, QUrl::TolerantMode).isEmpty()) {
        m_editor->unlink();
        saveWiki(true);
        return;
    }
    if (text.isEmpty()) {
        QMessageBox::warning(this, tr("Error"),
            tr("Please select the text from which to create a link."), QMessageBox::Ok);
        return;
    }
    const QString webAddress = webAddressUrl(text);
    Page *target = webAddress.isEmpty() ? wiki->findPageByName(text) : nullptr;
    if (!webAddress.isEmpty() || target) {
        m_editor->disconnectSignals();
        m_editor->createLink(target ? pageUrl(target->id()) : webAddress);
        m_editor->connectSignals();
        saveWiki(true);
        return;
    }

    Page *page = wiki->createPage(text, nullptr);
    m_sidebar->disconnectSignals();
    m_sidebar->addItem(page, nullptr);
    m_sidebar->selectItem(page->id());
    m_sidebar->connectSignals();
    m_editor->createLink(pageUrl(page->id()));
    saveWiki(true);
    showPage(page, false);
}

void MainWindow::onInsertImage()
{
    Page *page = m_editor->currentPage();
    if (!wiki || !page || page->isLocked())
        return;
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open Image"), QDir::homePath(), tr("Image Files (*.jpg *.jpeg *.png *.bmp)"));
    if (path.isEmpty())
        return;
    QString error;
    const ImageFile file(path, &error);
    if (!file.isValid()) {
        Gui::showInfoMessage(tr("Image Importer"),
            error.isEmpty() ? tr("Cannot load image. Unknown error.") : error, this);
        return;
    }
    safeguards->insertPicture(file);
}

bool MainWindow::onEditorReceivedDropEvent(QDropEvent *event)
{
    Page *page = m_editor->currentPage();
    if (!event || !page || page->isLocked())
        return false;
    const ImageFile file = Editor::droppedImageFile(event->mimeData());
    if (!file.isValid())
        return false;
    event->acceptProposedAction();
    safeguards->insertPicture(file);
    return true;
}

// --- Export, About, search ---------------------------------------------------------------

void MainWindow::checkForUpdates(bool verbose)
{
    updateChecker->check(verbose);
}

void MainWindow::onAboutVelmora()
{
    AboutDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        checkForUpdates(true);
}

void MainWindow::exportPage(bool asHtml)
{
    Page *page = m_editor->currentPage();
    if (!wiki || !page || page->isLocked())
        return;
    const QString name = Gui::askForSaveFileName(tr("Export Page As"),
        asHtml ? tr("HTML Document (*.html)") : tr("Text Document (*.txt)"),
        asHtml ? QStringLiteral(".html") : QStringLiteral(".txt"), this);
    if (name.isEmpty())
        return;
    // Exported as shown, once the page has answered.
    const int exported = wikiCount;
    m_editor->updatePageContent([this, exported, page, asHtml, name] {
        if (!wiki || wikiCount != exported || m_editor->currentPage() != page)
            return;
        const bool written = asHtml
            ? exportPageAsHtml(page->content(), name)
            : writeTextFile(HtmlProcessor::htmlToReadableText(page->content()), name);
        if (!written)
            Gui::showErrorMessage(tr("This page could not be exported."), this);
    });
}

void MainWindow::exportWiki(bool asHtml)
{
    if (!wiki)
        return;
    const QString folder = Gui::askForDirectory(this);
    if (folder.isEmpty())
        return;
    saveWiki(false);
    const QList<Page *> pages = wiki->allPages();
    QString index;
    const bool exported = asHtml
        ? exportPagesAsHtml(pages, folder, QFileInfo(wiki->filePath()).completeBaseName(), &index)
        : exportPagesAsText(pages, folder);
    if (!exported) {
        Gui::showErrorMessage(tr("Some pages could not be exported."), this);
        return;
    }
    const QString count = pages.size() == 1 ? tr("1 page") : tr("%1 pages").arg(pages.size());
    QString text = tr("Exported %1 to %2.").arg(count, QDir::toNativeSeparators(folder));
    if (!index.isEmpty())
        text += QLatin1Char(' ') + tr("Open %1 to browse them.").arg(QFileInfo(index).fileName());
    tell(tr("Export Wiki"), text);
}

void MainWindow::onRunSearch()
{
    if (!wiki)
        return;
    const QString text = toolbar->searchEdit->text();
    searchRunner->cancel();
    searchResults->beginResults(text);
    searchResults->show();
    // The page shown is searched as shown, once it has answered; a search asked for meanwhile
    // replaces this one.
    const int searched = wikiCount;
    const int request = ++searchRequests;
    m_editor->updatePageContent([this, searched, request, text] {
        if (!wiki || wikiCount != searched || request != searchRequests)
            return;
        // Lines are read from the pages laid out as wide as the editor shows them.
        searchRunner->setLayoutWidth(m_editor->width());
        searchRunner->start(wiki->allPages(), text);
    });
}

void MainWindow::onSearchEscape()
{
    // The first Escape stops a running search and keeps what it found.
    if (searchRunner->isRunning())
        searchRunner->cancel();
    else
        onHideSearchResults();
}

void MainWindow::onHideSearchResults()
{
    // Also called while the constructor opens the start-up wiki, before the runner exists.
    if (searchRunner)
        searchRunner->cancel();
    toolbar->searchEdit->clear();
    searchResults->hide();
}

void MainWindow::onSearchResultSelected(QString pageID)
{
    m_sidebar->selectItem(pageID);
}
