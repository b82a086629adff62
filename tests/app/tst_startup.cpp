#include "app/startupgeometry.h"
#include "model/commandline.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Starts the real program in a private temporary and settings folder.
class ProgramRun
{
public:
    explicit ProgramRun(const QString &folder)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), folder);
        env.insert(QStringLiteral("HOME"), folder);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
        process.setProcessEnvironment(env);
        process.setProgram(QStringLiteral(VELMORA_BINARY));
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

    void storedGeometryIsUsedAsIs()
    {
        QWidget window;
        applyStartupGeometry(&window, QRect(-40, 3000, 1000, 650));
        QCOMPARE(window.size(), QSize(1000, 650));
        QCOMPARE(window.pos(), QPoint(-40, 3000));

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
        const QString lockPath = dir.path() + QStringLiteral("/velmora.lock");

        ProgramRun first(dir.path());
        first.process.start();
        QVERIFY(first.process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lockPath), 10000);

        ProgramRun second(dir.path());
        QElapsedTimer clock;
        clock.start();
        second.process.start();
        QVERIFY(second.process.waitForFinished(5000));
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 1);
        QVERIFY2(clock.elapsed() < 3000, "the second copy took too long to give up");
        QCOMPARE(first.process.state(), QProcess::Running);

        // A killed copy leaves its lock file behind; the next copy must not be blocked.
        first.process.kill();
        QVERIFY(first.process.waitForFinished(5000));
        QVERIFY(QFile::exists(lockPath));

        ProgramRun third(dir.path());
        third.process.start();
        QVERIFY(third.process.waitForStarted());
        QVERIFY(!third.process.waitForFinished(1500));
        QCOMPARE(third.process.state(), QProcess::Running);
        qint64 pid = 0;
        QString host, app;
        QLockFile reader(lockPath);
        QTRY_VERIFY(reader.getLockInfo(&pid, &host, &app) && pid == third.process.processId());

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
