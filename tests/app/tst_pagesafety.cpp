#include "app/settings.h"
#include "editor/imagefile.h"
#include "search/searchrunner.h"
#include "search/searchtextedit.h"
#include "sidebar/sidebartree.h"
#include "sidebar/sidebartreeitem.h"
#include "testing.h"

#include <QBuffer>
#include <QClipboard>
#include <QDesktopServices>
#include <QMimeData>

#include <sys/stat.h>

using namespace Testing;

namespace {

// Every construct through which page content could run, load or submit something, each
// reporting to the listener if it ever acts.
QString hostileContent(const LocalSite &site, const QString &folder)
{
    const auto url = [&site](const char *path) { return site.url(QLatin1String(path)); };
    const auto ping = [&url](const char *path) { return "new Image().src='" + url(path) + "';"; };
    return "<p>Stored text of the page</p><script>document.body.innerHTML='gone';"
        + ping("script-ran") + "</script><img src=\"x\" onerror=\"" + ping("onerror-ran")
        + "page.updatePageContent();\"><img src=\"" + url("track.png") + "\"><iframe src=\"file://"
        + folder + "/local.html\"></iframe><img src=\"file://" + folder + "/local.png\">"
        + "<a href=\"jav&#x61;script:" + ping("link") + "\">run</a><object data=\"" + url("object")
        + "\"></object><embed src=\"" + url("embed")
        + "\"><meta http-equiv=\"refresh\" content=\"0;url=" + url("refresh") + "\"><base href=\""
        + url("base/") + "\"><img src=\"relative.png\">" + "<form action=\"" + url("form")
        + "\"><input type=\"submit\"></form>" + "<div style=\"background-image: url(" + url("css")
        + ")\">styled</div>" + "<link rel=\"stylesheet\" href=\"" + url("sheet")
        + "\"><video poster=\"" + url("poster") + "\" src=\"" + url("video")
        + "\" autoplay></video><svg><image href=\"" + url("svg") + "\"/></svg>";
}

const QStringList activeConstructs = {"<script", "onerror", "javascript", "jav&#x61;", "<iframe",
    "<object", "<embed", "http-equiv", "<base", "<form", "local.png", "/video\"", "poster"};

} // namespace

class TestPageSafety : public WindowTest
{
    Q_OBJECT

public slots:
    void openedUrl(const QUrl &url) { opened << url; }

private:
    QList<QUrl> opened;

    QString path(const QString &name) const { return dir.filePath(name); }

    // A wiki whose home page, a second page and a locked page all hold every hostile construct.
    QString makeHostileWiki(const LocalSite &listener)
    {
        putFile(
            path("local.html"), "<img src=\"" + listener.url("from-local-file").toUtf8() + "\">");
        QImage(4, 4, QImage::Format_RGB32).save(path("local.png"));
        const QString file = path("hostile.velmora");
        QFile::remove(file);
        WikiDocument wiki(file);
        const QString content = hostileContent(listener, dir.path());
        wiki.homePage()->setContent(content);
        wiki.createPage(QStringLiteral("Second"), nullptr)->setContent(content);
        Page *locked = wiki.createPage(QStringLiteral("Locked"), nullptr);
        locked->setContent(content);
        locked->setPassword(QStringLiteral("secret"), QString());
        return wiki.save() ? file : QString();
    }

private slots:
    void initTestCase()
    {
        takeOpenedUrls(); // starts the shared answerer, which takes the web links
        for (const char *scheme : {"file", "smb"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "openedUrl");
    }

    void init()
    {
        QSettings().clear();
        opened.clear();
    }

    // Scripts in a stored page ran on opening, rewrote the file through the page bridge and
    // reached the network; the search and the export carried them on.
    void hostileWikiDoesNothing()
    {
        LocalSite listener;
        const QString file = makeHostileWiki(listener);
        QVERIFY(!file.isEmpty());
        const QByteArray before = fileBytes(file);
        openWindow();
        QVERIFY(window->openWiki(file, true, false));
        wiki = window->currentWiki();
        for (Page *page : wiki->allPages()) {
            window->sidebar()->selectItem(page->id());
            QVERIFY(editorReady(window.get()));
            QTest::qWait(100);
            if (page->isLocked())
                continue;
            QTRY_COMPARE(js("document.querySelector('p').textContent"), "Stored text of the page");
            const QString preview
                = window->sidebar()->findChild<SidebarTree *>()->itemById(page->id())->preview();
            QVERIFY2(preview.startsWith("Stored text of the page"), qPrintable(preview));
        }
        window->findChild<SearchTextEdit *>()->setText(QStringLiteral("text"));
        window->onRunSearch();
        // Text a script would write is never found; the stored text is, locked page too.
        SearchRunner runner(nullptr);
        QCOMPARE(runner.run(wiki->allPages(), QStringLiteral("gone")).size(), 0);
        QCOMPARE(runner.run(wiki->allPages(), QStringLiteral("Stored text")).size(), 3);

        // Past an autosave.
        window->findChild<QTimer *>(QStringLiteral("autosaveTimer"))->start(1);
        QTest::qWait(100);

        const QString exported = path("exported");
        QVERIFY(QDir().mkpath(exported));
        answerFile(exported);
        answerBox();
        window->onExportWikiAsHTML();
        const QStringList files = QDir(exported).entryList(QDir::Files);
        QCOMPARE(files.size(), 4); // the pages and index.html
        for (const QString &name : files) {
            const QString html = QString::fromUtf8(fileBytes(exported + "/" + name));
            for (const QString &construct : activeConstructs)
                QVERIFY2(!html.contains(construct, Qt::CaseInsensitive),
                    qPrintable(name + " holds " + construct));
        }
        QTest::qWait(200);
        window->close();
        window.reset();
        QTest::qWait(200);
        QCOMPARE(listener.requests.join(' '), QString());
        QCOMPARE(listener.connections, 0);
        QVERIFY(fileBytes(file) == before);
    }

    void editedHostilePageIsSavedClean()
    {
        LocalSite listener;
        const QString file = makeHostileWiki(listener);
        QVERIFY(!file.isEmpty());
        openWindow();
        QVERIFY(window->openWiki(file, true, false));
        QVERIFY(editorReady(window.get()));
        editor->setFocus();
        js("var r = document.createRange(); r.selectNodeContents(document.querySelector('p'));"
           "r.collapse(false); getSelection().removeAllRanges(); getSelection().addRange(r);");
        QTest::keyClicks(input(), QStringLiteral("!"));
        saveWiki(window.get(), true);
        QVERIFY(window->currentWiki()->waitForSaves());
        window->close();
        window.reset();
        QCOMPARE(listener.connections, 0);
        WikiDocument saved(file);
        const QString content = saved.homePage()->content();
        QVERIFY2(content.contains(QStringLiteral("Stored text of the page!")), qPrintable(content));
        for (const QString &construct : activeConstructs)
            QVERIFY2(!content.contains(construct, Qt::CaseInsensitive), qPrintable(construct));
        // The pages the user did not touch keep what they held.
        QVERIFY(saved.findPageByName(QStringLiteral("Second"))->content().contains("<script>"));
    }

    void pastedPictureIsStoredInline()
    {
        LocalSite listener;
        QBuffer png(&listener.pages["/picture.png"]);
        QImage(3, 2, QImage::Format_RGB32).save(&png, "PNG");
        openWindow();
        QVERIFY(window->openWiki(path("paste.velmora"), false, false));
        QVERIFY(editorReady(window.get()));
        editor->setFocus();
        auto *mime = new QMimeData;
        mime->setHtml(QStringLiteral("<p>pasted<img src=\"x\" onerror=\"page.updatePageContent()\">"
                                     "<img src=\"%1\"><img src=\"%2\"></p>")
                          .arg(listener.url("picture.png"), listener.url("missing.png")));
        QGuiApplication::clipboard()->setMimeData(mime);
        QTest::keyClick(input(), Qt::Key_V, Qt::ControlModifier);
        Page *page = editor->currentPage();
        QTRY_VERIFY(page->content().contains(QStringLiteral("data:image/png;base64,")));
        QCOMPARE(listener.requests.size(), 2);
        QVERIFY(page->content().contains(QStringLiteral("pasted")));
        QVERIFY(!page->content().contains(QStringLiteral("onerror")));
        QVERIFY(!page->content().contains(QStringLiteral("127.0.0.1")));
    }

    void links_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("answer"); // the button pressed; empty when nothing asks
        QTest::addColumn<int>("opens");
        QTest::newRow("web") << QString("https://example.org/") << QString() << 1;
        QTest::newRow("local file, cancelled") << QString("file:///etc/passwd") << "Cancel" << 0;
        QTest::newRow("local file, opened") << QString("file:///etc/hosts") << "Open" << 1;
        // A command link whose number did not parse ran New Wiki.
        QTest::newRow("command not a number")
            << QString("file://velmora/?commandid=0x") << QString() << 0;
    }

    void links()
    {
        QFETCH(QString, link);
        QFETCH(QString, answer);
        QFETCH(int, opens);
        openWindow();
        QString text;
        if (!answer.isEmpty())
            answerBox(answer, &text);
        window->onLinkClicked(QUrl(link));
        QVERIFY(allAnswered());
        if (!answer.isEmpty())
            QVERIFY2(text.contains(QUrl(link).toDisplayString()), qPrintable(text));
        opened += takeOpenedUrls();
        QCOMPARE(opened, opens ? QList<QUrl> {QUrl(link)} : QList<QUrl>());
    }

    // Opening a pipe waited for a writer for good, at every start.
    void pipeIsNoWiki()
    {
        const QString fifo = path("pipe.velmora");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        Settings::addRecentWiki(fifo);
        QString title, text;
        answerBox(QStringLiteral("OK"), &text, &title);
        openWindow(true);
        QVERIFY2(text.contains(QStringLiteral("could not be read")), qPrintable(text));
        QVERIFY(!Settings::recentWikiList().contains(fifo));

        // Named on the command line, and dropped as a picture.
        answerBox(QStringLiteral("OK"), &text, &title);
        text.clear();
        window->openWiki(path("pipe.velmora"), true, false);
        QVERIFY2(text.contains(QStringLiteral("could not be read")), qPrintable(text));
        QString error;
        QVERIFY(!ImageFile(fifo, &error).isValid());
        QVERIFY(!error.isEmpty());
    }
};

VELMORA_TEST_MAIN(TestPageSafety)

#include "tst_pagesafety.moc"
