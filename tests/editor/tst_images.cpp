#include "app/mainwindow.h"
#include "editor/editor.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "testing.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QWebElement>
#include <QWebFrame>

using namespace Testing;

namespace {

const QSize pictureSize(40, 30);

// One inserted image, as the page stores it: identifier, type and data.
const QRegularExpression storedImage(QStringLiteral(
    "<img id=\"(\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\})\" "
    "src=\"data:image/([a-z]+);base64,([A-Za-z0-9+/=]+)\" tabindex=\"0\">"));

QImage picture()
{
    QImage image(pictureSize, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 40));
    return image;
}

} // namespace

// Pictures read from real files, inserted by command and by dropping, and the editor's context
// menu, on pages of a real wiki file.
class TestImages : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    Editor *editor = nullptr;
    WikiDocument *wiki = nullptr;
    int wikis = 0;

    QString js(const QString &script) { return editor->evaluateJavaScript(script).toString(); }
    QAction *insertAction() { return window->findChild<QAction *>("insertImageAction"); }

    void showPage(Page *page, const QString &content)
    {
        page->setContent(content);
        page->setModified(false);
        editor->disconnectSignals();
        editor->setEditable(page->isUnlocked());
        editor->loadPage(page);
        editor->connectSignals();
        QVERIFY(editorReady(window.get()));
        editor->setFocus();
    }

    // Shows the home page with this content and the caret after the first character.
    void showHome(const QString &content)
    {
        showPage(wiki->homePage(), content);
        js("getSelection().collapse(document.querySelector('p').firstChild, 1)");
        QTRY_VERIFY(insertAction()->isEnabled());
    }

    QString writePicture(const QString &name, const char *format)
    {
        const QString path = dir.filePath(name);
        return picture().save(path, format) ? path : QString();
    }

    QPoint centreOf(const QString &selector)
    {
        return editor->page()->mainFrame()->findFirstElement(selector).geometry().center();
    }

    // Opens the context menu at pos, choosing the entry choice if there is one; the menu's
    // entries, or none when no menu opened.
    QStringList contextMenu(const QPoint &pos, const QString &choice = QString())
    {
        QStringList entries;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            poll.stop();
            for (QAction *entry : menu->actions()) {
                entries << entry->text();
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
    void init()
    {
        window = makeWindow();
        wiki = openSampleWiki(window.get(), dir.filePath(QString::number(++wikis)));
        QVERIFY(wiki);
        editor = window->editor();
    }

    void cleanup()
    {
        window.reset();
        QVERIFY(allAnswered());
        dir.setAutoRemove(!QTest::currentTestFailed());
    }

    void insertImage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QString>("type");
        QTest::newRow("png") << "plain.png" << QByteArray("PNG") << "png";
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
            insertAction()->trigger();
        }
        const QString content = wiki->homePage()->content();
        QVERIFY2(QRegularExpression(QStringLiteral("^<p>a(%1){2}b</p>$").arg(storedImage.pattern()))
                     .match(content)
                     .hasMatch(),
            qPrintable(content));
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

        window->saveWiki(false);
        // Opening the file waits for the save still running on it.
        QCOMPARE(WikiDocument(wiki->filePath()).homePage()->content(), content);
    }

    void insertFailures_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("message");
        QTest::newRow("file does not exist")
            << "missing.png" << "Cannot load image - file does not exist.";
        QTest::newRow("not a picture") << "broken.png" << "Cannot load image. Unknown error.";
        QTest::newRow("dialog cancelled") << "" << "";
    }

    void insertFailures()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, message);
        QVERIFY(putFile(dir.filePath(QStringLiteral("broken.png")), "no picture in here"));
        showHome(QStringLiteral("<p>ab</p>"));
        QString text;
        answerFile(chosen.isEmpty() ? QString() : dir.filePath(chosen));
        if (!message.isEmpty())
            answerBox(QStringLiteral("OK"), &text);
        insertAction()->trigger();
        QCOMPARE(text, message);
        QCOMPARE(editor->bodyHtml(), QStringLiteral("<p>ab</p>"));
        QVERIFY(!wiki->homePage()->isModified());
    }

    void drops_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("taken");
        // Cutting "file:///" off by hand left a relative path: the drop went to the engine.
        QTest::newRow("file URL") << "url" << "drop.png" << true;
        QTest::newRow("file URL with an encoded space") << "url" << "my drop.png" << true;
        QTest::newRow("plain path") << "path" << "drop.png" << true;
        QTest::newRow("HTML that also carries the path") << "html" << "drop.png" << false;
        QTest::newRow("text that names no file") << "words" << "drop.png" << false;
    }

    void drops()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(bool, taken);
        const QString path = writePicture(name, "PNG");
        showHome(QStringLiteral("<p>ab</p>"));
        QMimeData mime;
        if (kind == QLatin1String("url"))
            mime.setText(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
        else
            mime.setText(kind == QLatin1String("words") ? QStringLiteral("just some words") : path);
        if (kind == QLatin1String("html"))
            mime.setHtml(QStringLiteral("<b>from a browser</b>"));
        QDropEvent event(
            centreOf(QStringLiteral("p")), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        // Straight to the editor: the application delivers drops only during a real drag.
        static_cast<QObject *>(editor)->event(&event);
        if (kind == QLatin1String("html")) {
            // Markup goes in as markup, cleaned, and never as the file it names.
            QVERIFY(event.isAccepted());
            QVERIFY(wiki->homePage()->content().contains(QStringLiteral("<b>from a browser</b>")));
            QVERIFY(!storedImage.match(wiki->homePage()->content()).hasMatch());
            return;
        }
        QCOMPARE(event.isAccepted(), taken);
        const QRegularExpressionMatch image = storedImage.match(wiki->homePage()->content());
        QCOMPARE(image.hasMatch(), taken);
        QCOMPARE(wiki->homePage()->isModified(), taken);
        QCOMPARE(image.captured(2), taken ? QStringLiteral("png") : QString());
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
        Page *ideas = wiki->findPageByName(QStringLiteral("Ideas"));
        QVERIFY(ideas->setPassword(QStringLiteral("pw"), QString()));
        showPage(ideas, QStringLiteral("<p>secret</p>"));
        if (welcome)
            editor->showWelcomePage();
        QCOMPARE(contextMenu(QPoint(100, 60)), QStringList());
    }
};

QTEST_MAIN(TestImages)
#include "tst_images.moc"
