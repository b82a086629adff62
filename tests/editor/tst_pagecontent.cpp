#include "editor/jspagecontroller.h"
#include "editor/pageprofile.h"
#include "editor/pagerequestinterceptor.h"
#include "editor/webenginepage.h"
#include "model/htmlsanitizer.h"
#include "model/urls.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include <optional>

// Pages shown on Qt WebEngine: whatever their content asks for, nothing leaves the engine but
// requests for the program's resources and data: addresses, and page scripts reach the program
// only through the bridge.
class TestPageContent : public QObject
{
    Q_OBJECT

    QTcpServer server; // stands for the web: it must never see a connection
    int connections = 0;
    QTemporaryDir dir;
    PageProfile *profile = nullptr;
    JsPageController *controller = nullptr;
    WebEnginePage *page = nullptr;
    QWebEngineView *view = nullptr;

    QString withAddresses(QString html) const
    {
        return html.replace("WEB", QStringLiteral("127.0.0.1:%1").arg(server.serverPort()))
            .replace("DIR", dir.path());
    }

    void load(const QString &html)
    {
        QSignalSpy loaded(page, &QWebEnginePage::loadFinished);
        page->setHtml(withAddresses(html));
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 30000);
    }

    // The value of a script in the page; an invalid one if the page gave no answer.
    QVariant js(const QString &script)
    {
        std::optional<QVariant> result;
        page->runJavaScript(script, [&](const QVariant &value) { result = value; });
        if (!QTest::qWaitFor([&] { return result.has_value(); }, 30000))
            qWarning("No answer from the page to: %s", qPrintable(script));
        return result.value_or(QVariant());
    }

    bool jsTrue(const QString &script) { return js(script).toBool(); }

private slots:
    void initTestCase()
    {
        QVERIFY(server.listen(QHostAddress::LocalHost));
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++connections;
                socket->close();
            }
        });
        QVERIFY(QFile::copy(":/images/back_icon.png", dir.filePath("picture.png")));
    }

    void init()
    {
        connections = 0;
        profile = new PageProfile(this);
        controller = new JsPageController(this);
        view = new QWebEngineView;
        page = new WebEnginePage(profile, controller, view);
        view->setPage(page);
        view->show();
    }

    void cleanup()
    {
        delete view;
        delete controller;
        delete profile;
        dir.setAutoRemove(!QTest::currentTestFailed());
    }

    // The page's own policy element is left out here, so that the profile and the page alone
    // are what stops each request. done is true once the page has made every attempt.
    void nothingLeaves_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("done");
        QTest::addColumn<QStringList>("blocked");
        // Navigations the page refuses before the engine asks for them.
        QTest::addColumn<QStringList>("refused");

        QTest::newRow("pictures, styles, fonts, frames, scripts")
            << "<html><head><link rel='stylesheet' href='https://WEB/style.css'>"
               "<style>@font-face { font-family: f; src: url(http://WEB/font.ttf); }"
               " body { font-family: f; background: url(http://WEB/back.png); }</style>"
               "<script src='http://WEB/script.js'></script></head><body>text"
               "<img src='http://WEB/picture.png'><iframe src='http://WEB/frame.html'></iframe>"
               "<video src='http://WEB/movie.webm'></video></body></html>"
            << "document.readyState == 'complete' && document.fonts.status == 'loaded'"
            << QStringList {"https://WEB/style.css", "http://WEB/font.ttf", "http://WEB/back.png",
                   "http://WEB/script.js", "http://WEB/picture.png"}
            << QStringList {"http://WEB/frame.html"};
        QTest::newRow("fetch, XMLHttpRequest, WebSocket, beacon")
            << "<html><body><script>var tries = 0; function tried() { ++tries; }"
               "fetch('http://WEB/fetch').then(tried, tried);"
               "var x = new XMLHttpRequest(); x.onloadend = tried;"
               " x.open('POST', 'http://WEB/xhr'); x.send('data');"
               "var w = new WebSocket('ws://WEB/socket'); w.onclose = tried;"
               "navigator.sendBeacon('http://WEB/beacon', 'data');</script></body></html>"
            << "tries == 3" << QStringList {"http://WEB/fetch", "http://WEB/xhr", "ws://WEB/socket"}
            << QStringList {};
        QTest::newRow("local files")
            << "<html><body><img src='file://DIR/picture.png'>"
               "<iframe src='file://DIR/picture.png'></iframe><script>var tries = 0;"
               "fetch('file://DIR/picture.png').then(() => { read = true; ++tries; }, () => "
               "++tries);"
               "</script></body></html>"
            << "document.readyState == 'complete' && tries > 0 && document.images[0].complete"
            << QStringList {} << QStringList {};
        QTest::newRow("navigation by script, refresh and form")
            << "<html><head><meta http-equiv='refresh' content='0; url=qrc:///css/style.css'>"
               "</head><body><form id='f' action='http://WEB/form' method='post'></form>"
               "<script>setTimeout(() => location = 'qrc:///js/velmora.js', 0);"
               " setTimeout(() => document.getElementById('f').submit(), 50);"
               " setTimeout(() => window.tried = true, 200);</script></body></html>"
            << "window.tried == true" << QStringList {} << QStringList {"http://WEB/form"};
    }

    void nothingLeaves()
    {
        QFETCH(QString, html);
        QFETCH(QString, done);
        QFETCH(QStringList, blocked);
        QFETCH(QStringList, refused);

        load(html);
        const QUrl shown = page->url();
        QTRY_VERIFY_WITH_TIMEOUT(jsTrue(done), 30000);
        // What an attempt would have drawn had it got through.
        QVERIFY(!jsTrue("Array.from(document.images).some(i => i.naturalWidth > 0)"));
        QVERIFY(!jsTrue("window.read === true"));
        QCOMPARE(page->url(), shown);
        QCOMPARE(connections, 0);
        QStringList seen;
        for (const QUrl &url : profile->interceptor()->blockedUrls())
            seen << url.toString();
        for (const QString &url : blocked)
            QVERIFY2(seen.contains(withAddresses(url)), qPrintable(seen.join(' ')));
        for (const QString &url : refused)
            QVERIFY2(!seen.contains(withAddresses(url)), qPrintable(url));
    }

    // Clicked links are the window's to follow, the program's own as well as the web's; the
    // page stays where it is.
    void linkClicksAreReported()
    {
        const QStringList urls = {withAddresses("http://WEB/page"), pageUrl("9"), commandUrl(1)};
        QSignalSpy clicked(page, &WebEnginePage::linkClicked);
        load("<html><body><a href='" + urls.join("'>link</a><a href='") + "'>link</a></body>");
        const QUrl shown = page->url();
        js("for (const link of document.links) link.click()");
        QTRY_COMPARE_WITH_TIMEOUT(clicked.size(), urls.size(), 30000);
        for (int i = 0; i < urls.size(); ++i)
            QCOMPARE(clicked.at(i).first().toUrl(), QUrl(urls.at(i)));
        QCOMPARE(page->url(), shown);
    }

    // A page as the editor shows it: the program's scripts, styles and pictures load and the
    // bridge answers them, while the page's own inline script does not run.
    void pageAsShown()
    {
        QSignalSpy commits(controller, &JsPageController::contentCommitted);
        load("<!DOCTYPE html><html><head>" + HtmlSanitizer::policyElement()
            + "<link rel='stylesheet' href='qrc:///css/style.css'>"
              "<script src='qrc:///js/jquery.min.js'></script>"
              "<script src='qrc:///js/velmora.js'></script></head><body>"
              "<img id='own' src='qrc:///images/back_icon.png'>"
              "<img id='inline' src='data:image/gif;base64,"
              "R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7'>"
              "<img src=x onerror='document.title = \"ran\"'>"
              "<script>document.title = 'ran';</script></body></html>");
        QTRY_VERIFY_WITH_TIMEOUT(jsTrue("document.readyState == 'complete'"), 30000);
        QVERIFY(jsTrue("typeof jQuery == 'function'"));
        QVERIFY(jsTrue("document.getElementById('own').naturalWidth > 0"));
        QVERIFY(jsTrue("document.getElementById('inline').naturalWidth == 1"));
        QCOMPARE(js("document.title").toString(), QString());

        QTRY_VERIFY_WITH_TIMEOUT(jsTrue("typeof page == 'object' && page !== null"), 30000);
        // An edit reaches the program as the page's own commit of its body.
        js("document.body.appendChild(document.createElement('hr')); commitContent()");
        QTRY_COMPARE_WITH_TIMEOUT(commits.size(), 1, 30000);
        QVERIFY(commits.first().at(1).toString().endsWith("<hr>"));
    }
};

int main(int argc, char **argv)
{
    // The web engine and the widgets share their graphics contexts; Qt asks for it this early.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestPageContent test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_pagecontent.moc"
