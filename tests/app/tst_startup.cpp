#include "app/startupgeometry.h"
#include "model/commandline.h"
#include "testing.h"

#include <QApplication>
#include <QLockFile>
#include <QProcess>
#include <QSettings>

#include <sys/stat.h>
#include <unistd.h>

// Starts the real program in a private temporary and settings folder.
class ProgramRun
{
public:
    // With no runtime folder, the program finds none and falls back on the temporary one.
    // As "nobody" when asNobody, through setpriv: tests that need two users run as root.
    explicit ProgramRun(const QString &folder, const QString &runtime = QString(),
        const QString &home = QString(), bool asNobody = false)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), folder);
        const QString homeFolder = home.isEmpty() ? folder : home;
        env.insert(QStringLiteral("HOME"), homeFolder);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), homeFolder + QStringLiteral("/config"));
        if (runtime.isEmpty())
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        else
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        process.setProcessEnvironment(env);
        if (asNobody) {
            process.setProgram(QStringLiteral("setpriv"));
            process.setArguments({QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                QStringLiteral("--clear-groups"), QStringLiteral(VELMORA_BINARY)});
        } else {
            process.setProgram(QStringLiteral(VELMORA_BINARY));
        }
    }
    ~ProgramRun()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    QProcess process;
};

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void storedGeometryIsUsedWhenItFits()
    {
        QWidget window;
        applyStartupGeometry(&window, QRect(40, 30, 700, 500));
        QCOMPARE(window.size(), QSize(700, 500));
        QCOMPARE(window.pos(), QPoint(40, 30));

        // A stored rectangle without area counts as missing.
        QWidget other;
        applyStartupGeometry(&other, QRect(10, 10, 0, 500));
        QVERIFY(other.width() >= 900);
        QVERIFY(other.height() >= 600);
    }

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

        ProgramRun running(dir.path(), runtime);
        running.process.setArguments({first});
        running.process.start();
        QVERIFY(running.process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(runtime + "/velmora.socket"), 30000);

        ProgramRun started(dir.path(), runtime);
        started.process.setArguments({second});
        started.process.start();
        QVERIFY2(started.process.waitForFinished(60000), "the second copy did not leave");
        QCOMPARE(started.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(started.process.exitCode(), 1);
        // The running window opened the wiki: it leads the recent list it keeps.
        const QString settingsFile = dir.filePath(QStringLiteral("config/Halvane/Velmora.conf"));
        QTRY_COMPARE_WITH_TIMEOUT(QSettings(settingsFile, QSettings::IniFormat)
                                      .value(QStringLiteral("recent_wiki_list"))
                                      .toStringList(),
            QStringList({second, first}), 30000);
        QCOMPARE(running.process.state(), QProcess::Running);

        running.process.kill();
        QVERIFY(running.process.waitForFinished(60000));
        QVERIFY(QFile::exists(lockPath));
        ProgramRun third(dir.path(), runtime);
        third.process.start();
        QVERIFY(third.process.waitForStarted());
        QVERIFY(!third.process.waitForFinished(1500));
        qint64 pid = 0;
        QString host, app;
        QLockFile reader(lockPath);
        QTRY_VERIFY(reader.getLockInfo(&pid, &host, &app) && pid == third.process.processId());
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

        ProgramRun root(shared);
        root.process.start();
        QVERIFY(root.process.waitForStarted());
        // The lock is taken before anything else: a copy still running holds it.
        QVERIFY(!root.process.waitForFinished(1500));

        ProgramRun nobody(shared, QString(), nobodyHome, true);
        nobody.process.start();
        QVERIFY(nobody.process.waitForStarted());
        QVERIFY2(!nobody.process.waitForFinished(1500), nobody.process.readAllStandardError());
        QCOMPARE(root.process.state(), QProcess::Running);

        // A copy killed outright leaves its lock; that user's next start takes it over.
        nobody.process.kill();
        QVERIFY(nobody.process.waitForFinished(5000));
        ProgramRun nobodyNext(shared, QString(), nobodyHome, true);
        nobodyNext.process.start();
        QVERIFY(nobodyNext.process.waitForStarted());
        QVERIFY2(
            !nobodyNext.process.waitForFinished(1500), nobodyNext.process.readAllStandardError());
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
