#include "app/mainwindow.h"
#include "editor/editor.h"
#include "model/page.h"
#include "model/urls.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QWebElement>
#include <QWebFrame>
#include <QtTest>

namespace {

// A small red picture as a data URI, 40 x 30 pixels.
QString imageSource()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(data.toBase64());
}

} // namespace

class TestEditor : public QObject
{
    Q_OBJECT

public slots:
    // Stands in for the desktop's browser.
    void openInBrowser(const QUrl &url) { browserUrls << url; }

private:
    MainWindow *window = nullptr;
    Editor *editor = nullptr;
    QList<QUrl> browserUrls;

    QString js(const QString &script) { return editor->evaluateJavaScript(script).toString(); }

    // Shows a page the way the main window does, and waits until it has loaded.
    void show(Page *page, const QStringList &pageIds = {})
    {
        QSignalSpy loaded(editor, &QWebView::loadFinished);
        editor->disconnectSignals();
        editor->setEditable(page->isUnlocked());
        editor->loadPage(page);
        editor->removeBrokenLinks(pageIds);
        editor->connectSignals();
        QTRY_VERIFY(!loaded.isEmpty());
        QTRY_COMPARE(js("document.readyState"), QStringLiteral("complete"));
    }

    void typeAtEnd(const QString &text)
    {
        editor->setFocus();
        QTRY_VERIFY(editor->hasFocus());
        js("var r = document.createRange(); r.selectNodeContents(document.body);"
           "r.collapse(false); getSelection().removeAllRanges(); getSelection().addRange(r);");
        QTest::keyClicks(editor, text);
    }

    QPoint centreOf(const QString &selector)
    {
        return editor->page()->mainFrame()->findFirstElement(selector).geometry().center();
    }

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openInBrowser");
    }

    void init()
    {
        window = new MainWindow;
        editor = new Editor(window, window);
        window->setCentralWidget(editor);
        window->resize(800, 600);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        browserUrls.clear();
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    // Kept first: only the process's first page document fetches its scripts asynchronously,
    // and its body is parsed after them. Without the waiting, the broken link stayed and a
    // commit at that moment emptied the page.
    void firstLoadWaitsForTheScripts()
    {
        const QString content
            = QStringLiteral("<p>Kept <a href=\"%1\">gone</a></p>").arg(pageUrl("9"));
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), content);
        editor->disconnectSignals();
        editor->setEditable(true);
        editor->loadPage(&page);
        if (js("document.readyState") != QLatin1String("loading"))
            QSKIP("The page scripts were already cached");
        editor->updatePageContent();
        QCOMPARE(page.content(), content);
        QVERIFY(!page.isModified());
        editor->removeBrokenLinks({"1", "2"});
        editor->connectSignals();
        QTRY_COMPARE(editor->bodyHtml(), QStringLiteral("<p>Kept gone</p>"));
        QCOMPARE(page.content(), QStringLiteral("<p>Kept gone</p>"));
        QVERIFY(page.isModified());
    }

    void templateLoadsStylesheetsAndScripts()
    {
        Page page(QStringLiteral("2"), QStringLiteral("Notes"),
            QStringLiteral("<p>Text with <a href='file://velmora/?pageid=1'>a link</a></p>"));
        show(&page);
        QCOMPARE(js("typeof jQuery"), QStringLiteral("function"));
        QCOMPARE(js("typeof jQuery.ui.resizable"), QStringLiteral("function"));
        QCOMPARE(js("typeof pasteHtmlAtCaret"), QStringLiteral("function"));
        QCOMPARE(js("getComputedStyle(document.body).lineHeight"), QStringLiteral("27px"));
        QCOMPARE(js("getComputedStyle(document.body).fontSize"), QStringLiteral("18px"));
        QCOMPARE(js("getComputedStyle(document.querySelector('a')).borderBottomStyle"),
            QStringLiteral("dotted"));
        QCOMPARE(js("getComputedStyle(document.querySelector('a')).textDecoration"),
            QStringLiteral("none"));
    }

    void bridgeAfterEveryLoad()
    {
        Page page(QStringLiteral("2"), QStringLiteral("Notes"));
        Page locked(QStringLiteral("3"), QStringLiteral("Secret"));
        locked.setLocked(true);
        const QList<std::function<void()>> loads = {
            [&] { show(&page); },
            [&] { show(&locked); },
            [&] { editor->showWelcomePage(); },
            [&] { show(&page); },
        };
        for (const auto &load : loads) {
            load();
            QTRY_COMPARE(js("typeof page"), QStringLiteral("object"));
        }
        QCOMPARE(js("typeof page.updatePageContent"), QStringLiteral("function"));
    }

    void typingCommits_data()
    {
        QTest::addColumn<QString>("content");
        QTest::newRow("empty page") << "";
        QTest::newRow("page with a paragraph") << "<p>First</p>";
    }

    void typingCommits()
    {
        QFETCH(QString, content);
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), content);
        show(&page);
        QCOMPARE(editor->bodyHtml(), content);
        QVERIFY(editor->page()->isContentEditable());
        QVERIFY(!page.isModified());

        typeAtEnd(QStringLiteral("typed"));
        QTRY_VERIFY(page.content().contains(QStringLiteral("typed")));
        QCOMPARE(page.content(), editor->bodyHtml());
        QVERIFY(page.isModified());
        QVERIFY(editor->evaluateJavaScript(QStringLiteral("page.modified()")).toBool());
    }

    // Without the guards, a commit stored the placeholder or the welcome text in a page.
    void commitsRefused_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("locked page placeholder") << "locked";
        QTest::newRow("welcome document") << "welcome";
        QTest::newRow("wiki closed") << "unloaded";
    }

    void commitsRefused()
    {
        QFETCH(QString, situation);
        const QString content = QStringLiteral("<p>Kept as it is</p>");
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), content);
        if (situation == QLatin1String("locked")) {
            page.setLocked(true);
            show(&page);
            QCOMPARE(editor->currentPage(), &page);
            QCOMPARE(js("document.body.innerText"),
                QStringLiteral("This page is protected with a password."));
        } else {
            show(&page);
            if (situation == QLatin1String("welcome"))
                editor->showWelcomePage();
            else
                editor->unloadPage();
            QVERIFY(!editor->currentPage());
        }
        QVERIFY(!editor->page()->isContentEditable());
        // Even a careless caller that makes the view editable cannot commit into the page.
        editor->setEditable(true);
        typeAtEnd(QStringLiteral("x"));
        js("page.updatePageContent()");
        editor->updatePageContent();
        QCOMPARE(page.content(), content);
        QVERIFY(!page.isModified());
    }

    void removeBrokenLinks_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QStringList>("pageIds");
        QTest::addColumn<bool>("afterLoad");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("modified");
        const QStringList ids = {"1", "2"};
        QTest::newRow("link to a missing page")
            << "<p>See <a href=\"file://velmora/?pageid=99\">old <b>notes</b></a>.</p>" << ids
            << false << "<p>See old notes.</p>" << true;
        QTest::newRow("link to a missing page, asked after loading")
            << "<p><a href=\"file://velmora/?pageid=99\">gone</a></p>" << ids << true
            << "<p>gone</p>" << true;
        QTest::newRow("link to an existing page")
            << "<p><a href=\"file://velmora/?pageid=2\">here</a></p>" << ids << false
            << "<p><a href=\"file://velmora/?pageid=2\">here</a></p>" << false;
        QTest::newRow("web link") << "<p><a href=\"https://example.org/\">web</a></p>" << ids
                                  << false << "<p><a href=\"https://example.org/\">web</a></p>"
                                  << false;
        // The link's words were parsed as markup and became a live element.
        QTest::newRow("link text that reads like markup")
            << "<p><a href=\"file://velmora/?pageid=7\">&lt;img src=x&gt;</a></p>" << ids << false
            << "<p>&lt;img src=x&gt;</p>" << true;
        QTest::newRow("no page list")
            << "<p><a href=\"file://velmora/?pageid=7\">x</a></p>" << QStringList() << false
            << "<p><a href=\"file://velmora/?pageid=7\">x</a></p>" << false;
    }

    void removeBrokenLinks()
    {
        QFETCH(QString, content);
        QFETCH(QStringList, pageIds);
        QFETCH(bool, afterLoad);
        QFETCH(QString, expected);
        QFETCH(bool, modified);
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), content);
        show(&page, afterLoad ? QStringList() : pageIds);
        if (afterLoad) {
            editor->disconnectSignals();
            editor->removeBrokenLinks(pageIds);
            editor->connectSignals();
        }
        QCOMPARE(editor->bodyHtml(), expected);
        QCOMPARE(page.isModified(), modified);
        // The page marked modified holds the cleaned markup, not the broken links.
        QCOMPARE(page.content(), expected);
    }

    void imageDecoration_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("kept");
        QTest::newRow("press on text elsewhere") << "press text" << false;
        QTest::newRow("drag start") << "dragstart" << false;
        QTest::newRow("selection change") << "select" << false;
        QTest::newRow("press on the image again") << "press image" << true;
        QTest::newRow("press on a handle") << "press handle" << true;
        QTest::newRow("right press elsewhere") << "rightpress text" << true;
    }

    void imageDecoration()
    {
        QFETCH(QString, action);
        QFETCH(bool, kept);
        Page page(QStringLiteral("2"), QStringLiteral("Pictures"),
            QStringLiteral("<p>Before <img id=\"picture\" src=\"%1\"> after</p><p "
                           "id=\"other\">Other text</p>")
                .arg(imageSource()));
        show(&page);
        const QString original = editor->bodyHtml();

        QTest::mousePress(editor, Qt::LeftButton, {}, centreOf("#picture"));
        QTest::mouseRelease(editor, Qt::LeftButton, {}, centreOf("#picture"));
        QCOMPARE(js("String(document.querySelectorAll('.ui-wrapper > .ui-resizable-handle').length"
                    " > 0)"),
            QStringLiteral("true"));

        if (action == QLatin1String("press text"))
            QTest::mousePress(editor, Qt::LeftButton, {}, centreOf("#other"));
        else if (action == QLatin1String("rightpress text"))
            QTest::mousePress(editor, Qt::RightButton, {}, centreOf("#other"));
        else if (action == QLatin1String("press image"))
            QTest::mousePress(editor, Qt::LeftButton, {}, centreOf("#picture"));
        else if (action == QLatin1String("press handle"))
            QTest::mousePress(editor, Qt::LeftButton, {}, centreOf(".ui-resizable-se"));
        else if (action == QLatin1String("dragstart"))
            js("document.getElementById('picture').dispatchEvent("
               "new Event('dragstart', { bubbles: true }))");
        else
            js("getSelection().selectAllChildren(document.getElementById('other'))");
        QTRY_COMPARE(js("String(document.querySelectorAll('.ui-wrapper').length)"),
            QString(kept ? "1" : "0"));
        QTest::mouseRelease(editor, Qt::LeftButton);

        // Whatever state the image is in, a commit stores it as it was: without wrapper,
        // handles or classes, and without the border added to its size on each click.
        editor->updatePageContent();
        QCOMPARE(page.content(), original);
        QCOMPARE(js("String(resizableElement)"), QStringLiteral("null"));
    }

    void resizeDragCommitsNewSize()
    {
        Page page(QStringLiteral("2"), QStringLiteral("Pictures"),
            QStringLiteral("<p><img id=\"picture\" src=\"%1\"></p>").arg(imageSource()));
        show(&page);
        QTest::mousePress(editor, Qt::LeftButton, {}, centreOf("#picture"));
        QTest::mouseRelease(editor, Qt::LeftButton, {}, centreOf("#picture"));
        const QPoint handle = centreOf(".ui-resizable-se");
        QTest::mousePress(editor, Qt::LeftButton, {}, handle);
        for (int step = 1; step <= 4; ++step) {
            QMouseEvent move(QEvent::MouseMove, handle + QPoint(10 * step, 10 * step), Qt::NoButton,
                Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(editor, &move);
        }
        QTest::mouseRelease(editor, Qt::LeftButton, {}, handle + QPoint(40, 40));

        QTRY_VERIFY(page.isModified());
        const QString content = page.content();
        QVERIFY2(!content.contains(QStringLiteral("ui-")), qPrintable(content.left(200)));
        QVERIFY(!content.contains(QStringLiteral("display")));
        const auto styleValue = [&content](const char *property) {
            const QRegularExpression pattern(QStringLiteral("%1: (\\d+)px").arg(property));
            return pattern.match(content).captured(1).toInt();
        };
        const int width = styleValue("width");
        const int height = styleValue("height");
        QVERIFY(width > 60);
        // The aspect ratio is kept.
        QVERIFY(qAbs(width * 30 - height * 40) <= 40);
    }

    void linksReachTheWindow_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<QUrl>("url");
        QTest::newRow("password of a locked page") << "locked"
                                                   << "a" << QUrl(commandUrl(2));
        QTest::newRow("welcome: new wiki") << "welcome"
                                           << "a" << QUrl(commandUrl(0));
        QTest::newRow("welcome: open wiki") << "welcome"
                                            << "p:nth-of-type(4) a" << QUrl(commandUrl(1));
        QTest::newRow("link to a page") << "page"
                                        << "#internal" << QUrl(pageUrl("1"));
        QTest::newRow("web link") << "page"
                                  << "#web" << QUrl("https://example.org/");
    }

    void linksReachTheWindow()
    {
        QFETCH(QString, shown);
        QFETCH(QString, selector);
        QFETCH(QUrl, url);
        Page page(QStringLiteral("2"), QStringLiteral("Links"),
            QStringLiteral("<p><a id=\"internal\" href=\"%1\">home</a> and <a id=\"web\" "
                           "href=\"https://example.org/\">away</a></p>")
                .arg(pageUrl("1")));
        page.setLocked(shown == QLatin1String("locked"));
        if (shown == QLatin1String("welcome"))
            editor->showWelcomePage();
        else
            show(&page, {"1", "2"});
        QTRY_COMPARE(js("document.readyState"), QStringLiteral("complete"));
        const QString before = editor->toHtml();

        QSignalSpy clicked(window, &MainWindow::linkClicked);
        QTest::mouseClick(editor, Qt::LeftButton, {}, centreOf(selector));
        QTRY_COMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toUrl(), url);
        QCOMPARE(browserUrls,
            url.scheme() == QLatin1String("https") ? QList<QUrl> {url} : QList<QUrl>());
        QTest::qWait(50);
        QCOMPARE(editor->toHtml(), before);
        QVERIFY(editor->url().isEmpty());
    }

    void placeholderAndWelcomeText()
    {
        Page page(QStringLiteral("2"), QStringLiteral("Secret"));
        page.setLocked(true);
        show(&page);
        QCOMPARE(js("document.body.innerText"),
            QStringLiteral("This page is protected with a password."));
        QCOMPARE(js("String(document.links.length)"), QStringLiteral("1"));
        QCOMPARE(js("typeof jQuery"), QStringLiteral("undefined"));

        editor->showWelcomePage();
        QCOMPARE(js("document.body.innerText").simplified(),
            QStringLiteral("Welcome to Velmora Create a new wiki or Open an existing wiki"));
        QCOMPARE(js("String(document.links.length)"), QStringLiteral("2"));
        QVERIFY(!editor->page()->isContentEditable());
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
