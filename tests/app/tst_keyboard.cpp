#include "app/settings.h"
#include "app/startupgeometry.h"
#include "search/searchresultswidget.h"
#include "search/searchtextedit.h"
#include "sidebar/sidebartree.h"
#include "sidebar/sidebartreeitem.h"
#include "testing.h"

#include <QInputDialog>
#include <QListWidget>
#include <QScreen>

using namespace Testing;

// The window driven from the keyboard alone, as a user without a mouse would.
class TestKeyboard : public WindowTest
{
    Q_OBJECT

    SidebarTree *tree() const { return window->sidebar()->tree(); }
    // The focus in the window, which is made active again after a dialog, as a window
    // manager does.
    QWidget *focus() const
    {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            return nullptr;
        // The page takes the keys in the view's input widget.
        QWidget *focused = QApplication::focusWidget();
        return focused && focused == input() ? editor : focused;
    }
    // A key as the user presses it: to whatever has the focus, shortcuts first.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QWidget *target = focus();
        QTest::keyClick(target ? target : window.get(), Qt::Key(key), modifiers);
    }
    // Types into the editor once its page has loaded and holds a caret.
    bool typeInPage(const QString &text) const
    {
        if (!editorReady(window.get()) || focus() != editor)
            return false;
        QTest::keyClicks(input(), text);
        return true;
    }

private slots:
    void init()
    {
        openSample();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void sidebarChoosesAndTypingLandsInThePage()
    {
        // A click leaves the focus in the sidebar, where typing jumps to the name typed.
        const QRect home = tree()->visualItemRect(tree()->itemById(QStringLiteral("1")));
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, home.center());
        QCOMPARE(focus(), tree());
        QTest::keyClicks(tree(), QStringLiteral("id"));
        QCOMPARE(editor->currentPage(), page("Ideas"));
        QCOMPARE(focus(), tree());

        // The arrows open the page above; Enter puts the caret in it. Before, typed text
        // went nowhere until the page was clicked.
        for (int i = 0; i < 5 && editor->currentPage() != wiki->homePage(); ++i)
            press(Qt::Key_Up);
        QCOMPARE(editor->currentPage(), wiki->homePage());
        QCOMPARE(focus(), tree());
        press(Qt::Key_Return);
        QVERIFY(typeInPage(QStringLiteral("Typed ")));
        QTRY_VERIFY(wiki->homePage()->content().startsWith(QStringLiteral("Typed ")));
    }

    void focusCycle()
    {
        window->findChild<SearchTextEdit *>()->setText(QStringLiteral("page"));
        window->onRunSearch();
        auto *results = window->findChild<SearchResultsWidget *>();
        QTRY_VERIFY(!results->isSearching());
        tree()->setFocus();
        QWidget *const cycle[] = {
            editor, window->findChild<SearchTextEdit *>(), results->focusProxy(), tree()};
        for (QWidget *next : cycle) {
            press(Qt::Key_F6);
            QCOMPARE(focus(), next);
        }
        press(Qt::Key_F6, Qt::ShiftModifier);
        QCOMPARE(focus(), cycle[2]);
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(focus(), tree());
        // Tab in the page indents instead of leaving it.
        press(Qt::Key_F6);
        QVERIFY(editorReady(window.get()));
        press(Qt::Key_Tab);
        QCOMPARE(focus(), editor);
        // Outside the page, Ctrl+F goes to the search box (in the page it opens the find bar);
        // Escape there closes the results.
        tree()->setFocus();
        press(Qt::Key_F, Qt::ControlModifier);
        QTRY_COMPARE(focus(), cycle[1]);
        press(Qt::Key_Escape);
        QVERIFY(!results->isVisible());
        // Escape in the page as well: the page script reports it.
        window->onRunSearch();
        QTRY_VERIFY(results->isVisible() && !results->isSearching());
        QTest::keyClick(input(), Qt::Key_Escape);
        QTRY_VERIFY(!results->isVisible());
    }

    void backAndGoToPage()
    {
        window->sidebar()->selectItem(page("Ideas")->id());
        QCOMPARE(focus(), editor);
        press(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(editor->currentPage(), wiki->homePage());
        press(Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(editor->currentPage(), page("Ideas"));

        // Part of a name, in any case, narrows the list; Enter opens the page with the caret.
        QStringList listed;
        answerDialog("GoToPageDialog", [&listed](QWidget *dialog) {
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("goToPageEdit"));
            QTest::keyClicks(edit, QStringLiteral("iS"));
            for (auto *item : dialog->findChildren<QListWidget *>().first()->findItems(
                     QStringLiteral("*"), Qt::MatchWildcard))
                listed << item->text();
            QTest::keyClick(edit, Qt::Key_Return);
        });
        press(Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(listed, QStringList({QStringLiteral("Lisbon")}));
        QCOMPARE(editor->currentPage(), page("Lisbon"));
        QVERIFY(typeInPage(QStringLiteral("Trams")));
        QTRY_VERIFY(page("Lisbon")->content().startsWith(QStringLiteral("Trams")));
        // Escape closes the box and leaves everything as it was.
        answerDialog("GoToPageDialog",
            [](QWidget *dialog) { QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape); });
        press(Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(editor->currentPage(), page("Lisbon"));
    }

    void renameAndDeleteFromTheSidebar_data()
    {
        QTest::addColumn<QString>("row");
        QTest::newRow("page") << "Ideas";
        QTest::newRow("folder") << "Travel";
    }

    void renameAndDeleteFromTheSidebar()
    {
        QFETCH(QString, row);
        WikiItem *item = page(row);
        if (!item)
            item = wiki->findFolderByName(row);
        tree()->setFocus();
        window->sidebar()->selectItem(item->id());

        // Rename used to start from an empty field.
        QString selected;
        answerDialog("QInputDialog", [&selected](QWidget *dialog) {
            auto *edit = dialog->findChild<QLineEdit *>();
            selected = edit->selectedText();
            QTest::keyClicks(edit, QStringLiteral("Renamed"));
            static_cast<QInputDialog *>(dialog)->accept();
        });
        press(Qt::Key_F2);
        QCOMPARE(selected, row);
        QCOMPARE(item->name(), QStringLiteral("Renamed"));

        // The question names what goes and, for a page, the links that become plain text.
        wiki->homePage()->setContent(
            QStringLiteral("<a href=\"%1\">a</a> <a href=\"%1\">b</a>").arg(pageUrl(item->id())));
        QString question;
        answerBox(QStringLiteral("Cancel"), &question);
        press(Qt::Key_Delete);
        QVERIFY2(question.contains(QStringLiteral("Renamed")), qPrintable(question));
        QCOMPARE(question.contains(QStringLiteral("The 2 links to it")), item->isPage());
        answerBox(QStringLiteral("Yes, delete"));
        press(Qt::Key_Delete);
        QVERIFY(!tree()->itemById(item->id()));
    }

    void newPageTextIsReplacedByTyping()
    {
        answerText(QStringLiteral("Garden"));
        press(Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(editor->currentPage(), page("Garden"));
        // The first words used to glue onto "This is a page about 'Garden'".
        QVERIFY(typeInPage(QStringLiteral("Roses")));
        QTRY_COMPARE(page("Garden")->content(), QStringLiteral("Roses"));
    }

    void windowFitsTheScreen_data()
    {
        QTest::addColumn<QRect>("stored");
        QTest::newRow("fits") << QRect(20, 30, 770, 520);
        // A restart at another scale once gave 2800 x 1800 on a smaller screen.
        QTest::newRow("larger than the screen") << QRect(0, 0, 2800, 1800);
        QTest::newRow("off the screen") << QRect(-3000, 5000, 600, 400);
        QTest::newRow("below the minimum") << QRect(10, 10, 200, 150);
        QTest::newRow("no area") << QRect(10, 10, 0, 500);
    }

    void windowFitsTheScreen()
    {
        QFETCH(QRect, stored);
        Settings::setLastWindowGeometry(stored);
        window.reset();
        openWindow(true);
        applyStartupGeometry(window.get(), Settings::lastWindowGeometry());
        const QRect shown(window->pos(), window->size());
        const QRect screen = window->screen()->availableGeometry();
        // A stored rectangle without area counts as missing.
        if (stored.isEmpty()) {
            QCOMPARE(window->size(), defaultWindowSize(screen.size()));
            return;
        }
        QVERIFY(screen.contains(shown));
        QCOMPARE(window->size(), window->size().expandedTo(window->minimumSize()));
        if (QByteArray(QTest::currentDataTag()) == "fits")
            QCOMPARE(shown, stored);
    }
};

VELMORA_TEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
