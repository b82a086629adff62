#include "editor/webenginearguments.h"

#include <QTest>

// The engine's switches are added to the user's QTWEBENGINE_CHROMIUM_FLAGS, never in their place.
class TestWebEngineArguments : public QObject
{
    Q_OBJECT

private slots:
    void chromiumFlags_data();
    void chromiumFlags();
};

void TestWebEngineArguments::chromiumFlags_data()
{
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("none") << QByteArray() << QByteArray("--js-flags=--optimize-for-size");
    QTest::newRow("user's switches after ours")
        << QByteArray("  --disable-gpu\t--lang=de ")
        << QByteArray("--js-flags=--optimize-for-size --disable-gpu --lang=de");
    QTest::newRow("script flags joined")
        << QByteArray("--js-flags=--jitless")
        << QByteArray("\"--js-flags=--optimize-for-size --jitless\"");
    QTest::newRow("quoted switches kept whole")
        << QByteArray("\"--js-flags=--a --b\" \"--user-agent=A B\"")
        << QByteArray("\"--js-flags=--optimize-for-size --a --b\" \"--user-agent=A B\"");
}

void TestWebEngineArguments::chromiumFlags()
{
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, expected);
    QCOMPARE(WebEngineArguments::chromiumFlags(user), expected);
}

QTEST_APPLESS_MAIN(TestWebEngineArguments)
#include "tst_webenginearguments.moc"
