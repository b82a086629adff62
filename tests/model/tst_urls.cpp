#include "model/urls.h"
#include "model/utils.h"

#include <QtTest>

class TestUrls : public QObject
{
    Q_OBJECT

private slots:
    void pageLinks()
    {
        const QString id = QStringLiteral("1733480000123");
        const QString url = pageUrl(id);
        QCOMPARE(url, QStringLiteral("file://velmora/?pageid=1733480000123"));
        QVERIFY(isPageUrl(url));
        QCOMPARE(pageIdFromUrl(url), id);
        QVERIFY(!isCommandUrl(url));
        // The prefixes are case-sensitive.
        QVERIFY(!isPageUrl(QStringLiteral("FILE://velmora/?pageid=1733480000123")));
        QVERIFY(!isPageUrl(QStringLiteral("file://velmora/?pageid")));
    }

    void commandLinks_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("isCommand");
        QTest::addColumn<int>("id");
        QTest::newRow("new wiki") << commandUrl(0) << true << 0;
        QTest::newRow("open wiki") << QStringLiteral("file://velmora/?commandid=1") << true << 1;
        QTest::newRow("unlock page") << commandUrl(UnlockPageCommand) << true << 2;
        QTest::newRow("not a number") << QStringLiteral("file://velmora/?commandid=2x") << true
                                      << 0;
        QTest::newRow("empty number") << QStringLiteral("file://velmora/?commandid=") << true
                                      << 0;
        QTest::newRow("page link") << pageUrl(QStringLiteral("2")) << false << 0;
        QTest::newRow("web link") << QStringLiteral("https://example.org/?commandid=1") << false
                                  << 0;
    }

    void commandLinks()
    {
        QFETCH(QString, url);
        QFETCH(bool, isCommand);
        QFETCH(int, id);
        QCOMPARE(isCommandUrl(url), isCommand);
        if (isCommand)
            QCOMPARE(commandIdFromUrl(url), id);
    }

    // The link command made a wiki page named after a selected web address.
    void webAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("url");
        QTest::newRow("https") << "https://example.org" << "https://example.org";
        QTest::newRow("http with path") << " http://example.org/a?b=1 " << "http://example.org/a?b=1";
        QTest::newRow("mailto") << "mailto:ann@example.org" << "mailto:ann@example.org";
        QTest::newRow("www host") << "www.example.org/notes" << "http://www.example.org/notes";
        QTest::newRow("www alone") << "www." << "";
        QTest::newRow("scheme alone") << "https://" << "";
        QTest::newRow("other scheme") << "ftp://example.org" << "";
        QTest::newRow("words") << "Garden plan" << "";
        QTest::newRow("address in words") << "see https://example.org" << "";
    }

    void webAddresses()
    {
        QFETCH(QString, text);
        QTEST(webAddressUrl(text), "url");
    }

    void resourceText()
    {
        QCOMPARE(readResourceText(QStringLiteral("no/such/file")), QString());
        const QString qss = readResourceText(QStringLiteral("qss/style.qss"));
        QVERIFY(qss.contains(QStringLiteral("QToolBar")));
        QVERIFY(!qss.contains(QChar(0)));
    }
};

QTEST_GUILESS_MAIN(TestUrls)
#include "tst_urls.moc"
