#include "app/mainwindow.h"

#include "app/aboutdialog.h"
#include "app/settings.h"
#include "app/updatechecker.h"
#include "app/widgetutils.h"
#include "editor/editor.h"
#include "editor/imagebutton.h"
#include "editor/imagefile.h"
#include "editor/toolbar.h"
#include "model/createpassworddialog.h"
#include "model/enterpassworddialog.h"
#include "model/exporter.h"
#include "model/folder.h"
#include "model/htmlprocessor.h"
#include "model/page.h"
#include "model/urls.h"
#include "model/utils.h"
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

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebPage>

namespace {

const int autosaveIntervalMs = 10000;
const int maxRecentFiles = 5;

QString welcomeNoWikiText()
{
    return MainWindow::tr("Welcome to Velmora. Open or create a new wiki to get started.");
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    installApplicationLook();
    setObjectName(QStringLiteral("MainWindow"));

    createActions();
    createMenus();
    statusBar()->showMessage(welcomeNoWikiText());
    // A permanent widget: menu status tips take the message area over for a while.
    saveState = new QLabel(this);
    saveState->setObjectName(QStringLiteral("saveStateLabel"));
    saveState->setStyleSheet(QStringLiteral("#saveStateLabel { padding: 0 8px; }"));
    statusBar()->addPermanentWidget(saveState);

    m_sidebar = new Sidebar(this);
    sidebarToolbar = new SidebarToolbar(this);
    sidebarToolbar->hide();
    connect(sidebarToolbar->newPageButton, &ImageButton::clicked, this, &MainWindow::onNewPage);
    sidebarContainer = new SidebarContainer(sidebarToolbar, m_sidebar, this);

    m_editor = new Editor(this, this);
    m_editor->setEditable(false);
    m_editor->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Queued: the editor's own handler stores the edit in the page first.
    connect(m_editor->page(), &QWebPage::contentsChanged, this, &MainWindow::updateSaveState,
        Qt::QueuedConnection);

    toolbar = new Toolbar(this);
    toolbar->searchEdit->setEnabled(false);
    connect(toolbar->backButton, &ImageButton::clicked, this, &MainWindow::onToolbarBackButton);
    connect(
        toolbar->forwardButton, &ImageButton::clicked, this, &MainWindow::onToolbarForwardButton);
    connect(toolbar->formatButton, &ImageButton::clicked, this, &MainWindow::onToolbarFormatButton);
    connect(toolbar->linkUnlinkButton, &ImageButton::clicked, this,
        &MainWindow::onToolbarLinkUnlinkButton);
    connect(toolbar->deletePageButton, &ImageButton::clicked, this,
        &MainWindow::onToolbarDeletePageButton);
    connect(toolbar->searchEdit, &SearchTextEdit::runSearch, this, &MainWindow::onRunSearch);

    auto *rightColumn = new QFrame(this);
    QVBoxLayout *rightLayout = makeVBoxLayout(rightColumn);
    auto *splitter = new QSplitter(Qt::Vertical, rightColumn);
    splitter->setChildrenCollapsible(false);
    searchResults = new SearchResultsWidget(splitter);
    searchResults->hide();
    connect(searchResults, &SearchResultsWidget::hideButtonClicked, this,
        &MainWindow::onHideSearchResults);
    connect(searchResults, &SearchResultsWidget::itemSelected, this,
        &MainWindow::onSearchResultSelected);
    splitter->addWidget(m_editor);
    splitter->addWidget(searchResults);
    rightLayout->addWidget(toolbar);
    rightLayout->addWidget(splitter);

    auto *central = new QWidget(this);
    central->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    QHBoxLayout *centralLayout = makeHBoxLayout(central);
    centralLayout->addWidget(sidebarContainer);
    centralLayout->addWidget(rightColumn);
    setCentralWidget(central);

    openStartupWiki(firstCommandLineArgument());

    connect(qApp, &QApplication::focusChanged, this, &MainWindow::onWidgetFocusChanged);
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
    // A shortcut works only while its action is enabled: the undo, redo and clipboard actions
    // follow the editor as it changes, not only when the menu opens.
    connect(
        m_editor->page(), &QWebPage::selectionChanged, this, &MainWindow::updateEditCommandActions);
    connect(
        m_editor->page(), &QWebPage::contentsChanged, this, &MainWindow::updateEditCommandActions);
    // The sidebar row of the page being typed in shows its new first words within a moment.
    auto *previewTimer = new QTimer(this);
    previewTimer->setSingleShot(true);
    previewTimer->setInterval(500);
    connect(previewTimer, &QTimer::timeout, m_sidebar->tree()->viewport(),
        qOverload<>(&QWidget::update));
    connect(m_editor->page(), &QWebPage::contentsChanged, previewTimer, [previewTimer] {
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
    delete wiki;
}

void MainWindow::installApplicationLook()
{
    qApp->setStyleSheet(readResourceText(QStringLiteral("qss/style.qss")));

    static bool fontsRegistered = false;
    if (fontsRegistered)
        return;
    fontsRegistered = true;
    // A font that cannot be registered is skipped; widgets then fall back to another face.
    const QStringList fonts = {
        QStringLiteral(":/fonts/Montserrat-Regular.ttf"),
        QStringLiteral(":/fonts/Montserrat-Bold.ttf"),
        QStringLiteral(":/fonts/Hero-Light.otf"),
        QStringLiteral(":/fonts/Hero-Regular.otf"),
        QStringLiteral(":/fonts/Roboto-Light.ttf"),
        QStringLiteral(":/fonts/Roboto-Bold.ttf"),
        QStringLiteral(":/fonts/Roboto-Regular.ttf"),
    };
    for (const QString &font : fonts)
        QFontDatabase::addApplicationFont(font);
}

// --- Actions and menus -------------------------------------------------------------------

QAction *MainWindow::makeAction(const QString &objectName, const QString &text,
    const QString &statusTip, const QKeySequence &shortcut, bool checkable, bool enabled)
{
    auto *action = new QAction(text, this);
    action->setObjectName(objectName);
    action->setStatusTip(statusTip);
    action->setShortcut(shortcut);
    action->setCheckable(checkable);
    action->setEnabled(enabled);
    return action;
}

void MainWindow::createActions()
{
    const QKeySequence none;
    newWikiAction = makeAction("newWikiAction", tr("New Wiki"), tr("Create a new Velmora wiki"),
        QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_N), false, true);
    connect(newWikiAction, &QAction::triggered, this, &MainWindow::onNewWiki);
    newFolderAction = makeAction("newFolderAction", tr("New Folder"),
        tr("Create a new folder in this wiki"), none, false, false);
    connect(newFolderAction, &QAction::triggered, this, &MainWindow::onNewFolder);
    deleteFolderAction = makeAction("deleteFolderAction", tr("Delete Folder"),
        tr("Delete the current folder and all contained pages."), none, false, false);
    connect(deleteFolderAction, &QAction::triggered, this, &MainWindow::onDeleteFolder);
    newPageAction = makeAction("newPageAction", tr("New Page"),
        tr("Create a new page in this wiki"), QKeySequence(Qt::CTRL + Qt::Key_N), false, false);
    connect(newPageAction, &QAction::triggered, this, &MainWindow::onNewPage);
    deletePageAction = makeAction(
        "deletePageAction", tr("Delete Page"), tr("Delete the current page"), none, false, false);
    connect(deletePageAction, &QAction::triggered, this, &MainWindow::onDeletePage);
    renamePageAction = makeAction(
        "renamePageAction", tr("Rename Page"), tr("Rename the current page"), none, false, false);
    connect(renamePageAction, &QAction::triggered, this, &MainWindow::onRenamePage);
    openWikiAction = makeAction("openWikiAction", tr("Open Wiki"),
        tr("Open an existing Velmora wiki"), QKeySequence(Qt::CTRL + Qt::Key_O), false, true);
    connect(openWikiAction, &QAction::triggered, this, &MainWindow::onOpenWiki);
    for (int i = 0; i < maxRecentFiles; ++i) {
        QAction *action = makeAction(QStringLiteral("recentFileAction%1").arg(i + 1), QString(),
            QString(), none, false, true);
        action->setVisible(false);
        connect(action, &QAction::triggered, this, &MainWindow::slotOnOpenRecentWiki);
        recentFileActions << action;
    }
    clearRecentAction
        = makeAction("clearRecentAction", tr("Clear Menu"), QString(), none, false, true);
    connect(clearRecentAction, &QAction::triggered, this, &MainWindow::onClearRecent);
    exitAction = makeAction("exitAction", tr("Exit Velmora"), tr("Exit Velmora"),
        QKeySequence(Qt::CTRL + Qt::Key_Q), false, true);
    connect(exitAction, &QAction::triggered, this, &QWidget::close);
    aboutAction = makeAction("aboutAction", tr("About Velmora"),
        tr("Get more information about this Velmora installation"), none, false, true);
    connect(aboutAction, &QAction::triggered, this, &MainWindow::onAboutVelmora);

    boldAction = makeAction("boldAction", tr("Bold"), tr("Make text bold"),
        QKeySequence(Qt::CTRL + Qt::Key_B), true, false);
    connect(boldAction, &QAction::triggered, this, &MainWindow::onMakeTextBold);
    italicAction = makeAction("italicAction", tr("Italic"), tr("Make text italic"),
        QKeySequence(Qt::CTRL + Qt::Key_I), true, false);
    connect(italicAction, &QAction::triggered, this, &MainWindow::onMakeTextItalic);
    underlineAction = makeAction("underlineAction", tr("Underline"), tr("Underline the text"),
        QKeySequence(Qt::CTRL + Qt::Key_U), true, false);
    connect(underlineAction, &QAction::triggered, this, &MainWindow::onMakeTextUnderlined);
    strikethroughAction = makeAction("strikethroughAction", tr("Strikethrough"),
        tr("Apply strikethrough to the text"), QKeySequence(Qt::CTRL + Qt::Key_K), true, false);
    connect(strikethroughAction, &QAction::triggered, this, &MainWindow::onMakeTextStrikethrough);
    createLinkAction = makeAction("createLinkAction", tr("Create Link"),
        tr("Create a link to another page in this wiki"), QKeySequence(Qt::CTRL + Qt::Key_L), false,
        false);
    connect(createLinkAction, &QAction::triggered, this, &MainWindow::onLinkUnlink);
    insertImageAction = makeAction("insertImageAction", tr("Insert Image"),
        tr("Insert an image into this page"), none, false, false);
    connect(insertImageAction, &QAction::triggered, this, &MainWindow::onInsertImage);
    smallerAction = makeAction("smallerAction", tr("Smaller"), tr("Decrease the size of the text"),
        QKeySequence(Qt::CTRL + Qt::Key_Minus), false, false);
    connect(smallerAction, &QAction::triggered, this, &MainWindow::onMakeTextSmaller);
    largerAction = makeAction("largerAction", tr("Larger"), tr("Increase the size of the text"),
        QKeySequence(Qt::CTRL + Qt::Key_Plus), false, false);
    connect(largerAction, &QAction::triggered, this, &MainWindow::onMakeTextLarger);

    alignmentGroup = new QActionGroup(this);
    alignmentGroup->setExclusive(true);
    auto alignAction = [this](const char *name, const QString &text, const QString &tip,
                           const QKeySequence &shortcut) {
        auto *action = new QAction(text, alignmentGroup);
        action->setObjectName(QLatin1String(name));
        action->setStatusTip(tip);
        action->setShortcut(shortcut);
        action->setEnabled(false);
        return action;
    };
    alignLeftAction = alignAction("alignLeftAction", tr("Left"), tr("Left-align the text"),
        QKeySequence(Qt::CTRL + Qt::Key_BraceLeft));
    alignCenterAction = alignAction("alignCenterAction", tr("Center"), tr("Center-align the text"),
        QKeySequence(Qt::CTRL + Qt::Key_Bar));
    alignRightAction = alignAction("alignRightAction", tr("Right"), tr("Right-align the text"),
        QKeySequence(Qt::CTRL + Qt::Key_BraceRight));
    alignJustifyAction
        = alignAction("alignJustifyAction", tr("Justify"), tr("Justify-align the text"), none);
    connect(alignmentGroup, &QActionGroup::triggered, this, &MainWindow::onTextAlign);

    // The edit commands go straight to the editor.
    undoAction = makeAction("undoAction", tr("Undo"), tr("Undo last editor action"),
        QKeySequence(Qt::CTRL + Qt::Key_Z), false, false);
    connect(undoAction, &QAction::triggered, this, [this] { m_editor->undo(); });
    redoAction = makeAction("redoAction", tr("Redo"), tr("Redo last editor action"),
        QKeySequence(Qt::CTRL + Qt::Key_Y), false, false);
    connect(redoAction, &QAction::triggered, this, [this] { m_editor->redo(); });
    cutAction = makeAction("cutAction", tr("Cut"), tr("Cut text segment"),
        QKeySequence(Qt::CTRL + Qt::Key_X), false, false);
    connect(cutAction, &QAction::triggered, this, [this] { m_editor->cut(); });
    copyAction = makeAction("copyAction", tr("Copy"), tr("Copy text segment to clipboard"),
        QKeySequence(Qt::CTRL + Qt::Key_C), false, false);
    connect(copyAction, &QAction::triggered, this, [this] { m_editor->copy(); });
    pasteAction = makeAction("pasteAction", tr("Paste"), tr("Paste data from clipboard"),
        QKeySequence(Qt::CTRL + Qt::Key_V), false, false);
    connect(pasteAction, &QAction::triggered, this, [this] { m_editor->paste(); });
    selectAllAction = makeAction("selectAllAction", tr("Select All"),
        tr("Select all editor contents"), QKeySequence(Qt::CTRL + Qt::Key_A), false, false);
    connect(selectAllAction, &QAction::triggered, this, [this] { m_editor->selectAll(); });

    exportPageHtmlAction = makeAction("exportPageHtmlAction", tr("Export as HTML"),
        tr("Save the current page as an HTML document"), none, false, true);
    connect(exportPageHtmlAction, &QAction::triggered, this, &MainWindow::onExportPageAsHTML);
    exportPageTextAction = makeAction("exportPageTextAction", tr("Export as Text"),
        tr("Save the current page as a text file"), none, false, true);
    connect(exportPageTextAction, &QAction::triggered, this, &MainWindow::onExportPageAsText);
    exportWikiHtmlAction = makeAction("exportWikiHtmlAction", tr("Export as HTML"),
        tr("Save all the pages as HTML documents"), none, false, true);
    connect(exportWikiHtmlAction, &QAction::triggered, this, &MainWindow::onExportWikiAsHTML);
    exportWikiTextAction = makeAction("exportWikiTextAction", tr("Export as Text"),
        tr("Save all the pages as text files"), none, false, true);
    connect(exportWikiTextAction, &QAction::triggered, this, &MainWindow::onExportWikiAsText);
    wikiPasswordAction = makeAction("wikiPasswordAction", tr("Wiki Password"),
        tr("Wiki password protection"), none, false, false);
    connect(wikiPasswordAction, &QAction::triggered, this, &MainWindow::slotOnWikiPassword);
    pagePasswordAction = makeAction("pagePasswordAction", tr("Page Password"),
        tr("Page password protection"), none, false, false);
    connect(pagePasswordAction, &QAction::triggered, this, &MainWindow::slotOnPagePassword);
}

void MainWindow::createMenus()
{
    fileMenu = menuBar()->addMenu(tr("File"));
    fileMenu->setObjectName(QStringLiteral("fileMenu"));
    fileMenu->addAction(newWikiAction);
    fileMenu->addAction(openWikiAction);
    fileMenu->addSeparator();
    recentFilesMenu = fileMenu->addMenu(tr("Recent Files"));
    recentFilesMenu->setObjectName(QStringLiteral("recentFilesMenu"));
    recentFilesMenu->addActions(recentFileActions);
    recentFilesMenu->addSeparator();
    recentFilesMenu->addAction(clearRecentAction);
    fileMenu->addSeparator();
    fileMenu->addAction(newFolderAction);
    fileMenu->addAction(deleteFolderAction);
    fileMenu->addSeparator();
    fileMenu->addAction(newPageAction);
    fileMenu->addAction(deletePageAction);
    fileMenu->addSeparator();
    fileMenu->addAction(renamePageAction);
    fileMenu->addSeparator();
    fileMenu->addAction(wikiPasswordAction);
    fileMenu->addAction(pagePasswordAction);
    fileMenu->addSeparator();
    exportPageMenu = fileMenu->addMenu(tr("Export Page As"));
    exportPageMenu->setObjectName(QStringLiteral("exportPageMenu"));
    exportPageMenu->addAction(exportPageHtmlAction);
    exportPageMenu->addAction(exportPageTextAction);
    exportPageMenu->setEnabled(false);
    exportWikiMenu = fileMenu->addMenu(tr("Export Wiki As"));
    exportWikiMenu->setObjectName(QStringLiteral("exportWikiMenu"));
    exportWikiMenu->addAction(exportWikiHtmlAction);
    exportWikiMenu->addAction(exportWikiTextAction);
    exportWikiMenu->setEnabled(false);
    fileMenu->addSeparator();
    fileMenu->addAction(exitAction);
    updateRecentFileActions();

    editMenu = menuBar()->addMenu(tr("Edit"));
    editMenu->setObjectName(QStringLiteral("editMenu"));
    editMenu->addAction(undoAction);
    editMenu->addAction(redoAction);
    editMenu->addSeparator();
    editMenu->addAction(cutAction);
    editMenu->addAction(copyAction);
    editMenu->addAction(pasteAction);
    editMenu->addSeparator();
    editMenu->addAction(selectAllAction);
    editMenu->addSeparator();
    editMenu->addAction(insertImageAction);
    editMenu->addSeparator();
    editMenu->addAction(createLinkAction);
    connect(editMenu, &QMenu::aboutToShow, this, &MainWindow::updateEditActions);

    formatMenu = menuBar()->addMenu(tr("Format"));
    formatMenu->setObjectName(QStringLiteral("formatMenu"));
    formatMenu->addAction(boldAction);
    formatMenu->addAction(italicAction);
    formatMenu->addAction(underlineAction);
    formatMenu->addSeparator();
    formatMenu->addAction(strikethroughAction);
    formatMenu->addSeparator();
    formatMenu->addAction(smallerAction);
    formatMenu->addAction(largerAction);
    formatMenu->addSeparator();
    formatMenu->addActions(alignmentGroup->actions());
    connect(formatMenu, &QMenu::aboutToShow, this, &MainWindow::updateFormatActions);

    helpMenu = menuBar()->addMenu(tr("Help"));
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    helpMenu->addAction(aboutAction);
    QAction *startupCheck = helpMenu->addAction(tr("Check for Updates at Start-up"), this,
        [](bool checked) { Settings::setCheckForUpdatesAtStartup(checked); });
    startupCheck->setObjectName(QStringLiteral("startupUpdateCheckAction"));
    startupCheck->setCheckable(true);
    startupCheck->setChecked(Settings::checkForUpdatesAtStartup());
}

// --- Enabled states ----------------------------------------------------------------------

void MainWindow::updateEditActions()
{
    updateEditCommandActions();
    updateLinkAction();
}

void MainWindow::updateEditCommandActions()
{
    undoAction->setEnabled(m_editor->canUndo());
    redoAction->setEnabled(m_editor->canRedo());
    cutAction->setEnabled(m_editor->canCut());
    copyAction->setEnabled(m_editor->canCopy());
    pasteAction->setEnabled(m_editor->canPaste());
    selectAllAction->setEnabled(m_editor->canSelectAll());
}

void MainWindow::updateLinkAction()
{
    Page *page = m_editor->currentPage();
    if (!page)
        return;
    const bool unlocked = page->isUnlocked();
    createLinkAction->setEnabled(unlocked);
    toolbar->linkUnlinkButton->setEnabled(unlocked);
    if (!m_editor->currentLinkUrl().isEmpty()) {
        createLinkAction->setText(tr("Remove link"));
        createLinkAction->setStatusTip(tr("Remove the current link"));
    } else {
        createLinkAction->setText(tr("Create Link"));
        createLinkAction->setStatusTip(tr("Create a link to another page in this wiki"));
    }
}

void MainWindow::updateFormatActions()
{
    Page *page = m_editor->currentPage();
    if (!page)
        return;
    const bool unlocked = page->isUnlocked();
    for (QAction *action : {boldAction, italicAction, underlineAction, strikethroughAction,
             largerAction, smallerAction, alignLeftAction, alignRightAction, alignCenterAction,
             alignJustifyAction})
        action->setEnabled(unlocked);
    toolbar->formatButton->setEnabled(unlocked);
    boldAction->setChecked(m_editor->isBold());
    italicAction->setChecked(m_editor->isItalic());
    underlineAction->setChecked(m_editor->isUnderlined());
    strikethroughAction->setChecked(m_editor->isStrikethrough());
}

void MainWindow::setEditingActionsEnabled(bool enabled)
{
    for (QAction *action : {boldAction, italicAction, underlineAction, strikethroughAction,
             largerAction, smallerAction, createLinkAction, insertImageAction, alignLeftAction,
             alignCenterAction, alignRightAction, alignJustifyAction})
        action->setEnabled(enabled);
    toolbar->formatButton->setEnabled(enabled);
    toolbar->linkUnlinkButton->setEnabled(enabled);
}

void MainWindow::updateFocusDependentActions()
{
    Page *page = m_editor->currentPage();
    if (!page || !m_editor->hasFocus())
        return;
    setEditingActionsEnabled(page->isUnlocked());
}

void MainWindow::onWidgetFocusChanged(QWidget *old, QWidget *now)
{
    if (old == m_editor || now == m_editor)
        updateFocusDependentActions();
}

void MainWindow::updateHistoryButtons()
{
    toolbar->backButton->setEnabled(history.canGoBack());
    toolbar->forwardButton->setEnabled(history.canGoForward());
}

// Delete, rename and export follow the page being shown.
void MainWindow::setPageActionsFor(Page *page)
{
    deleteFolderAction->setEnabled(wiki && wiki->isPageInFolder(page->id()));
    const bool notHome = !page->isHomePage();
    deletePageAction->setEnabled(notHome);
    renamePageAction->setEnabled(notHome);
    toolbar->deletePageButton->setEnabled(notHome);
    exportPageMenu->setEnabled(!page->isLocked());
}

void MainWindow::showPageInEditor(Page *page, bool removeBrokenLinks)
{
    m_editor->disconnectSignals();
    m_editor->setEditable(page->isUnlocked());
    m_editor->setFocus(Qt::OtherFocusReason);
    m_editor->loadPage(page);
    if (removeBrokenLinks)
        m_editor->removeBrokenLinks(wiki->allPageIds());
    m_editor->connectSignals();
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

// --- Opening, saving and closing ----------------------------------------------------------

void MainWindow::openStartupWiki(const QString &argument)
{
    bool opened = true;
    if (!argument.isEmpty() && QFileInfo::exists(argument)) {
        opened = openWiki(argument, true, false);
    } else if (argument.endsWith(QLatin1String(".velmora"), Qt::CaseInsensitive)) {
        // Only a name that New Wiki would give: a test program's function name, for one, is
        // no wiki to create.
        const QString path = QFileInfo(argument).absoluteFilePath();
        const auto answer = QMessageBox::question(this, tr("New Wiki"),
            tr("There is no wiki at %1. Create a new wiki there?")
                .arg(QDir::toNativeSeparators(path)),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        // Created as New Wiki creates one; opening a new path writes the wiki there.
        opened = openWiki(answer == QMessageBox::Yes ? path : QString(), false, false);
    } else {
        const QString recent = Settings::mostRecentWiki();
        if (recent.isEmpty()) {
            opened = openWiki(QString(), false, false);
        } else if (QFileInfo::exists(recent)) {
            opened = openWiki(recent, true, true);
        } else {
            Settings::removeRecentWiki(recent);
            opened = openWiki(QString(), false, false);
        }
    }
    if (!opened)
        openWiki(QString(), false, false);
}

bool MainWindow::openWiki(const QString &path, bool checkPassword, bool quietIfProtected)
{
    // The wiki open now goes to the disk first, whatever becomes of the new one.
    if (!path.isEmpty() && !finishSaving(false))
        return true;
    if (path.isEmpty()) {
        m_editor->showWelcomePage();
        return true;
    }

    auto *newWiki = new WikiDocument(path);
    if (newWiki->loadFailed()) {
        // The file holds something that is no wiki: leave it, and whatever was open, alone.
        delete newWiki;
        showErrorMessage(WikiFileCheck::notAWikiMessage(path), this);
        if (!wiki)
            m_editor->showWelcomePage();
        return true;
    }

    if (checkPassword && newWiki->passwordDescriptor().isSet()) {
        if (quietIfProtected) {
            delete newWiki;
            return false;
        }
        const PasswordDescriptor &descriptor = newWiki->passwordDescriptor();
        EnterPasswordDialog dialog(descriptor.hashedPassword(), descriptor.salt(),
            descriptor.passwordHint(), true, false, this);
        if (dialog.exec() != QDialog::Accepted) {
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

    toolbar->searchEdit->setEnabled(true);
    for (QAction *action : {newFolderAction, newPageAction, wikiPasswordAction, pagePasswordAction})
        action->setEnabled(true);
    exportWikiMenu->setEnabled(true);
    sidebarToolbar->show();
    setPageActionsFor(home);
    setEditingActionsEnabled(home->isUnlocked());

    m_editor->disconnectSignals();
    m_editor->setEditable(home->isUnlocked());
    m_editor->loadPage(home);
    m_editor->removeBrokenLinks(wiki->allPageIds());
    m_editor->connectSignals();
    m_editor->setFocus(Qt::OtherFocusReason);

    history.push(home->id());
    updateHistoryButtons();

    Settings::addRecentWiki(path);
    updateRecentFileActions();

    if (!wiki->legacyBackupPath().isEmpty()) {
        showInfoMessage(tr("Wiki From an Earlier Release"),
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
        showErrorMessage(tr("The selected file does not exist."), this);
        return;
    }
    // The shown page's changes are written before the wiki is replaced; when that fails the
    // user is asked, and by default the open wiki stays with its changes.
    if (wiki && !finishSaving(false))
        return;
    openWiki(path, true, false);
}

void MainWindow::replaceWiki(WikiDocument *newWiki)
{
    // Nothing may keep pointing into the old wiki's items once it is gone.
    m_editor->unloadPage();
    m_sidebar->setWiki(nullptr);
    onHideSearchResults();
    history = PageHistory();
    updateHistoryButtons();
    if (wiki) {
        // Its destructor writes what an autosave during a password dialog may have queued.
        const bool busy = wiki->saver()->isBusy();
        if (busy)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        delete wiki;
        if (busy)
            QApplication::restoreOverrideCursor();
    }
    wiki = newWiki;
    saveFailureReported = false;
    lastSaveFailed = false;
    lastSavedAt = QTime();
    if (wiki) {
        connect(wiki->saver(), &WikiSaver::saveStarted, this, &MainWindow::updateSaveState);
        connect(wiki->saver(), &WikiSaver::saveFinished, this, &MainWindow::reportSaveResult);
    }
}

void MainWindow::closeWikiWithoutHomePage()
{
    replaceWiki(nullptr);
    setWindowFilePath(QString());
    updateSaveState();
    statusBar()->showMessage(welcomeNoWikiText());
    m_editor->showWelcomePage();
    // Back to the state of a window without a wiki.
    sidebarToolbar->hide();
    toolbar->searchEdit->setEnabled(false);
    for (QAction *action : {newFolderAction, deleteFolderAction, newPageAction, deletePageAction,
             renamePageAction, wikiPasswordAction, pagePasswordAction})
        action->setEnabled(false);
    toolbar->deletePageButton->setEnabled(false);
    exportWikiMenu->setEnabled(false);
    exportPageMenu->setEnabled(false);
    setEditingActionsEnabled(false);
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
    const QString path = askForSaveFileName(
        tr("Save Velmora Wiki As"), tr("Velmora Wiki (*.velmora)"), QStringLiteral(".velmora"));
    // Written out before the file is emptied: it may be the very file of the open wiki.
    if (path.isEmpty() || !finishSaving(false))
        return;
    QFile::resize(path, 0);
    openWiki(path, false, false);
}

QString MainWindow::askForSaveFileName(
    const QString &caption, const QString &filter, const QString &extension)
{
    QString name = QFileDialog::getSaveFileName(this, caption, QDir::homePath(), filter);
    if (name.isEmpty())
        return name;
    if (!name.endsWith(extension, Qt::CaseInsensitive))
        name += extension;
    // Left as it is: an export replaces the file whole once it is written, so a failed export
    // never leaves it emptied. New Wiki empties its file itself.
    return name;
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
    QMessageBox box(QMessageBox::Information, tr("Error"), tr("The selected file does not exist."),
        QMessageBox::NoButton, this);
    box.setWindowFlags(box.windowFlags() & ~Qt::WindowContextHelpButtonHint);
    box.addButton(tr("OK"), QMessageBox::AcceptRole);
    box.exec();
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
    Page *page = m_editor->currentPage();
    if (!page)
        return;
    if (!page->isModified() && !forced && !lastSaveFailed)
        return;
    page->setModified(false);
    wiki->requestSave();
}

bool MainWindow::finishSaving(bool closing)
{
    if (!wiki)
        return true;
    saveWiki(false);
    const bool busy = wiki->saver()->isBusy();
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    const bool saved = wiki->waitForSaves();
    if (busy)
        QApplication::restoreOverrideCursor();
    if (saved)
        return true;
    QMessageBox box(QMessageBox::Warning, tr("Unsaved Changes"),
        (closing ? tr("Your latest changes could not be saved to \"%1\". If you close "
                      "Velmora now, they are lost.")
                 : tr("Your latest changes could not be saved to \"%1\". If you open "
                      "another wiki now, they are lost."))
            .arg(QDir::toNativeSeparators(wiki->filePath())),
        QMessageBox::NoButton, this);
    box.setWindowFlags(box.windowFlags() & ~Qt::WindowContextHelpButtonHint);
    QPushButton *loseButton
        = box.addButton(closing ? tr("Close and lose changes") : tr("Open and lose changes"),
            QMessageBox::DestructiveRole);
    box.addButton(closing ? tr("Keep Velmora open") : tr("Cancel"), QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == loseButton;
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
    showErrorMessage(tr("The wiki could not be saved to \"%1\": %2\n\nYour changes are kept "
                        "while Velmora runs, and saving will be tried again.")
                         .arg(QDir::toNativeSeparators(wiki->filePath()), wiki->lastSaveError()),
        this);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (autosaveTimer) {
        autosaveTimer->stop();
        autosaveTimer->deleteLater();
        autosaveTimer = nullptr;
    }
    if (!isMaximized() && !isMinimized())
        Settings::setLastWindowGeometry(QRect(pos(), size()));

    // Waits for the running save and writes the last state; asks when that fails.
    if (!finishSaving(true)) {
        event->ignore();
        autosaveTimer = new QTimer(this);
        autosaveTimer->setObjectName(QStringLiteral("autosaveTimer"));
        connect(autosaveTimer, &QTimer::timeout, this, [this] { saveWiki(false); });
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
    history.push(newPage->id());
    updateHistoryButtons();
    setPageActionsFor(newPage);
    showPageInEditor(newPage, true);
}

void MainWindow::slotOnFolderSelected(Folder *)
{
    deleteFolderAction->setEnabled(true);
}

QString MainWindow::askForText(const QString &title, const QString &label)
{
    return QInputDialog::getText(this, title, label, QLineEdit::Normal, QString(), nullptr,
        Qt::WindowTitleHint | Qt::WindowSystemMenuHint)
        .trimmed();
}

QString MainWindow::askForDirectory()
{
    return QFileDialog::getExistingDirectory(this, QString(), QDir::homePath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

void MainWindow::onNewPage()
{
    if (!wiki)
        return;
    const QString name = askForText(tr("Page Name"), tr("Enter the name of the new page:"));
    if (name.isEmpty())
        return;
    if (Page *existing = wiki->findPageByName(name)) {
        QMessageBox box(QMessageBox::Information, tr("Page already exists"),
            tr("A page with that name already exists."), QMessageBox::NoButton, this);
        box.setWindowFlags(box.windowFlags() & ~Qt::WindowContextHelpButtonHint);
        QPushButton *open = box.addButton(tr("Open '%1'").arg(name), QMessageBox::AcceptRole);
        box.addButton(tr("Cancel"), QMessageBox::RejectRole);
        box.exec();
        if (box.clickedButton() == open)
            m_sidebar->selectItem(existing->id());
        return;
    }

    Folder *folder = m_sidebar->currentFolder();
    Page *page = wiki->createPage(name, folder);
    m_sidebar->addItem(page, folder);
    history.push(page->id());
    updateHistoryButtons();
    setPageActionsFor(page);
    m_editor->disconnectSignals();
    m_editor->loadPage(page);
    m_editor->setEditable(page->isUnlocked());
    m_editor->setFocus(Qt::OtherFocusReason);
    m_editor->connectSignals();
}

void MainWindow::onNewFolder()
{
    if (!wiki)
        return;
    const QString name = askForText(tr("Folder Name"), tr("Enter the name of the new folder:"));
    if (name.isEmpty())
        return;
    if (wiki->findFolderByName(name)) {
        QMessageBox box(QMessageBox::Information, tr("Folder already exists"),
            tr("A folder with that name already exists."), QMessageBox::NoButton, this);
        box.setWindowFlags(box.windowFlags() & ~Qt::WindowContextHelpButtonHint);
        box.addButton(tr("OK"), QMessageBox::AcceptRole);
        box.exec();
        return;
    }
    Folder *folder = wiki->createFolder(name);
    m_sidebar->addItem(folder, nullptr);
}

void MainWindow::onRenamePage()
{
    Page *page = m_editor->currentPage();
    if (!wiki || !page || page->isHomePage())
        return;
    const QString name = askForText(tr("Page Name"), tr("Enter the new name for this page:"));
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

bool MainWindow::confirmDeletion(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, this);
    box.setWindowFlags(box.windowFlags() & ~Qt::WindowContextHelpButtonHint);
    box.setWindowFlags(box.windowFlags() | Qt::WindowFlags(0x9));
    QPushButton *yes = box.addButton(tr("Yes, delete"), QMessageBox::AcceptRole);
    box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == yes;
}

void MainWindow::onDeletePage()
{
    Page *page = m_editor->currentPage();
    if (!wiki || !page || page->isHomePage())
        return;
    if (!confirmDeletion(tr("Delete Page?"), tr("Do you really want to delete this page?")))
        return;

    Page *home = wiki->homePage();
    const QString id = page->id();
    m_sidebar->disconnectSignals();
    m_sidebar->removeItem(id);
    m_sidebar->selectItem(home->id());
    m_sidebar->connectSignals();
    history.remove(id);
    history.push(home->id());
    updateHistoryButtons();
    for (QAction *action : {deleteFolderAction, deletePageAction, renamePageAction})
        action->setEnabled(false);
    toolbar->deletePageButton->setEnabled(false);
    exportPageMenu->setEnabled(!home->isLocked());
    showPageInEditor(home, true);
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
    history.push(home->id());
    updateHistoryButtons();
    for (QAction *action : {deleteFolderAction, deletePageAction, renamePageAction})
        action->setEnabled(false);
    toolbar->deletePageButton->setEnabled(false);
    exportPageMenu->setEnabled(!home->isLocked());
    showPageInEditor(home, true);
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
        default:
            break;
        }
    } else {
        QDesktopServices::openUrl(url);
    }
}

void MainWindow::unlockCurrentPage()
{
    Page *page = m_editor->currentPage();
    if (!page || !wiki || !page->isLocked())
        return;
    const PasswordDescriptor &descriptor = page->passwordDescriptor();
    EnterPasswordDialog dialog(descriptor.hashedPassword(), descriptor.salt(),
        descriptor.passwordHint(), false, false, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    page->setLocked(false);
    saveWiki(true);
    m_editor->disconnectSignals();
    m_editor->setEditable(true);
    m_editor->loadPage(page);
    m_editor->setFocus(Qt::OtherFocusReason);
    m_editor->connectSignals();
    setEditingActionsEnabled(true);
    exportPageMenu->setEnabled(true);
}

void MainWindow::onToolbarBackButton()
{
    const QString id = history.previousId();
    if (id == QLatin1String("-1"))
        return;
    history.back();
    updateHistoryButtons();
    m_sidebar->selectItem(id);
}

void MainWindow::onToolbarForwardButton()
{
    const QString id = history.nextId();
    if (id == QLatin1String("-1"))
        return;
    history.forward();
    updateHistoryButtons();
    m_sidebar->selectItem(id);
}

void MainWindow::onToolbarFormatButton()
{
    toolbar->showFormatMenu();
}

void MainWindow::onToolbarLinkUnlinkButton()
{
    onLinkUnlink();
}

void MainWindow::onToolbarDeletePageButton()
{
    onDeletePage();
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
        showInfoMessage(
            tr("Password Protection"), tr("This wiki is now password protected."), this);
    } else {
        EnterPasswordDialog dialog(descriptor.hashedPassword(), descriptor.salt(),
            descriptor.passwordHint(), true, true, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        wiki->removePassword();
        showInfoMessage(
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
        showInfoMessage(
            tr("Password Protection"), tr("This page is now password protected."), this);
        saveWiki(true);
    } else {
        const PasswordDescriptor &descriptor = page->passwordDescriptor();
        EnterPasswordDialog dialog(descriptor.hashedPassword(), descriptor.salt(),
            descriptor.passwordHint(), false, true, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        page->removePassword();
        page->setModified(true);
        m_editor->disconnectSignals();
        m_editor->setEditable(true);
        m_editor->loadPage(page);
        m_editor->connectSignals();
        setEditingActionsEnabled(true);
        exportPageMenu->setEnabled(true);
        showInfoMessage(
            tr("Password Protection"), tr("This page is no longer password protected."), this);
        saveWiki(true);
    }
}

// --- Editing commands ----------------------------------------------------------------------

void MainWindow::onMakeTextBold()
{
    m_editor->toggleBold();
}

void MainWindow::onMakeTextUnderlined()
{
    m_editor->toggleUnderline();
}

void MainWindow::onMakeTextItalic()
{
    m_editor->toggleItalic();
}

void MainWindow::onMakeTextStrikethrough()
{
    m_editor->toggleStrikethrough();
}

void MainWindow::onTextAlign(QAction *action)
{
    if (action == alignLeftAction)
        m_editor->alignLeft();
    else if (action == alignRightAction)
        m_editor->alignRight();
    else if (action == alignCenterAction)
        m_editor->alignCenter();
    else if (action == alignJustifyAction)
        m_editor->alignJustify();
}

void MainWindow::onMakeTextSmaller()
{
    m_editor->changeFontSize(-4);
}

void MainWindow::onMakeTextLarger()
{
    m_editor->changeFontSize(4);
}

void MainWindow::onLinkUnlink()
{
    Page *current = m_editor->currentPage();
    if (!wiki || !current || current->isLocked())
        return;
    if (!QUrl(m_editor->currentLinkUrl(), QUrl::TolerantMode).isEmpty()) {
        m_editor->unlink();
        saveWiki(true);
        return;
    }
    const QString text = m_editor->selectedTextOrWord().trimmed();
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
    m_editor->disconnectSignals();
    m_editor->loadPage(page);
    m_editor->connectSignals();
    m_editor->setFocus(Qt::OtherFocusReason);
    setPageActionsFor(page);
    history.push(page->id());
    updateHistoryButtons();
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
    const QString data = file.toBase64();
    if (data.isEmpty()) {
        showInfoMessage(tr("Image Importer"),
            error.isEmpty() ? tr("Cannot load image. Unknown error.") : error, this);
        return;
    }
    m_editor->insertImage(data, file.format());
}

bool MainWindow::onEditorReceivedDropEvent(QDropEvent *event)
{
    Page *page = m_editor->currentPage();
    if (!page || page->isLocked() || !event)
        return false;
    // Markup and pictures dragged from a browser carry text too; the engine inserts them best.
    const QMimeData *mime = event->mimeData();
    if (!mime || mime->hasHtml() || mime->hasImage() || !mime->hasText())
        return false;
    QString path = mime->text().trimmed();
    // The URL's own conversion keeps the leading slash of an absolute path and decodes "%20"
    // and the like; cutting the scheme off by hand did neither.
    if (path.startsWith(QLatin1String("file://")))
        path = QUrl(path, QUrl::TolerantMode).toLocalFile();
    const ImageFile file(path, nullptr);
    const QString data = file.toBase64();
    if (data.isEmpty())
        return false;
    m_editor->insertImage(data, file.format());
    event->acceptProposedAction();
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

void MainWindow::onExportPageAsHTML()
{
    Page *page = m_editor->currentPage();
    if (!wiki || !page || page->isLocked())
        return;
    const QString name = askForSaveFileName(
        tr("Export Page As"), tr("HTML Document (*.html)"), QStringLiteral(".html"));
    if (!name.isEmpty() && !exportPageAsHtml(page->content(), name))
        showErrorMessage(tr("This page could not be exported."), this);
}

void MainWindow::onExportPageAsText()
{
    Page *page = m_editor->currentPage();
    if (!wiki || !page || page->isLocked())
        return;
    const QString name = askForSaveFileName(
        tr("Export Page As"), tr("Text Document (*.txt)"), QStringLiteral(".txt"));
    if (!name.isEmpty() && !writeTextFile(HtmlProcessor::htmlToPlainText(page->content()), name))
        showErrorMessage(tr("This page could not be exported."), this);
}

void MainWindow::onExportWikiAsHTML()
{
    exportWiki(true);
}

void MainWindow::onExportWikiAsText()
{
    exportWiki(false);
}

void MainWindow::exportWiki(bool asHtml)
{
    if (!wiki)
        return;
    const QString folder = askForDirectory();
    if (folder.isEmpty())
        return;
    saveWiki(false);
    const QList<Page *> pages = wiki->allPages();
    const bool exported
        = asHtml ? exportPagesAsHtml(pages, folder) : exportPagesAsText(pages, folder);
    if (!exported)
        showErrorMessage(tr("Some pages could not be exported."), this);
}

void MainWindow::onRunSearch()
{
    if (!wiki)
        return;
    const QString text = toolbar->searchEdit->text();
    searchRunner->cancel();
    // Lines are read from the pages laid out as wide as the editor shows them.
    searchRunner->setLayoutWidth(m_editor->width());
    searchRunner->start(wiki->allPages(), text);
    searchResults->beginResults(text);
    searchResults->show();
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
