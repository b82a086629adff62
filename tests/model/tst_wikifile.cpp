#include "model/wikifile.h"
#include "model/wikifilecipher.h"
#include "wikifiletestdata.h"

#include <QJsonArray>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <vector>

namespace {

QJsonObject page(const QString &id, const QString &name, const QString &content)
{
    return QJsonObject {{"id", id}, {"name", name}, {"type", "page"}, {"content", content},
        {"password_descriptor", QJsonObject {{"hashed_password", ""}, {"salt", ""}, {"hint", ""}}}};
}

QJsonObject wiki(const QJsonArray &items)
{
    const QJsonObject descriptor {{"hashed_password", ""}, {"salt", ""}, {"hint", ""}};
    return QJsonObject {
        {"admin", QJsonObject {{"version", "2.3.2"}, {"password_descriptor", descriptor}}},
        {"wiki_items", items}};
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool putContents(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

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
    put(0, QJsonDocument::BinaryFormatTag);
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

    void roundTrip_data()
    {
        QTest::addColumn<QJsonObject>("root");
        QTest::newRow("home page only") << wiki({page("1", "Home Page", "<p>Welcome</p>")});
        QTest::newRow("folder, unicode, numbers")
            << wiki({page("1", "Home", QString::fromUtf8("Grüße ✓ 日本")),
                   QJsonObject {{"id", "1733480000123"}, {"name", "Folder"}, {"type", "folder"},
                       {"pages", QJsonArray {page("17", "Ä", "")}},
                       {"numbers", QJsonArray {0, -5, 1 << 26, 1.5, 1e300}}}});
        QTest::newRow("empty root") << QJsonObject();
        QTest::newRow("several megabytes") << wiki({page("1", "Big", QString(3 << 20, 'a')),
            page("2", QString(40000, 'k'), QString::fromUtf8("ж").repeated(40000))});
    }

    void roundTrip()
    {
        QFETCH(QJsonObject, root);
        const QByteArray document = documentBytesFromJson(root);
        QVERIFY(!document.isEmpty());
        QVERIFY(writeWikiData(path("wiki.velmora"), document));
        QCOMPARE(contents(path("wiki.velmora")).left(2), QByteArray("\x03\x05"));

        WikiReadStatus status;
        QCOMPARE(readWikiData(path("wiki.velmora"), &status), document);
        QCOMPARE(status, WikiReadStatus::Read);
        bool ok = false;
        QCOMPARE(jsonFromDocumentBytes(document, &ok), root);
        QVERIFY(ok);
    }

    void savesDifferFromOffsetTwo()
    {
        const QByteArray document = documentBytesFromJson(wiki({page("1", "Home", "<p>x</p>")}));
        QVERIFY(writeWikiData(path("a"), document));
        const QByteArray first = contents(path("a"));
        // The random first byte repeats one save in 256; try again until it differs.
        QByteArray second = first;
        for (int attempt = 0; attempt < 20 && second.at(2) == first.at(2); ++attempt) {
            QVERIFY(writeWikiData(path("b"), document));
            second = contents(path("b"));
        }
        QCOMPARE(second.size(), first.size());
        QCOMPARE(second.left(2), first.left(2));
        for (int i = 2; i < first.size(); ++i)
            QVERIFY2(first.at(i) != second.at(i), qPrintable(QString::number(i)));
        QCOMPARE(readWikiData(path("b")), document);
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
        QTest::newRow("one byte") << "w" << QByteArray("\x03") << WikiReadStatus::Unreadable;
        QTest::newRow("two bytes") << "w" << QByteArray("\x03\x05") << WikiReadStatus::Unreadable;
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
            QVERIFY(putContents(path(name), bytes));

        WikiReadStatus found;
        QVERIFY(readWikiData(path(name), &found).isEmpty());
        QCOMPARE(found, status);
        if (status != WikiReadStatus::OpenFailed) {
            QVERIFY(QFileInfo::exists(path(name)));
            QCOMPARE(contents(path(name)), bytes);
        }
    }

    void everyChangedByteIsNoticed()
    {
        QVERIFY(writeWikiData(path("w"), documentBytesFromJson(wiki({page("1", "H", "x")}))));
        const QByteArray good = contents(path("w"));
        for (int i = 2; i < good.size(); ++i) {
            for (const quint8 change : {0x01, 0xff}) {
                QByteArray bad = good;
                bad[i] = char(bad.at(i) ^ change);
                // A new file each time: ext4 waits for the disk when a file is truncated and
                // refilled.
                const QString file = path(QStringLiteral("%1-%2").arg(i).arg(change));
                QVERIFY(putContents(file, bad));
                WikiReadStatus status;
                readWikiData(file, &status);
                QVERIFY2(status == WikiReadStatus::Unreadable, qPrintable(file));
                QCOMPARE(contents(file), bad);
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
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        QTest::newRow("root is an array")
            << QJsonDocument(QJsonArray {1, 2}).toBinaryData() << false;
        QT_WARNING_POP
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

    void documentTooLarge_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("stored");
        // Texts longer than 32767 characters take two bytes a character: 2 MB a page.
        QTest::newRow("126 MB") << 63 << true;
        // Qt's binary form stops at 128 MB and then leaves items out without failing.
        QTest::newRow("130 MB") << 65 << false;
    }

    void documentTooLarge()
    {
        QFETCH(int, pages);
        QFETCH(bool, stored);
        QJsonArray items;
        for (int i = 0; i < pages; ++i)
            items.append(page(QString::number(i + 1), QString::number(i), QString(1 << 20, 'p')));
        const QByteArray document = documentBytesFromJson(wiki(items));
        QCOMPARE(!document.isEmpty(), stored);
        if (stored) {
            bool ok = false;
            const QJsonArray read
                = jsonFromDocumentBytes(document, &ok).value("wiki_items").toArray();
            QCOMPARE(read.size(), pages);
            QCOMPARE(read.last().toObject().value("content").toString().size(), 1 << 20);
        }
    }

    // Truncating and refilling the file in place lost the whole wiki to a kill halfway. The
    // helper has the saver's worker thread save the wikis of the files first and second in
    // turn, again and again, so that the kills land anywhere in its converting, compressing
    // and writing.
    void killWhileSaving()
    {
        const int size = 1 << 20;
        const auto bigWiki = [size](unsigned seed) {
            return documentBytesFromJson(
                wiki({page("1", "Home Page", randomBytes(size, seed).toBase64())}));
        };
        const QByteArray documents[] = {bigWiki(1), bigWiki(2)};
        const QString file = path("killed.velmora");
        QVERIFY(writeWikiData(path("first"), documents[0]));
        QVERIFY(writeWikiData(path("second"), documents[1]));
        QVERIFY(QFile::copy(path("first"), file));
        const QStringList keep {"first", "second", "killed.velmora"};
        bool seenNew = false;
        int kills = 0;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 8000) {
            QProcess helper;
            helper.start(
                QStringLiteral(WIKIFILE_HELPER), {"loop", file, path("first"), path("second")});
            QVERIFY(helper.waitForReadyRead(10000));
            QTest::qSleep(1 + QRandomGenerator::global()->bounded(300));
            helper.kill();
            QVERIFY(helper.waitForFinished());
            ++kills;

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
        QVERIFY(kills >= 10);
        QVERIFY(seenNew);
    }

    void saveWithoutWritePermission_data()
    {
        QTest::addColumn<bool>("folderWritable");
        QTest::newRow("folder without write permission") << false;
        QTest::newRow("writable folder") << true;
    }

    // Root ignores permissions, so the save runs in a helper that gives them up first.
    void saveWithoutWritePermission()
    {
        QFETCH(bool, folderWritable);
        const QString folder = path("folder");
        const QString file = folder + "/wiki.velmora";
        const QByteArray old = randomBytes(5000, 3);
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(putContents(file, old));
        // The file itself stays writable: a save must not fall back to writing it in place.
        QVERIFY(QFile::setPermissions(file, QFileDevice::Permissions(0x6666)));
        QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7555)));
        QVERIFY(QFile::setPermissions(
            folder, QFileDevice::Permissions(folderWritable ? 0x7777 : 0x5555)));
        auto restore
            = qScopeGuard([&] { QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)); });

        QStringList arguments {"write", file, "8000", "4", "0"};
        if (geteuid() == 0)
            arguments << "as-nobody";
        QCOMPARE(runHelper(arguments), folderWritable ? 0 : 1);
        QCOMPARE(contents(file), folderWritable ? randomBytes(8000, 4) : old);
        QCOMPARE(filesIn(folder), QStringList {"wiki.velmora"});
    }

    void fullDisk_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("saved");
        // One megabyte is free; writes are made in chunks that divide it.
        QTest::newRow("space ends inside a write") << (3 << 19) << false;
        QTest::newRow("space ends on a write boundary") << (2 << 20) << false;
        QTest::newRow("new file fits exactly") << (1 << 20) << true;
    }

    // A save into a full file system once reported success and left a truncated file.
    void fullDisk()
    {
        QFETCH(int, size);
        QFETCH(bool, saved);
        const int freeSpace = 1 << 20;
        const QString folder = path("disk");
        const QString file = folder + "/wiki.velmora";
        const QByteArray old = randomBytes(256 << 10, 5);
        QVERIFY(QDir().mkdir(folder));

        // A small file system of its own where mounting is allowed; else a limit on the size
        // of the files the saving process may write.
        const bool mounted
            = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=4m") == 0;
        auto unmount = qScopeGuard([&] {
            if (mounted)
                ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
        });
        QVERIFY(putContents(file, old));
        bool result;
        if (mounted) {
            const int filler = ::open(
                QFile::encodeName(folder + "/filler").constData(), O_WRONLY | O_CREAT, 0600);
            QVERIFY(filler >= 0);
            const QByteArray block(4096, 'f');
            off_t filled = 0;
            while (::write(filler, block.constData(), block.size()) == block.size())
                filled += block.size();
            QCOMPARE(::ftruncate(filler, filled - freeSpace), 0);
            ::close(filler);
            result = writeFile(file, randomBytes(size, 6));
        } else {
            result
                = runHelper({"write", file, QString::number(size), "6", QString::number(freeSpace)})
                == 0;
        }
        QCOMPARE(result, saved);
        QCOMPARE(contents(file), saved ? randomBytes(size, 6) : old);
        QStringList expected {"wiki.velmora"};
        if (mounted)
            expected.prepend("filler");
        QCOMPARE(filesIn(folder), expected);
    }
};

QTEST_GUILESS_MAIN(TestWikiFile)
#include "tst_wikifile.moc"
