#include "model/folder.h"
#include "model/page.h"

#include <QJsonArray>
#include <QtTest>

#include <memory>

static QJsonObject pageJson(const QJsonValue &type, const QJsonValue &descriptor = QJsonValue())
{
    QJsonObject json {{"id", "5"}, {"name", "Notes"}, {"content", "<p>x</p>"}};
    if (!type.isUndefined())
        json.insert("type", type);
    if (!descriptor.isUndefined())
        json.insert("password_descriptor", descriptor);
    return json;
}

class TestWikiItems : public QObject
{
    Q_OBJECT

private slots:
    void roundTrips()
    {
        Page page("1733480000123", "Notes", "<p>Caf&eacute; <b>list</b></p>");
        page.passwordDescriptor().setHashedPassword("$2a$12$hash");
        page.passwordDescriptor().setSalt("$2a$12$salt");
        page.passwordDescriptor().setPasswordHint(" hint ");
        page.setModified(true);
        const QJsonObject json = page.toJson();
        QCOMPARE(
            json.keys(), QStringList({"content", "id", "name", "password_descriptor", "type"}));
        std::unique_ptr<WikiItem> item(WikiItem::fromJson(json));
        QCOMPARE(item->toPage()->toJson(), json);
        QVERIFY(item->toPage()->isLocked() && !item->toPage()->isModified());

        // The copy the metatype system makes keeps every field, flags included.
        const Page copy = QVariant::fromValue(page).value<Page>();
        QCOMPARE(copy.toJson(), json);
        QVERIFY(copy.isModified() && !copy.isLocked());

        Page second("12", "Second");
        Folder folder("10", "Projects");
        folder.addPage(&second);
        folder.addPage(&page);
        item.reset(WikiItem::fromJson(folder.toJson()));
        QCOMPARE(item->toFolder()->toJson(), folder.toJson());
        QCOMPARE(item->toFolder()->pages().at(1)->id(), QStringLiteral("1733480000123"));
        qDeleteAll(item->toFolder()->pages());
    }

    void reading_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("locked");
        const QJsonObject hash {{"hashed_password", "$2a$12$x"}, {"salt", "$2a$12$"}};
        QTest::newRow("page") << pageJson("page") << "page" << false;
        QTest::newRow("folder") << pageJson("folder") << "folder" << false;
        QTest::newRow("Page") << pageJson("Page") << "" << false;
        QTest::newRow("FOLDER") << pageJson("FOLDER") << "" << false;
        QTest::newRow("type missing") << pageJson(QJsonValue::Undefined) << "" << false;
        QTest::newRow("type a number") << pageJson(1) << "" << false;
        QTest::newRow("empty hash")
            << pageJson("page", QJsonObject {{"hashed_password", ""}}) << "page" << false;
        QTest::newRow("hash not a string")
            << pageJson("page", QJsonObject {{"hashed_password", 5}}) << "page" << false;
        QTest::newRow("hash set") << pageJson("page", hash) << "page" << true;
    }

    void reading()
    {
        QFETCH(QJsonObject, json);
        QFETCH(QString, type);
        QFETCH(bool, locked);
        std::unique_ptr<WikiItem> item(WikiItem::fromJson(json));
        QCOMPARE(item ? item->type() : QString(), type);
        if (Page *page = item ? item->toPage() : nullptr) {
            QCOMPARE(page->isLocked(), locked);
            QCOMPARE(page->passwordDescriptor().isSet(), locked);
        }
    }

    void folderElementsArePages()
    {
        const QJsonObject json {{"type", "folder"}, {"pages", QJsonArray {pageJson("folder")}}};
        std::unique_ptr<Folder> folder(Folder::fromJson(json));
        QCOMPARE(folder->pages().size(), 1);
        QVERIFY(folder->pages().at(0)->isPage());
        QCOMPARE(folder->pages().at(0)->name(), QStringLiteral("Notes"));
        qDeleteAll(folder->pages());
    }

    void defaultContent()
    {
        QCOMPARE(Page("9", "Ideas").content(), QStringLiteral("This is a page about 'Ideas'"));
        QCOMPARE(Page("1", "Ideas").content(),
            QStringLiteral("Welcome to Velmora. This is your new home page."));
        // Put in unescaped, the name was taken as markup and "<Draft>" vanished from the page.
        QCOMPARE(Page("9", "<Draft> & co").content(),
            QStringLiteral("This is a page about '&lt;Draft&gt; &amp; co'"));
    }

    void preview_data()
    {
        const QString hundred = QString(50, 'a') + QString(50, 'b');
        const QString emoji = QString::fromUtf8("\U0001F600");
        QTest::addColumn<QString>("content");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QString>("preview");
        QTest::newRow("locked") << "<p>Secret plans</p>" << true << "* PASSWORD PROTECTED *";
        QTest::newRow("markup") << "<h2>Plan</h2><ul><li>one</li></ul>" << false << "Plan one";
        QTest::newRow("entities") << "Fish &amp; chips &lt;3" << false << "Fish & chips <3";
        QTest::newRow("non-Latin") << QString::fromUtf8("<b>Ελληνικά</b> 日本語") << false
                                   << QString::fromUtf8("Ελληνικά 日本語");
        QTest::newRow("150 characters")
            << "<p>" + hundred + QString(50, 'c') + "</p>" << false << hundred;
        // A cut through a surrogate pair left half an emoji at the end of the line.
        QTest::newRow("pair at the cut")
            << QString(99, 'a') + emoji + "tail" << false << QString(99, 'a');
        QTest::newRow("pair before the cut")
            << QString(98, 'a') + emoji + "tail" << false << QString(98, 'a') + emoji;
    }

    void preview()
    {
        QFETCH(QString, content);
        QFETCH(bool, locked);
        QFETCH(QString, preview);
        Page page("9", "Plans", content);
        page.setLocked(locked);
        QCOMPARE(page.plainTextPreview(), preview);
    }

    void passwords()
    {
        Page page("9", "Plans");
        // Stored, a blank password would lock the page for good: it can never be entered.
        QVERIFY(!page.setPassword("   ", ""));
        QVERIFY(!page.isLocked() && !page.passwordDescriptor().isSet());

        QVERIFY(page.setPassword(" pass ", "usual"));
        QVERIFY(page.isLocked());
        const PasswordDescriptor &descriptor = page.passwordDescriptor();
        QCOMPARE(descriptor.passwordHint(), QStringLiteral("usual"));
        QVERIFY(PasswordDescriptor::checkPassword(
            " pass ", descriptor.hashedPassword(), descriptor.salt()));

        page.removePassword();
        QVERIFY(!page.isLocked());
        QCOMPARE(page.toJson().value("password_descriptor").toObject(),
            QJsonObject({{"hashed_password", ""}, {"salt", ""}, {"password_hint", ""}}));
    }
};

QTEST_MAIN(TestWikiItems)
#include "tst_wikiitems.moc"
