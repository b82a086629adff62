#include "app/mainwindow.h"
#include "dialoganswers.h"
#include "editor/editor.h"
#include "editor/imagefile.h"
#include "model/page.h"
#include "model/urls.h"
#include "model/wikidocument.h"
#include "sidebar/sidebar.h"

#include <QAction>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebElement>
#include <QWebFrame>
#include <QtTest>

namespace {

const QSize pictureSize(40, 30);
const QColor pictureColour(200, 40, 40);

// One inserted image, as the page stores it: identifier, type and data.
const QRegularExpression storedImage(QStringLiteral(
    "<img id=\"(\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\})\" "
    "src=\"data:image/([a-z]+);base64,([A-Za-z0-9+/=]+)\" tabindex=\"0\">"));

QString pngBase64()
{
    QImage image(pictureSize, QImage::Format_RGB32);
    image.fill(pictureColour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(bytes.toBase64());
}

} // namespace

// Pictures read from real files, inserted by command and by dropping, and the editor's context
// menu, on pages of a real wiki file.
class TestImages : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    MainWindow *window = nullptr;
    Editor *editor = nullptr;
    WikiDocument *wiki = nullptr;

    QString js(const QString &script) { return editor->evaluateJavaScript(script).toString(); }
    QAction *action(const QString &name) { return window->findChild<QAction *>(name); }

    void showPage(Page *page, const QString &content)
    {
        page->setContent(content);
        page->setModified(false);
        editor->disconnectSignals();
        editor->setEditable(page->isUnlocked());
        editor->loadPage(page);
        editor->connectSignals();
        if (page->isUnlocked())
            QTRY_COMPARE(js("document.readyState"), QStringLiteral("complete"));
        editor->setFocus();
    }

    // Shows the home page with this content and the caret after the first character.
    void showHome(const QString &content)
    {
        showPage(wiki->homePage(), content);
        js("var t = document.querySelector('p').firstChild; var r = document.createRange();"
           "r.setStart(t, 1); getSelection().removeAllRanges(); getSelection().addRange(r);");
        QTRY_VERIFY(action("insertImageAction")->isEnabled());
    }

    QString writePicture(const QString &name, const char *format)
    {
        QImage image(pictureSize, QImage::Format_RGB32);
        image.fill(pictureColour);
        const QString path = dir.filePath(name);
        return image.save(path, format) ? path : QString();
    }

    QString savedHomeContent()
    {
        WikiDocument saved(wiki->filePath());
        return saved.homePage() ? saved.homePage()->content() : QString();
    }

    QPoint centreOf(const QString &selector)
    {
        return editor->page()->mainFrame()->findFirstElement(selector).geometry().center();
    }

    // Opens the context menu at pos and returns its entries ("-" for a separator), choosing
    // the entry choice if there is one; an empty list when no menu opened.
    QStringList contextMenu(const QPoint &pos, const QString &choice = QString())
    {
        QStringList entries;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu || menu->objectName() != QLatin1String("EditorContextMenu"))
                return;
            poll.stop();
            for (QAction *entry : menu->actions()) {
                entries << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
                if (entry->text() == choice)
                    entry->trigger();
            }
            menu->close();
        });
        poll.start(10);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, editor->mapToGlobal(pos));
        QApplication::sendEvent(editor, &event);
        return entries;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        window = new MainWindow;
        window->resize(1000, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(window->openWiki(
            dir.filePath(QTest::currentTestFunction()) + ".velmora", false, false));
        editor = window->editor();
        wiki = window->currentWiki();
        Page *other = wiki->createPage(QStringLiteral("Other"), nullptr);
        window->sidebar()->addItem(other, nullptr);
    }

    void cleanup()
    {
        delete window;
        QVERIFY(!QApplication::activeModalWidget());
        dir.setAutoRemove(!QTest::currentTestFailed());
    }

    void insertImage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QString>("type");
        QTest::newRow("png") << "plain.png" << QByteArray("PNG") << "png";
        QTest::newRow("jpeg") << "photo.jpeg" << QByteArray("JPEG") << "jpeg";
        QTest::newRow("jpg") << "photo.jpg" << QByteArray("JPEG") << "jpg";
        QTest::newRow("upper-case PHOTO.JPG") << "PHOTO.JPG" << QByteArray("JPEG") << "jpg";
        QTest::newRow("bmp") << "screen.bmp" << QByteArray("BMP") << "bmp";
        // Such a file was inserted as an element with an empty type and no data at all.
        QTest::newRow("picture under another name")
            << "picture.data" << QByteArray("JPEG") << "png";
    }

    void insertImage()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        const QString path = writePicture(name, format.constData());
        QVERIFY(!path.isEmpty());
        showHome(QStringLiteral("<p>ab</p>"));

        // Twice: the caret stays after the first image, and each gets an identifier of its own.
        for (int i = 0; i < 2; ++i) {
            answerFile(path);
            action("insertImageAction")->trigger();
        }
        const QString content = wiki->homePage()->content();
        QVERIFY(wiki->homePage()->isModified());
        QVERIFY2(QRegularExpression(QStringLiteral("^<p>a(%1){2}b</p>$").arg(storedImage.pattern()))
                     .match(content)
                     .hasMatch(),
            qPrintable(content));
        auto images = storedImage.globalMatch(content);
        QStringList ids;
        while (images.hasNext()) {
            const QRegularExpressionMatch image = images.next();
            ids << image.captured(1);
            QTEST(image.captured(2), "type");
            const QImage decoded
                = QImage::fromData(QByteArray::fromBase64(image.captured(3).toLatin1()));
            QCOMPARE(decoded.size(), pictureSize);
            QVERIFY(qAbs(decoded.pixelColor(5, 5).red() - pictureColour.red()) < 8);
        }
        QCOMPARE(ids.size(), 2);
        QVERIFY(ids.at(0) != ids.at(1));

        window->saveWiki(false);
        QCOMPARE(savedHomeContent(), content);
    }

    void insertFailures_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("message");
        QTest::newRow("file does not exist") << "missing.png"
                                             << "Cannot load image - file does not exist.";
        QTest::newRow("not a picture") << "broken.png"
                                       << "Cannot load image. Unknown error.";
        QTest::newRow("dialog cancelled") << ""
                                          << "";
    }

    void insertFailures()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, message);
        QFile broken(dir.filePath(QStringLiteral("broken.png")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("no picture in here");
        broken.close();
        const QString content = QStringLiteral("<p>ab</p>");
        showHome(content);

        QString title;
        QString text;
        answerFile(chosen.isEmpty() ? QString() : dir.filePath(chosen));
        if (!message.isEmpty())
            answerBox(&title, &text);
        action("insertImageAction")->trigger();
        QCOMPARE(text, message);
        QCOMPARE(title, message.isEmpty() ? QString() : QStringLiteral("Image Importer"));
        QCOMPARE(editor->bodyHtml(), content);
        QVERIFY(!wiki->homePage()->isModified());

        QString error;
        QVERIFY(!ImageFile(QString(), &error).isValid());
        QCOMPARE(error, QStringLiteral("Cannot load image - file name is empty."));
    }

    void drops_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("taken");
        // Cutting "file:///" off by hand left a relative path: the drop went to the engine.
        QTest::newRow("file URL") << "url"
                                  << "drop.png" << true;
        QTest::newRow("file URL with an encoded space") << "url"
                                                        << "my drop.png" << true;
        QTest::newRow("plain path") << "path"
                                    << "drop.png" << true;
        QTest::newRow("HTML that also carries the path") << "html"
                                                         << "drop.png" << false;
        QTest::newRow("image data that also carries the path") << "image"
                                                               << "drop.png" << false;
        QTest::newRow("text that names no file") << "words"
                                                 << "drop.png" << false;
        QTest::newRow("no text at all") << "none"
                                        << "drop.png" << false;
    }

    void drops()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(bool, taken);
        const QString path = writePicture(name, "PNG");
        QVERIFY(!path.isEmpty());
        showHome(QStringLiteral("<p>ab</p>"));

        QMimeData mime;
        if (kind == QLatin1String("url"))
            mime.setText(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
        else if (kind == QLatin1String("words"))
            mime.setText(QStringLiteral("just some words"));
        else if (kind != QLatin1String("none"))
            mime.setText(path);
        if (kind == QLatin1String("html"))
            mime.setHtml(QStringLiteral("<b>from a browser</b>"));
        if (kind == QLatin1String("image"))
            mime.setImageData(QImage(pictureSize, QImage::Format_RGB32));
        if (kind == QLatin1String("url"))
            QVERIFY(mime.text().startsWith(QLatin1String("file:///")));

        QDropEvent event(
            centreOf(QStringLiteral("p")), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        // Straight to the editor: the application delivers drops only during a real drag.
        static_cast<QObject *>(editor)->event(&event);
        QCOMPARE(event.isAccepted(), taken);
        const QString content = wiki->homePage()->content();
        QCOMPARE(storedImage.match(content).hasMatch(), taken);
        QCOMPARE(wiki->homePage()->isModified(), taken);
        if (taken)
            QCOMPARE(storedImage.match(content).captured(2), QStringLiteral("png"));
    }

    void contextMenu_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("resizable");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("expected");
        const QString picture = QStringLiteral("src=\"data:image/png;base64,%1\"").arg(pngBase64());
        const QString two = QStringLiteral("<p>a<img id=\"x\" %1>b<img id=\"x\" class=\"second\" "
                                           "%1>c</p>")
                                .arg(picture);
        const QString one
            = QStringLiteral("<p>a<img id=\"{1}\" %1 tabindex=\"0\">b</p>").arg(picture);
        const QStringList editing = {"Create Link", "-", "Bold", "Italic", "Underline", "-",
            "Strikethrough", "-", "Smaller", "Larger", "-", "Left", "Center", "Right", "Justify"};
        QStringList inLink = editing;
        inLink[0] = QStringLiteral("Remove link");
        QTest::newRow("image") << one << "img" << false << QStringList {"Remove Image"}
                               << "<p>ab</p>";
        QTest::newRow("resizable image")
            << one << "img" << true << QStringList {"Remove Image"} << "<p>ab</p>";
        QTest::newRow("image without id") << QStringLiteral("<p>a<img %1>b</p>").arg(picture)
                                          << "img" << false << QStringList() << QString();
        QTest::newRow("two images with one id: the first goes")
            << two << ".second" << false << QStringList {"Remove Image"}
            << QStringLiteral("<p>ab<img id=\"x\" class=\"second\" %1>c</p>").arg(picture);
        QTest::newRow("text") << "<p>ab</p>"
                              << "p" << false << editing << QString();
        QTest::newRow("inside a link")
            << QStringLiteral("<p>a<a href=\"%1\">bc</a></p>").arg(pageUrl("1")) << "a" << false
            << inLink << QString();
    }

    void contextMenu()
    {
        QFETCH(QString, content);
        QFETCH(QString, target);
        QFETCH(bool, resizable);
        QFETCH(QString, expected);
        showHome(content);
        const QPoint pos = centreOf(target);
        if (resizable) {
            QTest::mouseClick(editor, Qt::LeftButton, {}, pos);
            QTRY_COMPARE(js("String($('.ui-wrapper').length)"), QStringLiteral("1"));
        }
        QTest::mouseClick(editor, Qt::RightButton, {}, pos);
        // The link entry follows the caret, wherever the press left it. (Any selection change
        // would take the resize handles away, so the caret is left alone on images.)
        if (!content.contains(QLatin1String("<img")))
            js(QStringLiteral("var r = document.createRange(); r.setStart(document.querySelector("
                              "'%1').lastChild, 1); getSelection().removeAllRanges();"
                              "getSelection().addRange(r);")
                    .arg(target));

        QTEST(contextMenu(pos, QStringLiteral("Remove Image")), "entries");
        QVERIFY(!window->findChild<QMenu *>(QStringLiteral("EditorContextMenu")));
        if (!expected.isEmpty()) {
            QCOMPARE(wiki->homePage()->content(), expected);
            QVERIFY(wiki->homePage()->isModified());
        }
    }

    void noMenuWhereNothingIsEditable_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::newRow("locked page") << "locked";
        QTest::newRow("welcome document") << "welcome";
    }

    void noMenuWhereNothingIsEditable()
    {
        QFETCH(QString, shown);
        Page *other = wiki->findPageByName(QStringLiteral("Other"));
        QVERIFY(other->setPassword(QStringLiteral("pw"), QString()));
        showPage(other, QStringLiteral("<p>secret</p>"));
        if (shown == QLatin1String("welcome"))
            editor->showWelcomePage();
        QCOMPARE(contextMenu(QPoint(100, 60)), QStringList());
    }
};

QTEST_MAIN(TestImages)
#include "tst_images.moc"
