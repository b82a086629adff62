#include "app/mainwindow.h"
#include "app/updatechecker.h"
#include "editor/editor.h"
#include "model/page.h"
#include "model/wikidocument.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSemaphore>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QtTest>

#include <sys/fsuid.h>
#include <thread>

namespace {

// Answers every message box while it lives, as a user would: keeps Velmora open when asked
// whether to lose changes, otherwise presses OK. Counts what it saw.
class BoxAnswerer
{
public:
    int saveErrors = 0;
    int closeQuestions = 0;

    BoxAnswerer()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == QLatin1String("Keep Velmora open")) {
                    ++closeQuestions;
                    button->click();
                    return;
                }
            }
            if (box->text().contains(QLatin1String("could not be saved")))
                ++saveErrors;
            box->buttons().first()->click();
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

void typeIntoPage(MainWindow &window, const QString &text)
{
    window.editor()->setFocus();
    window.editor()->page()->mainFrame()->evaluateJavaScript(
        "var r = document.createRange(); r.selectNodeContents(document.body);"
        "r.collapse(false); getSelection().removeAllRanges(); getSelection().addRange(r);");
    QTest::keyClicks(window.editor(), text);
}

} // namespace

class TestSaving : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

    static QLabel *saveState(MainWindow &window)
    {
        return window.findChild<QLabel *>(QStringLiteral("saveStateLabel"));
    }

    static void openAndWait(MainWindow &window, const QString &file)
    {
        QVERIFY(window.openWiki(file, false, false));
        QTRY_COMPARE(window.editor()
                         ->page()
                         ->mainFrame()
                         ->evaluateJavaScript("document.readyState")
                         .toString(),
            QStringLiteral("complete"));
        QVERIFY(window.currentWiki()->waitForSaves());
    }

private slots:
    void initTestCase()
    {
        // The start-up update check goes to a closed port on this machine, never to the web.
        UpdateChecker::setDefaultServerUrl(QUrl(QStringLiteral("http://127.0.0.1:9")));
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setApplicationName(QStringLiteral("Velmora-tests"));
    }

    void cleanup()
    {
        dir.setAutoRemove(!QTest::currentTestFailed());
        QVERIFY(!QApplication::activeModalWidget());
    }

    // An edit made while a slow save runs must still be in the file once the window closed.
    void closeWhileSaving()
    {
        const QString file = path(QStringLiteral("slow.velmora"));
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        openAndWait(window, file);
        QVERIFY(QRegularExpression(QStringLiteral("^Saved at \\d\\d:\\d\\d$"))
                    .match(saveState(window)->text())
                    .hasMatch());
        QVERIFY(!window.isWindowModified());

        QSemaphore entered;
        QSemaphore gate;
        bool first = true;
        window.currentWiki()->saver()->setBeforeWrite([&] {
            if (first) {
                first = false;
                entered.release();
                gate.acquire();
            }
        });
        typeIntoPage(window, QStringLiteral("first"));
        QTRY_VERIFY(window.isWindowModified());
        QVERIFY(window.windowTitle().endsWith(QLatin1String("slow.velmora[*]")));
        window.saveWiki(false);
        QVERIFY(entered.tryAcquire(1, 30000));
        QCOMPARE(saveState(window)->text(), QStringLiteral("Saving\u2026"));
        typeIntoPage(window, QStringLiteral("second"));
        // The first write goes on once the close may already be waiting for it.
        std::thread opener([&gate] {
            QThread::msleep(100);
            gate.release();
        });
        const bool closed = window.close();
        opener.join();
        QVERIFY(closed);
        QVERIFY(WikiDocument(file).homePage()->content().contains(QLatin1String("firstsecond")));
    }

    // A failed save is told once with its reason; the status bar keeps saying so until a save
    // works, and closing asks before changes that cannot be written are lost.
    void failedSaveIsToldOnceAndShown()
    {
        const QString folder = path(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(folder));
        // nobody must reach the folder through the temporary one.
        QVERIFY(QFile::setPermissions(dir.path(),
            QFile::permissions(dir.path()) | QFileDevice::ReadOther | QFileDevice::ExeOther));
        MainWindow window;
        openAndWait(window, folder + QStringLiteral("/wiki.velmora"));
        WikiDocument *wiki = window.currentWiki();
        // The tests run as root, whom no permission stops: the worker writes as nobody.
        wiki->saver()->setBeforeWrite([] {
            setfsgid(65534);
            setfsuid(65534);
        });
        const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadOther | QFileDevice::ExeOther;
        const auto everyone = readOnly | QFileDevice::WriteOwner | QFileDevice::WriteOther;
        const QString notSaved
            = QStringLiteral("Not saved: Velmora has no permission to write there.");

        BoxAnswerer boxes;
        QVERIFY(QFile::setPermissions(folder, readOnly));
        window.saveWiki(true);
        QTRY_COMPARE(boxes.saveErrors, 1);
        QCOMPARE(saveState(window)->text(), notSaved);
        QVERIFY(window.isWindowModified());
        window.saveWiki(false); // the next autosave tries again
        QVERIFY(!wiki->waitForSaves());
        QCOMPARE(boxes.saveErrors, 1);
        QCOMPARE(saveState(window)->text(), notSaved);
        QVERIFY(!window.close());
        QCOMPARE(boxes.closeQuestions, 1);

        QVERIFY(QFile::setPermissions(folder, everyone));
        window.saveWiki(false);
        QVERIFY(wiki->waitForSaves());
        QVERIFY(saveState(window)->text().startsWith(QLatin1String("Saved at ")));
        QVERIFY(!window.isWindowModified());

        QVERIFY(QFile::setPermissions(folder, readOnly));
        window.saveWiki(true);
        QTRY_COMPARE(boxes.saveErrors, 2); // told again after a save worked
        QVERIFY(QFile::setPermissions(folder, everyone));
        QVERIFY(window.close());
        QCOMPARE(boxes.closeQuestions, 1);
    }
};

QTEST_MAIN(TestSaving)
#include "tst_saving.moc"
