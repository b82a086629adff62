#include "model/page.h"
#include "model/passworddescriptor.h"
#include "model/wikidocument.h"
#include "model/wikifile.h"
#include "wikitesting.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

// The wiki files of tests/corpus were written by an earlier build. Every build must read each of
// them to the same document, and write the same document bytes for it again: the file format
// does not move when the toolkit underneath does.
class TestCorpus : public QObject
{
    Q_OBJECT

private slots:
    void readsAndRewrites_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("wikiPassword");
        QTest::addColumn<QString>("pagePassword");
        const struct
        {
            const char *name, *file, *wikiPassword, *pagePassword;
        } rows[] = {
            {"items, folders, pictures", "items.velmora", "", ""},
            {"emoji, right to left, combining, controls", "text.velmora", "", ""},
            {"wiki and page passwords", "protected.velmora", "wiki pass ü", "page pass 🔑"},
            {"root with pages", "older-form.velmora", "", ""},
            {"database version 1", "legacy-v1.sqlite", "", ""},
            {"database version 2", "legacy-v2.sqlite", "", ""},
        };
        for (const auto &row : rows) {
            QTest::newRow(row.name) << QString(row.file) << QString::fromUtf8(row.wikiPassword)
                                    << QString::fromUtf8(row.pagePassword);
        }
    }

    void readsAndRewrites()
    {
        QFETCH(QString, file);
        QFETCH(QString, wikiPassword);
        QFETCH(QString, pagePassword);
        const QString source = QStringLiteral(VELMORA_CORPUS "/") + file;
        const QJsonObject expected
            = QJsonDocument::fromJson(Testing::fileBytes(source + ".json")).object();
        const QByteArray expectedDocument = Testing::fileBytes(source + ".document");
        QVERIFY(!expected.isEmpty() && !expectedDocument.isEmpty());

        // Opened from a copy: reading an older file converts it and backs it up beside it.
        QTemporaryDir dir;
        const QString copy = dir.filePath(file);
        QVERIFY(QFile::copy(source, copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner));
        WikiDocument wiki(copy);
        QVERIFY(!wiki.loadFailed());
        const QJsonObject root = wiki.snapshot().completeRoot();
        const QJsonArray got = root["wiki_items"].toArray(),
                         want = expected["wiki_items"].toArray();
        for (int i = 0; i < qMin(got.size(), want.size()); ++i)
            QVERIFY2(got.at(i) == want.at(i), qPrintable(QString("item %1").arg(i)));
        QVERIFY(root == expected);

        // The passwords still open what they locked.
        auto opens = [](const PasswordDescriptor &lock, const QString &password) {
            return PasswordDescriptor::checkPassword(password, lock.hashedPassword(), lock.salt());
        };
        QCOMPARE(wiki.passwordDescriptor().isSet(), !wikiPassword.isEmpty());
        QVERIFY(wikiPassword.isEmpty() || opens(wiki.passwordDescriptor(), wikiPassword));
        for (const Page *page : wiki.allPages())
            QVERIFY(!page->isLocked() || opens(page->passwordDescriptor(), pagePassword));

        // The scrambling differs on every write; the document bytes inside must not.
        QVERIFY(wiki.saveCopyTo(copy + ".rewritten"));
        WikiReadStatus status = WikiReadStatus::Empty;
        QCOMPARE(readWikiData(copy + ".rewritten", &status), expectedDocument);
        QCOMPARE(status, WikiReadStatus::Read);
    }
};

QTEST_GUILESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
