#include "model/wikifilecipher.h"
#include "wikifiletestdata.h"

#include <QtEndian>
#include <QtTest>

using Cipher = WikiFileCipher;

class TestWikiFileCipher : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
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
        QTest::newRow("empty, always")
            << int(Cipher::Always) << int(Cipher::Hash) << QByteArray() << 5;
    }

    void roundTrip()
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

    // Files written by earlier releases must stay readable: key bytes are taken least
    // significant first, and each byte is mixed with the enciphered byte before it.
    void streamLayout()
    {
        const quint64 key = Q_UINT64_C(0x0807060504030201);
        Cipher cipher(key);
        cipher.setCompressionMode(Cipher::Never);
        cipher.setProtectionMode(Cipher::None);
        const QByteArray plain("Home Page");
        const QByteArray out = cipher.encrypt(plain);
        QCOMPARE(out.size(), 3 + plain.size());
        QCOMPARE(out.left(2), QByteArray("\x03\x00", 2));
        for (int i = 1; i <= plain.size(); ++i) {
            const quint8 expected
                = quint8(plain.at(i - 1)) ^ quint8(i % 8 + 1) ^ quint8(out.at(i + 1));
            QCOMPARE(quint8(out.at(i + 2)), expected);
        }
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("error");
        Cipher checksummed(Cipher::fileKey);
        checksummed.setCompressionMode(Cipher::Never);
        const QByteArray withChecksum = checksummed.encrypt("some page text");
        Cipher hashed(Cipher::fileKey);
        hashed.setProtectionMode(Cipher::Hash);
        const QByteArray withDigest = hashed.encrypt("some page text");
        // With both check bits set the checksum is used.
        QByteArray checksumAndDigestFlags = withChecksum;
        checksumAndDigestFlags[1] = 6;
        QByteArray digestReadAsChecksum = withDigest;
        digestReadAsChecksum[1] = char(withDigest.at(1) | 2);
        QByteArray wrongVersion = withDigest;
        wrongVersion[0] = 2;

        QTest::newRow("flags 6, checksum intact") << checksumAndDigestFlags << int(Cipher::NoError);
        QTest::newRow("flags 6 over a digest")
            << digestReadAsChecksum << int(Cipher::IntegrityFailed);
        QTest::newRow("format byte 2") << wrongVersion << int(Cipher::UnknownVersion);
        QTest::newRow("digest cut short") << withDigest.left(12) << int(Cipher::IntegrityFailed);
        QTest::newRow("checksum cut short") << withChecksum.left(4) << int(Cipher::IntegrityFailed);
    }

    void failures()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, error);
        Cipher cipher(Cipher::fileKey);
        const QByteArray plain = cipher.decrypt(input);
        QCOMPARE(int(cipher.lastError()), error);
        QCOMPARE(plain.isEmpty(), error != Cipher::NoError);
        if (error == Cipher::NoError)
            QCOMPARE(plain, QByteArray("some page text"));
    }

    void boundedUncompress_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("maxSize");
        QTest::addColumn<bool>("accepted");
        const QByteArray text = QByteArray("wiki ").repeated(20000);
        const QByteArray compressed = qCompress(text, 9);
        auto withSize = [&](quint32 size) {
            QByteArray forged = compressed;
            qToBigEndian(size, forged.data());
            return forged;
        };
        QTest::newRow("intact") << compressed << text.size() << true;
        QTest::newRow("empty input form") << qCompress(QByteArray()) << 0 << true;
        QTest::newRow("size above the cap") << compressed << text.size() - 1 << false;
        QTest::newRow("size too small") << withSize(text.size() - 1) << INT_MAX << false;
        QTest::newRow("size too large") << withSize(text.size() + 1) << INT_MAX << false;
        QTest::newRow("stream cut short")
            << compressed.left(compressed.size() - 5) << INT_MAX << false;
        QTest::newRow("trailing bytes") << compressed + "xx" << INT_MAX << false;
        QTest::newRow("no stream") << QByteArray("\0\0\0\x05", 4) << INT_MAX << false;
    }

    void boundedUncompress()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, maxSize);
        QFETCH(bool, accepted);
        QByteArray out;
        QCOMPARE(Cipher::uncompress(input.constData(), input.size(), maxSize, &out), accepted);
        QCOMPARE(out.isEmpty(), !accepted || maxSize == 0);
    }
};

QTEST_GUILESS_MAIN(TestWikiFileCipher)
#include "tst_wikifilecipher.moc"
