#include "app/settings.h"

#include <QStandardPaths>
#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Halvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Velmora-tests"));
    }

    void init() { QSettings().clear(); }

    void emptyStore()
    {
        QVERIFY(Settings::recentWikiList().isEmpty());
        QCOMPARE(Settings::mostRecentWiki(), QString());
        QVERIFY(Settings::lastWindowGeometry().isNull());
        QCOMPARE(Settings::readString(QStringLiteral("missing")), QString());
    }

    void recentListKeepsFiveNewestWithoutDuplicates()
    {
        for (int i = 1; i <= 6; ++i)
            Settings::addRecentWiki(QStringLiteral("/w/%1.velmora").arg(i));
        QCOMPARE(Settings::recentWikiList(),
                 QStringList({"/w/6.velmora", "/w/5.velmora", "/w/4.velmora", "/w/3.velmora",
                              "/w/2.velmora"}));

        // Reopening the third one moves it to the front without a second entry.
        Settings::addRecentWiki(QStringLiteral("/w/4.velmora"));
        QCOMPARE(Settings::recentWikiList(),
                 QStringList({"/w/4.velmora", "/w/6.velmora", "/w/5.velmora", "/w/3.velmora",
                              "/w/2.velmora"}));
        QCOMPARE(Settings::mostRecentWiki(), QStringLiteral("/w/4.velmora"));

        // Paths are compared exactly: another spelling of the same file is a new entry.
        Settings::addRecentWiki(QStringLiteral("/W/4.velmora"));
        QCOMPARE(Settings::recentWikiList().mid(0, 2),
                 QStringList({"/W/4.velmora", "/w/4.velmora"}));
        Settings::addRecentWiki(QStringLiteral("relative/notes.velmora"));
        QCOMPARE(Settings::mostRecentWiki(), QStringLiteral("relative/notes.velmora"));
    }

    void removeAndClear()
    {
        Settings::addRecentWiki(QStringLiteral("a.velmora"));
        Settings::addRecentWiki(QStringLiteral("b.velmora"));
        Settings::removeRecentWiki(QStringLiteral("b.velmora"));
        QCOMPARE(Settings::recentWikiList(), QStringList({"a.velmora"}));
        Settings::removeRecentWiki(QStringLiteral("not there"));
        QCOMPARE(Settings::recentWikiList(), QStringList({"a.velmora"}));

        // Removing the last entry leaves an empty list, not a list holding an empty path.
        Settings::removeRecentWiki(QStringLiteral("a.velmora"));
        QVERIFY(Settings::recentWikiList().isEmpty());
        QCOMPARE(Settings::mostRecentWiki(), QString());

        Settings::addRecentWiki(QStringLiteral("c.velmora"));
        Settings::clearRecentWikiList();
        QVERIFY(Settings::recentWikiList().isEmpty());
        QVERIFY(!QSettings().contains(QStringLiteral("recent_wiki_list")));
    }

    void geometryRoundTrip()
    {
        const QRect geometry(-20, 35, 1234, 567);
        Settings::setLastWindowGeometry(geometry);
        QCOMPARE(Settings::lastWindowGeometry(), geometry);
        // Another settings object (as the next run would open) sees the same value.
        QCOMPARE(QSettings().value(QStringLiteral("last_window_geometry")).toRect(), geometry);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
