#include "model/legacyimport.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "testing.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

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

using Testing::fileBytes;

class TestLegacyImport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void cleanup()
    {
        dir.setAutoRemove(!QTest::currentTestFailed());
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(path(name));
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
        const QString file = path("v1.velmora");
        makeDatabase(file, 1, {{1, "Home Page", stored}});
        const QByteArray original = fileBytes(file);
        {
            WikiDocument wiki(file);
            QCOMPARE(wiki.homePage()->content(), imported);
            // The copy beside the file is the database as it was before the rewrite.
            QCOMPARE(wiki.legacyBackupPath(), path("v1 (before conversion).velmora"));
            QCOMPARE(fileBytes(wiki.legacyBackupPath()), original);
        }
        // A second import of the rewritten database finds nothing more to cut.
        QCOMPARE(WikiDocument(file).homePage()->content(), imported);
    }

    void filesWithoutWikiData_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("version 3") << 3;
        QTest::newRow("no admin table") << 0;
        QTest::newRow("empty admin table") << -1;
    }

    void filesWithoutWikiData()
    {
        QFETCH(int, version);
        const QString file = path("other.velmora");
        makeDatabase(file, version, {{1, "Home Page", "<body>x</body>"}});
        const QByteArray original = fileBytes(file);
        QVERIFY(importLegacyDatabase(file).isEmpty());
        {
            WikiDocument wiki(file);
            QVERIFY(wiki.loadFailed());
            QVERIFY(!wiki.save());
        }
        QCOMPARE(fileBytes(file), original);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"other.velmora"}));
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

    void olderDocumentForm_data()
    {
        QTest::addColumn<QJsonArray>("pages");
        QTest::addColumn<QStringList>("order");
        auto page = [](const QString &id, const QString &name, int position = 0) {
            QJsonObject object {{"id", id}, {"name", name}, {"content", name}};
            if (position)
                object.insert("sidebar_position", position);
            return object;
        };
        QTest::newRow("no positions: by name") << QJsonArray {page("5", "beta"),
            page("1", "Home Page"), page("6", "Alpha"), page("7", "gamma")}
                                               << QStringList({"1", "6", "5", "7"});
        QTest::newRow("every page placed: by position, ties in array order") << QJsonArray {
            page("5", "a", 3), page("6", "b", -1), page("1", "Home Page"), page("7", "c", 3),
            page("8", "d", 2)} << QStringList({"1", "6", "8", "5", "7"});
        QTest::newRow("one position zero: by name")
            << QJsonArray {page("5", "b", 1), page("6", "a", 0), page("1", "Home Page", 5)}
            << QStringList({"1", "6", "5"});
    }

    void olderDocumentForm()
    {
        QFETCH(QJsonArray, pages);
        QFETCH(QStringList, order);
        const QString file = path("older.velmora");
        const QJsonObject admin {{"version", "2.3.2"}, {"password_descriptor", QJsonObject()}};
        QVERIFY(writeWikiData(file, documentBytesFromJson({{"admin", admin}, {"pages", pages}})));
        const QByteArray original = fileBytes(file);
        WikiDocument wiki(file);
        QCOMPARE(wiki.allPageIds(), order);
        QCOMPARE(fileBytes(wiki.legacyBackupPath()), original);
    }
};

QTEST_GUILESS_MAIN(TestLegacyImport)
#include "tst_legacyimport.moc"
