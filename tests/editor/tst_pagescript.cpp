#include "app/mainwindow.h"
#include "editor/editor.h"
#include "model/page.h"
#include "model/utils.h"

#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>
#include <QtTest>

// The functions of the page script and the search script, run in real documents.
class TestPageScript : public QObject
{
    Q_OBJECT

private:
    MainWindow *window = nullptr;
    Editor *editor = nullptr;
    Page *page = nullptr;

    QString js(const QString &script) { return editor->evaluateJavaScript(script).toString(); }

    void show(const QString &content)
    {
        QSignalSpy loaded(editor, &QWebView::loadFinished);
        page->setContent(content);
        editor->disconnectSignals();
        editor->loadPage(page);
        editor->connectSignals();
        QTRY_VERIFY(!loaded.isEmpty());
        QTRY_COMPARE(js("document.readyState"), QStringLiteral("complete"));
    }

    // Selects characters start to end of the first text node inside the element.
    void select(const QString &selector, int start, int end)
    {
        js(QStringLiteral("var t = document.querySelector('%1').firstChild;"
                          "var r = document.createRange(); r.setStart(t, %2); r.setEnd(t, %3);"
                          "getSelection().removeAllRanges(); getSelection().addRange(r);")
                .arg(selector)
                .arg(start)
                .arg(end));
    }

private slots:
    void init()
    {
        window = new MainWindow;
        editor = new Editor(window, window);
        page = new Page(QStringLiteral("2"), QStringLiteral("Notes"));
        window->setCentralWidget(editor);
        window->resize(800, 600);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    void cleanup()
    {
        delete window;
        delete page;
    }

    void pasteHtmlAtCaret_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("selected");
        // A second insertion shows where the first one left the caret. The engine puts a caret
        // that follows an inline element at the end of that element's text, hence inside <i>.
        QTest::newRow("several nodes in order, caret after them")
            << "<p>ab</p>" << 1 << 1
            << "pasteHtmlAtCaret('<b>1</b>2<i>3</i>'); pasteHtmlAtCaret('<u>4</u>')"
            << "<p>a<b>1</b>2<i>3<u>4</u></i>b</p>"
            << "";
        QTest::newRow("replaces the selection")
            << "<p>abc</p>" << 1 << 2 << "pasteHtmlAtCaret('<b>1</b>')"
            << "<p>a<b>1</b>c</p>"
            << "";
        QTest::newRow("empty markup only deletes the selection")
            << "<p>abc</p>" << 1 << 2 << "pasteHtmlAtCaret('')"
            << "<p>ac</p>"
            << "";
        QTest::newRow("pasted content selected")
            << "<p>ab</p>" << 1 << 1 << "pasteHtmlAtCaret('<b>1</b>2', true)"
            << "<p>a<b>1</b>2b</p>"
            << "12";
        QTest::newRow("no caret") << "<p>ab</p>" << -1 << -1 << "pasteHtmlAtCaret('<b>1</b>')"
                                  << "<p>ab</p>"
                                  << "";
    }

    void pasteHtmlAtCaret()
    {
        QFETCH(QString, content);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, script);
        show(content);
        if (start < 0)
            js("getSelection().removeAllRanges()");
        else
            select("p", start, end);
        js(script);
        QTEST(editor->bodyHtml(), "expected");
        QTEST(js("selectedText()"), "selected");
    }

    void insideWord_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<bool>("inside");
        // "one two": the caret at 0 is the document's start, at 7 its end.
        QTest::newRow("inside a word") << 5 << 5 << true;
        QTest::newRow("after a space") << 4 << 4 << false;
        QTest::newRow("before a space") << 3 << 3 << false;
        QTest::newRow("with a selection") << 4 << 6 << false;
        // The probe stepped back over a character it had never moved across.
        QTest::newRow("start of the document") << 0 << 0 << false;
        QTest::newRow("end of the document") << 7 << 7 << false;
    }

    void insideWord()
    {
        QFETCH(int, start);
        QFETCH(int, end);
        show(QStringLiteral("<p>one two</p>"));
        select("p", start, end);
        QTEST(editor->evaluateJavaScript("isInsideWordWithoutSelection()").toBool(), "inside");
        // The caret or selection is left where it was.
        QCOMPARE(js("String(getSelection().getRangeAt(0).startOffset)"), QString::number(start));
        QCOMPARE(js("String(getSelection().getRangeAt(0).endOffset)"), QString::number(end));
    }

    void selectionQueries()
    {
        show(QStringLiteral("<p id=\"first\">one <b>two</b> three</p><p id=\"second\">four</p>"));
        js("getSelection().selectAllChildren(document.getElementById('first'))");
        QCOMPARE(js("selectedHTML()"), QStringLiteral("one <b>two</b> three"));
        QVERIFY(editor->evaluateJavaScript("hasSelection()").toBool());
        js("getSelection().removeAllRanges()");
        QCOMPARE(js("selectedHTML()"), QString());

        // A right press is remembered whether or not it moves the selection.
        const auto centre = [this](const char *id) {
            return editor->page()->mainFrame()->findFirstElement(id).geometry().center();
        };
        QTest::mousePress(editor, Qt::RightButton, {}, centre("#second"));
        QTest::mouseRelease(editor, Qt::RightButton, {}, centre("#second"));
        QCOMPARE(js("getRightButtonClickedElement().id"), QStringLiteral("second"));
        QTest::mousePress(editor, Qt::RightButton, {}, centre("b"));
        QTest::mouseRelease(editor, Qt::RightButton, {}, centre("b"));
        QCOMPARE(js("getRightButtonClickedElement().tagName"), QStringLiteral("B"));
        QCOMPARE(js("String(getLeftButtonClickedElement())"), QStringLiteral("null"));
    }

    void highlightedSelection_data()
    {
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("line");
        QTest::newRow("word in the middle line") << "word"
                                                 << "second line with word here";
        QTest::newRow("word at the start of a line") << "third"
                                                     << "third and last";
        QTest::newRow("nothing found") << "absent"
                                       << "";
    }

    void highlightedSelection()
    {
        QFETCH(QString, found);
        // The search runs the script in a page of its own, without the page template.
        QWebPage searchPage;
        // Lines are visual lines: without a width every word would be a line of its own.
        searchPage.setViewportSize(QSize(800, 600));
        QSignalSpy loaded(&searchPage, &QWebPage::loadFinished);
        searchPage.mainFrame()->setHtml(QStringLiteral(
            "<p>first line</p><p>second line with word here</p><p>third and last</p>"));
        QTRY_VERIFY(!loaded.isEmpty());
        QWebFrame *frame = searchPage.mainFrame();
        frame->evaluateJavaScript(readResourceText(QStringLiteral("js/search.js")));
        if (!searchPage.findText(found))
            frame->evaluateJavaScript(QStringLiteral("getSelection().removeAllRanges()"));
        const QString selected = frame->evaluateJavaScript("getSelection().toString()").toString();

        QTEST(frame->evaluateJavaScript("getHighlightedSelection()").toString(), "line");
        QCOMPARE(frame->evaluateJavaScript("getSelection().toString()").toString(), selected);
    }
};

QTEST_MAIN(TestPageScript)
#include "tst_pagescript.moc"
