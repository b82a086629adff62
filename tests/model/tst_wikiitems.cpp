#include "testing.h"

#include "editor/pagehistory.h"
#include "model/htmlprocessor.h"
#include "model/htmlsanitizer.h"
#include "model/htmltext.h"
#include "model/urls.h"

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

// The preview as the page's whole plain text gives it (the text the web engine rendered), its
// runs of white space folded into single blanks, since the sidebar shows it on one line.
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

// A page's items, text, preview and cleaning, and the history of pages shown.
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
        QTest::newRow("http with path") << " http://example.org/a?b=1 "
                                        << "http://example.org/a?b=1";
        QTest::newRow("mailto") << "mailto:ann@example.org"
                                << "mailto:ann@example.org";
        QTest::newRow("www host") << "www.example.org/notes"
                                  << "http://www.example.org/notes";
        QTest::newRow("www alone") << "www."
                                   << "";
        QTest::newRow("other scheme") << "ftp://example.org"
                                      << "";
        QTest::newRow("address in words") << "see https://example.org"
                                          << "";
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

    void clean_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("expected");
        // Ordinary pages come back byte for byte.
        const QString ordinary = QStringLiteral(
            "<p style=\"color: red\">A <a href=\"file://velmora/?pageid=2\">link</a>, a "
            "<a href='https://example.org/?a=1&amp;b=2'>site</a> &lt;script&gt; and "
            "<img id='{1}' src='data:image/png;base64,AAAA' tabindex='0'></p><!-- a note -->"
            "<img src=\"qrc:///images/logo.png\"><img src=\"https://example.org/x.png\">"
            "<span title=\"javascript is fun\">x < y</span>");
        QTest::newRow("ordinary page") << ordinary << ordinary;

        QTest::newRow("script without end") << "a<script>alert(1)"
                                            << "a";
        QTest::newRow("script in svg") << "<svg><script>alert(1)</script></svg>"
                                       << "<svg></svg>";
        QTest::newRow("handler in capitals, unquoted") << "<BODY ONLOAD=alert(1) class=a>"
                                                       << "<BODY class=a>";
        // The engine reads one unquoted value here, handler and all.
        QTest::newRow("slash in unquoted value") << "<img/src=x/onerror=alert(1)>"
                                                 << "<img/src=x/onerror=alert(1)>";
        QTest::newRow("slash before handler") << "<img src=\"x\"/onerror=alert(1)>"
                                              << "<img src=\"x\">";
        QTest::newRow("javascript, entities") << "<a href=\"jav&#x61;script&colon;alert(1)\">x</a>"
                                              << "<a>x</a>";
        QTest::newRow("javascript, white space") << "<a href=\" java\tscr&#10;ipt:x\">x</a>"
                                                 << "<a>x</a>";
        QTest::newRow("javascript, tab entity") << "<a href=\"java&Tab;script:x\">x</a>"
                                                << "<a>x</a>";
        QTest::newRow("javascript in svg animation")
            << "<svg><a><animate attributeName=href values=javascript:alert(1) />x</a></svg>"
            << "<svg><a>x</a></svg>";
        QTest::newRow("file picture") << "<img src=\"file:///home/me/a.png\" alt=a>"
                                      << "<img alt=a>";
        QTest::newRow("srcset with a file") << "<img srcset=\"a.png 1x, file:///b.png 2x\">"
                                            << "<img>";
        // Inside a comment the tags are the engine's text; the comment ends at the first '>'
        // here, so what follows is cleaned even where the engine would still read a comment.
        QTest::newRow("comment") << "<!-- <p onclick=x> --><p onclick=y>"
                                 << "<!-- <p onclick=x> --><p>";
        QTest::newRow("comment inside style")
            << "<style><!--</style><img src=x onerror=alert(1)>-->"
            << "<style><!--</style><img src=x>-->";
        QTest::newRow("tag cut off at the end") << "a<img src=x onerror=alert(1)"
                                                << "a";
        QTest::newRow("tag formed around a removed script")
            << "<<script></script>img src=x onerror=alert(1)>"
            << "&lt;img src=x onerror=alert(1)>";
        // Joined by a space, the odd name became the title's value, and the text after the tag
        // a handler.
        QTest::newRow("name starting with '=' after a removed handler")
            << "<p title/onclick=x =\"a>hello \" onmouseover=alert(1)>"
            << "<p title>hello \" onmouseover=alert(1)>";
        QTest::newRow("stray script end tag") << "a</script>b"
                                              << "ab";
    }

    void clean()
    {
        QFETCH(QString, html);
        QFETCH(QString, expected);
        QCOMPARE(HtmlSanitizer::clean(html), expected);
        QCOMPARE(HtmlSanitizer::clean(expected), expected);
    }

    void inlinePictures()
    {
        const QString html = QStringLiteral(
            "<p>a<img class=x src=\"http://h/a.png\" alt=a>b<img src='https://h/b&amp;c.png'>"
            "<img src=\"http://h/a.png\"><img src=\"data:image/png;base64,AA\"></p>");
        QCOMPARE(HtmlSanitizer::remotePictureAddresses(html),
            QStringList({"http://h/a.png", "https://h/b&c.png"}));
        // A picture that could not be fetched is left out.
        QCOMPARE(
            HtmlSanitizer::inlinePictures(html, {{"http://h/a.png", "data:image/png;base64,QQ"}}),
            QStringLiteral("<p>a<img class=x src=\"data:image/png;base64,QQ\" alt=a>b"
                           "<img src=\"data:image/png;base64,QQ\">"
                           "<img src=\"data:image/png;base64,AA\"></p>"));
    }

    void steps_data()
    {
        // Steps: "+A" visits A, "-A" forgets A, "<" goes back, ">" goes forward. The history
        // is read from the current entry backwards and forwards: "A [D]" has D current.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        QTest::newRow("A, B, E, back twice") << "+A +B +E < <"
                                             << "[A] B E";
        QTest::newRow("then visiting D drops B and E") << "+A +B +E < < +D"
                                                       << "A [D]";
        QTest::newRow("back and forward stop at the ends") << "+A +B > > < < <"
                                                           << "[A] B";
        QTest::newRow("forgetting B of A, B, A collapses to A") << "+A +B +A -B"
                                                                << "[A]";
        QTest::newRow("forgetting the current page") << "+A +B +C -C"
                                                     << "A [B]";
        QTest::newRow("forgetting a page ahead") << "+A +B +C < < -C"
                                                 << "[A] B";
        QTest::newRow("forgetting an earlier page") << "+A +B +A +C -B"
                                                    << "A [C]";
        QTest::newRow("forgetting the current first entry") << "+A +B < -A"
                                                            << "[] B";
        QTest::newRow("visit after that") << "+A +B < -A +C"
                                          << "[C]";
    }

    void steps()
    {
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        PageHistory history;
        for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (step == QLatin1String("<"))
                history.back();
            else if (step == QLatin1String(">"))
                history.forward();
            else if (step.startsWith(QLatin1Char('+')))
                history.push(step.mid(1));
            else
                history.remove(step.mid(1));
        }

        const QString none = QStringLiteral("-1");
        const QString current = history.currentId() == none ? QString() : history.currentId();
        QStringList entries {QStringLiteral("[%1]").arg(current)};
        for (PageHistory walk = history; walk.previousId() != none; walk.back())
            entries.prepend(walk.previousId());
        for (PageHistory walk = history; walk.nextId() != none; walk.forward())
            entries.append(walk.nextId());
        const QString result = entries.join(QLatin1Char(' '));
        QCOMPARE(result == QLatin1String("[]") ? QString() : result, expected);
        QCOMPARE(history.canGoBack(), history.previousId() != none);
        QCOMPARE(history.canGoForward(), history.nextId() != none);
    }
};

VELMORA_TEST_MAIN(TestWikiItems)
#include "tst_wikiitems.moc"
