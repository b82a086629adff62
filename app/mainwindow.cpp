#include "app/mainwindow.h"

#include "model/urls.h"
#include "model/utils.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QStringList>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    installApplicationLook();
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Velmora"));
    setCentralWidget(new QWidget(this));
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
