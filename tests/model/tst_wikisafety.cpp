#include "model/wikifile.h"
#include "model/wikifileguard.h"
#include "model/wikisizebudget.h"
#include "model/wikiversions.h"
#include "testing.h"

#include <QProcess>
#include <QStandardPaths>

using Testing::fileBytes;

namespace {

// Runs a command of the system as another process would.
void runCommand(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    QVERIFY2(process.waitForFinished(30000), qPrintable(program));
    QCOMPARE(process.exitCode(), 0);
}

QStringList pageNames(const QString &path)
{
    bool ok = false;
    QStringList names;
    const QList<Page *> pages = WikiVersions::readPages(path, &ok);
    for (const Page *page : pages)
        names << page->name();
    qDeleteAll(pages);
    return ok ? names : QStringList {"not a wiki"};
}

QJsonObject pageJson(const QString &id, const QString &content)
{
    return Page(id, QStringLiteral("Page ") + id, content).toJson();
}

} // namespace

// The wiki file's guard against changes made outside, the kept versions and the size budget,
// on real files.
class TestWikiSafety : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { dir.setAutoRemove(!QTest::currentTestFailed()); }

    // The window's own test replaces the file with cp; these are the other ways it changes.
    void outsideChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("changed");
        // The time moves but the bytes are ours: a sync tool putting the same file back.
        QTest::newRow("our own bytes copied back") << "cp same" << false;
        QTest::newRow("renamed over") << "mv theirs" << true;
    }

    void outsideChanges()
    {
        QFETCH(QString, change);
        QFETCH(bool, changed);
        const QString path
            = dir.filePath(QStringLiteral("%1.velmora").arg(QTest::currentDataTag()));
        {
            WikiDocument other(path + QStringLiteral(".theirs"));
            other.createPage("Theirs", nullptr);
        }
        WikiDocument wiki(path);
        QVERIFY(wiki.waitForSaves());
        QVERIFY(QFile::copy(path, path + QStringLiteral(".same")));
        runCommand(change.section(' ', 0, 0), {path + "." + change.section(' ', 1), path});
        const QByteArray theirBytes = fileBytes(path);
        QCOMPARE(wiki.fileGuard().check(),
            changed ? WikiFileGuard::DiskState::Changed : WikiFileGuard::DiskState::Unchanged);

        wiki.homePage()->setContent("<p>ours</p>");
        QCOMPARE(wiki.save(), !changed);
        QCOMPARE(wiki.lastWrite(), changed ? GuardedWrite::ChangedOutside : GuardedWrite::Written);
        if (changed) {
            QCOMPARE(fileBytes(path), theirBytes);
            // Overwrite: the user accepts the file on disk as the one to write over.
            wiki.fileGuard().acceptDisk();
            QVERIFY(wiki.save());
        }
        QCOMPARE(WikiDocument(path).homePage()->content(), "<p>ours</p>");
    }

    void versionsOverASession_data()
    {
        QTest::addColumn<qint64>("interval");
        QTest::addColumn<int>("maxCount");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("kept");
        const qint64 plenty = WikiVersions::defaultMaxBytes;
        QTest::newRow("half-hour interval: the file before the first save")
            << WikiVersions::defaultInterval << 10 << plenty << true << 1;
        QTest::newRow("interval passed at every save") << qint64(0) << 10 << plenty << true << 3;
        QTest::newRow("count limit") << qint64(0) << 2 << plenty << true << 2;
        QTest::newRow("byte budget below one copy keeps the newest")
            << qint64(0) << 10 << qint64(10) << true << 1;
        QTest::newRow("turned off") << qint64(0) << 10 << plenty << false << 0;
    }

    void versionsOverASession()
    {
        QFETCH(qint64, interval);
        QFETCH(int, maxCount);
        QFETCH(qint64, maxBytes);
        QFETCH(bool, enabled);
        QFETCH(int, kept);
        const QString path
            = dir.filePath(QStringLiteral("%1.velmora").arg(QTest::currentDataTag()));
        {
            WikiDocument earlier(path);
            earlier.createPage("Save 0", nullptr);
        }
        WikiDocument wiki(path);
        QDir(wiki.versions().folder()).removeRecursively();
        wiki.versions().setInterval(interval);
        wiki.versions().setLimits(maxCount, maxBytes);
        wiki.versions().setEnabled(enabled);
        for (int save = 1; save <= 3; ++save) {
            wiki.createPage(QStringLiteral("Save %1").arg(save), nullptr);
            QVERIFY(wiki.waitForSaves());
        }

        const QVector<WikiVersion> versions = wiki.versions().list();
        QCOMPARE(versions.size(), kept);
        // Newest first; each is the file as it was before a save, and opens as a wiki.
        for (int i = 0; i < versions.size(); ++i) {
            const int saves = interval == 0 ? 2 - i : 0;
            QStringList expected {"Home Page"};
            for (int save = 0; save <= saves; ++save)
                expected << QStringLiteral("Save %1").arg(save);
            QCOMPARE(pageNames(versions.at(i).filePath), expected);
            QVERIFY(versions.at(i).saved.secsTo(QDateTime::currentDateTime()) < 600);
        }
    }

    void sizes_data()
    {
        QTest::addColumn<QJsonArray>("items");
        QTest::addColumn<int>("inserted");
        QTest::addColumn<bool>("latin1");
        const QString latin(5000, QLatin1Char('a'));
        const QString picture = QStringLiteral("<img src=\"data:image/png;base64,%1\">")
                                    .arg(QString(40000, QLatin1Char('Q')));
        QTest::newRow("short Latin-1 page") << QJsonArray {pageJson("1", latin)} << 100 << true;
        QTest::newRow("Latin-1 page grown past 32k characters")
            << QJsonArray {pageJson("1", latin)} << 40000 << true;
        QTest::newRow("page with a picture") << QJsonArray {pageJson("1", picture)} << 7 << true;
        Folder folder("9", "F");
        QJsonObject folderJson = folder.toJson();
        folderJson.insert("pages", QJsonArray {pageJson("2", latin)});
        QTest::newRow("folder") << QJsonArray {pageJson("1", QString()), folderJson} << 1 << false;
    }

    // What the window shows and checks against must be what a save writes.
    void sizes()
    {
        QFETCH(QJsonArray, items);
        QFETCH(int, inserted);
        QFETCH(bool, latin1);
        QJsonObject root {{"admin", QJsonObject {{"version", "2.3.2"}}}, {"wiki_items", items}};
        QCOMPARE(documentSizeOfJson(root), qint64(documentBytesFromJson(root).size()));

        const QString path
            = dir.filePath(QStringLiteral("%1.velmora").arg(QTest::currentDataTag()));
        QVERIFY(writeWikiData(path, documentBytesFromJson(root)));
        WikiDocument wiki(path);
        QVERIFY(wiki.save());
        const qint64 stored = readWikiData(path).size();
        QCOMPARE(wiki.storedDocumentSize(), stored);
        QCOMPARE(wiki.currentDocumentSize(), stored);

        // The cost of an insertion is never below what it adds.
        Page *page = wiki.allPages().constFirst();
        const QString before = page->content();
        page->setContent(before + QString(inserted, latin1 ? QChar(0xe9) : QChar(0x3a9)));
        QVERIFY(wiki.currentDocumentSize() - stored
            <= WikiSizeBudget::costOfInsertion(before, inserted, latin1));
    }

    void largestPicturesAndPages()
    {
        const QString path = dir.filePath("largest.velmora");
        WikiDocument wiki(path);
        const auto img = [](const char *type, int length) {
            return QStringLiteral("<img src=\"data:image/%1;base64,%2\">")
                .arg(QLatin1String(type), QString(length, QLatin1Char('A')));
        };
        wiki.createPage("Small", nullptr)->setContent(img("png", 100));
        wiki.createPage("Big", nullptr)->setContent(img("jpeg", 90000) + img("png", 50000));
        const QVector<WikiSizeBudget::Entry> pictures = WikiSizeBudget::largestPictures(wiki, 2);
        QCOMPARE(pictures.size(), 2);
        QCOMPARE(pictures.at(0).pageName, "Big");
        QCOMPARE(pictures.at(0).format, "jpeg");
        QVERIFY(pictures.at(0).size > 180000);
        QCOMPARE(pictures.at(1).format, "png");
        QCOMPARE(WikiSizeBudget::largestPages(wiki, 1).constFirst().pageName, "Big");
    }
};

QTEST_GUILESS_MAIN(TestWikiSafety)
#include "tst_wikisafety.moc"
