#include "model/wikisaver.h"
#include "testing.h"

namespace {

QJsonObject descriptorJson(const PasswordDescriptor &descriptor)
{
    return QJsonObject {{"hashed_password", descriptor.hashedPassword()},
        {"salt", descriptor.salt()}, {"password_hint", descriptor.passwordHint()}};
}

QJsonObject pageJson(const Page *page)
{
    return QJsonObject {{"type", "page"}, {"id", page->id()}, {"name", page->name()},
        {"content", page->content()},
        {"password_descriptor", descriptorJson(page->passwordDescriptor())}};
}

// The document bytes a save must write for the wiki as it is in memory, built from its fields.
QByteArray expectedDocument(WikiDocument &wiki)
{
    QJsonArray items;
    for (WikiItem *item : wiki.items()) {
        if (Page *page = item->toPage()) {
            items.append(pageJson(page));
            continue;
        }
        QJsonArray pages;
        for (const Page *page : item->toFolder()->pages())
            pages.append(pageJson(page));
        items.append(QJsonObject {
            {"type", "folder"}, {"id", item->id()}, {"name", item->name()}, {"pages", pages}});
    }
    const QJsonObject admin {{"version", wiki.version()},
        {"password_descriptor", descriptorJson(wiki.passwordDescriptor())}};
    return documentBytesFromJson(QJsonObject {{"admin", admin}, {"wiki_items", items}});
}

QByteArray storedDocument(const QString &path)
{
    WikiReadStatus status;
    return readWikiData(path, &status);
}

} // namespace

class TestWikiSaver : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void cleanup() { dir.setAutoRemove(!QTest::currentTestFailed()); }

    // Each page keeps its JSON between saves: a change that did not renew it would write the
    // page as it was before.
    void savesWriteTheWikiInMemory_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("opened, unchanged") << 0;
        QTest::newRow("content typed") << 1;
        QTest::newRow("page renamed") << 2;
        QTest::newRow("page password set") << 3;
        QTest::newRow("page password removed") << 4;
        QTest::newRow("descriptor changed in place") << 5;
        QTest::newRow("pages dragged into a new order") << 6;
        QTest::newRow("wiki password, page created and removed") << 7;
    }

    void savesWriteTheWikiInMemory()
    {
        QFETCH(int, change);
        const QString file = path(QStringLiteral("wiki-%1.velmora").arg(change));
        {
            // Written as other writers of the format do: one page with a key this program
            // leaves out, the others exactly as this program writes them.
            const QJsonObject plain {{"hashed_password", ""}, {"salt", ""}, {"password_hint", ""}};
            const auto page = [&plain](const char *id, const char *name, const char *content) {
                return QJsonObject {{"type", "page"}, {"id", id}, {"name", name},
                    {"content", content}, {"password_descriptor", plain}};
            };
            QJsonObject odd = page("2", "Odd", "<p>odd \u00e9</p>");
            odd.insert("password_descriptor", QJsonObject());
            odd.insert("extra", 1);
            const QJsonArray items {page("1", "Home Page", "<p>Home</p>"), odd,
                QJsonObject {{"type", "folder"}, {"id", "3"}, {"name", "Travel"},
                    {"pages", QJsonArray {page("4", "Lisbon", "<p>tram 28</p>")}}}};
            const QJsonObject admin {{"version", "2.3.2"}, {"password_descriptor", plain}};
            QVERIFY(writeWikiData(file,
                documentBytesFromJson(QJsonObject {{"admin", admin}, {"wiki_items", items}})));
        }
        WikiDocument wiki(file);
        Page *home = wiki.homePage();
        Page *lisbon = wiki.findPageByName(QStringLiteral("Lisbon"));
        QVERIFY(wiki.save()); // every page's JSON is kept from here on
        switch (change) {
        case 1:
            lisbon->setContent(QStringLiteral("<p>tram 28 and 12</p>"));
            break;
        case 2:
            lisbon->setName(QStringLiteral("Porto"));
            break;
        case 3:
            QVERIFY(home->setPassword(QStringLiteral("pw"), QStringLiteral("usual")));
            break;
        case 4:
            QVERIFY(lisbon->setPassword(QStringLiteral("pw"), QString()));
            QVERIFY(wiki.save());
            lisbon->removePassword();
            break;
        case 5:
            lisbon->passwordDescriptor().setPasswordHint(QStringLiteral("hint"));
            break;
        case 6:
            wiki.items().move(1, 2);
            wiki.allFolders().first()->pages().append(wiki.items().takeAt(2)->toPage());
            break;
        case 7: {
            QVERIFY(wiki.setPassword(QStringLiteral("wiki pw"), QStringLiteral("h")));
            Page *made = wiki.createPage(QStringLiteral("Made"), nullptr);
            wiki.createPage(QStringLiteral("Kept"), wiki.allFolders().first());
            wiki.removePage(made->id());
            break;
        }
        default:
            break;
        }
        QVERIFY(wiki.save());
        QCOMPARE(storedDocument(file), expectedDocument(wiki));
    }

    void failedSaveKeepsItsReason()
    {
        const QString folder = path(QStringLiteral("gone"));
        QVERIFY(QDir().mkpath(folder));
        WikiDocument wiki(folder + QStringLiteral("/wiki.velmora"));
        QVERIFY(wiki.waitForSaves());
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(!wiki.save());
        QCOMPARE(wiki.lastSaveError(), QStringLiteral("Its folder no longer exists."));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(wiki.save());
        QVERIFY(wiki.lastSaveError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestWikiSaver)
#include "tst_wikisaver.moc"
