#include "model/commandline.h"
#include "testing.h"

#include <QApplication>
#include <QLockFile>
#include <QProcess>
#include <QSettings>

#include <sys/stat.h>
#include <unistd.h>

// The real program, started with its temporary folder in folder and its home and settings in
// home, or folder too. With no runtime folder, it finds none and falls back on the temporary
// one. As "nobody" when asNobody, through setpriv: tests that need two users run as root.
struct Program : QProcess
{
    Program(const QString &folder, const QString &runtime, const QStringList &arguments = {},
        const QString &home = QString(), bool asNobody = false)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", folder);
        env.insert("HOME", home.isEmpty() ? folder : home);
        env.insert("XDG_CONFIG_HOME", (home.isEmpty() ? folder : home) + "/config");
        env.remove("XDG_RUNTIME_DIR");
        if (!runtime.isEmpty())
            env.insert("XDG_RUNTIME_DIR", runtime);
        setProcessEnvironment(env);
        const QStringList nobody {
            "--reuid=65534", "--regid=65534", "--clear-groups", VELMORA_BINARY};
        start(asNobody ? "setpriv" : VELMORA_BINARY, asNobody ? nobody + arguments : arguments);
    }
    ~Program() override
    {
        kill();
        waitForFinished(5000);
    }
};

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstArgumentIsTrimmed()
    {
        QCOMPARE(firstCommandLineArgument(), QStringLiteral("/tmp/notes file.velmora"));
    }

    // A second copy started with a wiki while one runs hands the wiki over and leaves; a
    // killed copy's lock does not block the next start.
    void secondCopyHandsOverAndStaleLockIsTakenOver()
    {
        QTemporaryDir dir;
        const QString runtime = dir.path() + QStringLiteral("/run");
        QVERIFY(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString lockPath = runtime + QStringLiteral("/velmora.lock");
        const QString first = dir.filePath(QStringLiteral("first.velmora"));
        const QString second = dir.filePath(QStringLiteral("second.velmora"));
        for (const QString &path : {first, second})
            QVERIFY(WikiDocument(path).homePage());

        Program running(dir.path(), runtime, {first});
        QVERIFY(running.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(runtime + "/velmora.socket"), 30000);

        Program started(dir.path(), runtime, {second});
        QVERIFY2(started.waitForFinished(60000), "the second copy did not leave");
        QCOMPARE(started.exitStatus(), QProcess::NormalExit);
        QCOMPARE(started.exitCode(), 1);
        // The running window opened the wiki: it leads the recent list it keeps.
        const QString settingsFile = dir.filePath(QStringLiteral("config/Halvane/Velmora.conf"));
        QTRY_COMPARE_WITH_TIMEOUT(QSettings(settingsFile, QSettings::IniFormat)
                                      .value(QStringLiteral("recent_wiki_list"))
                                      .toStringList(),
            QStringList({second, first}), 30000);
        QCOMPARE(running.state(), QProcess::Running);

        running.kill();
        QVERIFY(running.waitForFinished(60000));
        QVERIFY(QFile::exists(lockPath));
        Program third(dir.path(), runtime);
        QVERIFY(third.waitForStarted());
        QVERIFY(!third.waitForFinished(1500));
        qint64 pid = 0;
        QString host, app;
        QLockFile reader(lockPath);
        QTRY_VERIFY(reader.getLockInfo(&pid, &host, &app) && pid == third.processId());
    }

    // The lock was one file in the shared temporary folder: a second user could not start
    // while the first one's copy ran, nor after it was killed.
    void everyUserHasALock()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to start a copy as another user");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // The shared temporary folder as it is on every system: anyone may write, sticky.
        const QString shared = dir.path() + QStringLiteral("/tmp");
        const QString nobodyHome = dir.path() + QStringLiteral("/nobody");
        QVERIFY(QDir().mkpath(shared) && QDir().mkpath(nobodyHome));
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 01777) == 0);
        QVERIFY(::chown(QFile::encodeName(nobodyHome).constData(), 65534, 65534) == 0);

        Program root(shared, QString());
        QVERIFY(root.waitForStarted());
        // The lock is taken before anything else: a copy still running holds it.
        QVERIFY(!root.waitForFinished(1500));

        Program nobody(shared, QString(), {}, nobodyHome, true);
        QVERIFY(nobody.waitForStarted());
        QVERIFY2(!nobody.waitForFinished(1500), nobody.readAllStandardError());
        QCOMPARE(root.state(), QProcess::Running);

        // A copy killed outright leaves its lock; that user's next start takes it over.
        nobody.kill();
        QVERIFY(nobody.waitForFinished(5000));
        Program nobodyNext(shared, QString(), {}, nobodyHome, true);
        QVERIFY(nobodyNext.waitForStarted());
        QVERIFY2(
            !nobodyNext.waitForFinished(1500), nobodyNext.readAllStandardError());
    }
};

int main(int argc, char **argv)
{
    // The program's argument is read from the application's own argument list, so the test
    // application gets one with a trailing space; the test runner only sees its own name.
    QByteArray name(argc > 0 ? argv[0] : "tst_startup");
    QByteArray argument("/tmp/notes file.velmora ");
    int appArgc = 2;
    char *appArgv[] = {name.data(), argument.data(), nullptr};
    QApplication app(appArgc, appArgv);
    TestStartup test;
    return QTest::qExec(&test, 1, argv);
}

#include "tst_startup.moc"
