#include "model/htmlprocessor.h"

#include <QtTest>

static const QString notesLink = QStringLiteral("<a href=\"file://velmora/?pageid=111\">Notes</a>");
static const QString ideasLink = QStringLiteral("<a href=\"file://velmora/?pageid=222\">Ideas</a>");
static const QString webLink = QStringLiteral("<a href=\"https://example.org/\">Example</a>");

class TestHtmlProcessor : public QObject
{
    Q_OBJECT

private slots:
    void unlinking()
    {
        // The link text is markup-like on purpose: put back as markup, it became a live element.
        const QString html = QStringLiteral("<p>See %1, %2 and <a href=\"file://velmora/"
                                            "?pageid=333\">&lt;img src=x&gt;</a>.</p>")
                                 .arg(notesLink, webLink);
        HtmlProcessor processor(html);
        const QString result = processor.unlinkInternalLinks();
        QVERIFY(!result.contains(QLatin1String("pageid")));
        QVERIFY(result.contains(webLink));
        QVERIFY(!result.contains(QLatin1String("<img")));
        QCOMPARE(processor.toPlainText(), QStringLiteral("See Notes, Example and <img src=x>."));
        QCOMPARE(HtmlProcessor::unlinkInternalLinks(html), result);
    }

    void rewriting()
    {
        const QString html = QStringLiteral("<p>%1 %2 %3</p>").arg(notesLink, ideasLink, webLink);
        QCOMPARE(HtmlProcessor::rewriteInternalLinks(html, {}), HtmlProcessor(html).toHtml());
        const QString result = HtmlProcessor::rewriteInternalLinks(html, {{"111", "Notes1.html"}});
        QVERIFY(result.contains(QLatin1String("<a href=\"./Notes1.html\">Notes</a>")));
        QVERIFY(result.contains(ideasLink));
        QVERIFY(result.contains(webLink));
    }

    void scriptsAndStylesheets()
    {
        const QString html = QStringLiteral(
            "<html><head><link rel=\"stylesheet\" href=\"a.css\">"
            "<link rel=\"alternate stylesheet\" href=\"b.css\"><link rel=\"icon\" href=\"i.png\">"
            "<script src=\"x.js\"></script></head><body><p id=\"p\">Kept</p>"
            "<script>document.getElementById('p').textContent = 'Changed';</script>"
            "</body></html>");
        HtmlProcessor processor(html);
        // Stored scripts never run while a page is previewed or exported.
        QCOMPARE(processor.toPlainText(), QStringLiteral("Kept"));
        // These edits were jQuery statements, which failed in a page without jQuery.
        QString result = processor.removeScripts();
        QVERIFY(!result.contains(QLatin1String("<script")));
        QVERIFY(result.contains(QLatin1String("a.css")));
        result = processor.removeStylesheets();
        QVERIFY(!result.contains(QLatin1String("a.css")));
        QVERIFY(!result.contains(QLatin1String("b.css")));
        QVERIFY(result.contains(QLatin1String("rel=\"icon\"")));
        QVERIFY(result.contains(QLatin1String("Kept")));
    }

    void plainText_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        QTest::newRow("markup") << "<h1>Title</h1><p>One <b>bold</b><br>line</p>"
                                << "Title\n\nOne bold\nline";
        QTest::newRow("entities") << "Tom &amp; Jerry &lt;3 caf&eacute;&nbsp;&#8364;"
                                  << QString::fromUtf8("Tom & Jerry <3 café\u00a0€");
        QTest::newRow("non-Latin") << QString::fromUtf8("<p>Привет, <i>世界</i> שלום</p>")
                                   << QString::fromUtf8("Привет, 世界 שלום");
        QTest::newRow("hidden text") << "<span style=\"display:none\">secret</span>shown"
                                     << "shown";
        QTest::newRow("empty") << ""
                               << "";
    }

    void plainText()
    {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(HtmlProcessor::htmlToPlainText(html), text);
    }
};

QTEST_MAIN(TestHtmlProcessor)
#include "tst_htmlprocessor.moc"
