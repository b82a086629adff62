#include "testing.h"

#include <csignal>

using namespace Testing;

// The editor on pages of its own, shown the way the main window shows them.
class TestEditor : public WindowTest
{
    Q_OBJECT

    void show(Page *page, const QStringList &pageIds = {})
    {
        editor->disconnectSignals();
        editor->setEditable(page->isUnlocked());
        editor->loadPage(page);
        editor->removeBrokenLinks(pageIds);
        editor->connectSignals();
        QVERIFY(editorReady(window.get()));
    }

    // Asks the page to commit and waits, with a bound, for its answer.
    void commit()
    {
        auto done = std::make_shared<bool>(false);
        editor->updatePageContent([done] { *done = true; });
        QTRY_VERIFY(*done);
    }

private slots:
    void init() { openWindow(); }

    // The document loads in the engine's own time. Without the waiting, the broken link stayed
    // and a commit at that moment emptied the page.
    void loadingDocumentWaits()
    {
        const QString content = "<p>Kept <a href=\"" + pageUrl("9") + "\">gone</a></p>";
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), content);
        editor->disconnectSignals();
        editor->loadPage(&page);
        QVERIFY(editor->isLoading());
        editor->removeBrokenLinks({"1", "2"});
        // Answered at once, without a commit: nothing is read from a document still loading.
        commit();
        QCOMPARE(page.content(), content);
        editor->connectSignals();
        QTRY_COMPARE(page.content(), QStringLiteral("<p>Kept gone</p>"));
        QVERIFY(page.isModified());
    }

    // Without the guards, a commit stored the placeholder or the welcome text in a page, or a
    // page's body that arrived after the switch went into the page shown next.
    void commitsRefused_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("locked page placeholder") << "locked";
        QTest::newRow("welcome document") << "welcome";
        QTest::newRow("wiki closed") << "unloaded";
        QTest::newRow("page switched") << "switched";
    }

    void commitsRefused()
    {
        QFETCH(QString, situation);
        const QString content = QStringLiteral("<p>Kept as it is</p>");
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), content);
        page.setLocked(situation == QLatin1String("locked"));
        show(&page);
        // A commit of the first document, as an engine that delivers later could bring it.
        const QString lateCommit = "page.commitContent("
            + js("String(document.documentElement.getAttribute('data-generation') || 0)")
            + ", '<p>Late</p>')";
        Page next(QStringLiteral("3"), QStringLiteral("Next"), QStringLiteral("<p>Next</p>"));
        if (situation == QLatin1String("welcome"))
            editor->showWelcomePage();
        else if (situation == QLatin1String("unloaded"))
            editor->unloadPage();
        else if (situation == QLatin1String("switched"))
            show(&next);
        QVERIFY(editorReady(window.get()));
        QCOMPARE(editor->isEditable(), situation == QLatin1String("switched"));
        // Even a careless caller that makes the view editable cannot commit into the page.
        editor->setEditable(true);
        focusPage(window.get());
        // At the end of the last text: the end of the body lies after the document's script.
        js("var w = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT), t = null;"
           "while (w.nextNode()) if (w.currentNode.parentNode.tagName != 'SCRIPT') t = w.currentNode;"
           "getSelection().collapse(t, t.length); 0");
        QTest::keyClicks(input(), QStringLiteral("z"));
        QTRY_VERIFY(js("document.body.innerText").contains(QLatin1Char('z')));
        js(lateCommit);
        commit();
        QCOMPARE(page.content(), content);
        QVERIFY(!page.isModified());
        const bool switched = situation == QLatin1String("switched");
        QTRY_COMPARE(next.content(), switched ? "<p>Nextz</p>" : "<p>Next</p>");
    }

    // Keys reach the page apart from the scripts the editor runs, and can arrive after them: a
    // commit asked for at once must still hold every key typed before it.
    void commitHoldsKeysTyped()
    {
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), QStringLiteral("<p>Start</p>"));
        show(&page);
        focusPage(window.get());
        js("var t = document.body.firstChild.firstChild; getSelection().collapse(t, t.length); 0");
        const QString typed = QString(" lorem ipsum dolor").repeated(8);
        QTest::keyClicks(input(), typed);
        commit();
        QCOMPARE(page.content(), "<p>Start" + QString(typed).replace(QLatin1String("  "),
                                                      QLatin1String(" &nbsp;")) + "</p>");
    }

    // The page's process can end under the page (a crash, or the system killing it): the page
    // comes back as last committed and takes edits again, and a commit asked for meanwhile is
    // answered rather than left waiting for a process that is gone.
    void pageProcessEnds()
    {
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), QStringLiteral("<p>Start</p>"));
        show(&page);
        caretAtEnd(window.get());
        QTest::keyClicks(input(), QStringLiteral("kept"));
        commit();
        QCOMPARE(page.content(), QStringLiteral("<p>Startkept</p>"));
        QSignalSpy ended(editor, &Editor::pageProcessEnded);
        const qint64 process = editor->page()->renderProcessPid();
        QVERIFY(process > 0);
        QCOMPARE(::kill(pid_t(process), SIGKILL), 0);
        QTRY_COMPARE(ended.count(), 1);
        commit();
        QVERIFY(editorReady(window.get()));
        QCOMPARE(js("document.body.innerText"), QStringLiteral("Startkept"));
        caretAtEnd(window.get());
        QTest::keyClicks(input(), QStringLiteral(" again"));
        commit();
        QCOMPARE(page.content(), QStringLiteral("<p>Startkept again</p>"));
    }

    void removeBrokenLinks_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QStringList>("pageIds");
        QTest::addColumn<QString>("expected");
        const QStringList ids = {"1", "2"};
        const QString missing = "<p>See <a href=\"" + pageUrl("99") + "\">old <b>notes</b></a>.</p>";
        QTest::newRow("link to a missing page") << missing << ids << "<p>See old notes.</p>";
        QTest::newRow("no page list") << missing << QStringList() << missing;
        // The link's words were parsed as markup and became a live element.
        QTest::newRow("link text that reads like markup")
            << "<p><a href=\"" + pageUrl("7") + "\">&lt;img src=x&gt;</a></p>" << ids
            << "<p>&lt;img src=x&gt;</p>";
    }

    void removeBrokenLinks()
    {
        QFETCH(QString, content);
        QFETCH(QStringList, pageIds);
        QFETCH(QString, expected);
        Page page(QStringLiteral("2"), QStringLiteral("Notes"), content);
        show(&page, pageIds);
        QTRY_COMPARE(js("document.body.innerHTML"), expected);
        // The page marked modified holds the cleaned markup, not the broken links.
        QTRY_COMPARE(page.content(), expected);
        QCOMPARE(page.isModified(), expected != content);
    }

    void imageDecoration_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("kept");
        QTest::newRow("press on text elsewhere") << "press #other" << false;
        QTest::newRow("drag start") << "dragstart" << false;
        QTest::newRow("press on a handle") << "press .ui-resizable-se" << true;
        QTest::newRow("right press elsewhere") << "rightpress #other" << true;
    }

    void imageDecoration()
    {
        QFETCH(QString, action);
        QFETCH(bool, kept);
        Page page(QStringLiteral("2"), QStringLiteral("Pictures"),
            "<p>Before <img id=\"picture\" src=\"data:image/svg+xml,<svg "
            "xmlns='http://www.w3.org/2000/svg' width='40' height='30'/>\"> after</p><p "
            "id=\"other\">Other text</p>");
        show(&page);
        const QString original = js("document.body.innerHTML");
        const QString wrappers = QStringLiteral("String($('.ui-wrapper').length)");
        QTest::mouseClick(input(), Qt::LeftButton, {}, centreOf("#picture"));
        QTRY_COMPARE(js("String($('.ui-wrapper > .ui-resizable-handle').length > 0)"), "true");
        // On a busy machine the engine may report the press's own selection change only now.
        js("document.dispatchEvent(new Event('selectionchange')); 0");
        QCOMPARE(js(wrappers), QStringLiteral("1"));
        const QString target = action.section(QLatin1Char(' '), 1);
        if (action.startsWith(QLatin1String("press")))
            QTest::mouseClick(input(), Qt::LeftButton, {}, centreOf(target));
        else if (action.startsWith(QLatin1String("rightpress")))
            // In the page only: the engine's context menu would wait for a choice.
            js(QStringLiteral("['mousedown', 'mouseup'].forEach(function (type) {"
                              " document.querySelector('%1').dispatchEvent("
                              " new MouseEvent(type, {button: 2, bubbles: true})); })")
                    .arg(target));
        else
            js("$('#picture')[0].dispatchEvent(new Event('dragstart', { bubbles: true }))");
        QTRY_COMPARE(js(wrappers), QString(kept ? "1" : "0"));
        // A commit stores the image as it was: without wrapper, handles, classes or display,
        // and without the border that the widget's removal added to its width on each click.
        commit();
        QCOMPARE(page.content(), original);
        QCOMPARE(js(wrappers), QStringLiteral("0"));
    }

    void links_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<QUrl>("url");
        QTest::newRow("password of a locked page")
            << QString("locked") << "a" << QUrl(commandUrl(2));
        QTest::newRow("link to a page") << "page" << "#internal" << QUrl(pageUrl("1"));
        QTest::newRow("web link") << "page" << "#web" << QUrl("https://example.org/");
    }

    void links()
    {
        QFETCH(QString, shown);
        QFETCH(QString, selector);
        QFETCH(QUrl, url);
        Page page(QStringLiteral("2"), QStringLiteral("Links"),
            "<p><a id=\"internal\" href=\"" + pageUrl("1")
                + "\">home</a> and <a id=\"web\" href=\"https://example.org/\">away</a></p>");
        page.setLocked(shown == QLatin1String("locked"));
        show(&page, {"1", "2"});
        const QString before = js("document.documentElement.outerHTML");
        const QUrl address = editor->url();
        QSignalSpy clicked(window.get(), &MainWindow::linkClicked);
        QTest::mouseClick(input(), Qt::LeftButton, {}, centreOf(selector));
        QTRY_COMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toUrl(), url);
        QCOMPARE(takeOpenedUrls().size(), url.scheme() == QLatin1String("https") ? 1 : 0);
        // The click never navigates the editor away from the page.
        QCOMPARE(js("document.documentElement.outerHTML"), before);
        QCOMPARE(editor->url(), address);
    }
};

VELMORA_TEST_MAIN(TestEditor)
#include "tst_editor.moc"
