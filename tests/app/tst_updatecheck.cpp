#include "app/aboutdialog.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "app/updatechecker.h"

#include <QAction>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

// The product web site on the loopback address: it answers every request with body after delay
// milliseconds, or never when delay is negative.
class Site : public QTcpServer
{
public:
    QByteArray body = "0";
    int delay = 0;
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
                if (delay < 0)
                    return;
                QTimer::singleShot(delay, socket, [this, socket] {
                    socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: "
                        + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            });
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(serverPort())); }
};

class TestUpdateCheck : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { opened << url; }

private:
    QList<QUrl> opened;
    // Every modal window that opens is handed to answer; the titles of message boxes are noted.
    QStringList shown;
    std::function<void(QWidget *)> answer;
    QTimer poll;
    QPointer<QWidget> seen;

    static void press(QWidget *modal, const QString &text)
    {
        for (QAbstractButton *button : modal->findChildren<QAbstractButton *>()) {
            if (button->text().contains(text))
                return button->click();
        }
    }

private slots:
    void initTestCase()
    {
        MainWindow::installApplicationLook();
        QDesktopServices::setUrlHandler("https", this, "openUrl");
        connect(&poll, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal == seen)
                return;
            seen = modal;
            if (qobject_cast<QMessageBox *>(modal))
                shown << modal->windowTitle();
            answer(modal);
        });
        poll.start(10);
    }

    void init()
    {
        shown.clear();
        opened.clear();
        answer = [](QWidget *modal) { press(modal, "OK"); };
    }

    void answers_data()
    {
        QTest::addColumn<int>("delay"); // -1: never answers; -2: nothing listens
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("verbose");
        QTest::addColumn<QString>("box");
        QTest::newRow("1, at start-up")
            << 0 << QByteArray("1") << false << "An update is available!";
        QTest::newRow("1, asked") << 0 << QByteArray("1") << true << "An update is available!";
        QTest::newRow("0, at start-up") << 0 << QByteArray("0") << false << "";
        QTest::newRow("0, asked") << 0 << QByteArray("0") << true << "No new updates";
        QTest::newRow("1 and line break, asked")
            << 0 << QByteArray("1\n") << true << "No new updates";
        QTest::newRow("empty, asked") << 0 << QByteArray() << true << "No new updates";
        QTest::newRow("no server, at start-up") << -2 << QByteArray() << false << "";
        QTest::newRow("no server, asked")
            << -2 << QByteArray() << true << "Error connecting to server.";
        // Without a time-out the check waited for good on a server that never answered.
        QTest::newRow("no answer, at start-up") << -1 << QByteArray() << false << "";
        QTest::newRow("no answer, asked")
            << -1 << QByteArray() << true << "Error connecting to server.";
    }

    void answers()
    {
        QFETCH(int, delay);
        QFETCH(QByteArray, body);
        QFETCH(bool, verbose);
        QFETCH(QString, box);
        Site site;
        site.body = body;
        site.delay = delay;
        QWidget window;
        UpdateChecker checker(&window);
        checker.setServerUrl(site.url());
        checker.setTimeout(500);
        if (delay == -2)
            site.close();
        // The update box's first button opens the site; the other boxes have one button.
        answer = [](QWidget *modal) {
            press(modal, "  Go to velmora.halvane.net  ");
            press(modal, "OK");
        };
        QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
        checker.check(verbose);
        QVERIFY(finished.wait(5000));
        QCOMPARE(shown, box.isEmpty() ? QStringList() : QStringList {box});
        if (delay != -2)
            QCOMPARE(site.requests, QStringList {"GET /checkforupdates/windows/2.3.2 HTTP/1.1"});
        const QList<QUrl> webSite {QUrl("https://velmora.halvane.net")};
        QCOMPARE(opened, body == "1" ? webSite : QList<QUrl>());
    }

    // The start-up check once waited for its answer inside the window's constructor.
    void windowShowsBeforeTheAnswer()
    {
        Site site;
        site.body = "1";
        site.delay = 1500;
        UpdateChecker::setDefaultServerUrl(site.url());
        answer = [](QWidget *modal) { press(modal, "Cancel"); };
        QElapsedTimer clock;
        clock.start();
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(shown.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(shown, QStringList {"An update is available!"}, 5000);
    }

    void aboutBoxLabels_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<int>("weight");
        QTest::newRow("name") << "aboutName"
                              << "Velmora" << 18 << 75;
        QTest::newRow("version") << "aboutVersion"
                                 << "Version 2.3.2" << 10 << 50;
        QTest::newRow("web site")
            << "aboutWebSite"
            << "<a href=\"https://velmora.halvane.net\">velmora.halvane.net</a>" << 10 << 75;
        QTest::newRow("contact") << "aboutContact"
                                 << "support@halvane.net" << 10 << 50;
    }

    void aboutBoxLabels()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(int, pointSize);
        QFETCH(int, weight);
        AboutDialog dialog;
        QCOMPARE(dialog.windowType(), Qt::Tool);
        QCOMPARE(dialog.minimumSize(), QSize(350, 280));
        QCOMPARE(dialog.maximumSize(), QSize(350, 280));
        auto *label = dialog.findChild<QLabel *>(name);
        QCOMPARE(label->text(), text);
        // The face drawn, not the one asked for: the shipped font must have been registered.
        const QFontInfo font(label->font());
        QCOMPARE(font.family(), QStringLiteral("Montserrat"));
        QCOMPARE(font.pointSize(), pointSize);
        QCOMPARE(font.weight(), weight);
    }

    void onlyTheCheckButtonChecks_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("Close") << ""
                               << "Close" << QStringList();
        QTest::newRow("Escape") << "Escape"
                                << "" << QStringList();
        QTest::newRow("Check for Updates")
            << ""
            << "  Check for Updates  " << QStringList {"No new updates"};
    }

    void onlyTheCheckButtonChecks()
    {
        QFETCH(QString, key);
        QFETCH(QString, button);
        QFETCH(QStringList, boxes);
        Site site;
        UpdateChecker::setDefaultServerUrl(site.url());
        MainWindow window;
        QTRY_COMPARE(site.requests.size(), 1); // the silent start-up check
        answer = [&](QWidget *modal) {
            if (!qobject_cast<AboutDialog *>(modal))
                return press(modal, "OK");
            if (!key.isEmpty())
                return QTest::keyClick(modal, Qt::Key_Escape);
            press(modal, button);
        };
        window.onAboutVelmora();
        QTRY_COMPARE(shown, boxes);
        QTest::qWait(200);
        QCOMPARE(site.requests.size(), 1 + boxes.size());
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

    void cleanup()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
    }
};

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
