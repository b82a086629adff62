#include "app/commandline.h"
#include "app/instancechannel.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "app/startupgeometry.h"
#include "editor/webenginearguments.h"
#include "model/page.h"
#include "model/passworddescriptor.h"
#include "model/wikidescriptor.h"
#include "search/searchresult.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QMetaType>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace {

// The user's own runtime folder, which no other user can write to; without one, the shared
// temporary folder with the user's id in the name, so that users never block each other.
QString lockFilePath()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/velmora.lock");
    return QDir::tempPath() + QStringLiteral("/velmora-%1.lock").arg(::getuid());
}

} // namespace

int main(int argc, char **argv)
{
    // --help, --version, wrong arguments and the subcommands end here, without the lock.
    CommandLine commandLine(CommandLine::argumentsOf(argc, argv));
    if (!commandLine.opensWindow())
        return commandLine.run(argc, argv);

    // One copy per user: a second one leaves at once, before it creates or reads anything.
    // A lock left by a killed copy is recognised as stale because its process is gone.
    QLockFile lock(lockFilePath());
    if (!lock.tryLock(100)) {
        // The running copy opens the wiki this one was started with.
        if (!commandLine.wikiPath().isEmpty()) {
            QCoreApplication handOver(argc, argv);
            InstanceChannel::handOver(commandLine.wikiPath());
        }
        return 1;
    }

    WebEngineArguments::prepareApplication();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvane"));
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setOrganizationDomain(QStringLiteral("velmora.halvane.net"));
    QApplication::setApplicationVersion(QStringLiteral("2.3.2"));
    QThread::currentThread()->setObjectName(QStringLiteral("Main thread"));

    qRegisterMetaType<Page>("Page");
    qRegisterMetaType<Page *>("Page*");
    qRegisterMetaType<QList<Page> *>("QList<Page>*");
    qRegisterMetaType<WikiDescriptor>("WikiDescriptor");
    qRegisterMetaType<WikiDescriptor *>("WikiDescriptor*");
    qRegisterMetaType<PasswordDescriptor>("PasswordDescriptor");
    qRegisterMetaType<SearchResult>("SearchResult");
    qRegisterMetaType<SearchResult *>("SearchResult*");

    MainWindow window;
    applyStartupGeometry(&window, Settings::lastWindowGeometry());
    window.show();
    InstanceChannel channel;
    QObject::connect(&channel, &InstanceChannel::fileReceived, &window,
        &MainWindow::openHandedOverWiki, Qt::QueuedConnection);
    channel.listen();
    return app.exec();
}
