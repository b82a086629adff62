#include "testing.h"

#include "app/mainwindow.h"
#include "app/settings.h"
#include "editor/editor.h"
#include "model/wikisizebudget.h"
#include "model/wikiversions.h"
#include "sidebar/sidebar.h"

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QStandardPaths>

#include <sys/fsuid.h>
#include <thread>

using namespace Testing;

namespace {

// Runs step and closes every message box it opens that no answer took; the boxes' titles.
// A box is left for some polls first, so that an answer given for it comes first.
QStringList boxesDuring(const std::function<void()> &step)
{
    QStringList titles;
    QTimer poll;
    QPointer<QMessageBox> seen;
    int polls = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (box != seen) {
            seen = box;
            polls = 0;
        }
        if (++polls < 20)
            return;
        titles << box->windowTitle();
        box->done(0);
        seen = nullptr;
    });
    poll.start(10);
    step();
    return titles;
}

// The type and bytes of the only picture in the content.
QPair<QString, QByteArray> storedPicture(const QString &content)
{
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("data:image/([a-z]+);base64,([^\"]+)\""))
              .match(content);
    return {match.captured(1), QByteArray::fromBase64(match.captured(2).toLatin1())};
}

} // namespace

// The window's side of keeping a wiki safe: saving in the background, a failed save, a file
// changed outside, a vanished file, the size budget, large pictures and restoring an earlier
// version, on real files.
class TestSafeguards : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    MainWindow *window = nullptr;
    QString largePhoto;

    WikiDocument *wiki() { return window->currentWiki(); }
    // Saves the shown page and waits for the save and its report.
    bool save()
    {
        window->saveWiki(false);
        return wiki()->waitForSaves();
    }
    QAction *action(const char *name) { return window->findChild<QAction *>(QLatin1String(name)); }

    QString openFresh(const QString &name)
    {
        const QString path = dir.filePath(name + QStringLiteral(".velmora"));
        if (!window->openWiki(path, false, false))
            return QString();
        // A new wiki is first written in the background; the tests below change the file.
        if (!wiki()->waitForSaves())
            return QString();
        QDir(wiki()->versions().folder()).removeRecursively();
        return path;
    }

    void editHome(const QString &content)
    {
        wiki()->homePage()->setContent(content);
        wiki()->homePage()->setModified(true);
    }

    void waitForEditor()
    {
        QVERIFY(editorReady(window));
        caretAtEnd(window);
    }

    QString saveState() const
    {
        return window->findChild<QLabel *>(QStringLiteral("saveStateLabel"))->text();
    }

    void openAndWait(const QString &file)
    {
        QVERIFY(window->openWiki(file, false, false));
        QVERIFY(editorReady(window));
        QVERIFY(window->currentWiki()->waitForSaves());
    }

    void type(const QString &text)
    {
        caretAtEnd(window);
        QTest::keyClicks(window->editor(), text);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // A photo of 4,000 × 3,000 pixels and about 3 MB: smooth colour with grain.
        QImage photo(4000, 3000, QImage::Format_RGB32);
        QRandomGenerator grain(17);
        for (int y = 0; y < photo.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
            for (int x = 0; x < photo.width(); ++x) {
                const int g = int(grain.bounded(24));
                line[x] = qRgb(x / 16 + g, y / 12 + g, 128 + g);
            }
        }
        largePhoto = dir.filePath(QStringLiteral("photo.jpg"));
        QVERIFY(photo.save(largePhoto, "JPEG", 85));
        const qint64 size = QFileInfo(largePhoto).size();
        QVERIFY2(size > 2000000 && size < 4500000, qPrintable(QString::number(size)));
    }

    void init()
    {
        WikiSizeBudget::setLimit(maxDocumentSize);
        window = makeWindow().release();
    }

    void cleanup()
    {
        delete window;
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(allAnswered());
        dir.setAutoRemove(!QTest::currentTestFailed());
    }

    void outsideChange_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("keep both") << "Keep Both";
        QTest::newRow("overwrite") << "Overwrite";
        QTest::newRow("reload") << "Reload";
    }

    // Another process replaces the file between two autosaves.
    void outsideChange()
    {
        QFETCH(QString, answer);
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const QString path = openFresh(tag);
        const QString theirs = dir.filePath(tag + QStringLiteral(".theirs"));
        {
            WikiDocument other(theirs);
            other.createPage(QStringLiteral("Theirs"), nullptr);
        }
        editHome(QStringLiteral("<p>first</p>"));
        QVERIFY(save());
        QProcess cp;
        cp.start(QStringLiteral("cp"), {theirs, path});
        QVERIFY(cp.waitForFinished(30000) && cp.exitCode() == 0);
        const QByteArray theirBytes = fileBytes(path);

        editHome(QStringLiteral("<p>ours</p>"));
        QString text;
        answerBox(answer, &text);
        // The question comes with the save's report.
        WikiDocument *ours = wiki();
        window->saveWiki(false);
        ours->waitForSaves();
        QVERIFY2(text.contains(QStringLiteral("changed outside")), qPrintable(text));

        if (answer == QLatin1String("Keep Both")) {
            const QString copy = dir.filePath(tag + QStringLiteral(" (my version).velmora"));
            QTRY_COMPARE(wiki()->filePath(), copy);
            QCOMPARE(wiki()->homePage()->content(), QStringLiteral("<p>ours</p>"));
            QCOMPARE(fileBytes(path), theirBytes);
        } else if (answer == QLatin1String("Overwrite")) {
            QVERIFY(wiki()->waitForSaves());
            WikiDocument written(path);
            QCOMPARE(written.homePage()->content(), QStringLiteral("<p>ours</p>"));
        } else {
            QTRY_VERIFY(wiki()->findPageByName(QStringLiteral("Theirs")));
            QCOMPARE(fileBytes(path), theirBytes);
            bool ok = false;
            const QList<Page *> kept
                = WikiVersions::readPages(wiki()->versions().list().first().filePath, &ok);
            QVERIFY(ok);
            QCOMPARE(kept.first()->content(), QStringLiteral("<p>ours</p>"));
            qDeleteAll(kept);
        }
        // Settled: the next save goes through without a question.
        editHome(QStringLiteral("<p>later</p>"));
        QVERIFY(boxesDuring([&] { QVERIFY(save()); }).isEmpty());
    }

    void vanishedFileIsWrittenAgainSaidOnce()
    {
        const QString path = openFresh(QStringLiteral("vanished"));
        for (int round = 0; round < 2; ++round) {
            QVERIFY(QFile::remove(path));
            editHome(QStringLiteral("<p>round %1</p>").arg(round));
            const QStringList boxes = boxesDuring([&] { QVERIFY(save()); });
            QCOMPARE(boxes,
                round == 0 ? QStringList {QStringLiteral("Wiki File Written Again")}
                           : QStringList());
            QCOMPARE(WikiDocument(path).homePage()->content(),
                QStringLiteral("<p>round %1</p>").arg(round));
        }
    }

    void sizeBudget()
    {
        const QString path = openFresh(QStringLiteral("size"));
        editHome(QStringLiteral("<p>%1</p>").arg(QString(30000, QLatin1Char('w'))));
        QVERIFY(save());
        auto *label = window->findChild<QLabel *>(QStringLiteral("wikiSizeLabel"));
        QCOMPARE(label->text(), WikiSizeBudget::describe(readWikiData(path).size()));

        // Past 80% of the limit: told once.
        WikiSizeBudget::setLimit(wiki()->storedDocumentSize() * 100 / 81);
        const QStringList boxes = boxesDuring([&] {
            for (int i = 0; i < 2; ++i) {
                editHome(QStringLiteral("<p>%1</p>").arg(QString(30000 + i, QLatin1Char('w'))));
                QVERIFY(save());
            }
        });
        QCOMPARE(boxes, QStringList {QStringLiteral("Wiki Nearly Full")});

        // An insertion that would pass the limit is refused, and nothing changes.
        waitForEditor();
        WikiSizeBudget::setLimit(wiki()->currentDocumentSize() + 2000);
        const QString content = wiki()->homePage()->content();
        const QByteArray file = fileBytes(path);
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QRandomGenerator noise(3);
        for (int i = 0; i < 400; ++i)
            picture.setPixel(noise.bounded(64), noise.bounded(64), noise.generate());
        const QString png = dir.filePath(QStringLiteral("noise.png"));
        QVERIFY(picture.save(png));
        answerFile(png);
        QCOMPARE(boxesDuring([&] { action("insertImageAction")->trigger(); }),
            QStringList {QStringLiteral("Error")});
        QApplication::clipboard()->setText(QString(3000, QLatin1Char('p')));
        QCOMPARE(
            boxesDuring([&] { window->editor()->paste(); }), QStringList {QStringLiteral("Error")});
        QCOMPARE(wiki()->homePage()->content(), content);
        QVERIFY(save());
        QCOMPARE(fileBytes(path), file);

        // What fits still goes in.
        QApplication::clipboard()->setText(QStringLiteral("fits"));
        QVERIFY(boxesDuring([&] { window->editor()->paste(); }).isEmpty());
        QTRY_VERIFY(wiki()->homePage()->content().contains(QLatin1String("fits")));
    }

    void largePictures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("remember");
        QTest::addColumn<QString>("stored");
        QTest::newRow("photo, scaled") << "photo"
                                       << "ask"
                                       << "Scale Down" << false << "scaled";
        QTest::newRow("photo, kept") << "photo"
                                     << "ask"
                                     << "Keep Original" << false << "as is";
        QTest::newRow("photo, choice remembered") << "photo"
                                                  << "ask"
                                                  << "Scale Down" << true << "scaled";
        QTest::newRow("wide picture with transparency") << "transparent"
                                                        << "ask"
                                                        << "Scale Down" << false << "png";
        QTest::newRow("small PNG") << "small"
                                   << "ask"
                                   << "" << false << "as is";
    }

    void largePictures()
    {
        QFETCH(QString, kind);
        QFETCH(QString, setting);
        QFETCH(QString, answer);
        QFETCH(bool, remember);
        QFETCH(QString, stored);
        Settings::setLargePictureChoice(setting);
        QString path = largePhoto;
        if (kind != QLatin1String("photo")) {
            QImage picture(kind == QLatin1String("small") ? QSize(30, 20) : QSize(3000, 60),
                QImage::Format_ARGB32);
            picture.fill(QColor(10, 90, 200, 120));
            path = dir.filePath(kind + QStringLiteral(".png"));
            QVERIFY(picture.save(path));
        }
        openFresh(QStringLiteral("pictures"));
        editHome(QStringLiteral("<p>x</p>"));
        window->sidebar()->selectItem(QStringLiteral("1"));
        waitForEditor();

        QString question;
        // The file is chosen before the question comes.
        answerFile(path);
        if (!answer.isEmpty())
            answerBox(answer, &question, nullptr, remember);
        const QStringList otherBoxes = boxesDuring([&] { action("insertImageAction")->trigger(); });
        QVERIFY2(otherBoxes.isEmpty(), qPrintable(otherBoxes.join(", ")));
        QCOMPARE(question.isEmpty(), answer.isEmpty());
        QCOMPARE(Settings::largePictureChoice(), remember ? QStringLiteral("scale") : setting);

        const auto picture = storedPicture(wiki()->homePage()->content());
        const QImage image = QImage::fromData(picture.second);
        if (stored == QLatin1String("as is")) {
            QCOMPARE(picture.second, fileBytes(path));
        } else if (stored == QLatin1String("png")) {
            QCOMPARE(picture.first, QStringLiteral("png"));
            QCOMPARE(image.size(), QSize(2560, 51));
            QVERIFY(image.hasAlphaChannel());
        } else {
            QCOMPARE(picture.first, QStringLiteral("jpeg"));
            QCOMPARE(image.size(), QSize(2560, 1920));
            QVERIFY(picture.second.size() < fileBytes(path).size());
        }
    }

    void restoreFromBackup()
    {
        const QString path = dir.filePath(QStringLiteral("restore.velmora"));
        QString goneId;
        {
            WikiDocument earlier(path);
            Page *gone = earlier.createPage(QStringLiteral("Gone"), nullptr);
            gone->setContent(QStringLiteral("<p>precious words</p>"));
            goneId = gone->id();
            QVERIFY(earlier.save());
        }
        QVERIFY(window->openWiki(path, false, false));
        QDir(wiki()->versions().folder()).removeRecursively();
        window->sidebar()->selectItem(goneId);
        answerBox(QStringLiteral("Yes, delete"));
        window->onDeletePage();
        QVERIFY(wiki()->waitForSaves());
        QVERIFY(!wiki()->findPageById(goneId));
        QCOMPARE(wiki()->versions().list().size(), 1);

        // Looked at read-only, one page copied out; then the version restored.
        answerDialog("VersionsDialog", [](QWidget *versions) {
            answerDialog("VersionViewer", [](QWidget *viewer) {
                auto *pages = viewer->findChild<QListWidget *>("versionPageList");
                pages->setCurrentItem(
                    pages->findItems(QStringLiteral("Gone"), Qt::MatchExactly).value(0));
                viewer->findChild<QPushButton *>("copyPageButton")->click();
                static_cast<QDialog *>(viewer)->reject();
            });
            versions->findChild<QPushButton *>("viewVersionButton")->click();
            versions->findChild<QPushButton *>("restoreVersionButton")->click();
        });
        action("restoreBackupAction")->trigger();
        QCOMPARE(
            QApplication::clipboard()->mimeData()->html(), QStringLiteral("<p>precious words</p>"));
        QVERIFY(wiki()->findPageById(goneId));
        QCOMPARE(wiki()->findPageById(goneId)->content(), QStringLiteral("<p>precious words</p>"));
        QCOMPARE(wiki()->versions().list().size(), 2);
    }

    // An edit made while a slow save runs must still be in the file once the window closed.
    void closeWhileSaving()
    {
        const QString file = dir.filePath(QStringLiteral("slow.velmora"));
        openAndWait(file);
        QVERIFY(saveState().startsWith(QLatin1String("Saved at ")));
        QVERIFY(!window->isWindowModified());

        QSemaphore entered;
        QSemaphore gate;
        bool first = true;
        window->currentWiki()->saver()->setBeforeWrite([&] {
            if (first) {
                first = false;
                entered.release();
                gate.acquire();
            }
        });
        type(QStringLiteral("first"));
        QTRY_VERIFY(window->isWindowModified());
        QVERIFY(window->windowTitle().endsWith(QLatin1String("slow.velmora[*]")));
        window->saveWiki(false);
        QVERIFY(entered.tryAcquire(1, 30000));
        QCOMPARE(saveState(), QStringLiteral("Saving\u2026"));
        type(QStringLiteral("second"));
        // The first write goes on once the close may already be waiting for it.
        std::thread opener([&gate] {
            QThread::msleep(100);
            gate.release();
        });
        const bool closed = window->close();
        opener.join();
        QVERIFY(closed);
        QVERIFY(WikiDocument(file).homePage()->content().contains(QLatin1String("firstsecond")));
    }

    // A failed save is told once with its reason; the status bar keeps saying so until a save
    // works, and closing asks before changes that cannot be written are lost. A second box
    // for the same failure would find no answer and fail the test.
    void failedSaveIsToldOnceAndShown()
    {
        const QString folder = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(folder));
        // nobody must reach the folder through the temporary one.
        QVERIFY(QFile::setPermissions(dir.path(),
            QFile::permissions(dir.path()) | QFileDevice::ReadOther | QFileDevice::ExeOther));
        openAndWait(folder + QStringLiteral("/wiki.velmora"));
        WikiDocument *wiki = window->currentWiki();
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

        QString told;
        answerBox(QStringLiteral("OK"), &told);
        QVERIFY(QFile::setPermissions(folder, readOnly));
        window->saveWiki(true);
        QTRY_VERIFY(told.contains(QLatin1String("could not be saved")));
        QCOMPARE(saveState(), notSaved);
        QVERIFY(window->isWindowModified());
        window->saveWiki(false); // the next autosave tries again
        QVERIFY(!wiki->waitForSaves());
        QCOMPARE(saveState(), notSaved);
        answerBox(QStringLiteral("Keep Velmora open"));
        QVERIFY(!window->close());
        QVERIFY(allAnswered());

        QVERIFY(QFile::setPermissions(folder, everyone));
        window->saveWiki(false);
        QVERIFY(wiki->waitForSaves());
        QVERIFY(saveState().startsWith(QLatin1String("Saved at ")));
        QVERIFY(!window->isWindowModified());

        told.clear();
        answerBox(QStringLiteral("OK"), &told);
        QVERIFY(QFile::setPermissions(folder, readOnly));
        window->saveWiki(true);
        QTRY_VERIFY(!told.isEmpty()); // told again after a save worked
        QVERIFY(QFile::setPermissions(folder, everyone));
        QVERIFY(window->close());
    }
};

QTEST_MAIN(TestSafeguards)
#include "tst_safeguards.moc"
