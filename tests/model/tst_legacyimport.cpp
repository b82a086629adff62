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

QTEST_GUILESS_MAIN(TestLegacyImport)
#include "tst_legacyimport.moc"
