#include "model/exporter.h"
#include "model/htmlprocessor.h"
#include "testing.h"

#include <QRegularExpression>

#include <csignal>
#include <sys/resource.h>

namespace {

const QString russian = QString::fromUtf8("Привет, мир");

QString pageLink(const QString &id, const QString &text)
{
    return QStringLiteral("<a href=\"file://velmora/?pageid=%1\">%2</a>").arg(id, text);
}

QString contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList files(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace

class TestExporter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QList<Page *> pages;
    QString folder(const QString &name)
    {
        dir.setAutoRemove(!QTest::currentTestFailed());
        QDir(dir.path()).mkdir(name);
        return dir.filePath(name);
    }
    Page *page(const QString &id, const QString &name, const QString &content)
    {
        pages << new Page(id, name, content);
        return pages.last();
    }

private slots:
    void cleanup()
    {
        qDeleteAll(pages);
        pages.clear();
    }

    void safeNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("expected"); // "UUID" for a generated name
        const QStringList none;
        QTest::newRow("punctuation")
            << "Meeting notes: May/June" << none << "Meeting_notes__May_June";
        QTest::newRow("decomposed accent")
            << QString::fromUtf8("Cafe\u0301") << none << QString::fromUtf8("Café");
        QTest::newRow("empty") << "" << none << "UUID";
        // Three bytes each in UTF-8: past the 255 bytes a file name may have.
        QTest::newRow("100 Chinese letters") << QString(100, QChar(0x4e2d)) << none << "UUID";
        QTest::newRow("taken, case ignored") << "Notes" << QStringList {"notes"} << "NotesNotes";
        // Windows cannot write a file named after a device, whatever its extension.
        QTest::newRow("con, lower case") << "con" << none << "con_";
        QTest::newRow("AUX with extension") << "AUX.txt" << none << "AUX_txt";
        QTest::newRow("COM0 is no device") << "COM0" << none << "COM0";
    }

    void safeNames()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, taken);
        QFETCH(QString, expected);
        const QString result = safeFileBaseName(name, taken);
        if (expected == QLatin1String("UUID"))
            QVERIFY2(QRegularExpression("^\\{[0-9a-f-]{36}\\}$").match(result).hasMatch(),
                qPrintable(result));
        else
            QCOMPARE(result, expected);
    }

    void textExport()
    {
        const QString out = folder("text");
        // Stored scripts never run while a page is exported.
        page("1", "Meeting notes: May/June",
            "<p id=\"p\">" + russian + "</p><script>p.textContent = 'Changed';</script>");
        page("2", QString::fromUtf8("Straße"), "<p>Street</p>");
        page("5", "Diary", "<p>secret</p>")->setLocked(true);
        page("6", "", "<p>nameless</p>");
        QVERIFY(exportPagesAsText(pages, out));
        QStringList written = files(out);
        QCOMPARE(written.size(), 4);
        QCOMPARE(contents(out + "/Meeting_notes__May_June.txt"), russian);
        QCOMPARE(contents(out + QString::fromUtf8("/Straße.txt")), QStringLiteral("Street"));
        QCOMPARE(contents(out + "/Diary.txt"),
            QStringLiteral("This page is protected with a password."));
        QVERIFY(written.filter(QRegularExpression("^\\{.{36}\\}\\.txt$")).size() == 1);
    }

    void htmlExport()
    {
        const QString out = folder("html");
        for (const char *name : {"/Notes.html", "/x.html"}) {
            QFile old(out + name);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("kept") == 4);
        }
        page("1", "Home Page",
            "<p>" + pageLink("2", "Notes") + pageLink("3", "Ideas") + pageLink("99", "Gone")
                + "</p>");
        page("2", "Notes", "<p>" + russian + pageLink("1", "Home") + "</p>");
        page("3", "Ideas",
            "<link rel=\"stylesheet\" href=\"a.css\"><script>alert(1)</script><p>Idea</p>");
        page("4", "Diary", "<p>secret</p>")->setLocked(true);
        // "x1" is chosen before "x", whose own file exists: the next free name on disk is no
        // longer free, and both pages went to x1.html.
        page("5", "x1", "<p>one</p>");
        page("6", "x", "<p>ex</p>");
        page("7", "a/b", "<p>first</p>");
        page("8", "a:b", "<p>second</p>");
        QVERIFY(exportPagesAsHtml(pages, out));

        QCOMPARE(files(out).size(), 3 + pages.size()); // with index.html
        QCOMPARE(contents(out + "/Notes.html"), QStringLiteral("kept"));
        const QString home = contents(out + "/Home_Page.html");
        QVERIFY(home.contains("<a href=\"./Notes1.html\">Notes</a>"));
        QVERIFY(home.contains("<a href=\"./Ideas.html\">Ideas</a>"));
        QVERIFY(home.contains(pageLink("99", "Gone")));
        const QString notes = contents(out + "/Notes1.html");
        QVERIFY(notes.contains(russian));
        const QString ideas = contents(out + "/Ideas.html");
        QVERIFY(ideas.contains("Idea") && !ideas.contains("script") && !ideas.contains("a.css"));
        QVERIFY(contents(out + "/Diary.html").contains("This page is protected with a password."));
        QVERIFY(!contents(out + "/Diary.html").contains("secret"));
        QVERIFY(contents(out + "/x1.html").endsWith("</head><body><p>one</p></body></html>"));
        QVERIFY(contents(out + "/x2.html").contains("ex"));
        QVERIFY(contents(out + "/a_ba_b.html").contains("second"));
    }

    void singlePage()
    {
        const QString file = folder("single") + "/page.html";
        // The link text reads like markup: put back as markup, it became a live element.
        QVERIFY(exportPageAsHtml("<html><head><meta charset=\"iso-8859-1\"><script>x()</script>"
                                 "</head><body><p>"
                + russian + pageLink("2", "&lt;img src=x&gt;") + "</p></body></html>",
            file));
        QCOMPARE(contents(file),
            "<html><head><meta charset=\"utf-8\"></head><body><p>" + russian
                + "&lt;img src=x&gt;</p></body></html>");
    }

    // Markup read as a browser reads it and written back escaped; text as the web engine gave
    // it for the same markup.
    void processing_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("expected"); // the body, or the whole document
        QTest::newRow("unclosed paragraphs, items and cells")
            << "html"
            << "<p>a<p>b<ul><li>c<li>d</ul><table><tr><td>e<td>f</table>"
            << "<p>a</p><p>b</p><ul><li>c</li><li>d</li></ul><table><tbody><tr><td>e</td>"
               "<td>f</td></tr></tbody></table>";
        QTest::newRow("bold reopened after a block, stray end tags")
            << "html"
            << "<p><b>a<p>b</b>c</i></p></p>x<br/>y</br>"
            << "<p><b>a</b></p><p><b>b</b>c</p><p></p>x<br>y<br>";
        QTest::newRow("quotes and ampersands in values, references in text")
            << "html"
            << "<p title='say \"hi\" &amp; <b>' class=a&b>&copy; &#x1F600; &amp &#150; "
               "&notin; a&lt;b&nbsp;</p>"
            << QString::fromUtf8(
                   "<p title=\"say &quot;hi&quot; &amp; &lt;b&gt;\" class=\"a&amp;b\">"
                   "© 😀 &amp; – ∉ a&lt;b&nbsp;</p>");
        QTest::newRow("style, comment and script content")
            << "html"
            << "<style>p > b { content: \"&amp;\" }</style><p>x<!-- <b> & --></p>"
               "<p>a<script>document.write('<p>x')</script>b</p>"
            << "<html><head><style>p > b { content: \"&amp;\" }</style></head><body><p>x"
               "<!-- <b> & --></p><p>ab</p></body></html>";
        // The link's text reads like markup: put back as markup, it became a live element.
        QTest::newRow("link text like markup")
            << "unlink"
            << "<p>" + pageLink("2", "&lt;img src=x&gt;") + "</p>"
            << "<p>&lt;img src=x&gt;</p>";
        // The engine dropped the space at the link's end: "page 1and more".
        QTest::newRow("link text ending in a space")
            << "unlink"
            << "<p>see " + pageLink("1", "page 1 ") + "and more</p>"
            << "<p>see page 1 and more</p>";
        // The outer link was replaced first, and the inner one was then used after being freed.
        QTest::newRow("link inside a link, through a table cell")
            << "unlink"
            << "<p>" + pageLink("1", "x<table><tr><td>" + pageLink("2", "y") + "</table>") + "</p>"
            << "<p>x\ny</p>";
        QTest::newRow("text of blocks and breaks")
            << "text"
            << "<h1>Title</h1>loose<div>a</div><p>b<br>c</p><p>  d \n  e  </p>"
               "<pre> x\n  y</pre><p>z</p>"
            << "Title\n\nloose\na\nb\nc\n\nd e\n\n x\n  y\nz";
        QTest::newRow("text of tables, pictures and controls")
            << "text"
            << "<table><tr><td>a</td><td> b </td></tr><tr><td>c<td></table><p>a "
               "<img src=\"x.png\"> b<input>c<select><option>o</select><span "
               "hidden>h</span></p><ul class=\"checklist\"><li><input "
               "type=\"checkbox\"> done</li></ul>"
            << "a\tb\nc\t\na bc\ndone";
    }

    void processing()
    {
        QFETCH(QString, operation);
        QFETCH(QString, html);
        QFETCH(QString, expected);
        HtmlProcessor processor(html);
        const QString result = operation == "text" ? processor.toPlainText()
            : operation == "unlink"                ? processor.unlinkInternalLinks()
                                                   : processor.toHtml();
        if (operation != "text" && !expected.startsWith("<html>"))
            expected = "<html><head></head><body>" + expected + "</body></html>";
        QCOMPARE(result, expected);
    }

    void failures_data()
    {
        QTest::addColumn<bool>("asHtml");
        QTest::addColumn<bool>("underFile");
        QTest::newRow("text, folder under a file") << false << true;
        QTest::newRow("HTML, one file too large") << true << false;
    }

    // Root writes into read-only folders, so the folder given is a path under a plain file
    // (ENOTDIR), and one page's file is made to fail with a limit on the size of written files.
    void failures()
    {
        QFETCH(bool, asHtml);
        QFETCH(bool, underFile);
        auto exportAll = [&](const QString &out) {
            return asHtml ? exportPagesAsHtml(pages, out) : exportPagesAsText(pages, out);
        };
        const QString out = folder(QStringLiteral("failing%1%2").arg(asHtml).arg(underFile));
        QVERIFY(exportAll(out));
        QVERIFY(files(out).isEmpty());

        page("1", "Before", "<p>before</p>");
        page("2", "Big", "<p>" + QString(200000, 'b') + "</p>");
        page("3", "After", "<p>after</p>");
        if (underFile) {
            QFile plain(out + "/plain");
            QVERIFY(plain.open(QIODevice::WriteOnly));
            QVERIFY(!exportAll(plain.fileName() + "/export"));
            QCOMPARE(files(out), QStringList {"plain"});
            return;
        }
        rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit small {100000, saved.rlim_max};
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool exported = exportAll(out);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QVERIFY(!exported);
        // The other pages stay written, and no cut-off file is left for the big one.
        const QString extension = asHtml ? ".html" : ".txt";
        QCOMPARE(files(out), QStringList({"After" + extension, "Before" + extension}));
    }
};

VELMORA_TEST_MAIN(TestExporter)
#include "tst_exporter.moc"
