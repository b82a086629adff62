#include "app/mainwindow.h"
#include "app/updatechecker.h"
#include "editor/editor.h"
#include "model/page.h"
#include "model/urls.h"
#include "model/resourcetext.h"

#include <QDesktopServices>
#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>
#include <QtTest>

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
        js("var r = document.createRange(); r.selectNodeContents(document.body);"
           "r.collapse(false); getSelection().removeAllRanges(); getSelection().addRange(r);");
        QTest::keyClicks(editor, text);
    }

    // Selects characters start to end of the first paragraph's text.
    void select(int start, int end)
    {
        js(QStringLiteral("var t = document.querySelector('p').firstChild;"
                          "var r = document.createRange(); r.setStart(t, %1); r.setEnd(t, %2);"
                          "getSelection().removeAllRanges(); getSelection().addRange(r);")
                .arg(start)
                .arg(end));
    }

    QPoint centreOf(const QString &selector)
    {
        return editor->page()->mainFrame()->findFirstElement(selector).geometry().center();
    }

private slots:
    void initTestCase()
    {
        // The start-up update check goes to a closed port on this machine, never to the web.
        UpdateChecker::setDefaultServerUrl(QUrl(QStringLiteral("http://127.0.0.1:9")));
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openInBrowser");
    }

    void init()
    {
        window = new MainWindow;
        editor = window->editor();
        window->resize(1100, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        browserUrls.clear();
    }

    void cleanup() { delete window; }

    // Kept first: only the process's first page document fetches its scripts asynchronously,
    // and its body is parsed after them. Without the waiting, the broken link stayed and a
    // commit at that moment emptied the page.
    void firstLoadWaitsForTheScripts()
    {
        const QString content
            = QStringLiteral("<p>Kept <a href=\"%1\">gone</a></p>").arg(pageUrl("9"));
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), content);
        editor->disconnectSignals();
        editor->loadPage(&page);
        if (js("document.readyState") != QLatin1String("loading"))
            QSKIP("The page scripts were already cached");
        editor->updatePageContent();
        QCOMPARE(page.content(), content);
        editor->removeBrokenLinks({"1", "2"});
        editor->connectSignals();
        QTRY_COMPARE(page.content(), QStringLiteral("<p>Kept gone</p>"));
        QCOMPARE(editor->bodyHtml(), page.content());
        QVERIFY(page.isModified());
    }

    void templateAndBridge()
    {
        Page page(QStringLiteral("2"), QStringLiteral("Notes"),
            QStringLiteral("<p>Text with <a href=\"%1\">a link</a></p>").arg(pageUrl("1")));
        Page locked(QStringLiteral("3"), QStringLiteral("Secret"));
        locked.setLocked(true);
        show(&page);
        QCOMPARE(js("typeof jQuery + typeof jQuery.ui.resizable + typeof pasteHtmlAtCaret"),
            QStringLiteral("functionfunctionfunction"));
        QCOMPARE(js("getComputedStyle(document.body).fontSize"), QStringLiteral("18px"));
        QCOMPARE(js("getComputedStyle(document.body).lineHeight"), QStringLiteral("27px"));
        QCOMPARE(js("getComputedStyle(document.links[0]).borderBottomStyle"), "dotted");

        // Every load clears the window object; the bridge is published again each time.
        const QList<std::function<void()>> loads
            = {[&] { show(&locked); }, [&] { editor->showWelcomePage(); }, [&] { show(&page); }};
        for (const auto &load : loads) {
            load();
            QCOMPARE(js("typeof page.updatePageContent"), QStringLiteral("function"));
        }
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
        page.setLocked(situation == QLatin1String("locked"));
        show(&page);
        if (situation == QLatin1String("welcome"))
            editor->showWelcomePage();
        else if (situation == QLatin1String("unloaded"))
            editor->unloadPage();
        QCOMPARE(editor->currentPage(), page.isLocked() ? &page : nullptr);
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
        QTest::addColumn<QString>("expected");
        const QStringList ids = {"1", "2"};
        const QString missing
            = "<p>See <a href=\"file://velmora/?pageid=99\">old <b>notes</b></a>.</p>";
        const QString existing = "<p><a href=\"file://velmora/?pageid=2\">here</a></p>";
        const QString web = "<p><a href=\"https://example.org/\">web</a></p>";
        QTest::newRow("link to a missing page") << missing << ids << "<p>See old notes.</p>";
        QTest::newRow("link to an existing page") << existing << ids << existing;
        QTest::newRow("web link") << web << ids << web;
        QTest::newRow("no page list") << missing << QStringList() << missing;
        // The link's words were parsed as markup and became a live element.
        QTest::newRow("link text that reads like markup")
            << "<p><a href=\"file://velmora/?pageid=7\">&lt;img src=x&gt;</a></p>" << ids
            << "<p>&lt;img src=x&gt;</p>";
    }

    void removeBrokenLinks()
    {
        QFETCH(QString, content);
        QFETCH(QStringList, pageIds);
        QFETCH(QString, expected);
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), content);
        show(&page, pageIds);
        QCOMPARE(editor->bodyHtml(), expected);
        QCOMPARE(page.isModified(), expected != content);
        // The page marked modified holds the cleaned markup, not the broken links.
        QCOMPARE(page.content(), expected);
    }

    void imageDecoration_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("kept");
        QTest::newRow("press on text elsewhere") << "press #other" << false;
        QTest::newRow("drag start") << "dragstart" << false;
        QTest::newRow("selection change") << "select" << false;
        QTest::newRow("press on the image again") << "press #picture" << true;
        QTest::newRow("press on a handle") << "press .ui-resizable-se" << true;
        QTest::newRow("right press elsewhere") << "rightpress #other" << true;
    }

    void imageDecoration()
    {
        QFETCH(QString, action);
        QFETCH(bool, kept);
        // A picture of 40 x 30 pixels.
        Page page(QStringLiteral("2"), QStringLiteral("Pictures"),
            "<p>Before <img id=\"picture\" src=\"data:image/svg+xml,<svg "
            "xmlns='http://www.w3.org/2000/svg' width='40' height='30'/>\"> after</p><p "
            "id=\"other\">Other text</p>");
        show(&page);
        const QString original = editor->bodyHtml();
        const QString wrappers = QStringLiteral("String($('.ui-wrapper').length)");

        QTest::mouseClick(editor, Qt::LeftButton, {}, centreOf("#picture"));
        QCOMPARE(js("String($('.ui-wrapper > .ui-resizable-handle').length > 0)"), "true");
        const QString target = action.section(QLatin1Char(' '), 1);
        if (action.startsWith(QLatin1String("press")))
            QTest::mouseClick(editor, Qt::LeftButton, {}, centreOf(target));
        else if (action.startsWith(QLatin1String("rightpress")))
            QTest::mouseClick(editor, Qt::RightButton, {}, centreOf(target));
        else if (action == QLatin1String("dragstart"))
            js("$('#picture')[0].dispatchEvent(new Event('dragstart', { bubbles: true }))");
        else
            js("getSelection().selectAllChildren(document.getElementById('other'))");
        QTRY_COMPARE(js(wrappers), QString(kept ? "1" : "0"));

        // A commit stores the image as it was: without wrapper, handles, classes or display,
        // and without the border that the widget's removal added to its width on each click.
        editor->updatePageContent();
        QCOMPARE(page.content(), original);
        QCOMPARE(js(wrappers), QStringLiteral("0"));

        // A drag on the corner handle commits the new size, with the aspect ratio kept. The
        // selection change that taking the wrapper away caused arrives first, as it would
        // before any real click.
        QTest::qWait(20);
        QTest::mouseClick(editor, Qt::LeftButton, {}, centreOf("#picture"));
        const QPoint handle = centreOf(".ui-resizable-se");
        QTest::mousePress(editor, Qt::LeftButton, {}, handle);
        for (int step = 1; step <= 4; ++step) {
            QMouseEvent move(QEvent::MouseMove, handle + QPoint(10, 10) * step, Qt::NoButton,
                Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(editor, &move);
        }
        QTest::mouseRelease(editor, Qt::LeftButton, {}, handle + QPoint(40, 40));
        QTRY_VERIFY(page.content().contains(QStringLiteral("width")));
        const QString resized = page.content();
        QVERIFY(!resized.contains(QStringLiteral("ui-")) && !resized.contains("display"));
        const auto size = [&resized](const char *property) {
            const QRegularExpression pattern(QStringLiteral("%1: (\\d+)px").arg(property));
            return pattern.match(resized).captured(1).toInt();
        };
        QVERIFY(size("width") > 60);
        QVERIFY(qAbs(size("width") * 30 - size("height") * 40) <= 40);
    }

    void links_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("text");
        const QString welcome = "Welcome to Velmora Create a new wiki or Open an existing wiki";
        const QString placeholder = "This page is protected with a password.";
        QTest::newRow("password of a locked page") << "locked"
                                                   << "a" << QUrl(commandUrl(2)) << placeholder;
        QTest::newRow("welcome: new wiki") << "welcome"
                                           << "a" << QUrl(commandUrl(0)) << welcome;
        QTest::newRow("welcome: open wiki")
            << "welcome"
            << "p:nth-of-type(4) a" << QUrl(commandUrl(1)) << welcome;
        QTest::newRow("link to a page") << "page"
                                        << "#internal" << QUrl(pageUrl("1")) << "";
        QTest::newRow("web link") << "page"
                                  << "#web" << QUrl("https://example.org/") << "";
    }

    void links()
    {
        QFETCH(QString, shown);
        QFETCH(QString, selector);
        QFETCH(QUrl, url);
        QFETCH(QString, text);
        Page page(QStringLiteral("2"), QStringLiteral("Links"),
            QStringLiteral("<p><a id=\"internal\" href=\"%1\">home</a> and <a id=\"web\" "
                           "href=\"https://example.org/\">away</a></p>")
                .arg(pageUrl("1")));
        page.setLocked(shown == QLatin1String("locked"));
        if (shown == QLatin1String("welcome"))
            editor->showWelcomePage();
        else
            show(&page, {"1", "2"});
        if (!text.isEmpty()) {
            QCOMPARE(js("document.body.innerText").simplified(), text);
            QCOMPARE(js("String(document.links.length)"), shown == "locked" ? "1" : "2");
        }

        const QString before = editor->toHtml();
        QSignalSpy clicked(window, &MainWindow::linkClicked);
        // The welcome links open the window's file dialogs: cancel them as a user would.
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, [] {
            if (QWidget *dialog = QApplication::activeModalWidget())
                QMetaObject::invokeMethod(dialog, "reject");
        });
        cancel.start(20);
        QTest::mouseClick(editor, Qt::LeftButton, {}, centreOf(selector));
        QTRY_COMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toUrl(), url);
        QCOMPARE(browserUrls.size(), url.scheme() == QLatin1String("https") ? 1 : 0);
        QTest::qWait(50);
        QCOMPARE(editor->toHtml(), before);
        QVERIFY(editor->url().isEmpty());
    }

    void pasteHtmlAtCaret_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("selected");
        // A second insertion shows where the first left the caret. The engine puts a caret that
        // follows an inline element at the end of that element's text, hence inside <i>.
        QTest::newRow("several nodes in order, caret after them")
            << 1 << 1 << "pasteHtmlAtCaret('<b>1</b>2<i>3</i>'); pasteHtmlAtCaret('<u>4</u>')"
            << "<p>a<b>1</b>2<i>3<u>4</u></i>bc</p>"
            << "";
        QTest::newRow("replaces the selection") << 1 << 2 << "pasteHtmlAtCaret('<b>1</b>')"
                                                << "<p>a<b>1</b>c</p>"
                                                << "";
        QTest::newRow("empty markup only deletes the selection") << 1 << 2 << "pasteHtmlAtCaret('')"
                                                                 << "<p>ac</p>"
                                                                 << "";
        QTest::newRow("pasted content selected") << 1 << 1 << "pasteHtmlAtCaret('<b>1</b>2', true)"
                                                 << "<p>a<b>1</b>2bc</p>"
                                                 << "12";
        QTest::newRow("no caret") << 1 << 1
                                  << "getSelection().removeAllRanges(); pasteHtmlAtCaret('1')"
                                  << "<p>abc</p>"
                                  << "";
    }

    void pasteHtmlAtCaret()
    {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, script);
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), QStringLiteral("<p>abc</p>"));
        show(&page);
        select(start, end);
        js(script);
        QTEST(editor->bodyHtml(), "expected");
        QTEST(js("selectedText()"), "selected");
    }

    void insideWord_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<bool>("inside");
        QTest::newRow("inside a word") << 5 << 5 << true;
        QTest::newRow("after a space") << 4 << 4 << false;
        QTest::newRow("with a selection") << 4 << 6 << false;
        // At either end of the document the probe stepped back over a character it had never
        // moved across, and the caret moved.
        QTest::newRow("start of the document") << 0 << 0 << false;
        QTest::newRow("end of the document") << 7 << 7 << false;
    }

    void insideWord()
    {
        QFETCH(int, start);
        QFETCH(int, end);
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), QStringLiteral("<p>one two</p>"));
        show(&page);
        select(start, end);
        QTEST(editor->evaluateJavaScript("isInsideWordWithoutSelection()").toBool(), "inside");
        QCOMPARE(js("getSelection().getRangeAt(0).startOffset + ' ' + "
                    "getSelection().getRangeAt(0).endOffset"),
            QStringLiteral("%1 %2").arg(start).arg(end));
    }

    void highlightedSelection_data()
    {
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("line");
        QTest::newRow("word in the middle of a line") << "word"
                                                      << "second line with word here";
        QTest::newRow("word at the start of a line") << "third"
                                                     << "third and last";
        QTest::newRow("nothing found") << "absent"
                                       << "";
    }

    void highlightedSelection()
    {
        QFETCH(QString, found);
        // The search runs the script in a page of its own, without the page template. Lines are
        // visual lines: without a width every word would be a line of its own.
        QWebPage searchPage;
        searchPage.setViewportSize(QSize(800, 600));
        QSignalSpy loaded(&searchPage, &QWebPage::loadFinished);
        QWebFrame *frame = searchPage.mainFrame();
        frame->setHtml("<p>first line</p><p>second line with word here</p><p>third and last</p>");
        QTRY_VERIFY(!loaded.isEmpty());
        frame->evaluateJavaScript(readResourceText(QStringLiteral("js/search.js")));
        if (!searchPage.findText(found))
            frame->evaluateJavaScript(QStringLiteral("getSelection().removeAllRanges()"));
        const QString selected = frame->evaluateJavaScript("getSelection().toString()").toString();

        QTEST(frame->evaluateJavaScript("getHighlightedSelection()").toString(), "line");
        QCOMPARE(frame->evaluateJavaScript("getSelection().toString()").toString(), selected);
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
