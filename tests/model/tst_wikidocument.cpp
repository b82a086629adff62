#include "model/folder.h"
#include "model/page.h"
#include "model/wikidocument.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes a wiki file whose item list is given as JSON, as another writer of the format would.
void writeWiki(const QString &path, const QJsonArray &items, const QString &version = "2.3.2")
{
    QJsonObject admin {{"version", version}, {"password_descriptor", QJsonObject()}};
    QJsonObject root {{"admin", admin}, {"wiki_items", items}};
    QVERIFY(writeWikiData(path, documentBytesFromJson(root)));
}

QJsonObject pageJson(const QString &id, const QString &name)
{
    return QJsonObject {
        {"type", "page"}, {"id", id}, {"name", name}, {"content", "<p>" + name + "</p>"}};
}

QStringList names(const QList<Page *> &pages)
{
    QStringList result;
    for (const Page *page : pages)
        result << page->name();
    return result;
}

} // namespace

class TestWikiDocument : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void cleanup() { dir.setAutoRemove(!QTest::currentTestFailed()); }

    void newWikiFromEmptyOrAbsentFile_data()
    {
        QTest::addColumn<bool>("createEmptyFile");
        QTest::newRow("empty file") << true;
        QTest::newRow("absent file") << false;
    }

    void newWikiFromEmptyOrAbsentFile()
    {
        QFETCH(bool, createEmptyFile);
        const QString file = path(QStringLiteral("new-%1.velmora").arg(createEmptyFile));
        if (createEmptyFile)
            QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        {
            WikiDocument wiki(file);
            QVERIFY(wiki.isValid());
            QVERIFY(!wiki.loadFailed());
            QCOMPARE(wiki.version(), QStringLiteral("2.3.2"));
            QCOMPARE(wiki.items().size(), 1);
            QVERIFY(wiki.homePage());
            QCOMPARE(wiki.homePage()->name(), QStringLiteral("Home Page"));
        }
        // Saved at once: opening it again gives the same single page.
        QVERIFY(QFileInfo(file).size() > 0);
        WikiDocument again(file);
        QCOMPARE(again.allPageIds(), QStringList({"1"}));
    }

    void treeSurvivesSaveAndOpen()
    {
        const QString file = path(QStringLiteral("tree.velmora"));
        {
            WikiDocument wiki(file);
            Folder *projects = wiki.createFolder(QStringLiteral("Projects"));
            Page *ideas = wiki.createPage(QStringLiteral("Ideas"), nullptr);
            wiki.createPage(QStringLiteral("Garden"), projects);
            ideas->setContent(QStringLiteral("<p>Ideas <b>here</b> \u00e9\u4e2d</p>"));
            QVERIFY(ideas->setPassword(QStringLiteral("secret"), QStringLiteral("usual")));
            QVERIFY(wiki.setPassword(QStringLiteral("wiki pass"), QString()));
            QVERIFY(wiki.save());
        }
        WikiDocument wiki(file);
        QCOMPARE(names(wiki.allPages()), QStringList({"Home Page", "Garden", "Ideas"}));
        QCOMPARE(wiki.allFolders().size(), 1);
        Page *ideas = wiki.findPageByName(QStringLiteral("IDEAS"));
        QVERIFY(ideas);
        QCOMPARE(ideas->content(), QStringLiteral("<p>Ideas <b>here</b> \u00e9\u4e2d</p>"));
        QVERIFY(ideas->isLocked());
        QVERIFY(PasswordDescriptor::checkPassword("secret",
            ideas->passwordDescriptor().hashedPassword(), ideas->passwordDescriptor().salt()));
        QVERIFY(wiki.passwordDescriptor().isSet());
        QCOMPARE(wiki.folderOfPage(wiki.findPageByName("garden")->id()), wiki.allFolders().first());
        QVERIFY(!wiki.isPageInFolder(ideas->id()));

        wiki.removePassword();
        WikiDocument reopened(file);
        QVERIFY(!reopened.passwordDescriptor().isSet());
    }

    void lookupsAndChanges()
    {
        WikiDocument wiki(path(QStringLiteral("changes.velmora")));
        Folder *folder = wiki.createFolder(QStringLiteral("Notes"));
        Page *notes = wiki.createPage(QStringLiteral("Notes"), folder);
        QCOMPARE(folder->pages().last(), notes);
        // Same name in any case returns the existing page, wherever it was asked for.
        QCOMPARE(wiki.createPage(QStringLiteral(" notes").trimmed(), nullptr), notes);
        QCOMPARE(wiki.createFolder(QStringLiteral("NOTES")), folder);
        QCOMPARE(wiki.findItem(notes->id()), notes);
        QCOMPARE(wiki.findItem(QStringLiteral("nope")), nullptr);

        // Identifiers stay unique when items are made within one millisecond.
        QSet<QString> ids;
        for (int i = 0; i < 20; ++i)
            ids.insert(wiki.createPage(QStringLiteral("p%1").arg(i), nullptr)->id());
        QCOMPARE(ids.size(), 20);

        wiki.removePage(notes->id());
        QCOMPARE(wiki.findPageById(notes->id()), nullptr);
        QVERIFY(folder->pages().isEmpty());
        QCOMPARE(notes->name(), QStringLiteral("Notes")); // still alive for views that hold it
        wiki.removeFolder(folder->id());
        QVERIFY(wiki.allFolders().isEmpty());

        WikiDocument reopened(wiki.filePath());
        QCOMPARE(reopened.allPages().size(), 21);
        QVERIFY(!reopened.findPageByName(QStringLiteral("Notes")));
    }

    void homePageMovesToFront()
    {
        const QString file = path(QStringLiteral("home-third.velmora"));
        QJsonObject folder {{"type", "folder"}, {"id", "5"}, {"name", "F"},
            {"pages", QJsonArray {pageJson("6", "In folder")}}};
        writeWiki(file,
            {pageJson("2", "A"), QJsonObject {{"type", "Page"}, {"id", "9"}}, folder,
                pageJson("1", "Home Page"), pageJson("3", "B")});
        WikiDocument wiki(file);
        QStringList ids;
        for (const WikiItem *item : wiki.items())
            ids << item->id();
        QCOMPARE(ids, QStringList({"1", "2", "5", "3"}));
    }

    void unreadableFileIsNeverWritten_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("text file") << QByteArray("Shopping list\nmilk\n");
        QTest::newRow("one byte") << QByteArray("\x03");
        QTest::newRow("not a document") << QByteArray(4096, 'x');
    }

    void unreadableFileIsNeverWritten()
    {
        QFETCH(QByteArray, content);
        const QString file = path(QStringLiteral("foreign.velmora"));
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(content);
        }
        {
            WikiDocument wiki(file);
            QVERIFY(wiki.loadFailed());
            QVERIFY(!wiki.isValid());
            QVERIFY(wiki.items().isEmpty());
            QVERIFY(!wiki.save());
        }
        QCOMPARE(fileBytes(file), content);
    }

    void damagedWikiIsLeftAlone()
    {
        const QString file = path(QStringLiteral("damaged.velmora"));
        {
            WikiDocument wiki(file);
            wiki.createPage(QStringLiteral("Kept"), nullptr);
        }
        QByteArray bytes = fileBytes(file);
        bytes[bytes.size() / 2] = char(bytes.at(bytes.size() / 2) ^ 0x20);
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(bytes);
        }
        {
            WikiDocument wiki(file);
            QVERIFY(wiki.loadFailed());
        }
        QCOMPARE(fileBytes(file), bytes);
    }

    void failedSaveKeepsFileAndMemory()
    {
        const QString file = path(QStringLiteral("big.velmora"));
        WikiDocument wiki(file);
        wiki.createPage(QStringLiteral("Small"), nullptr);
        QVERIFY(wiki.waitForSaves());
        const QByteArray before = fileBytes(file);
        // Past about 128 MB the binary JSON form drops data: such a wiki must not be written.
        Page *big = wiki.createPage(QStringLiteral("Big"), nullptr);
        QVERIFY(wiki.waitForSaves());
        const QByteArray goodBytes = fileBytes(file);
        QVERIFY(goodBytes != before);
        big->setContent(QString(70 * 1024 * 1024, QLatin1Char('a')));
        QVERIFY(!wiki.save());
        QCOMPARE(fileBytes(file), goodBytes);
        QCOMPARE(big->content().size(), 70 * 1024 * 1024);
    }
};

QTEST_GUILESS_MAIN(TestWikiDocument)
#include "tst_wikidocument.moc"
