#include "editor/jspagecontroller.h"
#include "editor/pagedocumentscheme.h"
#include "editor/pageprofile.h"
#include "editor/pagerequestinterceptor.h"
#include "editor/webenginepage.h"
#include "model/htmlsanitizer.h"
#include "model/urls.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QRandomGenerator>
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

    void load(const QString &html, bool asDocument = true)
    {
        show(withAddresses(html), asDocument);
    }

    // As the editor shows a page, or through a data: address, which has no access to local
    // content of its own.
    void show(const QString &html, bool asDocument = true)
    {
        QSignalSpy loaded(page, &QWebEnginePage::loadFinished);
        if (asDocument)
            page->setDocument(html);
        else
            page->setHtml(html);
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 30000);
        QVERIFY(loaded.first().first().toBool());
    }

    // A picture as a page carries it, inline; noise, so that it does not shrink.
    static QString inlinePicture()
    {
        QImage image(128, 128, QImage::Format_RGB32);
        QRandomGenerator random(22);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, random.generate());
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
        return "data:image/png;base64," + QString::fromLatin1(png.data().toBase64());
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

        // The program's documents are local content, whose requests for the web the engine
        // stops before they are made; a data: address shows that the interceptor blocks them too.
        for (const bool asDocument : {false, true}) {
            load(html, asDocument);
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
                QVERIFY2(asDocument || seen.contains(withAddresses(url)), qPrintable(url));
            for (const QString &url : refused)
                QVERIFY2(!seen.contains(withAddresses(url)), qPrintable(url));
        }
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
    // bridge answers them, while the page's own inline script does not run. Pages carry their
    // pictures inline and often pass the 2 MB the engine allows a data: address.
    void pageAsShown_data()
    {
        QTest::addColumn<int>("pictures");
        QTest::newRow("small") << 1;
        QTest::newRow("5 MB of pictures") << 75;
    }

    void pageAsShown()
    {
        QFETCH(int, pictures);
        QSignalSpy commits(controller, &JsPageController::contentCommitted);
        const QString picture = "<p><img class='inline' src='" + inlinePicture() + "'></p>";
        const QString html = "<!DOCTYPE html><html><head>" + HtmlSanitizer::policyElement()
            + "<link rel='stylesheet' href='qrc:///css/style.css'>"
              "<script src='qrc:///js/jquery.min.js'></script>"
              "<script src='qrc:///js/velmora.js'></script></head><body>"
              "<img id='own' src='qrc:///images/back_icon.png'>"
              "<img src=x onerror='document.title = \"ran\"'>"
              "<script>document.title = 'ran';</script>"
            + picture.repeated(pictures) + "<p id='last'>Slut på siden ✓</p></body></html>";
        QElapsedTimer shown;
        shown.start();
        show(html);
        QTRY_VERIFY_WITH_TIMEOUT(jsTrue("document.readyState == 'complete'"), 30000);
        qInfo("%.1f MB shown in %lld ms", html.toUtf8().size() / 1e6, shown.elapsed());
        QVERIFY(jsTrue("typeof jQuery == 'function'"));
        QVERIFY(jsTrue("document.getElementById('own').naturalWidth > 0"));
        const QString inlineShown = "Array.from(document.images)"
                                    ".filter(i => i.className == 'inline' && i.naturalWidth == 128)"
                                    ".length";
        QCOMPARE(js(inlineShown).toInt(), pictures);
        QCOMPARE(js("document.getElementById('last').textContent").toString(),
            QStringLiteral("Slut på siden ✓"));
        QCOMPARE(js("document.title").toString(), QString());

        QTRY_VERIFY_WITH_TIMEOUT(jsTrue("typeof page == 'object' && page !== null"), 30000);
        // An edit reaches the program as the page's own commit of its body.
        js("document.body.appendChild(document.createElement('hr')); commitContent()");
        QTRY_COMPARE_WITH_TIMEOUT(commits.size(), 1, 30000);
        QVERIFY(commits.first().at(1).toString().endsWith("<hr>"));
    }

    // A new document replaces the one shown, under an address of its own; of the document
    // scheme, only the address of the document shown is served, to any page of the profile.
    void onlyTheShownDocumentIsServed_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("served");
        QTest::newRow("shown document") << "SHOWN" << true;
        QTest::newRow("earlier document") << "EARLIER" << false;
        QTest::newRow("next address") << "NEXT" << false;
        QTest::newRow("other path") << "SHOWN/picture.png" << false;
        QTest::newRow("query") << "SHOWN?file=/etc/passwd" << false;
    }

    void onlyTheShownDocumentIsServed()
    {
        QFETCH(QString, address);
        QFETCH(bool, served);

        load("<html><body>first</body></html>");
        const QUrl earlier = page->url();
        load("<html><body>second</body></html>");
        const QUrl shown = page->url();
        QVERIFY(shown != earlier);
        QCOMPARE(js("document.body.textContent").toString(), QStringLiteral("second"));

        const QString next = QString::fromLatin1(PageDocumentScheme::name) + ':'
            + QString::number(shown.path().toInt() + 1);
        const QUrl url(address.replace("SHOWN", shown.toString())
                           .replace("EARLIER", earlier.toString())
                           .replace("NEXT", next));
        QWebEnginePage other(profile);
        QSignalSpy loaded(&other, &QWebEnginePage::loadFinished);
        other.load(url);
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 30000);
        QCOMPARE(loaded.first().first().toBool(), served);
    }
};

int main(int argc, char **argv)
{
    // The web engine and the widgets share their graphics contexts; Qt asks for it this early.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    PageDocumentScheme::registerScheme();
    QApplication app(argc, argv);
    TestPageContent test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_pagecontent.moc"
