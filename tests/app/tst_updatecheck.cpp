#include "app/settings.h"
#include "app/updatechecker.h"
#include "testing.h"

using namespace Testing;

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        UpdateChecker::setDefaultServerUrl(QUrl(qEnvironmentVariable("VELMORA_UPDATE_URL")));
        QVERIFY(allAnswered());
        takeOpenedUrls();
    }

    void answers_data()
    {
        QTest::addColumn<QString>("server"); // "silent": never answers; "none": nothing listens
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("verbose");
        QTest::addColumn<QString>("box");
        QTest::newRow("1, at start-up")
            << "" << QByteArray("1") << false << "An update is available!";
        QTest::newRow("0, asked") << "" << QByteArray("0") << true << "No new updates";
        QTest::newRow("1 and line break, asked")
            << "" << QByteArray("1\n") << true << "No new updates";
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
        LocalSite site;
        site.body = body;
        site.silent = server == "silent";
        QWidget window;
        UpdateChecker checker(&window);
        checker.setServerUrl(QUrl(site.url()));
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
        const qint64 before = processStatusKb("VmRSS");
        QWidget window;
        UpdateChecker checker(&window);
        checker.setServerUrl(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort())));
        checker.setTimeout(60000);
        QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
        checker.check(false);
        QVERIFY(finished.wait(60000));
        const qint64 grown = processStatusKb("VmRSS") - before;
        QVERIFY2(sent < bound, "the whole endless reply was read");
        QVERIFY2(grown < 8 * 1024, qPrintable(QStringLiteral("grew by %1 kB").arg(grown)));
    }

    // The start-up check once waited for its answer inside the window's constructor.
    void windowShowsBeforeTheAnswer()
    {
        LocalSite site;
        site.body = "1";
        site.held = true;
        UpdateChecker::setDefaultServerUrl(QUrl(site.url()));
        std::unique_ptr<MainWindow> window = makeWindow();
        QTRY_COMPARE(site.requests.size(), 1);
        QString title;
        answerBox(QStringLiteral("Cancel"), nullptr, &title);
        site.release();
        QTRY_COMPARE(title, QStringLiteral("An update is available!"));
    }

    void onlyTheCheckButtonChecks()
    {
        LocalSite site;
        site.body = "0";
        UpdateChecker::setDefaultServerUrl(QUrl(site.url()));
        std::unique_ptr<MainWindow> window = makeWindow();
        QTRY_COMPARE(site.requests.size(), 1); // the silent start-up check
        for (const int checks : {0, 1}) {
            const QString button = checks ? "Check for Updates" : "Close";
            answerDialog("AboutDialog", [button](QWidget *about) {
                for (QAbstractButton *b : about->findChildren<QAbstractButton *>()) {
                    if (b->text().trimmed() == button)
                        return b->click();
                }
            });
            QString title;
            if (checks)
                answerBox(QStringLiteral("OK"), nullptr, &title);
            window->onAboutVelmora();
            QTRY_COMPARE(title, checks ? QStringLiteral("No new updates") : QString());
            QTest::qWait(100);
            QCOMPARE(site.requests.size(), 1 + checks);
        }
    }

    // Turned off from the Help menu, the start-up check asks nothing, neither when the window
    // starts nor when it opens a wiki; a check asked for later still goes out.
    void startupCheckIsTheUsersChoice()
    {
        LocalSite site;
        UpdateChecker::setDefaultServerUrl(QUrl(site.url()));
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
        site.connections = 0;
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
            QCOMPARE(site.connections, 1);
            QCOMPARE(site.requests.size(), 1);
        }
        Settings::setCheckForUpdatesAtStartup(true);
    }
};

VELMORA_TEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
