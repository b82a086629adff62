#include "testing.h"

#include <QMimeData>

using namespace Testing;

namespace {

const QSize pictureSize(40, 30);

// One inserted image, as the page stores it: identifier, type and data.
const QRegularExpression storedImage(QStringLiteral(
    "<img id=\"(\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\})\" "
    "src=\"data:image/([a-z]+);base64,([A-Za-z0-9+/=]+)\" tabindex=\"0\">"));

} // namespace

// The formatting, edit, link and picture commands, given through the main window's actions,
// drops and the editor's context menu, on pages of a real wiki file.
class TestFormatting : public WindowTest
{
    Q_OBJECT

    // Shows the home page with this content, with the editor focused so the actions are on.
    void showHome(const QString &content)
    {
        QVERIFY(showContent(window.get(), wiki->homePage(), content));
        QTRY_VERIFY(action("boldAction")->isEnabled() && action("insertImageAction")->isEnabled());
    }

    // Selects characters start to end of the text inside the first element matching selector,
    // or the whole element when start is negative.
    void select(int start, int end, const QString &selector = QStringLiteral("p"))
    {
        js(QStringLiteral("var e = document.querySelector('%1'), t = e;"
                          "while (t.firstChild) t = t.firstChild;"
                          "if (%2 < 0) getSelection().selectAllChildren(e);"
                          "else getSelection().setBaseAndExtent(t, %2, t, %3);")
                .arg(selector)
                .arg(start)
                .arg(end));
    }

    QString saved(const QString &pageName)
    {
        const WikiDocument saved(wiki->filePath());
        const Page *page = saved.findPageByName(pageName);
        return page ? page->content() : QStringLiteral("<missing>");
    }

    QString writePicture(const QString &name, const char *format)
    {
        QImage image(pictureSize, QImage::Format_RGB32);
        image.fill(QColor(200, 40, 40));
        return image.save(dir.filePath(name), format) ? dir.filePath(name) : QString();
    }

private slots:
    void init() { openSample(); }

    void toggles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tag");
        QTest::newRow("bold") << QStringLiteral("boldAction") << "b";
        QTest::newRow("strikethrough") << QStringLiteral("strikethroughAction") << "strike";
    }

    void toggles()
    {
        QFETCH(QString, name);
        QFETCH(QString, tag);
        showHome(QStringLiteral("<p>one second three</p>"));
        // A bare caret inside "second": the whole word is formatted, the caret stays put.
        select(6, 6);
        action(name)->trigger();
        QCOMPARE(js("document.body.innerHTML"),
            QStringLiteral("<p>one <%1>second</%1> three</p>").arg(tag));
        QCOMPARE(
            js("var s = getSelection(), r = document.createRange(); r.setStart(document.body, 0);"
               "r.setEnd(s.anchorNode, s.anchorOffset); s.isCollapsed && r.toString().length"),
            "6");
        QTRY_VERIFY(wiki->homePage()->isModified());
        // The check follows the caret without a menu being opened: the page reports it.
        QTRY_VERIFY(action(name)->isChecked());
        select(1, 1);
        QTRY_VERIFY(!action(name)->isChecked());
        select(2, 2, tag);
        action(name)->trigger();
        QCOMPARE(js("document.body.innerHTML"), QStringLiteral("<p>one second three</p>"));
    }

    void textSize_data()
    {
        QTest::addColumn<QString>("content");
        QTest::newRow("plain text") << "<p>one two</p>";
        QTest::newRow("em size counts as 18")
            << "<p><span style=\"font-size: 1.5em;\">one two</span></p>";
    }

    void textSize()
    {
        QFETCH(QString, content);
        showHome(content);
        // A bare caret inside "two": the word gets the new span, the caret stays put.
        select(5, 5);
        action("largerAction")->trigger();
        const QString last = "var s = document.querySelectorAll('span'); s[s.length - 1].";
        QCOMPARE(js(last + "style.fontSize + ' ' + s[s.length - 1].textContent"), "22px two");
        QCOMPARE(js("String(getSelection().isCollapsed)"), QStringLiteral("true"));
        QTRY_COMPARE(wiki->homePage()->content(), js("document.body.innerHTML"));
    }

    void linkCommand_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("expected");
        const QString link = QStringLiteral("<a href=\"IDEAS\">Ideas</a>");
        QTest::newRow("bare caret in a link removes it")
            << "<p>See " + link + " now</p>" << "a" << 2 << 2 << "<p>See Ideas now</p>";
        QTest::newRow("selection holding a link removes it")
            << "<p>See " + link + " now</p>" << "p" << -1 << -1 << "<p>See Ideas now</p>";
        // A quote in the text ended the script's string: the wrapper stayed, or the rest ran.
        QTest::newRow("text with quotes, backslash and a script end tag")
            << "<p>See <a href=\"x\">\"a\\b\" &lt;/script&gt;');hacked=1;('</a> now</p>"
            << "a" << 2 << 2 << "<p>See \"a\\b\" &lt;/script&gt;');hacked=1;(' now</p>";
        QTest::newRow("same name, other case, spaces around")
            << "<p>go to iDEAS now</p>" << "p" << 5 << 12 << "<p>go to<a href=\"IDEAS\"> iDEAS </a>now</p>";
        QTest::newRow("new name creates a page")
            << "<p>go to Tokyo now</p>" << "p" << 8 << 8 << "<p>go to <a href=\"NEW\">Tokyo</a> now</p>";
    }

    void linkCommand()
    {
        QFETCH(QString, content);
        QFETCH(QString, selector);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, expected);
        Page *ideas = page("Ideas");
        showHome(content.replace(QLatin1String("IDEAS"), pageUrl(ideas->id())));
        const int pages = wiki->allPages().size();
        select(start, end, selector);
        action("createLinkAction")->trigger();
        const bool created = expected.contains(QLatin1String("NEW"));
        QTRY_COMPARE(wiki->allPages().size(), pages + (created ? 1 : 0));
        Page *target = created ? page("Tokyo") : ideas;
        QVERIFY(target);
        expected.replace(QLatin1String("IDEAS"), pageUrl(ideas->id()));
        expected.replace(QLatin1String("NEW"), pageUrl(target->id()));
        QTRY_COMPARE(saved(QStringLiteral("Home Page")), expected);
        QCOMPARE(js("typeof hacked"), QStringLiteral("undefined"));
        if (!created)
            return;
        // The new page sits at the top level, is shown and is the newest history entry.
        QVERIFY(wiki->items().contains(target));
        QCOMPARE(saved(QStringLiteral("Tokyo")), target->content());
        QCOMPARE(editor->currentPage(), target);
        window->onToolbarBackButton();
        QCOMPARE(editor->currentPage(), wiki->homePage());
    }

    void linkWithoutText()
    {
        showHome(QStringLiteral("<p><br></p>"));
        js("getSelection().collapse(document.querySelector('p'), 0)");
        QString text;
        answerBox(QStringLiteral("OK"), &text);
        action("createLinkAction")->trigger();
        QTRY_COMPARE(text, QStringLiteral("Please select the text from which to create a link."));
        QCOMPARE(wiki->allPages().size(), 3);
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

    void insertImage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QString>("type");
        QTest::newRow("upper-case PHOTO.JPG") << "PHOTO.JPG" << QByteArray("JPEG") << "jpg";
        // Such a file was inserted as an element with an empty type and no data at all.
        QTest::newRow("picture under another name")
            << "picture.data" << QByteArray("JPEG") << "png";
    }

    void insertImage()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        const QString path = writePicture(name, format.constData());
        showHome(QStringLiteral("<p>ab</p>"));
        select(1, 1);
        // Twice: the caret stays after the first image, and each gets an identifier of its own.
        for (int i = 0; i < 2; ++i) {
            answerFile(path);
            action("insertImageAction")->trigger();
        }
        const QRegularExpression twice(QStringLiteral("^<p>a(%1){2}b</p>$").arg(storedImage.pattern()));
        QTRY_VERIFY2(twice.match(wiki->homePage()->content()).hasMatch(),
            qPrintable(wiki->homePage()->content()));
        const QString content = wiki->homePage()->content();
        QStringList ids;
        for (auto images = storedImage.globalMatch(content); images.hasNext();) {
            const QRegularExpressionMatch image = images.next();
            ids << image.captured(1);
            QTEST(image.captured(2), "type");
            const QImage decoded
                = QImage::fromData(QByteArray::fromBase64(image.captured(3).toLatin1()));
            QCOMPARE(decoded.size(), pictureSize);
            QVERIFY(qAbs(decoded.pixelColor(5, 5).red() - 200) < 8);
        }
        QVERIFY(ids.at(0) != ids.at(1));

        // The save goes on once the page has answered; opening the file waits for a save still
        // running on it.
        window->saveWiki(false);
        QTRY_COMPARE(WikiDocument(wiki->filePath()).homePage()->content(), content);
    }

    void insertFailures_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("message");
        QTest::newRow("file does not exist")
            << QStringLiteral("missing.png") << "Cannot load image - file does not exist.";
        QTest::newRow("not a picture")
            << QStringLiteral("broken.png") << "Cannot load image. Unknown error.";
        QTest::newRow("dialog cancelled") << QString() << QString();
    }

    void insertFailures()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, message);
        QVERIFY(putFile(dir.filePath(QStringLiteral("broken.png")), "no picture in here"));
        showHome(QStringLiteral("<p>ab</p>"));
        select(1, 1);
        QString text;
        answerFile(chosen.isEmpty() ? QString() : dir.filePath(chosen));
        if (!message.isEmpty())
            answerBox(QStringLiteral("OK"), &text);
        action("insertImageAction")->trigger();
        QCOMPARE(text, message);
        QCOMPARE(js("document.body.innerHTML"), QStringLiteral("<p>ab</p>"));
        QVERIFY(!wiki->homePage()->isModified());
    }

    void drops_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        // Cutting "file:///" off by hand left a relative path: the drop went to the engine.
        QTest::newRow("file URL with an encoded space") << QStringLiteral("url") << "my drop.png";
        QTest::newRow("plain path") << QStringLiteral("path") << "drop.png";
        QTest::newRow("HTML that also carries the path") << QStringLiteral("html") << "drop.png";
    }

    void drops()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        const QString path = writePicture(name, "PNG");
        showHome(QStringLiteral("<p>ab</p>"));
        select(1, 1);
        QMimeData mime;
        if (kind == QLatin1String("url"))
            mime.setText(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
        else
            mime.setText(path);
        if (kind == QLatin1String("html"))
            mime.setHtml(QStringLiteral("<b>from a browser</b>"));
        QDropEvent event(
            centreOf(QStringLiteral("p")), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        // Straight to the editor: the application delivers drops only during a real drag.
        static_cast<QObject *>(editor)->event(&event);
        if (kind == QLatin1String("html")) {
            // Markup goes in as markup, cleaned, and never as the file it names.
            QVERIFY(event.isAccepted());
            QTRY_VERIFY(
                wiki->homePage()->content().contains(QStringLiteral("<b>from a browser</b>")));
            QVERIFY(!storedImage.match(wiki->homePage()->content()).hasMatch());
            return;
        }
        QVERIFY(event.isAccepted());
        QTRY_VERIFY(wiki->homePage()->isModified());
        QTRY_COMPARE(storedImage.match(wiki->homePage()->content()).captured(2), QStringLiteral("png"));
    }

    void noMenuWhereNothingIsEditable_data()
    {
        QTest::addColumn<bool>("welcome");
        QTest::newRow("locked page") << false;
        QTest::newRow("welcome document") << true;
    }

    void noMenuWhereNothingIsEditable()
    {
        QFETCH(bool, welcome);
        Page *ideas = page("Ideas");
        QVERIFY(ideas->setPassword(QStringLiteral("pw"), QString()));
        QVERIFY(showContent(window.get(), ideas, QStringLiteral("<p>secret</p>")));
        if (welcome)
            editor->showWelcomePage();
        QCOMPARE(contextMenu(editor, QPoint(100, 60)), QStringList());
    }
};

VELMORA_TEST_MAIN(TestFormatting)
#include "tst_formatting.moc"
