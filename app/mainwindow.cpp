#include "app/mainwindow.h"

#include "app/aboutdialog.h"
#include "app/updatechecker.h"
#include "app/widgetutils.h"
#include "model/exporter.h"
#include "model/htmlprocessor.h"
#include "model/page.h"
#include "model/urls.h"
#include "model/utils.h"
#include "model/wikidocument.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QStringList>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , updateChecker(new UpdateChecker(this))
{
    installApplicationLook();
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Velmora"));
    setCentralWidget(new QWidget(this));

    // Only sent here: the answer arrives through the event loop, after the window is shown.
    checkForUpdates(false);
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

QString MainWindow::askForSaveFileName(
    const QString &caption, const QString &filter, const QString &extension)
{
    QString name = QFileDialog::getSaveFileName(this, caption, QString(), filter);
    if (!name.isEmpty() && !name.endsWith(extension, Qt::CaseInsensitive))
        name += extension;
    // The chosen file is left as it is: the export replaces it whole once it has been written,
    // so a failed export no longer leaves it emptied.
    return name;
}

QString MainWindow::askForDirectory()
{
    return QFileDialog::getExistingDirectory(this, QString(), QDir::homePath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

void MainWindow::onExportPageAsHTML()
{
    if (!wiki || !currentPage || currentPage->isLocked())
        return;
    const QString name = askForSaveFileName(
        tr("Export Page As"), tr("HTML Document (*.html)"), QStringLiteral(".html"));
    if (!name.isEmpty() && !exportPageAsHtml(currentPage->content(), name))
        showErrorMessage(tr("This page could not be exported."), this);
}

void MainWindow::onExportPageAsText()
{
    if (!wiki || !currentPage || currentPage->isLocked())
        return;
    const QString name = askForSaveFileName(
        tr("Export Page As"), tr("Text Document (*.txt)"), QStringLiteral(".txt"));
    if (!name.isEmpty()
        && !writeTextFile(HtmlProcessor::htmlToPlainText(currentPage->content()), name))
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
    const QList<Page *> pages = wiki->allPages();
    const bool exported
        = asHtml ? exportPagesAsHtml(pages, folder) : exportPagesAsText(pages, folder);
    if (!exported)
        showErrorMessage(tr("Some pages could not be exported."), this);
}

// The page and command links are carried out by the wiki commands, which build on this signal
// as they arrive; every other address belongs to the desktop's browser.
void MainWindow::onLinkClicked(QUrl url)
{
    emit linkClicked(url);
    const QString text = url.toString();
    if (!isPageUrl(text) && !isCommandUrl(text))
        QDesktopServices::openUrl(url);
}

// Images dropped as file paths are taken once image import exists; until then the engine's own
// drop handling takes every drop.
bool MainWindow::onEditorReceivedDropEvent(QDropEvent *)
{
    return false;
}

// The search results panel comes with the search; until then there is nothing to hide.
void MainWindow::onHideSearchResults() { }

// The formatting and link actions come with the window's commands; until then there is
// nothing to bring up to date.
void MainWindow::updateLinkAction() { }

void MainWindow::updateFormatActions() { }

// Showing the chosen page and enabling Delete Folder come with the page and folder commands;
// until then a selection in the sidebar changes nothing here.
void MainWindow::slotOnPageSelectionChanged(Page *, Page *) { }

void MainWindow::slotOnFolderSelected(Folder *) { }
