#include "model/folder.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "testing.h"

#include <QTemporaryDir>

using namespace Testing;

static QStringList names(const QList<Page *> &pages)
{
    QStringList result;
    for (const Page *page : pages)
        result << page->name();
    return result;
}

class TestWikiDocument : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void cleanup() { dir.setAutoRemove(!QTest::currentTestFailed()); }

    void newWikiFromEmptyOrAbsentFile_data()
    {
        QTest::addColumn<bool>("emptyFile");
        QTest::newRow("empty file") << true;
        QTest::newRow("absent file") << false;
    }

    void newWikiFromEmptyOrAbsentFile()
    {
        QFETCH(bool, emptyFile);
        const QString file = path(QStringLiteral("new-%1.velmora").arg(emptyFile));
        if (emptyFile)
            QVERIFY(putFile(file, QByteArray()));
        {
            WikiDocument wiki(file);
            QVERIFY(wiki.isValid() && !wiki.loadFailed());
            QCOMPARE(names(wiki.allPages()), QStringList {"Home Page"});
        }
        // Saved at once: opening it again gives the same single page.
        QCOMPARE(WikiDocument(file).allPageIds(), QStringList({"1"}));
    }

    void treeSurvivesSaveAndOpen()
    {
        const QString file = path(QStringLiteral("tree.velmora"));
        const QString content = QStringLiteral("<p>Ideas <b>here</b> \u00e9\u4e2d</p>");
        {
            WikiDocument wiki(file);
            Folder *projects = wiki.createFolder(QStringLiteral("Projects"));
            Page *ideas = wiki.createPage(QStringLiteral("Ideas"), nullptr);
            wiki.createPage(QStringLiteral("Garden"), projects);
            ideas->setContent(content);
            QVERIFY(ideas->setPassword(QStringLiteral("secret"), QStringLiteral("usual")));
            QVERIFY(wiki.setPassword(QStringLiteral("wiki pass"), QString()));
            QVERIFY(wiki.save());
        }
        WikiDocument wiki(file);
        QCOMPARE(names(wiki.allPages()), QStringList({"Home Page", "Garden", "Ideas"}));
        Page *ideas = wiki.findPageByName(QStringLiteral("IDEAS"));
        QCOMPARE(ideas->content(), content);
        QVERIFY(ideas->isLocked());
        QVERIFY(PasswordDescriptor::checkPassword("secret",
            ideas->passwordDescriptor().hashedPassword(), ideas->passwordDescriptor().salt()));
        QCOMPARE(ideas->passwordDescriptor().passwordHint(), QStringLiteral("usual"));
        QVERIFY(wiki.passwordDescriptor().isSet());
        QCOMPARE(wiki.folderOfPage(wiki.findPageByName("garden")->id()), wiki.allFolders().first());
        wiki.removePassword();
        QVERIFY(!WikiDocument(file).passwordDescriptor().isSet());
    }

    void lookupsAndChanges()
    {
        WikiDocument wiki(path(QStringLiteral("changes.velmora")));
        Folder *folder = wiki.createFolder(QStringLiteral("Notes"));
        Page *notes = wiki.createPage(QStringLiteral("Notes"), folder);
        // The same name in any case returns the existing item, wherever it was asked for.
        QCOMPARE(wiki.createPage(QStringLiteral("notes"), nullptr), notes);
        QCOMPARE(wiki.createFolder(QStringLiteral("NOTES")), folder);
        // Identifiers stay unique when items are made within one millisecond.
        QSet<QString> ids;
        for (int i = 0; i < 20; ++i)
            ids.insert(wiki.createPage(QStringLiteral("p%1").arg(i), nullptr)->id());
        QCOMPARE(ids.size(), 20);
        wiki.removePage(notes->id());
        QVERIFY(folder->pages().isEmpty());
        QCOMPARE(notes->name(), QStringLiteral("Notes")); // still alive for views that hold it
        wiki.removeFolder(folder->id());
        WikiDocument reopened(wiki.filePath());
        QCOMPARE(reopened.allPages().size(), 21);
        QVERIFY(reopened.allFolders().isEmpty());
    }

    void homePageMovesToFront()
    {
        const QString file = path(QStringLiteral("home-third.velmora"));
        const QJsonObject folder {{"type", "folder"}, {"id", "5"}, {"name", "F"},
            {"pages", QJsonArray {pageJson("6", "In folder")}}};
        QVERIFY(writeWikiJson(file,
            {pageJson("2", "A"), QJsonObject {{"type", "Page"}, {"id", "9"}}, folder,
                pageJson("1", "Home Page"), pageJson("3", "B")}));
        WikiDocument wiki(file);
        QStringList ids;
        for (const WikiItem *item : wiki.items())
            ids << item->id();
        QCOMPARE(ids, QStringList({"1", "2", "5", "3"}));
    }

    void unreadableFileIsNeverWritten_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: a wiki with one byte changed
        QTest::newRow("text file") << QByteArray("Shopping list\nmilk\n");
        QTest::newRow("one byte") << QByteArray("\x03");
        QTest::newRow("damaged wiki") << QByteArray();
    }

    void unreadableFileIsNeverWritten()
    {
        QFETCH(QByteArray, content);
        const QString file = path(QStringLiteral("foreign.velmora"));
        if (content.isEmpty()) {
            WikiDocument(file).createPage(QStringLiteral("Kept"), nullptr);
            content = fileBytes(file);
            content[content.size() / 2] = char(content.at(content.size() / 2) ^ 0x20);
        }
        QVERIFY(putFile(file, content));
        {
            WikiDocument wiki(file);
            QVERIFY(wiki.loadFailed() && !wiki.isValid());
            QVERIFY(wiki.items().isEmpty());
            QVERIFY(!wiki.save());
        }
        QCOMPARE(fileBytes(file), content);
    }

    // Past about 128 MB the binary JSON form drops data: such a wiki must not be written.
    void tooLargeToSaveKeepsFileAndMemory()
    {
        const QString file = path(QStringLiteral("big.velmora"));
        WikiDocument wiki(file);
        Page *big = wiki.createPage(QStringLiteral("Big"), nullptr);
        QVERIFY(wiki.waitForSaves());
        const QByteArray goodBytes = fileBytes(file);
        big->setContent(QString(70 * 1024 * 1024, QLatin1Char('a')));
        QVERIFY(!wiki.save());
        QCOMPARE(fileBytes(file), goodBytes);
        QCOMPARE(big->content().size(), 70 * 1024 * 1024);
    }
};

QTEST_GUILESS_MAIN(TestWikiDocument)
#include "tst_wikidocument.moc"
