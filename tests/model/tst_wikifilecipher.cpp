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

};

QTEST_GUILESS_MAIN(TestWikiFileCipher)
#include "tst_wikifilecipher.moc"
