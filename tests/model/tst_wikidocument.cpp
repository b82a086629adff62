#include "model/folder.h"
#include "model/legacyimport.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "wikitesting.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace Testing;

namespace {

struct Row
{
    qlonglong id;
    QString name;
    QString content;
};

// A database laid out as earlier releases wrote theirs. Version 0 leaves out the admin table, a
// negative version leaves it empty.
void makeDatabase(const QString &path, int version, const QList<Row> &rows)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "writer");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("CREATE TABLE pages (id INTEGER, name TEXT, content TEXT)"));
        if (version)
            QVERIFY(query.exec("CREATE TABLE admin (db_version INTEGER)"));
        if (version > 0)
            QVERIFY(query.exec(QStringLiteral("INSERT INTO admin VALUES (%1)").arg(version)));
        for (const Row &row : rows) {
            query.prepare("INSERT INTO pages VALUES (?, ?, ?)");
            query.addBindValue(row.id);
            query.addBindValue(row.name);
            query.addBindValue(row.content);
            QVERIFY(query.exec());
        }
    }
    QSqlDatabase::removeDatabase("writer");
}

const QString pageLink = QStringLiteral("<a href=\"file://velmora/?pageid=2\">Two</a>");

} // namespace

class TestWikiDocument : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void cleanup() { dir.setAutoRemove(!QTest::currentTestFailed()); }

    void lookupsAndChanges()
    {
        WikiDocument wiki(path(QStringLiteral("changes.velmora")));
        Folder *folder = wiki.createFolder(QStringLiteral("Notes"));
        Page *notes = wiki.createPage(QStringLiteral("Notes"), folder);
        // The same name in any case returns the existing item, wherever it was asked for.
        QCOMPARE(wiki.createPage(QStringLiteral("notes"), nullptr), notes);
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

    // A snapshot holds every page's text as it was when it was taken, in whichever form the page
    // stores it, and puts each back in its own page; the file then holds them exactly.
    void snapshotTexts()
    {
        const QString file = path(QStringLiteral("texts.velmora"));
        // Empty, ASCII, Latin-1, beyond Latin-1, and Latin-1 too long for the file's Latin-1 form.
        const QStringList texts {QString(), QStringLiteral("<p>plain</p>"),
            QString::fromUtf8("<p>café à la crème</p>"), QString::fromUtf8("<p>Привет, €</p>"),
            QString(0x8000, QChar(0xe9))};
        WikiDocument wiki(file);
        Folder *folder = wiki.createFolder(QStringLiteral("F"));
        QList<Page *> pages;
        for (int i = 0; i < texts.size(); ++i) {
            pages << wiki.createPage(QStringLiteral("p%1").arg(i), i % 2 ? folder : nullptr);
            pages.last()->setContent(texts.at(i));
        }
        const WikiSnapshot snapshot = wiki.snapshot();
        for (Page *page : qAsConst(pages))
            page->setContent(page->content() + QStringLiteral("<p>later</p>"));

        const QJsonObject root = snapshot.completeRoot();
        QHash<QString, QString> contents;
        for (const QJsonValue &item : root.value("wiki_items").toArray()) {
            const QJsonObject object = item.toObject();
            const QJsonArray inside
                = object.contains("pages") ? object.value("pages").toArray() : QJsonArray {object};
            for (const QJsonValue &page : inside)
                contents.insert(page["name"].toString(), page["content"].toString());
        }
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(contents.value(QStringLiteral("p%1").arg(i)), texts.at(i));
        QCOMPARE(snapshot.documentSize(), qint64(documentBytesFromJson(root).size()));

        // The pages' own JSON, folders' pages in place, is what a snapshot puts together.
        QJsonArray items;
        for (const WikiItem *item : wiki.items())
            items.append(item->toJson());
        QCOMPARE(wiki.snapshot().completeRoot().value("wiki_items").toArray(), items);

        QVERIFY(wiki.save());
        WikiDocument reopened(file);
        QCOMPARE(reopened.storedDocumentSize(), reopened.currentDocumentSize());
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(reopened.findPageByName(QStringLiteral("p%1").arg(i))->content(),
                texts.at(i) + QStringLiteral("<p>later</p>"));
        }
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

    void versionOneBodies_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("imported");
        QTest::newRow("whole document") << "<html><head><title>T</title></head><body class=\"x\">"
                                           "<p>Hi</p></body></html>"
                                        << "<p>Hi</p>";
        // The old cut ran to the end of the tag and took the link's address and the picture.
        QTest::newRow("styles in a page with a page link")
            << "<body><p style=\"color: red\">Red</p><a href=\"file://velmora/?pageid=2\" "
               "style='color: blue'>Two</a><img style=width:5px src=\"data:image/png;base64,AA\">"
               " set style=bold &gt; here</body>"
            << "<p>Red</p>" + pageLink
                + "<img src=\"data:image/png;base64,AA\"> set style=bold "
                  "&gt; here";
        QTest::newRow("styles without a page link")
            << "<body><p style=\"color: red\">Red</p><a href=\"https://example.org/\">W</a></body>"
            << "<p style=\"color: red\">Red</p><a href=\"https://example.org/\">W</a>";
    }

    void versionOneBodies()
    {
        QFETCH(QString, stored);
        QFETCH(QString, imported);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        const QString file = path(name + ".velmora");
        makeDatabase(file, 1, {{1, "Home Page", stored}});
        const QByteArray original = fileBytes(file);
        {
            WikiDocument wiki(file);
            QCOMPARE(wiki.homePage()->content(), imported);
            // The copy beside the file is the database as it was before the rewrite.
            QCOMPARE(wiki.legacyBackupPath(), path(name + " (before conversion).velmora"));
            QCOMPARE(fileBytes(wiki.legacyBackupPath()), original);
        }
        // A second import of the rewritten database finds nothing more to cut.
        QCOMPARE(WikiDocument(file).homePage()->content(), imported);
    }

    void openingALegacyWiki()
    {
        const QString file = path("old.velmora");
        // Identifiers of that time were millisecond counts, too large for an int.
        makeDatabase(file, 2,
            {{42, "Answer", "<p>42</p>"}, {1, "Home Page", "<p>Home</p>"},
                {1400000000123, "Old", QString::fromUtf8("<p>Привет</p>")}});
        const QByteArray original = fileBytes(file);
        {
            WikiDocument wiki(file);
            QCOMPARE(wiki.allPageIds(), QStringList({"1", "42", "1400000000123"}));
            QCOMPARE(fileBytes(wiki.legacyBackupPath()), original);
            QCOMPARE(fileBytes(file), original);
            QVERIFY(wiki.save());
        }
        QVERIFY(importLegacyDatabase(file).isEmpty()); // the current format now
        WikiDocument reopened(file);
        QCOMPARE(
            reopened.findPageById("1400000000123")->content(), QString::fromUtf8("<p>Привет</p>"));
        QVERIFY(reopened.legacyBackupPath().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestWikiDocument)
#include "tst_wikidocument.moc"
