#include "model/exporter.h"
#include "search/searchrunner.h"
#include "testing.h"

#include <QClipboard>
#include <QDialog>
#include <QMimeData>
#include <QSpinBox>

using namespace Testing;

// Headings, lists, checklists, code, quotes, rules and tables, typed and commanded in the
// main window's editor on a real wiki file, and how they export and are found.
class TestBlockFormats : public WindowTest
{
    Q_OBJECT

    // Shows the home page with this content, focused, the caret at the end.
    void showHome(const QString &content)
    {
        QVERIFY(showContent(window.get(), wiki->homePage(), content));
        QTRY_VERIFY(action("boldAction")->isEnabled());
        caretAtEnd(window.get());
    }

    QString saved()
    {
        window->saveWiki();
        return WikiDocument(wiki->filePath()).homePage()->content();
    }

    void type(const QString &text)
    {
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(input(), Qt::Key_Return);
            QTest::keyClicks(input(), lines.at(i));
        }
    }

    // The stored markup without the line breaks and empty paragraphs the engine adds.
    QString stored()
    {
        return wiki->homePage()->content().remove(QRegularExpression("<(p|div)><br></\\1>"));
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { openSample(); }

    void typingMakesBlocks()
    {
        showHome(QString());
        type("# Title\n- one\ntwo\n\n[ ] task");
        // The engine keeps the lines after a heading in divisions; they only group.
        QTRY_COMPARE(stored().remove(QRegularExpression("</?div>|<br>$")),
            "<h1>Title</h1><ul><li>one</li><li>two</li></ul><ul class=\"checklist\"><li><input "
            "type=\"checkbox\">task</li></ul>");

        // A click on the box checks it, in the markup that is saved.
        const QVariantList box = runScript(editor,
            "var b = document.querySelector('input').getBoundingClientRect();"
            "[b.left + b.width / 2, b.top + b.height / 2]").toList();
        QTest::mouseClick(input(), Qt::LeftButton, {},
            QPoint(box.value(0).toInt(), box.value(1).toInt()));
        QTRY_VERIFY(saved().contains("<input type=\"checkbox\" checked=\"\">task"));
        QTest::mouseClick(input(), Qt::LeftButton, {},
            QPoint(box.value(0).toInt(), box.value(1).toInt()));
        QTRY_VERIFY(saved().contains("<input type=\"checkbox\">task"));
    }

    void undoAfterConversion_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("element");
        QTest::newRow("bullet") << "- " << "ul";
        QTest::newRow("star") << "* " << "ul";
        QTest::newRow("number") << "1. " << "ol";
        QTest::newRow("heading 2") << "## " << "h2";
        QTest::newRow("checked item") << "[x] " << "input[checked]";
        QTest::newRow("quote") << "> " << "blockquote";
        QTest::newRow("rule") << "---\n" << "hr";
        QTest::newRow("code block") << "```\n" << "pre";
    }

    void undoAfterConversion()
    {
        QFETCH(QString, typed);
        QFETCH(QString, element);
        showHome("<p>before</p>");
        type(QStringLiteral("\n") + typed);
        QTRY_VERIFY2(stored().contains(QStringLiteral("<%1").arg(element.section('[', 0, 0))),
            qPrintable(stored()));
        // The format's check follows at once, from the page's report after the key.
        const QHash<QString, QString> checks = {{"ul", "bulletListAction"},
            {"ol", "numberedListAction"}, {"h2", "heading2Action"},
            {"input[checked]", "checklistAction"}, {"blockquote", "quoteAction"},
            {"pre", "codeBlockAction"}};
        if (checks.contains(element))
            QTRY_VERIFY(action(checks.value(element))->isChecked());
        QTest::keyClick(input(), Qt::Key_Control);
        QTest::keyClick(input(), Qt::Key_Z, Qt::ControlModifier);
        QTRY_COMPARE(js(QStringLiteral("document.querySelector('%1') === null").arg(element)), "true");
        QTRY_COMPARE(js("document.body.innerText").replace(QChar(0xa0), ' ').simplified(),
            QStringLiteral("before ") + typed.trimmed());

        // Down on the last line of a block that ends the page leads out of it.
        if (element == "pre" || element == "blockquote") {
            showHome(QStringLiteral("<p>before</p><%1>inside</%1>").arg(element));
            QTest::keyClick(input(), Qt::Key_Down);
            type(QStringLiteral("after"));
            QTRY_COMPARE(js(QStringLiteral("document.body.lastElementChild.nodeName + ' ' + "
                                       "document.body.lastElementChild.textContent")),
                QStringLiteral("P after"));
            QCOMPARE(js(QStringLiteral("document.querySelector('%1').textContent").arg(element)),
                QStringLiteral("inside"));
        }

        // Not inside a code block, and not at all with the setting off.
        showHome("<pre>code</pre>");
        js("var t = document.querySelector('pre').firstChild; getSelection().collapse(t, 4)");
        type(QStringLiteral("\n") + typed);
        QTRY_VERIFY(js("document.body.innerText").contains(typed.trimmed()));
        QCOMPARE(js(QStringLiteral("document.querySelector('%1') === null").arg(element)),
            element == "pre" ? "false" : "true");
        // One conversion on Space and one on Return: a window each costs seconds.
        if (typed != "- " && element != "hr")
            return;
        window.reset();
        QSettings().setValue(QStringLiteral("markdown_autoformat"), false);
        openSample(true);
        showHome("<p>before</p>");
        type(QStringLiteral("\n") + typed);
        QTRY_VERIFY(js("document.body.innerText").contains(typed.trimmed()));
        QCOMPARE(js(QStringLiteral("document.querySelector('%1') === null").arg(element)), "true");
    }

    void commandsToggle_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("element");
        QTest::newRow("heading 1") << QString("heading1Action") << "h1";
        QTest::newRow("bullets") << QString("bulletListAction") << "ul > li";
        QTest::newRow("numbers") << QString("numberedListAction") << "ol > li";
        QTest::newRow("checklist") << QString("checklistAction") << "ul.checklist input";
        QTest::newRow("code block") << QString("codeBlockAction") << "pre";
        QTest::newRow("quote") << QString("quoteAction") << "blockquote";
        QTest::newRow("inline code") << QString("inlineCodeAction") << "code";
    }

    void commandsToggle()
    {
        QFETCH(QString, name);
        QFETCH(QString, element);
        showHome("<p>first line</p><p>second</p>");
        js("getSelection().collapse(document.querySelector('p').firstChild, 2)");
        const QString query = QStringLiteral("document.querySelectorAll('%1').length").arg(element);
        action(name)->trigger();
        QCOMPARE(js(query), "1");
        QTRY_VERIFY(action(name)->isChecked());
        QVERIFY2(wiki->homePage()->content().contains("second"), "the other block is kept");
        if (element.endsWith("li")) {
            // Tab and Shift+Tab indent and outdent a list item.
            const QString nested = "document.querySelectorAll('li ul, li ol, ul ul, ol ol').length";
            QTest::keyClick(input(), Qt::Key_Tab);
            QTRY_COMPARE(js(nested), "1");
            QTest::keyClick(input(), Qt::Key_Tab, Qt::ShiftModifier);
            QTRY_COMPARE(js(nested), "0");
        }
        // The caret stays in the word it was in, and the command again turns the format off.
        QCOMPARE(js("var r = document.createRange(); r.setStart(document.body, 0);"
                    "r.setEnd(getSelection().anchorNode, getSelection().anchorOffset);"
                    "getSelection().isCollapsed && r.toString()"),
            "fi");
        action(name)->trigger();
        QCOMPARE(js(query), "0");
        QCOMPARE(js("document.body.innerText").simplified(), "first line second");
    }

    void table()
    {
        showHome("<p>above</p>");
        answerDialog("InsertTableDialog", [](QWidget *dialog) {
            dialog->findChild<QSpinBox *>("rowsSpinBox")->setValue(2);
            dialog->findChild<QSpinBox *>("columnsSpinBox")->setValue(2);
            static_cast<QDialog *>(dialog)->accept();
        });
        action("insertTableAction")->trigger();
        QCOMPARE(js("document.querySelectorAll('td').length"), "4");
        for (const char *cell : {"a", "b", "c", "d"}) {
            QTest::keyClicks(input(), cell);
            QTest::keyClick(input(), Qt::Key_Tab);
        }
        QTRY_COMPARE(js("document.querySelectorAll('tr').length"), "3");
        QTest::keyClicks(input(), "e");
        // Shift+Tab takes the caret back and selects what the cell holds.
        QTest::keyClick(input(), Qt::Key_Tab, Qt::ShiftModifier);
        QTest::keyClicks(input(), "x");
        QTRY_COMPARE(js("document.querySelectorAll('td')[3].textContent"), "x");

        // The command after a right-button press on the second column deletes that column. The
        // press is given in the page: the engine's own would wait in its context menu.
        js("['mousedown', 'mouseup'].forEach(function (type) {"
           " document.querySelectorAll('td')[1].dispatchEvent("
           " new MouseEvent(type, {button: 2, bubbles: true})); })");
        action("deleteColumnAction")->trigger();
        QTRY_VERIFY2_WITH_TIMEOUT(saved().contains("<table><tbody><tr><td>a</td></tr><tr><td>c"
                                                   "</td></tr><tr><td>e</td></tr></tbody></table>"),
            qPrintable(saved()), 30000);
    }

    void paste_data()
    {
        QTest::addColumn<bool>("plain");
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("expected");
        const QString web = "<h2 style=\"color: red; font-family: Comic; font-weight: bold\" "
                            "class=\"x\">Head</h2><ul class=\"checklist\"><li><font "
                            "face=\"Arial\" size=\"5\">item</font></li></ul><style>p{}</style>";
        QTest::newRow("from the web") << false << web
                                      << "<h2 style=\"font-weight: bold\">Head</h2><ul "
                                         "class=\"checklist\"><li>item</li></ul>";
        QTest::newRow("plain text") << true << web << "Head item";
    }

    void paste()
    {
        QFETCH(bool, plain);
        QFETCH(QString, html);
        QFETCH(QString, expected);
        showHome("<p><br></p>");
        auto *mime = new QMimeData;
        mime->setHtml(html);
        mime->setText("Head item");
        QGuiApplication::clipboard()->setMimeData(mime);
        action(plain ? "pastePlainTextAction" : "pasteAction")->trigger();
        pumpUntil([&] { return stored().contains(expected); });
        QVERIFY2(stored().contains(expected), qPrintable(stored()));
    }

    void textExportAndSearch()
    {
        const QString everything = "<h1>Plans</h1><h2>Garden</h2><h3>Beds</h3><p>Some "
                                   "<code>inline</code> text.</p><ul><li>soil</li><li>seeds<ul>"
                                   "<li>carrots</li></ul></li></ul><ol><li>dig</li><li>sow</li>"
                                   "</ol><ul class=\"checklist\"><li><input type=\"checkbox\" "
                                   "checked=\"\">buy rake</li><li><input type=\"checkbox\">"
                                   "water tulips</li></ul><pre>if (dry)\n    water();</pre>"
                                   "<blockquote><p>Gardens are a form of autobiography.</p>"
                                   "</blockquote><hr><table><tbody><tr><th>Plant</th><th>Month"
                                   "</th></tr><tr><td>Pumpkin</td><td>May</td></tr></tbody>"
                                   "</table>";
        showHome(everything);
        QVERIFY(exportPagesAsText({wiki->homePage()}, dir.path()));
        QFile file(dir.filePath("Home_Page.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QCOMPARE(text.split('\n').filter(QRegularExpression("\\S")),
            QStringList({"# Plans", "## Garden", "### Beds", "Some inline text.", "- soil",
                "- seeds", "  - carrots", "1. dig", "2. sow", "[x] buy rake",
                "[ ] water tulips", "```", "if (dry)", "    water();", "```",
                "> Gardens are a form of autobiography.", QString(40, '-'),
                "| Plant   | Month |", "|---------|-------|", "| Pumpkin | May   |"}));

        const QString html = dir.filePath("page.html");
        QVERIFY(exportPageAsHtml(everything, html));
        QVERIFY(fileBytes(html).contains("disabled"));

        SearchRunner runner;
        runner.setLayoutWidth(800);
        // Each hit comes with its line: a table cell, a checklist item, a line of code.
        const QList<QPair<QString, QStringList>> searches = {{"Pumpkin", {"Pumpkin"}},
            {"water", {"water tulips", "    water();"}}};
        for (const auto &search : searches) {
            QStringList lines;
            for (const SearchResult &hit : runner.run(wiki->allPages(), search.first))
                lines << hit.text();
            QCOMPARE(lines, search.second);
        }
    }
};

VELMORA_TEST_MAIN(TestBlockFormats)
#include "tst_blockformats.moc"
