#include "model/wikidocument.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// A second copy started with a wiki while one runs hands the wiki to the running copy.
class TestInstanceChannel : public QObject
{
    Q_OBJECT

private slots:
    void secondCopyHandsItsWikiOver()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString runtime = dir.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString config = dir.filePath(QStringLiteral("config"));
        const QString settingsFile = config + QStringLiteral("/Halvane/Velmora.conf");
        // Never the web site from a test.
        QSettings(settingsFile, QSettings::IniFormat)
            .setValue(QStringLiteral("check_for_updates_at_startup"), false);
        const QString first = dir.filePath(QStringLiteral("first.velmora"));
        const QString second = dir.filePath(QStringLiteral("second.velmora"));
        for (const QString &path : {first, second})
            QVERIFY(WikiDocument(path).homePage());

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), dir.path());
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        QProcess running;
        running.setProcessEnvironment(env);
        running.start(QStringLiteral(VELMORA_BINARY), {first});
        QVERIFY(running.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(runtime + QStringLiteral("/velmora.socket")), 30000);

        QProcess started;
        started.setProcessEnvironment(env);
        started.start(QStringLiteral(VELMORA_BINARY), {second});
        QVERIFY2(started.waitForFinished(60000), "the second copy did not leave");
        QCOMPARE(started.exitStatus(), QProcess::NormalExit);
        QCOMPARE(started.exitCode(), 1);

        // The running window opened the wiki: it leads the recent list it keeps in the settings.
        const QStringList expected {second, first};
        QTRY_COMPARE_WITH_TIMEOUT(QSettings(settingsFile, QSettings::IniFormat)
                                      .value(QStringLiteral("recent_wiki_list"))
                                      .toStringList(),
            expected, 30000);
        QCOMPARE(running.state(), QProcess::Running);
        running.terminate();
        if (!running.waitForFinished(10000)) {
            running.kill();
            running.waitForFinished();
        }
        dir.setAutoRemove(!QTest::currentTestFailed());
    }
};

QTEST_GUILESS_MAIN(TestInstanceChannel)

#include "tst_instancechannel.moc"
