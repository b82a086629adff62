#include "app/aboutdialog.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "widgets/applicationlook.h"
#include "app/updatechecker.h"
#include "testing.h"

#include <QAbstractButton>
#include <QAction>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace Testing;

// The product web site on the loopback address. It answers every request with body, or holds
// the answers back while held, or never answers when silent.
class Site : public QTcpServer
{
public:
    QByteArray body = "0";
    bool held = false;
    bool silent = false;
    QStringList requests;

    Site()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
                    return;
                requests << QString::fromLatin1(socket->readLine().trimmed());
                socket->readAll();
                m_waiting << socket;
                if (!held)
                    release();
            });
        });
    }
    void release()
    {
        for (QTcpSocket *socket : std::exchange(m_waiting, {})) {
            if (silent)
                continue;
            socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: "
                + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        }
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(serverPort())); }

private:
    QList<QTcpSocket *> m_waiting;
};

qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        UpdateChecker::setDefaultServerUrl(QUrl(qEnvironmentVariable("VELMORA_UPDATE_URL")));
        QVERIFY2(allAnswered(), "a box the test expected never appeared");
        takeOpenedUrls();
    }

    void answers_data()
    {
        QTest::addColumn<QString>("server"); // "silent": never answers; "none": nothing listens
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("verbose");
        QTest::addColumn<QString>("box");
        QTest::newRow("1, at start-up") << "" << QByteArray("1") << false << "An update is available!";
        QTest::newRow("1, asked") << "" << QByteArray("1") << true << "An update is available!";
        QTest::newRow("0, at start-up") << "" << QByteArray("0") << false << "";
        QTest::newRow("0, asked") << "" << QByteArray("0") << true << "No new updates";
        QTest::newRow("1 and line break, asked") << "" << QByteArray("1\n") << true << "No new updates";
        QTest::newRow("no server, at start-up") << "none" << QByteArray() << false << "";
        QTest::newRow("no server, asked")
            << "none" << QByteArray() << true << "Error connecting to server.";
        // Without a time-out the check waited for good on a server that never answered.
        QTest::newRow("no answer, at start-up") << "silent" << QByteArray() << false << "";
        QTest::newRow("no answer, asked")
            << "silent" << QByteArray() << true << "Error connecting to server.";
    }

    void answers()
    {
        QFETCH(QString, server);
        QFETCH(QByteArray, body);
        QFETCH(bool, verbose);
        QFETCH(QString, box);
        Site site;
        site.body = body;
        site.silent = server == "silent";
        QWidget window;
        UpdateChecker checker(&window);
        checker.setServerUrl(site.url());
        // Short only where it must run out: elsewhere a busy machine may answer slowly.
        checker.setTimeout(site.silent ? 500 : 60000);
        if (server == "none")
            site.close();
        QString title;
        // The update box's first button opens the site; the other boxes have one button.
        if (!box.isEmpty())
            answerBox(body == "1" ? "Go to velmora.halvane.net" : "OK", nullptr, &title);
        QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
        checker.check(verbose);
        QVERIFY(finished.wait(60000));
        QCOMPARE(title, box);
        if (server.isEmpty())
            QCOMPARE(site.requests, QStringList {"GET /checkforupdates/windows/2.3.2 HTTP/1.1"});
        const QList<QUrl> webSite {QUrl("https://velmora.halvane.net")};
        QCOMPARE(takeOpenedUrls(), body == "1" ? webSite : QList<QUrl>());
    }

    // The whole reply was read into memory: a server streaming without end made the silent
    // check hold more than a gigabyte within its time-out.
    void endlessReplyIsCutOff()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        qint64 sent = 0;
        const qint64 bound = 64 * 1024 * 1024;
        const QByteArray chunk(64 * 1024, '1');
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *socket = server.nextPendingConnection();
            auto feed = [&, socket] {
                if (sent >= bound) {
                    socket->disconnectFromHost();
                } else if (socket->bytesToWrite() < chunk.size()) {
                    socket->write(chunk);
                    sent += chunk.size();
                }
            };
            connect(socket, &QTcpSocket::readyRead, socket, [socket, feed] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
                feed();
            });
            connect(socket, &QTcpSocket::bytesWritten, socket, feed);
        });
        const qint64 before = residentKilobytes();
        QWidget window;
        UpdateChecker checker(&window);
        checker.setServerUrl(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort())));
        checker.setTimeout(60000);
        QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
        checker.check(false);
        QVERIFY(finished.wait(60000));
        const qint64 grown = residentKilobytes() - before;
        QVERIFY2(sent < bound, "the whole endless reply was read");
        QVERIFY2(grown < 8 * 1024, qPrintable(QStringLiteral("grew by %1 kB").arg(grown)));
    }

    // The start-up check once waited for its answer inside the window's constructor.
    void windowShowsBeforeTheAnswer()
    {
        Site site;
        site.body = "1";
        site.held = true;
        UpdateChecker::setDefaultServerUrl(site.url());
        std::unique_ptr<MainWindow> window = makeWindow();
        QTRY_COMPARE(site.requests.size(), 1);
        QString title;
        answerBox(QStringLiteral("Cancel"), nullptr, &title);
        site.release();
        QTRY_COMPARE(title, QStringLiteral("An update is available!"));
    }

    void onlyTheCheckButtonChecks_data()
    {
        QTest::addColumn<QString>("button"); // none: Escape
        QTest::addColumn<int>("checks");
        QTest::newRow("Close") << "Close" << 0;
        QTest::newRow("Escape") << "" << 0;
        QTest::newRow("Check for Updates") << "Check for Updates" << 1;
    }

    void onlyTheCheckButtonChecks()
    {
        QFETCH(QString, button);
        QFETCH(int, checks);
        Site site;
        UpdateChecker::setDefaultServerUrl(site.url());
        std::unique_ptr<MainWindow> window = makeWindow();
        QTRY_COMPARE(site.requests.size(), 1); // the silent start-up check
        answerDialog("AboutDialog", [button](QWidget *about) {
            if (button.isEmpty())
                return QTest::keyClick(about, Qt::Key_Escape);
            for (QAbstractButton *b : about->findChildren<QAbstractButton *>()) {
                if (b->text().trimmed() == button)
                    return b->click();
            }
        });
        QString title;
        if (checks)
            answerBox(QStringLiteral("OK"), nullptr, &title);
        window->onAboutVelmora();
        if (checks)
            QTRY_COMPARE(title, QStringLiteral("No new updates"));
        QTest::qWait(100);
        QCOMPARE(site.requests.size(), 1 + checks);
    }

    // Turned off from the Help menu, the start-up check asks nothing, neither when the window
    // starts nor when it opens a wiki; a check asked for later still goes out.
    void startupCheckIsTheUsersChoice()
    {
        Site site;
        int connections = 0;
        connect(&site, &QTcpServer::newConnection, this, [&connections] { ++connections; });
        UpdateChecker::setDefaultServerUrl(site.url());
        Settings::setCheckForUpdatesAtStartup(true);
        {
            MainWindow window;
            QTRY_COMPARE(site.requests.size(), 1);
            auto *action = window.findChild<QAction *>(QStringLiteral("startupUpdateCheckAction"));
            QVERIFY(action && action->isCheckable() && action->isChecked());
            action->trigger();
            QVERIFY(!Settings::checkForUpdatesAtStartup());
        }
        site.requests.clear();
        connections = 0;
        QTemporaryDir dir;
        {
            MainWindow window;
            window.openWiki(dir.filePath(QStringLiteral("notes.velmora")), true, false);
            QVERIFY(window.currentWiki());
            QVERIFY(!window.findChild<QAction *>(QStringLiteral("startupUpdateCheckAction"))
                         ->isChecked());
            // Sent after anything the start-up could have sent, so it arrives after it too.
            window.checkForUpdates(false);
            QTRY_COMPARE(site.requests.size(), 1);
            QTest::qWait(200);
            QCOMPARE(connections, 1);
            QCOMPARE(site.requests.size(), 1);
        }
        Settings::setCheckForUpdatesAtStartup(true);
    }
};

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
