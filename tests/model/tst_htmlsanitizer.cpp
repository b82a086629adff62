#include "testing.h"
#include "model/htmlsanitizer.h"

class TestHtmlSanitizer : public QObject
{
    Q_OBJECT

private slots:
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

        QTest::newRow("script") << "a<script>alert(1)</script>b" << "ab";
        QTest::newRow("script without end") << "a<script>alert(1)" << "a";
        QTest::newRow("script in svg") << "<svg><script>alert(1)</script></svg>" << "<svg></svg>";
        QTest::newRow("event handler") << "<img src=\"x\" onerror=\"alert(1)\">"
                                       << "<img src=\"x\">";
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
        QTest::newRow("iframe") << "a<iframe src=\"file:///etc/passwd\">fallback</iframe>b" << "ab";
        QTest::newRow("object and embed")
            << "<object data=\"x.swf\"><param name=a value=b>text</object><embed src=\"y\">"
            << "text";
        QTest::newRow("meta refresh")
            << "<meta http-equiv=\"refresh\" content=\"0;url=http://h/\">a"
            << "a";
        QTest::newRow("base") << "<base href=\"http://h/\"><img src=\"a.png\">"
                              << "<img src=\"a.png\">";
        QTest::newRow("form") << "<form action=\"http://h/\"><button formaction=\"http://h/\" "
                                 "type=submit>Go</button></form>"
                              << "<button type=submit>Go</button>";
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
        QTest::newRow("tag cut off at the end") << "a<img src=x onerror=alert(1)" << "a";
        QTest::newRow("tag formed around a removed script")
            << "<<script></script>img src=x onerror=alert(1)>"
            << "&lt;img src=x onerror=alert(1)>";
        // Joined by a space, the odd name became the title's value, and the text after the tag
        // a handler.
        QTest::newRow("name starting with '=' after a removed handler")
            << "<p title/onclick=x =\"a>hello \" onmouseover=alert(1)>"
            << "<p title>hello \" onmouseover=alert(1)>";
        QTest::newRow("stray script end tag") << "a</script>b" << "ab";
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
};

QTEST_GUILESS_MAIN(TestHtmlSanitizer)

#include "tst_htmlsanitizer.moc"
