#include "../editor/dialoganswers.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "app/updatechecker.h"
#include "editor/editor.h"
#include "editor/imagebutton.h"
#include "model/folder.h"
#include "model/page.h"
#include "model/urls.h"
#include "model/wikidocument.h"
#include "sidebar/sidebar.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

namespace {

void answerText(const QString &text)
{
    answerDialog(
        [text](QWidget *dialog) {
            auto *input = qobject_cast<QInputDialog *>(dialog);
            QVERIFY(input);
            input->setTextValue(text);
            input->accept();
        },
        "QInputDialog");
}

// Clicks the message box button with this text and records the box's title and text.
void answerBox(const QString &button, QString *title = nullptr, QString *text = nullptr)
{
    answerDialog(
        [=](QWidget *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(box);
            if (title)
                *title = box->windowTitle();
            if (text)
                *text = box->text();
            for (QAbstractButton *b : box->buttons()) {
                if (b->text().remove(QLatin1Char('&')) == button) {
                    b->click();
                    return;
                }
            }
            QFAIL(qPrintable("no button " + button));
        },
        "QMessageBox");
}

// Chooses path in the next file dialog through its own accept, overwrite question included.
void chooseFile(const QString &path)
{
    answerDialog(
        [path](QWidget *dialog) {
            auto *files = qobject_cast<QFileDialog *>(dialog);
            QVERIFY(files);
            files->selectFile(path);
            QMetaObject::invokeMethod(files, "accept");
        },
        "QFileDialog");
}

// Types into the password dialog's first line edits and presses OK.
void answerPassword(const QStringList &texts, const QString &button = QStringLiteral("OK"))
{
    answerDialog(
        [=](QWidget *dialog) {
            const QList<QLineEdit *> edits = dialog->findChildren<QLineEdit *>();
            for (int i = 0; i < texts.size() && i < edits.size(); ++i)
                QTest::keyClicks(edits.at(i), texts.at(i));
            for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
                if (b->text().trimmed() == button || (button == "OK" && b->isDefault())) {
                    b->click();
                    return;
                }
            }
            QMetaObject::invokeMethod(dialog, "reject");
        },
        "QDialog");
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

public slots:
    void openedUrl(const QUrl &url) { externalUrls << url; }

private:
    QTemporaryDir dir;
    QList<QUrl> externalUrls;
    QString path(const QString &name) const { return dir.filePath(name); }

    template <typename T = QAction> static T *find(MainWindow &window, const char *name)
    {
        T *child = window.findChild<T *>(QLatin1String(name));
        if (!child)
            qWarning("missing %s", name);
        return child;
    }

    // A window with a fresh wiki holding a top-level page and a folder with one page.
    void makeWiki(MainWindow &window, const QString &file)
    {
        QVERIFY(window.openWiki(file, false, false));
        WikiDocument *wiki = window.currentWiki();
        Folder *folder = wiki->createFolder(QStringLiteral("Travel"));
        window.sidebar()->addItem(folder, nullptr);
        Page *inFolder = wiki->createPage(QStringLiteral("Lisbon"), folder);
        window.sidebar()->addItem(inFolder, folder);
        Page *top = wiki->createPage(QStringLiteral("Ideas"), nullptr);
        window.sidebar()->addItem(top, nullptr);
        window.sidebar()->selectItem(QStringLiteral("1"));
    }

    // Puts the caret at the end of the shown page and types there.
    static void typeIntoPage(MainWindow &window, const QString &text)
    {
        window.editor()->setFocus();
        window.editor()->page()->mainFrame()->evaluateJavaScript(
            "var r = document.createRange(); r.selectNodeContents(document.body);"
            "r.collapse(false); getSelection().removeAllRanges(); getSelection().addRange(r);");
        QTest::keyClicks(window.editor(), text);
    }

    void waitForEditor(MainWindow &window)
    {
        QTRY_VERIFY(window.editor()
                        ->page()
                        ->mainFrame()
                        ->evaluateJavaScript("document.readyState")
                        .toString()
            == QLatin1String("complete"));
    }

private slots:
    void initTestCase()
    {
        // The start-up update check goes to a closed port on this machine, never to the web.
        UpdateChecker::setDefaultServerUrl(QUrl(QStringLiteral("http://127.0.0.1:9")));
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Halvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Velmora-tests"));
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openedUrl");
    }

    void init()
    {
        QSettings().clear();
        externalUrls.clear();
    }

    void cleanup()
    {
        dir.setAutoRemove(!QTest::currentTestFailed());
        QVERIFY(!QApplication::activeModalWidget());
    }

    void newWikiAndRecentFiles()
    {
        MainWindow window;
        // The typed name gets the extension; another spelling of it is kept.
        chooseFile(path("notes"));
        window.onNewWiki();
        QVERIFY(QFile::exists(path("notes.velmora")));
        QCOMPARE(window.windowFilePath(), path("notes.velmora"));
        QCOMPARE(window.currentWiki()->allPages().size(), 1);
        chooseFile(path("travel.VELMORA"));
        window.onNewWiki();
        QVERIFY(QFile::exists(path("travel.VELMORA")));

        // Choosing an existing wiki empties it into a fresh one.
        window.currentWiki()->createPage(QStringLiteral("Old page"), nullptr);
        chooseFile(path("travel.VELMORA"));
        answerBox(QStringLiteral("Yes")); // the file dialog's own overwrite question
        window.onNewWiki();
        QCOMPARE(window.currentWiki()->allPages().size(), 1);

        // Recent files: newest first, mnemonics, at most five, Clear Menu.
        QCOMPARE(find(window, "recentFileAction1")->text(), QStringLiteral("&1 travel.VELMORA"));
        QCOMPARE(find(window, "recentFileAction2")->text(), QStringLiteral("&2 notes.velmora"));
        QVERIFY(!find(window, "recentFileAction3")->isVisible());
        for (int i = 0; i < 5; ++i)
            window.openWiki(path(QStringLiteral("w%1.velmora").arg(i)), true, false);
        QCOMPARE(Settings::recentWikiList().size(), 5);
        QCOMPARE(find(window, "recentFileAction1")->text(), QStringLiteral("&1 w4.velmora"));
        QVERIFY(!Settings::recentWikiList().contains(path("notes.velmora")));

        // A recent entry whose file is gone is reported and dropped.
        QFile::remove(path("w2.velmora"));
        QString title, text;
        answerBox(QStringLiteral("OK"), &title, &text);
        find(window, "recentFileAction3")->trigger();
        QCOMPARE(title, QStringLiteral("Error"));
        QCOMPARE(text, QStringLiteral("The selected file does not exist."));
        QVERIFY(!Settings::recentWikiList().contains(path("w2.velmora")));

        find(window, "clearRecentAction")->trigger();
        QVERIFY(!find<QMenu>(window, "recentFilesMenu")->isEnabled());
        QCOMPARE(Settings::mostRecentWiki(), QString());
    }

    void startupChoice()
    {
        const QString plain = path("plain.velmora");
        const QString locked = path("locked.velmora");
        {
            WikiDocument wiki(locked);
            QVERIFY(wiki.setPassword(QStringLiteral("pw"), QString()));
            QVERIFY(wiki.save());
        }
        {
            WikiDocument wiki(plain);
        }

        Settings::addRecentWiki(plain);
        {
            MainWindow window;
            QCOMPARE(window.windowFilePath(), plain);
        }
        // A protected most-recent wiki is not opened at start-up, and stays in the list.
        Settings::addRecentWiki(locked);
        {
            MainWindow window;
            QVERIFY(!window.currentWiki());
            QCOMPARE(Settings::mostRecentWiki(), locked);
        }
        // A missing most-recent entry is dropped silently.
        Settings::addRecentWiki(path("gone.velmora"));
        {
            MainWindow window;
            QVERIFY(!window.currentWiki());
            QVERIFY(!Settings::recentWikiList().contains(path("gone.velmora")));
        }
        // Named explicitly (as on the command line), the password is asked for.
        MainWindow window;
        answerPassword({QStringLiteral("pw")});
        QVERIFY(window.openWiki(locked, true, false));
        QCOMPARE(window.windowFilePath(), locked);
    }

    void enabledStates()
    {
        MainWindow window;
        // No wiki: only the wiki-level commands work.
        for (const char *name : {"newFolderAction", "deleteFolderAction", "newPageAction",
                 "deletePageAction", "renamePageAction", "wikiPasswordAction", "pagePasswordAction",
                 "boldAction", "createLinkAction"})
            QVERIFY2(!find(window, name)->isEnabled(), name);
        QVERIFY(!find<QMenu>(window, "exportPageMenu")->isEnabled());
        QVERIFY(!find<QMenu>(window, "exportWikiMenu")->isEnabled());
        QVERIFY(find(window, "newWikiAction")->isEnabled());
        QCOMPARE(find(window, "openWikiAction")->statusTip(),
            QStringLiteral("Open an existing Velmora wiki"));

        makeWiki(window, path("states.velmora"));
        WikiDocument *wiki = window.currentWiki();
        // Home page: neither deletable nor renamable.
        QCOMPARE(window.editor()->currentPage(), wiki->homePage());
        QVERIFY(!find(window, "deletePageAction")->isEnabled());
        QVERIFY(!find(window, "renamePageAction")->isEnabled());
        QVERIFY(!find(window, "deleteFolderAction")->isEnabled());
        QVERIFY(find(window, "newPageAction")->isEnabled());
        QVERIFY(find<QMenu>(window, "exportPageMenu")->isEnabled());
        QVERIFY(find<QMenu>(window, "exportWikiMenu")->isEnabled());

        // A page in a folder.
        window.sidebar()->selectItem(wiki->findPageByName("Lisbon")->id());
        QVERIFY(find(window, "deletePageAction")->isEnabled());
        QVERIFY(find(window, "renamePageAction")->isEnabled());
        QVERIFY(find(window, "deleteFolderAction")->isEnabled());

        // A locked page: formatting is off once the editor has the focus, export too.
        Page *ideas = wiki->findPageByName("Ideas");
        QVERIFY(ideas->setPassword(QStringLiteral("pw"), QString()));
        window.sidebar()->selectItem(ideas->id());
        QCOMPARE(window.editor()->currentPage(), ideas);
        window.editor()->clearFocus();
        window.editor()->setFocus();
        window.updateFormatActions();
        window.updateLinkAction();
        QVERIFY(!find(window, "boldAction")->isEnabled());
        QVERIFY(!find(window, "createLinkAction")->isEnabled());
        QVERIFY(!find<QMenu>(window, "exportPageMenu")->isEnabled());
    }

    void keysAndEditMenu()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        makeWiki(window, path("keys.velmora"));
        waitForEditor(window);

        auto *search = window.findChild<QWidget *>(QStringLiteral("SearchTextEdit"));
        QVERIFY(search);
        QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(search->hasFocus());
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.findChild<QWidget *>(QStringLiteral("SearchResultsWidget"))->isVisible());

        // With the caret inside a link, the Edit menu offers to remove it.
        Page *home = window.currentWiki()->homePage();
        home->setContent(QStringLiteral("<p>See <a href='%1'>Ideas</a> now</p>")
                             .arg(pageUrl(window.currentWiki()->findPageByName("Ideas")->id())));
        window.sidebar()->selectItem(window.currentWiki()->findPageByName("Ideas")->id());
        window.sidebar()->selectItem(home->id());
        waitForEditor(window);
        window.editor()->setFocus();
        window.editor()->page()->mainFrame()->evaluateJavaScript(
            "var r = document.createRange(); r.setStart(document.querySelector('a').firstChild, 2);"
            "r.collapse(true); var s = window.getSelection(); s.removeAllRanges(); s.addRange(r);");
        window.updateEditActions();
        QCOMPARE(find(window, "createLinkAction")->text(), QStringLiteral("Remove link"));
        QCOMPARE(
            find<QMenu>(window, "editMenu")->actions().last(), find(window, "createLinkAction"));
    }

    void pageAndFolderCommands()
    {
        MainWindow window;
        const QString file = path("commands.velmora");
        makeWiki(window, file);
        WikiDocument *wiki = window.currentWiki();

        answerText(QStringLiteral("  Garden  "));
        window.onNewPage();
        Page *garden = wiki->findPageByName(QStringLiteral("Garden"));
        QVERIFY(garden);
        QCOMPARE(garden->name(), QStringLiteral("Garden"));
        QCOMPARE(window.editor()->currentPage(), garden);

        // A duplicate name offers the existing page.
        window.sidebar()->selectItem(QStringLiteral("1"));
        answerText(QStringLiteral("ideas"));
        QString title, text;
        answerBox(QStringLiteral("Open 'ideas'"), &title, &text);
        window.onNewPage();
        QCOMPARE(title, QStringLiteral("Page already exists"));
        QCOMPARE(window.editor()->currentPage(), wiki->findPageByName("Ideas"));

        answerText(QStringLiteral("Recipes"));
        window.onNewFolder();
        QVERIFY(wiki->findFolderByName(QStringLiteral("Recipes")));
        answerText(QStringLiteral("recipes"));
        answerBox(QStringLiteral("OK"), &title);
        window.onNewFolder();
        QCOMPARE(title, QStringLiteral("Folder already exists"));

        // Renaming: the same name does nothing, another case of an existing name is refused.
        window.sidebar()->selectItem(garden->id());
        answerText(QStringLiteral("Garden"));
        window.onRenamePage();
        answerText(QStringLiteral("GARDEN"));
        answerBox(QStringLiteral("OK"), &title, &text);
        window.onRenamePage();
        QCOMPARE(text, QStringLiteral("A page with that name already exists."));
        answerText(QStringLiteral("Allotment"));
        window.onRenamePage();
        QCOMPARE(garden->name(), QStringLiteral("Allotment"));

        // Deleting a page: the home page shows, Back skips it, the file no longer holds it.
        answerBox(QStringLiteral("Yes, delete"), &title, &text);
        window.onDeletePage();
        QCOMPARE(title, QStringLiteral("Delete Page?"));
        QCOMPARE(text, QStringLiteral("Do you really want to delete this page?"));
        QCOMPARE(window.editor()->currentPage(), wiki->homePage());
        QVERIFY(!find(window, "deletePageAction")->isEnabled());
        window.onToolbarBackButton();
        QVERIFY(window.editor()->currentPage() != garden);
        QVERIFY(!WikiDocument(file).findPageByName(QStringLiteral("Allotment")));

        // Deleting a folder names it and its pages.
        window.sidebar()->selectItem(wiki->findPageByName("Lisbon")->id());
        answerBox(QStringLiteral("Yes, delete"), &title, &text);
        window.onDeleteFolder();
        QCOMPARE(text,
            QStringLiteral("Do you really want to delete the folder 'Travel' and all "
                           "the pages it contains?"));
        QVERIFY(!WikiDocument(file).findPageByName(QStringLiteral("Lisbon")));
        QCOMPARE(window.editor()->currentPage(), wiki->homePage());
    }

    void links()
    {
        MainWindow window;
        makeWiki(window, path("links.velmora"));
        WikiDocument *wiki = window.currentWiki();
        Page *ideas = wiki->findPageByName("Ideas");
        window.onLinkClicked(QUrl(pageUrl(ideas->id())));
        QCOMPARE(window.editor()->currentPage(), ideas);
        window.onLinkClicked(QUrl(pageUrl(QStringLiteral("404"))));
        QCOMPARE(window.editor()->currentPage(), ideas);

        // Command links 0 and 1 ask for a file; cancelling leaves everything as it was.
        for (int command : {0, 1}) {
            answerDialog(
                [](QWidget *dialog) { QMetaObject::invokeMethod(dialog, "reject"); }, "QDialog");
            window.onLinkClicked(QUrl(commandUrl(command)));
            QCOMPARE(window.currentWiki(), wiki);
        }

        // An external link goes to the desktop, not into the editor.
        window.onLinkClicked(QUrl(QStringLiteral("https://example.org/a")));
        QCOMPARE(externalUrls, QList<QUrl>({QUrl("https://example.org/a")}));
        QCOMPARE(window.editor()->currentPage(), ideas);
    }

    void passwords()
    {
        MainWindow window;
        const QString file = path("passwords.velmora");
        makeWiki(window, file);
        WikiDocument *wiki = window.currentWiki();

        QString title, text;
        answerPassword({QStringLiteral("wiki pw"), QStringLiteral("wiki pw")});
        answerBox(QStringLiteral("OK"), &title, &text);
        window.slotOnWikiPassword();
        QCOMPARE(text, QStringLiteral("This wiki is now password protected."));
        QVERIFY(WikiDocument(file).passwordDescriptor().isSet());
        answerPassword({QStringLiteral("wiki pw")});
        answerBox(QStringLiteral("OK"), &title, &text);
        window.slotOnWikiPassword();
        QCOMPARE(text, QStringLiteral("This wiki is no longer password protected."));
        QVERIFY(!WikiDocument(file).passwordDescriptor().isSet());

        // A page protected stays readable until it is left; then it is locked again.
        Page *ideas = wiki->findPageByName("Ideas");
        window.sidebar()->selectItem(ideas->id());
        answerPassword({QStringLiteral("page pw"), QStringLiteral("page pw")});
        answerBox(QStringLiteral("OK"), &title, &text);
        window.slotOnPagePassword();
        QCOMPARE(text, QStringLiteral("This page is now password protected."));
        QVERIFY(ideas->isUnlocked());
        window.sidebar()->selectItem(QStringLiteral("1"));
        QVERIFY(ideas->isLocked());
        window.sidebar()->selectItem(ideas->id());

        // A wrong or cancelled password changes nothing; the right one unlocks.
        answerDialog(
            [](QWidget *dialog) { QMetaObject::invokeMethod(dialog, "reject"); }, "QDialog");
        window.onLinkClicked(QUrl(commandUrl(UnlockPageCommand)));
        QVERIFY(ideas->isLocked());
        answerPassword({QStringLiteral("page pw")});
        window.onLinkClicked(QUrl(commandUrl(UnlockPageCommand)));
        QVERIFY(ideas->isUnlocked());
        QVERIFY(find<QMenu>(window, "exportPageMenu")->isEnabled());

        answerPassword({QStringLiteral("page pw")});
        answerBox(QStringLiteral("OK"), &title, &text);
        window.slotOnPagePassword();
        QCOMPARE(text, QStringLiteral("This page is no longer password protected."));
        QVERIFY(!WikiDocument(file).findPageByName("Ideas")->passwordDescriptor().isSet());
    }

    void autosaveAndClose()
    {
        const QString file = path("autosave.velmora");
        auto *window = new MainWindow;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        makeWiki(*window, file);
        waitForEditor(*window);
        auto *timer = window->findChild<QTimer *>(QStringLiteral("autosaveTimer"));
        QCOMPARE(timer->interval(), 10000);
        timer->setInterval(100);

        QVERIFY(window->currentWiki()->waitForSaves()); // the saves of makeWiki()
        const QByteArray before = fileBytes(file);
        typeIntoPage(*window, QStringLiteral("typed"));
        QTRY_VERIFY(fileBytes(file) != before);
        const QByteArray once = fileBytes(file);
        QTest::qWait(400);
        QCOMPARE(fileBytes(file), once);
        QVERIFY(WikiDocument(file).homePage()->content().contains(QStringLiteral("typed")));

        window->move(40, 50);
        window->resize(1000, 700);
        typeIntoPage(*window, QStringLiteral(" more"));
        timer->stop();
        QVERIFY(window->close());
        QCOMPARE(Settings::lastWindowGeometry().size(), QSize(1000, 700));
        QVERIFY(WikiDocument(file).homePage()->content().contains(QStringLiteral("more")));
        delete window;
    }

    // Without care, a foreign file became a new wiki over the user's data and replaced the
    // wiki that was open.
    void foreignFileIsNotOpened()
    {
        MainWindow window;
        makeWiki(window, path("kept.velmora"));
        WikiDocument *wiki = window.currentWiki();
        const QString foreign = path("letter.velmora");
        {
            QFile out(foreign);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("Dear diary, this is not a wiki.");
        }
        QString text;
        answerBox(QStringLiteral("OK"), nullptr, &text);
        window.openWiki(foreign, true, false);
        QVERIFY(text.contains(QStringLiteral("letter.velmora")));
        QCOMPARE(window.currentWiki(), wiki);
        QCOMPARE(fileBytes(foreign), QByteArray("Dear diary, this is not a wiki."));
        QVERIFY(!Settings::recentWikiList().contains(foreign));
    }

    // A file without a home page closed the open wiki but left the views pointing into it.
    void wikiWithoutHomePageLeavesNothingBehind()
    {
        const QString noHome = path("nohome.velmora");
        {
            QJsonObject admin {{"version", "2.3.2"}, {"password_descriptor", QJsonObject()}};
            QJsonObject page {{"type", "page"}, {"id", "7"}, {"name", "Orphan"}, {"content", ""}};
            QJsonObject root {{"admin", admin}, {"wiki_items", QJsonArray {page}}};
            QVERIFY(writeWikiData(noHome, documentBytesFromJson(root)));
        }
        MainWindow window;
        makeWiki(window, path("before.velmora"));
        QVERIFY(window.openWiki(noHome, true, false));
        QVERIFY(!window.currentWiki());
        QVERIFY(!window.editor()->currentPage());
        QCOMPARE(window.sidebar()->findChild<QTreeWidget *>()->topLevelItemCount(), 0);
        QVERIFY(!find(window, "newPageAction")->isEnabled());
        QVERIFY(!find(window, "deletePageAction")->isEnabled());
        QVERIFY(!find<QMenu>(window, "exportWikiMenu")->isEnabled());
        QVERIFY(!Settings::recentWikiList().contains(noHome));
        window.onToolbarBackButton(); // the history is empty: nothing to go back to
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
