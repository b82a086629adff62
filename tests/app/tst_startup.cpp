#include "app/startupgeometry.h"
#include "model/commandline.h"
#include "testing.h"

#include <QApplication>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>

// The real program, started with its temporary, home and settings folders in folder. The
// update check's closed port comes with the test's own environment.
class ProgramRun
{
public:
    explicit ProgramRun(const QString &folder)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"TMPDIR", "HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            env.insert(QLatin1String(name), folder);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VELMORA_BINARY), QStringList());
    }
    ~ProgramRun()
    {
        process.kill();
        process.waitForFinished(60000);
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
    }

    void defaultSize()
    {
        QFETCH(QSize, available);
        QTEST(defaultWindowSize(available), "expected");
    }

    void storedGeometry()
    {
        QWidget window;
        applyStartupGeometry(&window, QRect(-40, 3000, 1000, 650));
        QCOMPARE(window.geometry(), QRect(-40, 3000, 1000, 650));
        // A stored rectangle without area counts as missing.
        applyStartupGeometry(&window, QRect(10, 10, 0, 500));
        QVERIFY(window.width() >= 900 && window.height() >= 600);
    }

    void firstArgumentIsTrimmed()
    {
        QCOMPARE(firstCommandLineArgument(), QStringLiteral("/tmp/notes file.velmora"));
    }

    void secondCopyLeavesAndStaleLockIsTakenOver()
    {
        QTemporaryDir dir;
        const QString lockPath = dir.filePath(QStringLiteral("velmora.lock"));
        qint64 pid = 0;
        QString host, app;
        QLockFile reader(lockPath);
        auto holder = [&] { return reader.getLockInfo(&pid, &host, &app) ? pid : 0; };

        ProgramRun first(dir.path());
        QTRY_VERIFY(holder() == first.process.processId());
        ProgramRun second(dir.path());
        QVERIFY2(second.process.waitForFinished(60000), "the second copy did not give up");
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 1);
        QCOMPARE(first.process.state(), QProcess::Running);

        // A killed copy leaves its lock file behind; the next copy must not be blocked by it.
        first.process.kill();
        QVERIFY(first.process.waitForFinished(60000));
        QVERIFY(QFile::exists(lockPath));
        ProgramRun third(dir.path());
        QTRY_VERIFY(holder() == third.process.processId());
        QCOMPARE(third.process.state(), QProcess::Running);
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
