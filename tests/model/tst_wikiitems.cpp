#include "testing.h"
#include "model/urls.h"
#include "model/htmlprocessor.h"
#include "model/htmltext.h"
#include <QRandomGenerator>

static QJsonObject pageJson(const QJsonValue &type, const QJsonValue &descriptor = QJsonValue())
{
    QJsonObject json {{"id", "5"}, {"name", "Notes"}, {"content", "<p>x</p>"}};
    if (!type.isUndefined())
        json.insert("type", type);
    if (!descriptor.isUndefined())
        json.insert("password_descriptor", descriptor);
    return json;
}

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

class TestWikiItems : public QObject
{
    Q_OBJECT

private slots:
    void reading_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("locked");
        const QJsonObject hash {{"hashed_password", "$2a$12$x"}, {"salt", "$2a$12$"}};
        QTest::newRow("page") << pageJson("page") << "page" << false;
        QTest::newRow("folder") << pageJson("folder") << "folder" << false;
        QTest::newRow("type missing") << pageJson(QJsonValue::Undefined) << "" << false;
        QTest::newRow("empty hash")
            << pageJson("page", QJsonObject {{"hashed_password", ""}}) << "page" << false;
        QTest::newRow("hash set") << pageJson("page", hash) << "page" << true;
    }

    void reading()
    {
        QFETCH(QJsonObject, json);
        QFETCH(QString, type);
        QFETCH(bool, locked);
        std::unique_ptr<WikiItem> item(WikiItem::fromJson(json));
        QCOMPARE(item ? item->type() : QString(), type);
        if (Page *page = item ? item->toPage() : nullptr) {
            QCOMPARE(page->isLocked(), locked);
            QCOMPARE(page->passwordDescriptor().isSet(), locked);
        }
    }

    void folderElementsArePages()
    {
        const QJsonObject json {{"type", "folder"}, {"pages", QJsonArray {pageJson("folder")}}};
        std::unique_ptr<Folder> folder(Folder::fromJson(json));
        QCOMPARE(folder->pages().size(), 1);
        QVERIFY(folder->pages().at(0)->isPage());
        QCOMPARE(folder->pages().at(0)->name(), QStringLiteral("Notes"));
        qDeleteAll(folder->pages());
    }

    void defaultContent()
    {
        // Put in unescaped, the name was taken as markup and "<Draft>" vanished from the page.
        QCOMPARE(Page("9", "<Draft> & co").content(),
            QStringLiteral("This is a page about '&lt;Draft&gt; &amp; co'"));
    }

    // The link command made a wiki page named after a selected web address.
    void webAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("url");
        QTest::newRow("http with path") << " http://example.org/a?b=1 " << "http://example.org/a?b=1";
        QTest::newRow("mailto") << "mailto:ann@example.org" << "mailto:ann@example.org";
        QTest::newRow("www host") << "www.example.org/notes" << "http://www.example.org/notes";
        QTest::newRow("www alone") << "www." << "";
        QTest::newRow("other scheme") << "ftp://example.org" << "";
        QTest::newRow("address in words") << "see https://example.org" << "";
    }

    void webAddresses()
    {
        QFETCH(QString, text);
        QTEST(webAddressUrl(text), "url");
    }

    // Pages as the editor stores them: the preview read from the markup must be the text the
    // web engine showed for them.
    void sameTextAsTheEngine_data()
    {
        QTest::addColumn<QString>("html");
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
        QTest::newRow("picture before the text")
            << "<p>" + picture(150 * 1024) + "</p><p>Caption after the picture</p>";
        QTest::newRow("table") << "<table><tbody><tr><td>a</td><td>b</td></tr><tr><th>c</th>"
                                  "<td>d</td></tr></tbody></table>";
        QTest::newRow("style and script")
            << "<style>p { color: red }</style><script>var x = '<p>no</p>';</script><p>shown</p>";
        QTest::newRow("long text cut") << "<p>" + QString("word ").repeated(15) + "</p><p>"
                + QString("next ").repeated(20) + "</p>";
        QTest::newRow("pair at the cut") << QString(99, 'a') + QString::fromUtf8("😀tail");

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

QTEST_MAIN(TestWikiItems)
#include "tst_wikiitems.moc"
