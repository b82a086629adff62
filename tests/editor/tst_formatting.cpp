#include "app/mainwindow.h"
#include "dialoganswers.h"
#include "editor/editor.h"
#include "model/page.h"
#include "model/urls.h"
#include "model/wikidocument.h"
#include "sidebar/sidebar.h"

#include <QAction>
#include <QClipboard>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QtTest>

// The formatting, edit and link commands, given through the main window's actions on pages of
// a real wiki file.
class TestFormatting : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    MainWindow *window = nullptr;
    Editor *editor = nullptr;
    WikiDocument *wiki = nullptr;
    Page *ideas = nullptr;

    QString js(const QString &script) { return editor->evaluateJavaScript(script).toString(); }
    QAction *action(const QString &name) { return window->findChild<QAction *>(name); }

    // Shows the home page with this content, with the editor focused so the actions are on.
    void showHome(const QString &content)
    {
        Page *home = wiki->homePage();
        home->setContent(content);
        home->setModified(false);
        editor->disconnectSignals();
        editor->loadPage(home);
        editor->connectSignals();
        QTRY_COMPARE(js("document.readyState"), QStringLiteral("complete"));
        editor->setFocus();
        QTRY_VERIFY(action("boldAction")->isEnabled());
    }

    // Selects characters start to end of the text inside the first element matching selector,
    // or the whole element when start is negative.
    void select(int start, int end, const QString &selector = QStringLiteral("p"))
    {
        if (start < 0) {
            js(QStringLiteral("getSelection().selectAllChildren(document.querySelector('%1'))")
                    .arg(selector));
            return;
        }
        js(QStringLiteral("var t = document.querySelector('%1');"
                          "while (t.firstChild) t = t.firstChild;"
                          "var r = document.createRange(); r.setStart(t, %2); r.setEnd(t, %3);"
                          "getSelection().removeAllRanges(); getSelection().addRange(r);")
                .arg(selector)
                .arg(start)
                .arg(end));
    }

    // Characters from the start of the body to the caret, or -1 without a bare caret.
    int caretOffset()
    {
        return editor
            ->evaluateJavaScript("var s = getSelection(); if (!s.isCollapsed) -1; else {"
                                 "var r = document.createRange(); r.setStart(document.body, 0);"
                                 "r.setEnd(s.anchorNode, s.anchorOffset); r.toString().length;}")
            .toInt();
    }

    QString savedContent(const QString &pageName)
    {
        WikiDocument saved(wiki->filePath());
        Page *page = saved.findPageByName(pageName);
        return page ? page->content() : QStringLiteral("<missing>");
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        window = new MainWindow;
        window->resize(1000, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(window->openWiki(
            dir.filePath(QTest::currentTestFunction()) + ".velmora", false, false));
        editor = window->editor();
        wiki = window->currentWiki();
        ideas = wiki->createPage(QStringLiteral("Ideas"), nullptr);
        window->sidebar()->addItem(ideas, nullptr);
        window->sidebar()->selectItem(QStringLiteral("1"));
    }

    void cleanup()
    {
        delete window;
        dir.setAutoRemove(!QTest::currentTestFailed());
    }

    void toggles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tag");
        QTest::newRow("bold") << "boldAction"
                              << "b";
        QTest::newRow("italic") << "italicAction"
                                << "i";
        QTest::newRow("underline") << "underlineAction"
                                   << "u";
        QTest::newRow("strikethrough") << "strikethroughAction"
                                       << "strike";
    }

    void toggles()
    {
        QFETCH(QString, name);
        QFETCH(QString, tag);
        showHome(QStringLiteral("<p>one second three</p>"));
        // A bare caret inside "second": the whole word is formatted, the caret stays put.
        select(6, 6);
        action(name)->trigger();
        QCOMPARE(editor->bodyHtml(), QStringLiteral("<p>one <%1>second</%1> three</p>").arg(tag));
        QCOMPARE(caretOffset(), 6);
        QVERIFY(wiki->homePage()->isModified());

        window->updateFormatActions();
        QVERIFY(action(name)->isChecked());
        select(1, 1);
        window->updateFormatActions();
        QVERIFY(!action(name)->isChecked());

        select(2, 2, tag);
        action(name)->trigger();
        QCOMPARE(editor->bodyHtml(), QStringLiteral("<p>one second three</p>"));
    }

    void alignment_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("align");
        QTest::newRow("center") << "alignCenterAction"
                                << "center";
        QTest::newRow("right") << "alignRightAction"
                               << "right";
        QTest::newRow("justify") << "alignJustifyAction"
                                 << "justify";
        QTest::newRow("left") << "alignLeftAction"
                              << "left";
    }

    void alignment()
    {
        QFETCH(QString, name);
        showHome(QStringLiteral("<p style=\"text-align: center;\">one two</p><p>other</p>"));
        select(1, 1);
        action(name)->trigger();
        QTEST(js("getComputedStyle(document.querySelector('p')).textAlign"), "align");
        QCOMPARE(js("getComputedStyle(document.querySelectorAll('p')[1]).textAlign"),
            QStringLiteral("start"));
    }

    void textSize_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("size");
        QTest::newRow("larger on plain text") << "<p>one two</p>"
                                              << "largerAction"
                                              << "22px";
        QTest::newRow("smaller on plain text") << "<p>one two</p>"
                                               << "smallerAction"
                                               << "14px";
        QTest::newRow("larger on 22px") << "<p><span style=\"font-size: 22px;\">one two</span></p>"
                                        << "largerAction"
                                        << "26px";
        QTest::newRow("smaller on 3px never below 1px")
            << "<p><span style=\"font-size: 3px;\">one two</span></p>"
            << "smallerAction"
            << "1px";
        QTest::newRow("em size counts as 18")
            << "<p><span style=\"font-size: 1.5em;\">one two</span></p>"
            << "largerAction"
            << "22px";
    }

    void textSize()
    {
        QFETCH(QString, content);
        QFETCH(QString, name);
        showHome(content);
        // A bare caret inside "two": the word gets the new span, the caret stays put.
        select(5, 5);
        action(name)->trigger();
        QTEST(js("var s = document.querySelectorAll('span'); s[s.length - 1].style.fontSize"),
            "size");
        QCOMPARE(js("var s = document.querySelectorAll('span'); s[s.length - 1].textContent"),
            QStringLiteral("two"));
        QCOMPARE(js("String(getSelection().isCollapsed)"), QStringLiteral("true"));
        QCOMPARE(wiki->homePage()->content(), editor->bodyHtml());
    }

    void editCommands()
    {
        showHome(QStringLiteral("<p>one two</p>"));
        select(1, 1);
        window->updateEditActions();
        QVERIFY(!action("cutAction")->isEnabled());
        QVERIFY(!action("copyAction")->isEnabled());
        QVERIFY(!action("undoAction")->isEnabled());
        QVERIFY(action("selectAllAction")->isEnabled());

        select(4, 7);
        window->updateEditActions();
        QVERIFY(action("cutAction")->isEnabled());
        action("copyAction")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("two"));
        select(0, 3);
        action("cutAction")->trigger();
        QCOMPARE(editor->bodyHtml(), QStringLiteral("<p>&nbsp;two</p>"));
        window->updateEditActions();
        QVERIFY(action("pasteAction")->isEnabled());
        action("pasteAction")->trigger();
        QCOMPARE(editor->bodyHtml(), QStringLiteral("<p>one two</p>"));

        window->updateEditActions();
        QVERIFY(action("undoAction")->isEnabled());
        action("undoAction")->trigger();
        QCOMPARE(editor->bodyHtml(), QStringLiteral("<p>&nbsp;two</p>"));
        window->updateEditActions();
        QVERIFY(action("redoAction")->isEnabled());
        action("redoAction")->trigger();
        QCOMPARE(editor->bodyHtml(), QStringLiteral("<p>one two</p>"));
        QCOMPARE(wiki->homePage()->content(), editor->bodyHtml());

        action("selectAllAction")->trigger();
        QCOMPARE(editor->selectedText(), QStringLiteral("one two"));
    }

    void linkCommand_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("expected");
        const QString link = QStringLiteral("<a href=\"%1\">Ideas</a>").arg(pageUrl("IDEAS"));
        QTest::newRow("bare caret in a link removes it") << "<p>See " + link + " now</p>"
                                                         << "a" << 2 << 2 << "<p>See Ideas now</p>";
        QTest::newRow("selection holding a link removes it")
            << "<p>See " + link + " now</p>"
            << "p" << -1 << -1 << "<p>See Ideas now</p>";
        // The rest of the paragraph around an unstyled link was thrown away with it.
        QTest::newRow("no wrapper left: the paragraph stays whole")
            << "<p>Before " + link + " and the rest</p>"
            << "a" << 1 << 1 << "<p>Before Ideas and the rest</p>";
        // A quote in the text ended the script's string: the wrapper stayed, or the rest ran.
        QTest::newRow("text with quotes, backslash and a script end tag")
            << "<p>See <a href=\"x\">it's \"a\\b\" &lt;/script&gt;');hacked=1;('</a> now</p>"
            << "a" << 2 << 2 << "<p>See it's \"a\\b\" &lt;/script&gt;');hacked=1;(' now</p>";
        QTest::newRow("same name, other case, spaces around")
            << "<p>go to iDEAS now</p>"
            << "p" << 5 << 12 << "<p>go to<a href=\"IDEAS\"> iDEAS </a>now</p>";
        QTest::newRow("new name creates a page")
            << "<p>go to Tokyo now</p>"
            << "p" << 8 << 8 << "<p>go to <a href=\"NEW\">Tokyo</a> now</p>";
    }

    void linkCommand()
    {
        QFETCH(QString, content);
        QFETCH(QString, selector);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, expected);
        content.replace(QLatin1String("IDEAS"), ideas->id());
        showHome(content);
        const int pages = wiki->allPages().size();
        select(start, end, selector);
        window->updateLinkAction();
        action("createLinkAction")->trigger();

        QCOMPARE(js("typeof hacked"), QStringLiteral("undefined"));
        const bool created = expected.contains(QLatin1String("NEW"));
        QCOMPARE(wiki->allPages().size(), pages + (created ? 1 : 0));
        Page *target = created ? wiki->findPageByName(QStringLiteral("Tokyo")) : ideas;
        QVERIFY(target);
        expected.replace(QLatin1String("IDEAS"), pageUrl(ideas->id()));
        expected.replace(QLatin1String("NEW"), pageUrl(target->id()));
        QCOMPARE(wiki->homePage()->content(), expected);
        QCOMPARE(savedContent(QStringLiteral("Home Page")), expected);
        if (!created) {
            QCOMPARE(editor->currentPage(), wiki->homePage());
            return;
        }
        // The new page sits at the top level, is shown and is the newest history entry.
        QVERIFY(wiki->items().contains(target));
        QCOMPARE(savedContent(QStringLiteral("Tokyo")), target->content());
        QCOMPARE(editor->currentPage(), target);
        window->onToolbarForwardButton();
        QCOMPARE(editor->currentPage(), target);
        window->onToolbarBackButton();
        QCOMPARE(editor->currentPage(), wiki->homePage());
    }

    void linkWithoutText()
    {
        showHome(QStringLiteral("<p><br></p>"));
        js("var r = document.createRange(); r.setStart(document.querySelector('p'), 0);"
           "getSelection().removeAllRanges(); getSelection().addRange(r);");
        QString title;
        QString text;
        answerBox(&title, &text);
        action("createLinkAction")->trigger();
        QCOMPARE(title, QStringLiteral("Error"));
        QCOMPARE(text, QStringLiteral("Please select the text from which to create a link."));
        QCOMPARE(wiki->allPages().size(), 2);
    }

    // A value with quotes and a script end tag ended the command's string and ran the rest.
    void commandValueStaysText()
    {
        showHome(QStringLiteral("<p>one two</p>"));
        const QString url = QStringLiteral("https://example.org/?q=\"');hacked=1;//</script>\\");
        select(0, 3);
        editor->createLink(url);
        QCOMPARE(js("document.querySelector('a').getAttribute('href')"), url);
        QCOMPARE(js("typeof hacked"), QStringLiteral("undefined"));
    }
};

QTEST_MAIN(TestFormatting)
#include "tst_formatting.moc"
