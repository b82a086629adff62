#include "model/htmlprocessor.h"
#include "model/htmltext.h"
#include "model/page.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

const int previewLength = 100;

// The preview as the web engine made it: the page's rendered plain text, its runs of white
// space folded into single blanks, since the sidebar shows it on one line.
QString enginePreview(const QString &html)
{
    QString text = HtmlProcessor::htmlToPlainText(html).simplified();
    if (text.size() > previewLength)
        text.truncate(
            text.at(previewLength - 1).isHighSurrogate() ? previewLength - 1 : previewLength);
    return text;
}

QString picture(int bytes)
{
    QByteArray data(bytes, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (char &c : data)
        c = char(random.bounded(256));
    return QStringLiteral("<img src=\"data:image/png;base64,%1\" width=\"120\">")
        .arg(QString::fromLatin1(data.toBase64()));
}

} // namespace

class TestHtmlText : public QObject
{
    Q_OBJECT

private slots:
    // Pages as the editor stores them: the preview read from the markup must be the text the
    // web engine showed for them.
    void sameTextAsTheEngine_data()
    {
        QTest::addColumn<QString>("html");
        QTest::newRow("default page") << "This is a page about 'Garden &amp; yard'";
        QTest::newRow("paragraphs") << "<p>First paragraph.</p><p>Second one.</p>";
        QTest::newRow("headings and lists")
            << "<h2>Plan</h2><ul><li>one</li><li>two</li></ul><ol><li>three</li></ol>";
        QTest::newRow("inline formatting")
            << "<p>Some <b>bold</b>, <i>italic</i>, <u>under</u><strike>struck</strike> "
               "<span style=\"font-size: 18px; color: rgb(255, 0, 0);\">red</span> text</p>";
        QTest::newRow("links") << "<p>See <a href=\"velmora://page/1733480000001\">page 1</a> "
                                  "and <a href='https://example.org/?a=1&amp;b=2'>the web</a>.</p>";
        QTest::newRow("references")
            << "<p>Fish &amp; chips &lt;3 &quot;q&quot; &copy; &eacute;t&eacute; &#8364; "
               "&#x1F600; &amp&nbsp;x &unknown; &notit;</p>";
        QTest::newRow("breaks and divisions")
            << "<div>one<br>two</div><div><span>three</span></div>four<br/>five";
        QTest::newRow("picture before the text")
            << "<p>" + picture(150 * 1024) + "</p><p>Caption after the picture</p>";
        QTest::newRow("picture inside a sentence") << "<p>Before " + picture(3000) + " after</p>";
        QTest::newRow("table") << "<table><tbody><tr><td>a</td><td>b</td></tr><tr><th>c</th>"
                                  "<td>d</td></tr></tbody></table>";
        QTest::newRow("comments and blanks")
            << "  <!-- a note --> \n<p>  spaced    out\n\t text </p> <!--><!---> end ";
        QTest::newRow("preformatted") << "<pre>code  line\n  next</pre>";
        QTest::newRow("style and script")
            << "<style>p { color: red }</style><script>var x = '<p>no</p>';</script><p>shown</p>";
        QTest::newRow("quote and rule") << "<blockquote>quoted</blockquote><hr><p>after</p>";
        QTest::newRow("non-Latin") << QString::fromUtf8("<b>Ελληνικά</b> 日本語 <i>עברית</i>");
        QTest::newRow("long text cut") << "<p>" + QString("word ").repeated(15) + "</p><p>"
                + QString("next ").repeated(20) + "</p>";
        QTest::newRow("pair at the cut") << QString(99, 'a') + QString::fromUtf8("😀tail");
        QTest::newRow("quoted angle in a tag") << "<p title=\"a > b\">text</p><p title='x'>y</p>";
        QTest::newRow("empty") << "";

        // Pages like the bench wiki's: words, links and now and then a picture.
        static const QStringList words = QString("the of wiki page notes meeting plan garden "
                                                 "review budget travel recipe draft idea")
                                             .split(' ');
        QRandomGenerator random(2024);
        for (int i = 0; i < 12; ++i) {
            QString html;
            if (i % 4 == 1)
                html += "<p>" + picture(20 * 1024) + "</p>";
            for (int p = 0; p < 3; ++p) {
                html += "<p>";
                for (int w = 0; w < 12; ++w)
                    html += words.at(int(random.bounded(words.size()))) + ' ';
                html += QString("<a href=\"velmora://page/%1\">page %1</a></p>").arg(i);
            }
            QTest::newRow(qPrintable(QString("generated %1").arg(i))) << html;
        }
    }

    void sameTextAsTheEngine()
    {
        QFETCH(QString, html);
        QCOMPARE(Page("9", "Plans", html).plainTextPreview(), enginePreview(html));
    }

    void stopsAtTheLength()
    {
        QCOMPARE(htmlTextStart(QStringLiteral("<p>abc</p><p>def</p>"), 5), QStringLiteral("abc d"));
        QCOMPARE(htmlTextStart(QStringLiteral("abc"), 0), QString());
    }
};

QTEST_MAIN(TestHtmlText)
#include "tst_htmltext.moc"
