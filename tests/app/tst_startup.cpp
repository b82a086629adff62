#include "app/startupgeometry.h"
#include "model/commandline.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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
    void defaultSize_data()
    {
        QTest::addColumn<QSize>("available");
        QTest::addColumn<QSize>("expected");
        // 1040 * 0.7f is just under 728 and is cut toward zero.
        QTest::newRow("1920x1040") << QSize(1920, 1040) << QSize(1440, 727);
        QTest::newRow("small screen") << QSize(1000, 700) << QSize(900, 600);
        QTest::newRow("no screen") << QSize() << QSize(900, 600);
        QTest::newRow("4k") << QSize(3840, 2100) << QSize(2880, 1469);
    }

    void defaultSize()
    {
        QFETCH(QSize, available);
        QFETCH(QSize, expected);
        QCOMPARE(defaultWindowSize(available), expected);
    }

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

    void secondCopyLeavesAndStaleLockIsTakenOver()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString runtime = dir.path() + QStringLiteral("/run");
        QVERIFY(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString lockPath = runtime + QStringLiteral("/velmora.lock");

        ProgramRun first(dir.path(), runtime);
        first.process.start();
        QVERIFY(first.process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lockPath), 10000);

        ProgramRun second(dir.path(), runtime);
        second.process.start();
        QVERIFY2(second.process.waitForFinished(60000), "the second copy did not give up");
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 1);
        QCOMPARE(first.process.state(), QProcess::Running);

        // A killed copy leaves its lock file behind; the next copy must not be blocked.
        first.process.kill();
        QVERIFY(first.process.waitForFinished(60000));
        QVERIFY(QFile::exists(lockPath));

        ProgramRun third(dir.path(), runtime);
        third.process.start();
        QVERIFY(third.process.waitForStarted());
        QVERIFY(!third.process.waitForFinished(1500));
        QCOMPARE(third.process.state(), QProcess::Running);
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

        // The same user is still kept to one copy.
        ProgramRun nobodyAgain(shared, QString(), nobodyHome, true);
        nobodyAgain.process.start();
        QVERIFY(nobodyAgain.process.waitForFinished(5000));
        QCOMPARE(nobodyAgain.process.exitCode(), 1);

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
