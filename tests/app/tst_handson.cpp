#include "search/searchresultswidget.h"
#include "search/searchtextedit.h"
#include "sidebar/sidebartree.h"
#include "sidebar/sidebartreeitem.h"
#include "testing.h"

#include <QBuffer>
#include <QClipboard>
#include <QMenu>
#include <QTreeWidget>

using namespace Testing;

// The window as a user's hands meet it: key presses and clicks on the real window, and the
// document they leave behind.
class TestHandsOn : public WindowTest
{
    Q_OBJECT

    QString text() { return js("document.body.textContent").replace(QChar(0xa0), ' '); }

    // Shows the home page holding content, the caret after the first `at` characters of the
    // first paragraph's text (at its end when at is negative).
    void showHome(const QString &content, int at = -1)
    {
        QVERIFY(showContent(window.get(), wiki->homePage(), content));
        js(QStringLiteral("var t = document.querySelector('p') || document.body;"
                          "while (t.lastChild) t = t.lastChild; var r = document.createRange();"
                          "r.setStart(t, %1 < 0 ? (t.length || 0) : %1);"
                          "getSelection().removeAllRanges(); getSelection().addRange(r);")
                .arg(at));
    }

    // A shortcut as a user gives it, the next key coming after the page has acted on it (a
    // command reaches the page apart from the keys, which could overtake it).
    void ctrl(Qt::Key key, Qt::KeyboardModifiers more = Qt::NoModifier)
    {
        QTest::keyClick(input(), key, Qt::ControlModifier | more);
        js(QStringLiteral("0"));
    }

    static QString pngBase64(int width)
    {
        QImage image(width, 30, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        image.save(&buffer, "PNG");
        return QString::fromLatin1(bytes.toBase64());
    }

private slots:
    void init()
    {
        openWindow();
        QVERIFY(window->openWiki(
            dir.filePath(QTest::currentTestFunction()) + ".velmora", false, false));
        wiki = window->currentWiki();
    }

    void formattingKeepsTheCaret()
    {
        // The caret jumped back to the start of the word before it, and the typing after the
        // second Ctrl+B landed inside "water".
        showHome(QString());
        QTest::keyClicks(input(), "The garden needs water. ");
        ctrl(Qt::Key_B);
        QTest::keyClicks(input(), "Bold words");
        ctrl(Qt::Key_B);
        QTest::keyClicks(input(), " plain");
        QTRY_COMPARE(text(), "The garden needs water. Bold words plain");
        QCOMPARE(
            js("var b = document.querySelector('b, strong'); b ? b.textContent : ''").trimmed(),
            "Bold words");

        // A selection is formatted and stays selected.
        showHome("<p>My garden plan</p>");
        js("getSelection().selectAllChildren(document.querySelector('p'))");
        ctrl(Qt::Key_I);
        QCOMPARE(editor->selectedText(), "My garden plan");
        QTRY_COMPARE(js("document.querySelector('i, em').textContent"), "My garden plan");

        // Looking at the Format menu leaves a bare caret bare.
        showHome("<p>My garden plan</p>", 6);
        auto *formatMenu = window->findChild<QMenu *>("formatMenu");
        formatMenu->popup(window->mapToGlobal(QPoint(100, 40)));
        QTRY_VERIFY(formatMenu->isVisible());
        formatMenu->close();
        QTRY_COMPARE(js("getSelection().isCollapsed"), "true");
        QTRY_COMPARE(js("getSelection().anchorOffset").toInt(), 6);
    }

    void editingCommandsDoWhatTheySay()
    {
        // Redo before any menu was opened: the action stayed disabled until the Edit menu
        // had been shown once.
        showHome("<p>x</p>");
        QTest::keyClicks(input(), "yz");
        ctrl(Qt::Key_Z);
        QTRY_VERIFY(!text().contains("yz"));
        ctrl(Qt::Key_Y);
        QTRY_COMPARE(text(), "xyz");

        // A web address links to itself and creates no page.
        const int pages = wiki->allPages().size();
        showHome("<p>see https://example.org now</p>");
        js("var t = document.querySelector('p').firstChild; var r = document.createRange();"
           "r.setStart(t, 4); r.setEnd(t, 23); getSelection().removeAllRanges();"
           "getSelection().addRange(r);");
        ctrl(Qt::Key_L);
        QTRY_COMPARE(js("var a = document.querySelector('a'); a ? a.getAttribute('href') : ''"),
            "https://example.org");
        QCOMPARE(wiki->allPages().size(), pages);

        // Return at the end of a link goes on in plain text.
        showHome("<p><a href=\"https://example.org\">link</a></p>");
        QTest::keyClick(input(), Qt::Key_Return);
        QTest::keyClicks(input(), "after");
        QTRY_COMPARE(js("document.querySelectorAll('a').length").toInt(), 1);
        QTRY_COMPARE(js("document.querySelector('a').textContent"), "link");
        QTRY_VERIFY(text().endsWith("after"));
    }

    void picturesCopiedAndResized()
    {
        showHome("<p>ab</p>");
        editor->insertImage(pngBase64(40), "png");
        QTRY_COMPARE(js("document.images[0].complete"), "true");
        // Copy and paste the picture: the copy carried the same id, so "Remove Image" on it
        // removed the original.
        js("var r = document.createRange(); r.selectNode(document.images[0]);"
           "getSelection().removeAllRanges(); getSelection().addRange(r);");
        ctrl(Qt::Key_C);
        // The copy is the page's: the caret moves by script only once it is on the clipboard.
        QTRY_VERIFY(QGuiApplication::clipboard()->mimeData()
            && QGuiApplication::clipboard()->mimeData()->html().contains("<img"));
        js("var p = document.querySelector('p'); var r = document.createRange();"
           "r.selectNodeContents(p); r.collapse(false); getSelection().removeAllRanges();"
           "getSelection().addRange(r);");
        ctrl(Qt::Key_V);
        QTRY_COMPARE(js("document.images.length").toInt(), 2);
        QTRY_COMPARE(js("document.images[0].id !== document.images[1].id"), "true");
        const QString second = js("document.images[1].id");
        QTRY_COMPARE(js("document.images[1].complete"), "true");
        contextMenu(input(), centreOf("img"), "Remove Image");
        QTRY_COMPARE(js("document.images.length").toInt(), 1);
        QTRY_COMPARE(js("document.images[0].id"), second);
        contextMenu(input(), centreOf("img"), "Remove Image");
        QTRY_COMPARE(js("document.images.length").toInt(), 0);

        // Undo after a resize gives the old size back instead of taking the picture away.
        showHome("<p>ab</p>");
        editor->insertImage(pngBase64(40), "png");
        QTRY_COMPARE(js("document.images[0].width").toInt(), 40);
        const QPoint centre = centreOf("img");
        QTest::mouseClick(input(), Qt::LeftButton, {}, centre);
        QTRY_COMPARE(js("$('.ui-resizable-se').length").toInt(), 1);
        const QPoint handle = centreOf(".ui-resizable-se");
        auto send = [this](QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
            QMouseEvent event(type, pos, input()->mapToGlobal(pos),
                type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(input(), &event);
        };
        send(QEvent::MouseButtonPress, handle, Qt::LeftButton);
        for (int step = 1; step <= 8; ++step)
            send(QEvent::MouseMove, handle + QPoint(5 * step, 4 * step), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, handle + QPoint(40, 32), Qt::NoButton);
        QTRY_VERIFY(js("$(document.images[0]).width()").toInt() > 60);
        QTest::mouseClick(input(), Qt::LeftButton, {}, QPoint(5, 5));
        ctrl(Qt::Key_Z);
        QTRY_COMPARE(js("document.images.length").toInt(), 1);
        QTRY_COMPARE(js("$(document.images[0]).width()").toInt(), 40);
    }

    void searchShowsWhereAndNeverBlocks()
    {
        const QString sentence = "My garden plan for spring has tomatoes and beans near the fence.";
        Page *home = wiki->homePage();
        home->setContent("<p>" + sentence + "</p>");
        for (int i = 0; i < 300; ++i) {
            Page *page = wiki->createPage(QStringLiteral("Notes %1").arg(i), nullptr);
            page->setContent(QStringLiteral("<p>garden notes %1 and garden again</p>").arg(i));
        }
        window->sidebar()->setWiki(wiki);
        window->sidebar()->selectItem(home->id());
        auto *box = window->findChild<SearchTextEdit *>();
        auto *tree = window->findChild<QTreeWidget *>("SearchWidgetTree");
        auto *count = window->findChild<QLabel *>("SearchResultsWidgetResultCountLbl");
        QTest::keyClicks(box, "garden");
        QTest::keyClick(box, Qt::Key_Return);
        // The window returns before the search is through; Escape stops it with its hits so far.
        QTRY_VERIFY(tree->topLevelItemCount() > 0);
        QVERIFY(count->text().contains("searching"));
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(count->text().endsWith("search stopped"));
        const int shown = tree->topLevelItemCount();
        QVERIFY(shown < 301);
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(tree->topLevelItemCount(), shown);

        QTest::keyClick(box, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(count->text() == "601 matches in 301 pages", 60000);
        QTreeWidgetItem *first = tree->topLevelItem(0)->child(0);
        const SearchResult hit = first->data(0, Qt::UserRole).value<SearchResult>();
        QCOMPARE(hit.text(), sentence);
        QCOMPARE(hit.text().mid(hit.hitStart(), hit.hitLength()), "garden");

        // A double click on the second hit of a page selects that hit in the editor.
        window->sidebar()->selectItem(wiki->allPages().at(5)->id());
        QTreeWidgetItem *second = tree->topLevelItem(1)->child(1);
        tree->scrollToItem(second);
        const QRect rect = tree->visualItemRect(second);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        QTRY_COMPARE(editor->currentPage()->id(), wiki->allPages().at(1)->id());
        QTRY_COMPARE(editor->selectedText(), "garden");
        QTRY_VERIFY(js("getSelection().anchorOffset").toInt() > 10);
    }

    void previewFollowsTyping()
    {
        showHome("<p>Old words</p>");
        auto *tree = window->sidebar()->tree();
        auto *row = static_cast<SidebarTreeItem *>(tree->topLevelItem(0));
        QCOMPARE(row->preview(), "Old words");
        js("var r = document.createRange(); r.setStart(document.querySelector('p').firstChild, 0);"
           "getSelection().removeAllRanges(); getSelection().addRange(r);");
        QTest::keyClicks(input(), "New ");
        const int made = SidebarTreeItem::previewsMade();
        // Nothing else repaints the sidebar: its own repaint makes the new preview.
        QTRY_VERIFY_WITH_TIMEOUT(SidebarTreeItem::previewsMade() > made, 3000);
        QCOMPARE(row->preview(), "New Old words");
    }

    void missingWikiOnTheCommandLine()
    {
        const QString missing = dir.filePath("notes.velmora");
        QString question;
        answerBox("No", &question);
        window->openStartupWiki(missing);
        QCOMPARE(question,
            QStringLiteral("There is no wiki at %1. Create a new wiki there?")
                .arg(QDir::toNativeSeparators(missing)));
        QVERIFY(!QFile::exists(missing));

        answerBox("Yes");
        window->openStartupWiki(missing);
        QVERIFY(QFile::exists(missing));
        QCOMPARE(window->windowFilePath(), missing);
    }
};

VELMORA_TEST_MAIN(TestHandsOn)
#include "tst_handson.moc"
