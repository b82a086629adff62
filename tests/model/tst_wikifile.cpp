#include "model/wikifile.h"
#include "model/wikifilecipher.h"
#include "wikifiletestdata.h"
#include "wikitesting.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <QtEndian>

#include <unistd.h>

#include <vector>

namespace {

using Cipher = WikiFileCipher;

// The document of a wiki whose one page holds content.
QByteArray document(const QString &content)
{
    const QJsonObject admin {{"version", "2.3.2"}, {"password_descriptor", QJsonObject()}};
    return documentBytesFromJson({{"admin", admin},
        {"wiki_items", QJsonArray {Testing::pageJson("1", "Home Page", content)}}});
}

using Testing::fileBytes;
using Testing::processStatusKb;
using Testing::putFile;

// {"x": [[...[]...]]} with depth arrays, each holding `copies` values that all point at the
// same inner array. Built in one pass: Qt's own writer would need a stack frame per level.
QByteArray nestedDocument(int depth, int copies)
{
    std::vector<quint32> sizes(depth + 1, 12);
    for (int level = 1; level <= depth; ++level)
        sizes[level] = 12 + sizes[level - 1] + 4 * copies;
    const quint32 rootSize = 12 + 8 + sizes[depth] + 4;
    // Every field of this layout sits on a 4-byte boundary.
    std::vector<quint32> words((8 + rootSize) / 4, 0);
    auto put
        = [&words](quint32 offset, quint32 value) { words[offset / 4] = qToLittleEndian(value); };
    put(0, 0x736a6271); // "qbjs"
    put(4, 1);
    put(8, rootSize);
    put(12, (1 << 1) | 1); // an object with one entry
    put(16, 20 + sizes[depth]);
    put(20, 4 | (1 << 4) | (20 << 5)); // an array under a Latin-1 key, 20 bytes into the root
    put(24, 1 | ('x' << 16));
    put(8 + 20 + sizes[depth], 12);
    for (int level = depth; level >= 0; --level) {
        const quint32 start = 8 + 20 + 12 * (depth - level);
        const quint32 table = level ? 12 + sizes[level - 1] : 12;
        put(start, sizes[level]);
        put(start + 4, level ? copies << 1 : 0);
        put(start + 8, table);
        for (int i = 0; level && i < copies; ++i)
            put(start + table + 4 * i, 4 | (12 << 5));
    }
    return QByteArray(reinterpret_cast<const char *>(words.data()), int(8 + rootSize));
}

// A file holding a readable digest over a compressed payload that names the given size.
QByteArray fileWithNamedSize(quint32 namedSize)
{
    QByteArray payload = qCompress(QByteArray("<p>x</p>"), 9);
    qToBigEndian(namedSize, payload.data());
    WikiFileCipher cipher(WikiFileCipher::fileKey);
    cipher.setCompressionMode(WikiFileCipher::Never);
    cipher.setProtectionMode(WikiFileCipher::Hash);
    QByteArray file = cipher.encrypt(payload);
    file[1] = WikiFileCipher::HashFlag | WikiFileCipher::CompressedFlag; // not enciphered
    return file;
}

// Runs the helper program; its exit code, or -1 when it did not finish.
int runHelper(const QStringList &arguments)
{
    QProcess helper;
    helper.start(QStringLiteral(WIKIFILE_HELPER), arguments);
    return helper.waitForFinished(30000) && helper.exitStatus() == QProcess::NormalExit
        ? helper.exitCode()
        : -1;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

Q_DECLARE_METATYPE(WikiReadStatus)

class TestWikiFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *m_dir = nullptr;
    QString path(const QString &name) const { return m_dir->filePath(name); }

private slots:
    void init() { m_dir = new QTemporaryDir; }
    void cleanup()
    {
        m_dir->setAutoRemove(!QTest::currentTestFailed());
        delete m_dir;
    }

    void cipherModes_data()
    {
        QTest::addColumn<int>("compression");
        QTest::addColumn<int>("protection");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<int>("flags");
        const QByteArray text = QByteArray("<p>Notes</p>").repeated(200);
        const QByteArray noise = randomBytes(3000, 7);
        QTest::newRow("always, digest") << int(Cipher::Always) << int(Cipher::Hash) << text << 5;
        QTest::newRow("auto compresses text")
            << int(Cipher::Auto) << int(Cipher::Checksum) << text << 3;
        QTest::newRow("auto keeps noise as it is")
            << int(Cipher::Auto) << int(Cipher::Checksum) << noise << 2;
    }

    void cipherModes()
    {
        QFETCH(int, compression);
        QFETCH(int, protection);
        QFETCH(QByteArray, plain);
        QFETCH(int, flags);
        Cipher cipher(Cipher::fileKey);
        cipher.setCompressionMode(Cipher::CompressionMode(compression));
        cipher.setProtectionMode(Cipher::ProtectionMode(protection));
        const QByteArray encrypted = cipher.encrypt(plain);
        QCOMPARE(cipher.lastError(), Cipher::NoError);
        QCOMPARE(int(encrypted.at(0)), 3);
        QCOMPARE(int(encrypted.at(1)), flags);
        QCOMPARE(Cipher(Cipher::fileKey).decrypt(encrypted), plain);
    }

    void readStatus_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // not written for the first two rows
        QTest::addColumn<WikiReadStatus>("status");
        WikiFileCipher cipher(WikiFileCipher::fileKey);
        cipher.setProtectionMode(WikiFileCipher::Hash);
        QTest::newRow("absent file") << "new.velmora" << QByteArray() << WikiReadStatus::Empty;
        QTest::newRow("missing folder")
            << "no/such/folder.velmora" << QByteArray() << WikiReadStatus::OpenFailed;
        QTest::newRow("empty file") << "w" << QByteArray("") << WikiReadStatus::Empty;
        QTest::newRow("text file") << "w" << QByteArray("notes\n") << WikiReadStatus::Unreadable;
        QTest::newRow("database of an earlier release")
            << "w" << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0')
            << WikiReadStatus::Unreadable;
        QTest::newRow("intact file, no document")
            << "w" << cipher.encrypt(QByteArray()) << WikiReadStatus::Unreadable;
        // 49 bytes that made qUncompress() reserve 1.7 GB.
        QTest::newRow("forged inflated size")
            << "w" << fileWithNamedSize(1700000000) << WikiReadStatus::Unreadable;
    }

    // Reading tells a new wiki from a file that must be left alone, and never changes a file.
    void readStatus()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(WikiReadStatus, status);
        if (!bytes.isNull())
            QVERIFY(putFile(path(name), bytes));

        WikiReadStatus found;
        const qint64 peakBefore = processStatusKb("VmPeak");
        QVERIFY(readWikiData(path(name), &found).isEmpty());
        QCOMPARE(found, status);
        // Nothing near a size a file names was ever reserved.
        QVERIFY(processStatusKb("VmPeak") - peakBefore < 64 * 1024);
        if (status != WikiReadStatus::OpenFailed) {
            QVERIFY(QFileInfo::exists(path(name)));
            QCOMPARE(fileBytes(path(name)), bytes);
        }
    }

    void everyChangedByteIsNoticed()
    {
        QVERIFY(writeWikiData(path("w"), document("x")));
        const QByteArray good = fileBytes(path("w"));
        for (int i = 2; i < good.size(); ++i) {
            for (const quint8 change : {0x01, 0xff}) {
                QByteArray bad = good;
                bad[i] = char(bad.at(i) ^ change);
                // A new file each time: ext4 waits for the disk when a file is truncated and
                // refilled.
                const QString file = path(QStringLiteral("%1-%2").arg(i).arg(change));
                QVERIFY(putFile(file, bad));
                WikiReadStatus status;
                readWikiData(file, &status);
                QVERIFY2(status == WikiReadStatus::Unreadable, qPrintable(file));
                QCOMPARE(fileBytes(file), bad);
            }
        }
    }

    void hostileDocuments_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<bool>("accepted");
        QByteArray overflowingRoot = nestedDocument(1, 1);
        qToLittleEndian(quint32(0xfffffff8), overflowingRoot.data() + 8);
        // Two levels for the root object and the outermost array's value, the rest arrays.
        QTest::newRow("nesting at the limit") << nestedDocument(maxDocumentDepth - 2, 1) << true;
        QTest::newRow("one level deeper") << nestedDocument(maxDocumentDepth - 1, 1) << false;
        // Overflowed the stack inside QJsonDocument::fromBinaryData(), validation or not.
        QTest::newRow("100000 nested arrays") << nestedDocument(100000, 1) << false;
        // Every level's two values share one inner array: 2^40 arrays from 1 kB.
        QTest::newRow("shared arrays") << nestedDocument(40, 2) << false;
        QTest::newRow("root size past the end") << overflowingRoot << false;
        QTest::newRow("cut short") << nestedDocument(3, 1).chopped(4) << false;
    }

    void hostileDocuments()
    {
        QFETCH(QByteArray, document);
        QFETCH(bool, accepted);
        bool ok = !accepted;
        const QJsonObject root = jsonFromDocumentBytes(document, &ok);
        QCOMPARE(ok, accepted);
        QCOMPARE(root.contains("x"), accepted);
    }

    // Truncating and refilling the file in place lost the whole wiki to a kill halfway. The
    // helper has the saver's worker thread save the wikis of the files first and second in
    // turn, again and again, so that the kills land anywhere in its converting, compressing
    // and writing. Each round waits for none, one or two finished saves first, then kills a
    // moment later.
    void killWhileSaving()
    {
        const int size = 1 << 20;
        const QByteArray documents[] = {
            document(randomBytes(size, 1).toBase64()), document(randomBytes(size, 2).toBase64())};
        const QString file = path("killed.velmora");
        QVERIFY(writeWikiData(path("first"), documents[0]));
        QVERIFY(writeWikiData(path("second"), documents[1]));
        QVERIFY(QFile::copy(path("first"), file));
        const QStringList keep {"first", "second", "killed.velmora"};
        bool seenNew = false;
        int kills = 0;
        for (; kills < 10 || !seenNew; ++kills) {
            QVERIFY2(kills < 200, "no kill left the newer wiki in place");
            QProcess helper;
            helper.start(
                QStringLiteral(WIKIFILE_HELPER), {"loop", file, path("first"), path("second")});
            for (int lines = 0; lines < 1 + kills % 3;) {
                QVERIFY2(helper.waitForReadyRead(60000), "the saving helper stopped");
                while (helper.canReadLine() && helper.readLine().size())
                    ++lines;
            }
            // qSleep takes no zero: a kill at once is what a pause of one millisecond gives.
            QTest::qSleep(1 + QRandomGenerator::global()->bounded(40));
            helper.kill();
            QVERIFY(helper.waitForFinished(60000));

            WikiReadStatus status;
            const QByteArray read = readWikiData(file, &status);
            QCOMPARE(status, WikiReadStatus::Read);
            QVERIFY(read == documents[0] || read == documents[1]);
            seenNew = seenNew || read == documents[1];
            // A killed save leaves its unfinished new file behind.
            for (const QString &name : filesIn(m_dir->path())) {
                if (!keep.contains(name))
                    QFile::remove(path(name));
            }
        }
    }

    void helperSaves_data()
    {
        QTest::addColumn<int>("mode"); // of the folder
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("writable folder") << 0x7777 << 8000 << true << true;
        QTest::newRow("folder without write permission") << 0x5555 << 8000 << false << false;
        // The new file is in place but cannot be made to last: the folder could not be synced.
        QTest::newRow("folder without read permission") << 0x3333 << 8000 << false << true;
        // A save into a full file system once reported success and left a truncated file. The
        // helper may write files of one megabyte at most, in chunks that divide it.
        QTest::newRow("space ends inside a write") << 0x7777 << (3 << 19) << false << false;
        QTest::newRow("new file fits exactly") << 0x7777 << (1 << 20) << true << true;
    }

    // Root ignores permissions, so the save runs in a helper that gives them up first.
    void helperSaves()
    {
        QFETCH(int, mode);
        QFETCH(int, size);
        QFETCH(bool, saved);
        QFETCH(bool, replaced);
        const QString folder = path("folder");
        const QString file = folder + "/wiki.velmora";
        const QByteArray old = randomBytes(256 << 10, 3);
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(putFile(file, old));
        // The file itself stays writable: a save must not fall back to writing it in place.
        QVERIFY(QFile::setPermissions(file, QFileDevice::Permissions(0x6666)));
        QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7555)));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(mode)));
        auto restore
            = qScopeGuard([&] { QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)); });
        QStringList arguments {"write", file, QString::number(size), "4", QString::number(1 << 20)};
        if (geteuid() == 0)
            arguments << "as-nobody";
        QCOMPARE(runHelper(arguments), saved ? 0 : 1);
        QCOMPARE(fileBytes(file), replaced ? randomBytes(size, 4) : old);
        QCOMPARE(filesIn(folder), QStringList {"wiki.velmora"});
    }
};

QTEST_GUILESS_MAIN(TestWikiFile)
#include "tst_wikifile.moc"
