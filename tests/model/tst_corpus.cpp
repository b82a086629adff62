#include "model/page.h"
#include "model/passworddescriptor.h"
#include "model/wikidocument.h"
#include "model/wikifile.h"
#include "wikitesting.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

// The wiki files of tests/corpus were written by an earlier build. Every build must read each of
// them to the same document, and write the same document bytes for it again: the file format
// does not move when the toolkit underneath does.

using Testing::fileBytes;

namespace {

const QString corpus = QStringLiteral(VELMORA_CORPUS);

// The first key, page or folder at which two roots part, for a message that says where.
QString firstDifference(const QJsonObject &actual, const QJsonObject &expected)
{
    const QStringList keys = {QStringLiteral("admin"), QStringLiteral("wiki_items")};
    for (const QString &key : keys) {
        if (actual.value(key) == expected.value(key))
            continue;
        const QJsonArray got = actual.value(key).toArray();
        const QJsonArray want = expected.value(key).toArray();
        for (int i = 0; i < qMax(got.size(), want.size()); ++i) {
            if (got.at(i) != want.at(i))
                return QStringLiteral("%1[%2]: got %3")
                    .arg(key)
                    .arg(i)
                    .arg(QString::fromUtf8(QJsonDocument(got.at(i).toObject())
                                               .toJson(QJsonDocument::Compact)
                                               .left(400)));
        }
        return key;
    }
    return QStringLiteral("keys: ") + actual.keys().join(QLatin1Char(' '));
}

} // namespace

class TestCorpus : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

private slots:
    void readsAndRewrites_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("wikiPassword");
        QTest::addColumn<QString>("pagePassword");
        QTest::addColumn<int>("pageCount");

        QTest::newRow("items, folders, pictures") << "items.velmora"
                                                  << ""
                                                  << "" << 6;
        QTest::newRow("emoji, right to left, combining, controls") << "text.velmora"
                                                                   << ""
                                                                   << "" << 6;
        QTest::newRow("wiki and page passwords") << "protected.velmora"
                                                 << "wiki pass ü"
                                                 << "page pass 🔑" << 3;
        QTest::newRow("root with pages") << "older-form.velmora"
                                         << ""
                                         << "" << 3;
        QTest::newRow("database version 1") << "legacy-v1.sqlite"
                                            << ""
                                            << "" << 3;
        QTest::newRow("database version 2") << "legacy-v2.sqlite"
                                            << ""
                                            << "" << 3;
    }

    void readsAndRewrites()
    {
        QFETCH(QString, file);
        QFETCH(QString, wikiPassword);
        QFETCH(QString, pagePassword);
        QFETCH(int, pageCount);
        const QString source = corpus + QLatin1Char('/') + file;
        QJsonParseError error;
        const QJsonObject expected
            = QJsonDocument::fromJson(fileBytes(source + ".json"), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QByteArray expectedDocument = fileBytes(source + ".document");
        QVERIFY(!expectedDocument.isEmpty());

        // Opened from a copy: reading an earlier release's file converts it and backs it up beside it.
        QVERIFY(dir.isValid());
        const QString copy = dir.filePath(file);
        QVERIFY(QFile::copy(source, copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner));
        WikiDocument wiki(copy);
        QVERIFY(!wiki.loadFailed());
        QCOMPARE(wiki.allPages().size(), pageCount);
        const QJsonObject root = wiki.snapshot().root;
        QVERIFY2(root == expected, qPrintable(firstDifference(root, expected)));

        const PasswordDescriptor &wikiLock = wiki.passwordDescriptor();
        QCOMPARE(wikiLock.isSet(), !wikiPassword.isEmpty());
        if (wikiLock.isSet()) {
            QVERIFY(PasswordDescriptor::checkPassword(
                wikiPassword, wikiLock.hashedPassword(), wikiLock.salt()));
        }
        int lockedPages = 0;
        for (const Page *page : wiki.allPages()) {
            if (!page->isLocked())
                continue;
            ++lockedPages;
            const PasswordDescriptor &lock = page->passwordDescriptor();
            QVERIFY(PasswordDescriptor::checkPassword(
                pagePassword, lock.hashedPassword(), lock.salt()));
            QVERIFY(!PasswordDescriptor::checkPassword(
                wikiPassword, lock.hashedPassword(), lock.salt()));
        }
        QCOMPARE(lockedPages, pagePassword.isEmpty() ? 0 : 1);

        // The scrambling differs on every write; the document bytes inside must not.
        const QString rewritten = copy + ".rewritten";
        QVERIFY(wiki.saveCopyTo(rewritten));
        WikiReadStatus status = WikiReadStatus::Empty;
        const QByteArray document = readWikiData(rewritten, &status);
        QCOMPARE(status, WikiReadStatus::Read);
        QCOMPARE(document.size(), expectedDocument.size());
        const auto parted
            = std::mismatch(document.begin(), document.end(), expectedDocument.begin());
        QVERIFY2(document == expectedDocument,
            qPrintable(
                QStringLiteral("first differing byte at %1").arg(parted.first - document.begin())));
    }
};

QTEST_GUILESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
