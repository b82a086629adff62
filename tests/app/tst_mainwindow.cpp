#include "app/settings.h"
#include "testing.h"
#include "widgets/imagebutton.h"

#include <QMenu>
#include <QTreeWidget>

using namespace Testing;

class TestMainWindow : public WindowTest
{
    Q_OBJECT

    QString path(const QString &name) const { return dir.filePath(name); }
    void show(Page *page) const { window->sidebar()->selectItem(page->id()); }

private slots:
    void init() { openWindow(); }

    void newWikiAndRecentFiles()
    {
        // The typed name gets the extension; another spelling of it is kept.
        answerFile(path("notes"));
        action("newWikiAction")->trigger();
        QCOMPARE(window->windowFilePath(), path("notes.velmora"));
        QCOMPARE(window->currentWiki()->allPages().size(), 1);
        answerFile(path("travel.VELMORA"));
        action("newWikiAction")->trigger();
        QVERIFY(QFile::exists(path("travel.VELMORA")));
        // Choosing an existing wiki empties it into a fresh one.
        window->currentWiki()->createPage(QStringLiteral("Old page"), nullptr);
        answerFile(path("travel.VELMORA"));
        action("newWikiAction")->trigger();
        QCOMPARE(window->currentWiki()->allPages().size(), 1);

        // Newest first, with mnemonics, at most five.
        QCOMPARE(action("recentFileAction1")->text(), QStringLiteral("&1 travel.VELMORA"));
        QCOMPARE(action("recentFileAction2")->text(), QStringLiteral("&2 notes.velmora"));
        QVERIFY(!action("recentFileAction3")->isVisible());
        for (int i = 0; i < 5; ++i)
            window->openWiki(path(QStringLiteral("w%1.velmora").arg(i)), true, false);
        QCOMPARE(action("recentFileAction1")->text(), QStringLiteral("&1 w4.velmora"));
        QCOMPARE(Settings::recentWikiList().size(), 5);
        window->openWiki(path("w2.velmora"), true, false); // moves up, no second entry
        QCOMPARE(Settings::recentWikiList().mid(0, 2),
            QStringList({path("w2.velmora"), path("w4.velmora")}));

        // A recent entry whose file is gone is reported and dropped.
        QFile::remove(path("w3.velmora"));
        QString text;
        answerBox(QStringLiteral("OK"), &text);
        action("recentFileAction3")->trigger();
        QCOMPARE(text, QStringLiteral("The selected file does not exist."));
        QVERIFY(!Settings::recentWikiList().contains(path("w3.velmora")));

        action("clearRecentAction")->trigger();
        QVERIFY(!window->findChild<QMenu *>("recentFilesMenu")->isEnabled());
        QVERIFY(Settings::recentWikiList().isEmpty());
    }

    void startupChoice()
    {
        window.reset();
        const QString plain = path("plain.velmora");
        const QString locked = path("locked.velmora");
        {
            WikiDocument protectedWiki(locked);
            QVERIFY(protectedWiki.setPassword(QStringLiteral("pw"), QString()));
            QVERIFY(protectedWiki.save());
            WikiDocument other(plain);
        }
        Settings::addRecentWiki(plain);
        QCOMPARE(makeWindow(true)->windowFilePath(), plain);
        // A missing most recent entry is dropped silently.
        Settings::addRecentWiki(locked);
        Settings::addRecentWiki(path("gone.velmora"));
        QVERIFY(!makeWindow(true)->currentWiki());
        QCOMPARE(Settings::mostRecentWiki(), locked);
        // A protected most recent wiki is not opened at start-up: the welcome page offers it,
        // and the password is asked for then.
        openWindow(true);
        QVERIFY(!window->currentWiki());
        QVERIFY(editorReady(window.get()));
        const QString welcome = js("document.documentElement.outerHTML");
        QVERIFY(welcome.contains("locked.velmora"));
        QVERIFY(welcome.contains(commandUrl(OpenLastWikiCommand)));
        answerPassword({QStringLiteral("pw")});
        window->onLinkClicked(QUrl(commandUrl(OpenLastWikiCommand)));
        QCOMPARE(window->windowFilePath(), locked);
    }

    // Every command's enabled state as one function of the window's state, row by row.
    void enabledStateRules_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("enabled");
        const QString wiki = "newWikiAction openWikiAction newFolderAction newPageAction "
                             "wikiPasswordAction pagePasswordAction exportWikiMenu search";
        const QString editing = " boldAction alignJustifyAction createLinkAction "
                                "insertImageAction formatButton linkButton";
        QTest::newRow("no wiki") << "" << "newWikiAction openWikiAction";
        QTest::newRow("home page") << "wiki page home" << wiki + " exportPageMenu" + editing;
        QTest::newRow("page in a folder")
            << "wiki page folderPage"
            << wiki + " deleteFolderAction deletePageAction renamePageAction deleteButton"
                      " exportPageMenu" + editing;
        QTest::newRow("folder row selected")
            << "wiki page home folderRow" << wiki + " deleteFolderAction renamePageAction exportPageMenu" + editing;
        QTest::newRow("locked page")
            << "wiki page locked" << wiki + " deletePageAction renamePageAction deleteButton";
        QTest::newRow("history both ways")
            << "wiki page home back forward"
            << wiki + " exportPageMenu backButton forwardButton" + editing;
    }

    void enabledStateRules()
    {
        QFETCH(QString, state);
        QFETCH(QString, enabled);
        const QStringList flags = state.split(' ', Qt::SkipEmptyParts);
        WindowState windowState;
        windowState.wikiOpen = flags.contains("wiki");
        windowState.pageShown = flags.contains("page");
        windowState.homePage = flags.contains("home");
        windowState.pageInFolder = flags.contains("folderPage");
        windowState.folderSelected = flags.contains("folderRow");
        windowState.pageLocked = flags.contains("locked");
        windowState.canGoBack = flags.contains("back");
        windowState.canGoForward = flags.contains("forward");

        window->updateActions(windowState);
        QWidget *toolbar = window->findChild<QWidget *>("Toolbar");
        const QList<ImageButton *> buttons = toolbar->findChildren<ImageButton *>();
        QCOMPARE(buttons.size(), 5);
        QList<QPair<QString, QObject *>> items = {{"backButton", buttons.at(0)},
            {"forwardButton", buttons.at(1)}, {"formatButton", buttons.at(2)},
            {"linkButton", buttons.at(3)}, {"deleteButton", buttons.at(4)},
            {"search", window->findChild<QWidget *>("SearchTextEdit")},
            {"exportPageMenu", window->findChild<QMenu *>("exportPageMenu")},
            {"exportWikiMenu", window->findChild<QMenu *>("exportWikiMenu")}};
        for (const char *name : {"newWikiAction", "openWikiAction", "newFolderAction",
                 "newPageAction", "wikiPasswordAction", "pagePasswordAction", "deleteFolderAction",
                 "deletePageAction", "renamePageAction", "boldAction", "alignJustifyAction",
                 "createLinkAction", "insertImageAction"})
            items.append({name, window->findChild<QAction *>(name)});
        QStringList actual;
        for (const auto &item : items) {
            if (item.second->property("enabled").toBool())
                actual << item.first;
        }
        QStringList expected = enabled.split(' ', Qt::SkipEmptyParts);
        actual.sort();
        expected.sort();
        QCOMPARE(actual, expected);
    }

    void pageAndFolderCommands()
    {
        openSample();
        const QString file = wiki->filePath();
        answerText(QStringLiteral("  Garden  "));
        action("newPageAction")->trigger();
        Page *garden = page("Garden");
        QVERIFY(garden);
        QCOMPARE(garden->name(), QStringLiteral("Garden"));
        QCOMPARE(editor->currentPage(), garden);

        // A name taken in another case offers the page that has it.
        QString text, title;
        answerText(QStringLiteral("ideas"));
        answerBox(QStringLiteral("Open 'ideas'"), &text, &title);
        action("newPageAction")->trigger();
        QCOMPARE(title, QStringLiteral("Page already exists"));
        QCOMPARE(editor->currentPage(), page("Ideas"));
        answerText(QStringLiteral("Recipes"));
        action("newFolderAction")->trigger();
        QVERIFY(wiki->findFolderByName(QStringLiteral("Recipes")));
        answerText(QStringLiteral("recipes"));
        answerBox(QStringLiteral("OK"), &text, &title);
        action("newFolderAction")->trigger();
        QCOMPARE(title, QStringLiteral("Folder already exists"));

        // Renaming to another case of an existing name is refused.
        show(garden);
        answerText(QStringLiteral("IDEAS"));
        answerBox(QStringLiteral("OK"), &text);
        action("renamePageAction")->trigger();
        QCOMPARE(text, QStringLiteral("A page with that name already exists."));
        answerText(QStringLiteral("Allotment"));
        action("renamePageAction")->trigger();
        QCOMPARE(garden->name(), QStringLiteral("Allotment"));

        // Deleting a page: the home page shows, Back skips it, the file no longer holds it.
        answerBox(QStringLiteral("Yes, delete"), &text);
        action("deletePageAction")->trigger();
        QCOMPARE(editor->currentPage(), wiki->homePage());
        window->onToolbarBackButton();
        QVERIFY(editor->currentPage() != garden);
        QVERIFY(!WikiDocument(file).findPageByName(QStringLiteral("Allotment")));

        show(page("Lisbon"));
        answerBox(QStringLiteral("Yes, delete"), &text);
        action("deleteFolderAction")->trigger();
        QVERIFY(!WikiDocument(file).findPageByName(QStringLiteral("Lisbon")));
        QCOMPARE(editor->currentPage(), wiki->homePage());
    }

    void links()
    {
        openSample();
        window->onLinkClicked(QUrl(pageUrl(page("Ideas")->id())));
        QCOMPARE(editor->currentPage(), page("Ideas"));
        window->onLinkClicked(QUrl(pageUrl(QStringLiteral("404"))));
        QCOMPARE(editor->currentPage(), page("Ideas"));
        // The welcome document's links ask for a file; cancelling leaves everything as it was.
        for (int command : {0, 1}) {
            cancelDialog();
            window->onLinkClicked(QUrl(commandUrl(command)));
            QCOMPARE(window->currentWiki(), wiki);
        }
    }

    void passwords()
    {
        openSample();
        const QString file = wiki->filePath();
        answerPassword({QStringLiteral("wiki pw"), QStringLiteral("wiki pw")});
        answerBox();
        action("wikiPasswordAction")->trigger();
        QVERIFY(WikiDocument(file).passwordDescriptor().isSet());
        answerPassword({QStringLiteral("wiki pw")});
        answerBox();
        action("wikiPasswordAction")->trigger();
        QVERIFY(!WikiDocument(file).passwordDescriptor().isSet());

        // A page stays readable until it is left; then it is locked again.
        Page *ideas = page("Ideas");
        show(ideas);
        answerPassword({QStringLiteral("page pw"), QStringLiteral("page pw")});
        answerBox();
        action("pagePasswordAction")->trigger();
        QVERIFY(ideas->isUnlocked());
        show(wiki->homePage());
        QVERIFY(ideas->isLocked());
        show(ideas);
        // A wrong or cancelled password changes nothing. The wrong text used to stay in the
        // field, so the right one typed after it failed too.
        answerPassword({QStringLiteral("wrong")});
        cancelDialog();
        window->onLinkClicked(QUrl(commandUrl(UnlockPageCommand)));
        QVERIFY(ideas->isLocked());
        answerPassword({QStringLiteral("wrong")});
        answerPassword({QStringLiteral("page pw")});
        window->onLinkClicked(QUrl(commandUrl(UnlockPageCommand)));
        QVERIFY(ideas->isUnlocked());
        QCOMPARE(editor->currentPage(), ideas);
        answerPassword({QStringLiteral("page pw")});
        answerBox();
        action("pagePasswordAction")->trigger();
        QVERIFY(!WikiDocument(file).findPageByName("Ideas")->passwordDescriptor().isSet());
    }

    void autosaveAndClose()
    {
        openSample();
        const QString file = wiki->filePath();
        auto *timer = window->findChild<QTimer *>(QStringLiteral("autosaveTimer"));
        timer->setInterval(100);
        QVERIFY(window->currentWiki()->waitForSaves()); // the saves of makeWiki()
        const QByteArray before = fileBytes(file);
        caretAtEnd(window.get());
        QTest::keyClicks(input(), QStringLiteral("typed"));
        QTRY_VERIFY(fileBytes(file) != before);
        const QByteArray once = fileBytes(file);
        QTest::qWait(300); // nothing changed since: nothing is written
        QCOMPARE(fileBytes(file), once);

        window->resize(900, 650);
        QTest::keyClicks(input(), QStringLiteral(" more"));
        timer->stop();
        QVERIFY(window->close());
        QCOMPARE(Settings::lastWindowGeometry().size(), QSize(900, 650));
        QVERIFY(WikiDocument(file).homePage()->content().contains(QStringLiteral("more")));
    }

    // A foreign file became a new wiki over the user's data and replaced the open wiki.
    void foreignFileIsNotOpened()
    {
        openSample();
        const QString foreign = path("letter.velmora");
        QVERIFY(putFile(foreign, "Dear diary, this is not a wiki."));
        QString text;
        answerBox(QStringLiteral("OK"), &text);
        window->openWiki(foreign, true, false);
        QVERIFY(text.contains(QStringLiteral("letter.velmora")));
        QCOMPARE(window->currentWiki(), wiki);
        QCOMPARE(fileBytes(foreign), QByteArray("Dear diary, this is not a wiki."));
        QVERIFY(!Settings::recentWikiList().contains(foreign));
    }

    // A file without a home page closed the open wiki but left the views pointing into it.
    void wikiWithoutHomePageLeavesNothingBehind()
    {
        const QString noHome = path("nohome.velmora");
        QVERIFY(writeWikiJson(noHome, {pageJson("7", "Orphan")}));
        openSample();
        QVERIFY(window->openWiki(noHome, true, false));
        QVERIFY(!window->currentWiki());
        QVERIFY(!editor->currentPage());
        QCOMPARE(window->sidebar()->findChild<QTreeWidget *>()->topLevelItemCount(), 0);
        QVERIFY(!action("newPageAction")->isEnabled());
        QVERIFY(!Settings::recentWikiList().contains(noHome));
        window->onToolbarBackButton(); // nothing to go back to
    }
};

VELMORA_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
