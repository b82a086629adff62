#include "app/mainwindow.h"

#include "app/aboutdialog.h"
#include "app/updatechecker.h"
#include "app/widgetutils.h"
#include "model/utils.h"

#include <QApplication>
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
