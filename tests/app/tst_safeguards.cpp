#include "app/settings.h"
#include "model/wikisizebudget.h"
#include "model/wikiversions.h"
#include "testing.h"

#include <QClipboard>
#include <QDialog>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QStandardPaths>

#include <sys/fsuid.h>
#include <thread>

using namespace Testing;

namespace {

// The type and bytes of the only picture in the content.
QPair<QString, QByteArray> storedPicture(const QString &content)
{
    const QRegularExpressionMatch match
        = QRegularExpression("data:image/([a-z]+);base64,([^\"]+)\"").match(content);
    return {match.captured(1), QByteArray::fromBase64(match.captured(2).toLatin1())};
}

} // namespace

// The window's side of keeping a wiki safe: saving in the background, a failed save, a file
// changed outside, a vanished file, the size budget, large pictures and restoring an earlier
// version, on real files.
class TestSafeguards : public WindowTest
{
    Q_OBJECT

    QString largePhoto;

    WikiDocument *current() { return window->currentWiki(); }
    // Saves the shown page and waits for the save and its report.
    bool save()
    {
        saveWiki(window.get(), false);
        return current()->waitForSaves();
    }
    // Opens a new wiki at dir/name.velmora, once it is first written (in the background) and
    // shown, without kept versions: the tests below change the file.
    QString openFresh(const QString &name)
    {
        const QString path = dir.filePath(name + QStringLiteral(".velmora"));
        if (!window->openWiki(path, false, false) || !current()->waitForSaves()
            || !editorReady(window.get()))
            return QString();
        QDir(current()->versions().folder()).removeRecursively();
        return path;
    }

    void editHome(const QString &content)
    {
        current()->homePage()->setContent(content);
        current()->homePage()->setModified(true);
    }

    QString saveState() const { return window->findChild<QLabel *>("saveStateLabel")->text(); }

    void type(const QString &text)
    {
        caretAtEnd(window.get());
        QTest::keyClicks(input(), text);
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
        largePhoto = dir.filePath("photo.jpg");
        QVERIFY(photo.save(largePhoto, "JPEG", 85));
        const qint64 size = QFileInfo(largePhoto).size();
        QVERIFY2(size > 2000000 && size < 4500000, qPrintable(QString::number(size)));
    }

    void init()
    {
        WikiSizeBudget::setLimit(maxDocumentSize);
        openWindow();
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
            other.createPage("Theirs", nullptr);
        }
        editHome("<p>first</p>");
        QVERIFY(save());
        QProcess cp;
        cp.start("cp", {theirs, path});
        QVERIFY(cp.waitForFinished(30000) && cp.exitCode() == 0);
        const QByteArray theirBytes = fileBytes(path);

        editHome("<p>ours</p>");
        QString text;
        answerBox(answer, &text);
        // The question comes with the save's report, which may arrive while the page is still
        // being asked for its last words; after "Reload" the wiki shown is another one.
        saveWiki(window.get(), false);
        QTRY_VERIFY2_WITH_TIMEOUT(text.contains("changed outside"), qPrintable(text), 30000);

        if (answer == QLatin1String("Keep Both")) {
            const QString copy = dir.filePath(tag + QStringLiteral(" (my version).velmora"));
            QTRY_COMPARE(current()->filePath(), copy);
            QCOMPARE(current()->homePage()->content(), "<p>ours</p>");
            QCOMPARE(fileBytes(path), theirBytes);
        } else if (answer == QLatin1String("Overwrite")) {
            QVERIFY(current()->waitForSaves());
            WikiDocument written(path);
            QCOMPARE(written.homePage()->content(), "<p>ours</p>");
        } else {
            QTRY_VERIFY(current()->findPageByName("Theirs"));
            QCOMPARE(fileBytes(path), theirBytes);
            bool ok = false;
            const QList<Page *> kept
                = WikiVersions::readPages(current()->versions().list().first().filePath, &ok);
            QVERIFY(ok);
            QCOMPARE(kept.first()->content(), "<p>ours</p>");
            qDeleteAll(kept);
        }
        // Settled: the next save goes through without a question.
        editHome("<p>later</p>");
        QVERIFY(save());
    }

    void vanishedFileIsWrittenAgainSaidOnce()
    {
        const QString path = openFresh("vanished");
        for (int round = 0; round < 2; ++round) {
            QVERIFY(QFile::remove(path));
            editHome(QStringLiteral("<p>round %1</p>").arg(round));
            QString title;
            if (round == 0)
                answerBox("OK", nullptr, &title);
            QVERIFY(save());
            QCOMPARE(title, round == 0 ? "Wiki File Written Again" : QString());
            QCOMPARE(WikiDocument(path).homePage()->content(),
                QStringLiteral("<p>round %1</p>").arg(round));
        }
    }

    void sizeBudget()
    {
        const QString path = openFresh("size");
        editHome(QStringLiteral("<p>%1</p>").arg(QString(30000, QLatin1Char('w'))));
        QVERIFY(save());
        auto *label = window->findChild<QLabel *>("wikiSizeLabel");
        QCOMPARE(label->text(), WikiSizeBudget::describe(readWikiData(path).size()));

        // Past 80% of the limit: told once; a second box would find no answer.
        WikiSizeBudget::setLimit(current()->storedDocumentSize() * 100 / 81);
        QString title;
        answerBox("OK", nullptr, &title);
        for (int i = 0; i < 2; ++i) {
            editHome(QStringLiteral("<p>%1</p>").arg(QString(30000 + i, QLatin1Char('w'))));
            QVERIFY(save());
        }
        QCOMPARE(title, "Wiki Nearly Full");

        // An insertion that would pass the limit is refused, and nothing changes.
        caretAtEnd(window.get());
        WikiSizeBudget::setLimit(current()->currentDocumentSize() + 2000);
        const QString content = current()->homePage()->content();
        const QByteArray file = fileBytes(path);
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QRandomGenerator noise(3);
        for (int i = 0; i < 400; ++i)
            picture.setPixel(noise.bounded(64), noise.bounded(64), noise.generate());
        const QString png = dir.filePath("noise.png");
        QVERIFY(picture.save(png));
        answerFile(png);
        answerBox("OK", nullptr, &title);
        action("insertImageAction")->trigger();
        QCOMPARE(title, "Error");
        title.clear();
        answerBox("OK", nullptr, &title);
        QApplication::clipboard()->setText(QString(3000, QLatin1Char('p')));
        editor->paste();
        QCOMPARE(title, "Error");
        QCOMPARE(current()->homePage()->content(), content);
        QVERIFY(save());
        QCOMPARE(fileBytes(path), file);

        // What fits still goes in.
        QApplication::clipboard()->setText("fits");
        editor->paste();
        QTRY_VERIFY(current()->homePage()->content().contains(QLatin1String("fits")));
    }

    void largePictures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("remember");
        QTest::addColumn<QString>("stored");
        QTest::newRow("photo, kept") << "photo" << QString("Keep Original") << false << "as is";
        QTest::newRow("photo, scaled, choice remembered")
            << "photo" << QString("Scale Down") << true << "scaled";
        QTest::newRow("wide picture with transparency")
            << "transparent" << QString("Scale Down") << false << "png";
        QTest::newRow("small PNG") << "small" << QString() << false << "as is";
    }

    void largePictures()
    {
        QFETCH(QString, kind);
        QFETCH(QString, answer);
        QFETCH(bool, remember);
        QFETCH(QString, stored);
        Settings::setLargePictureChoice("ask");
        QString path = largePhoto;
        if (kind != QLatin1String("photo")) {
            QImage picture(kind == QLatin1String("small") ? QSize(30, 20) : QSize(3000, 60),
                QImage::Format_ARGB32);
            picture.fill(QColor(10, 90, 200, 120));
            path = dir.filePath(kind + QStringLiteral(".png"));
            QVERIFY(picture.save(path));
        }
        openFresh("pictures");
        editHome("<p>x</p>");
        window->sidebar()->selectItem("1");
        caretAtEnd(window.get());

        QString question;
        // The file is chosen before the question comes.
        answerFile(path);
        if (!answer.isEmpty())
            answerBox(answer, &question, nullptr, remember);
        action("insertImageAction")->trigger();
        QCOMPARE(question.isEmpty(), answer.isEmpty());
        QCOMPARE(Settings::largePictureChoice(), remember ? "scale" : "ask");

        // The page commits the picture a moment later.
        QTRY_VERIFY(!storedPicture(current()->homePage()->content()).second.isEmpty());
        const auto picture = storedPicture(current()->homePage()->content());
        const QImage image = QImage::fromData(picture.second);
        if (stored == QLatin1String("as is")) {
            QCOMPARE(picture.second, fileBytes(path));
        } else if (stored == QLatin1String("png")) {
            QCOMPARE(picture.first, "png");
            QCOMPARE(image.size(), QSize(2560, 51));
            QVERIFY(image.hasAlphaChannel());
        } else {
            QCOMPARE(picture.first, "jpeg");
            QCOMPARE(image.size(), QSize(2560, 1920));
            QVERIFY(picture.second.size() < fileBytes(path).size());
        }
    }

    void restoreFromBackup()
    {
        const QString path = dir.filePath("restore.velmora");
        QString goneId;
        {
            WikiDocument earlier(path);
            Page *gone = earlier.createPage("Gone", nullptr);
            gone->setContent("<p>precious words</p>");
            goneId = gone->id();
            QVERIFY(earlier.save());
        }
        QVERIFY(window->openWiki(path, false, false));
        QDir(current()->versions().folder()).removeRecursively();
        window->sidebar()->selectItem(goneId);
        answerBox("Yes, delete");
        window->onDeletePage();
        QVERIFY(current()->waitForSaves());
        QVERIFY(!current()->findPageById(goneId));
        QCOMPARE(current()->versions().list().size(), 1);

        // Looked at read-only, one page copied out; then the version restored.
        answerDialog("VersionsDialog", [](QWidget *versions) {
            answerDialog("VersionViewer", [](QWidget *viewer) {
                auto *pages = viewer->findChild<QListWidget *>("versionPageList");
                pages->setCurrentItem(pages->findItems("Gone", Qt::MatchExactly).value(0));
                viewer->findChild<QPushButton *>("copyPageButton")->click();
                static_cast<QDialog *>(viewer)->reject();
            });
            versions->findChild<QPushButton *>("viewVersionButton")->click();
            versions->findChild<QPushButton *>("restoreVersionButton")->click();
        });
        action("restoreBackupAction")->trigger();
        QCOMPARE(QApplication::clipboard()->mimeData()->html(), "<p>precious words</p>");
        QVERIFY(current()->findPageById(goneId));
        QCOMPARE(current()->findPageById(goneId)->content(), "<p>precious words</p>");
        QCOMPARE(current()->versions().list().size(), 2);
    }

    // An edit made while a slow save runs must still be in the file once the window closed.
    void closeWhileSaving()
    {
        const QString file = openFresh("slow");
        QVERIFY(!file.isEmpty());
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
        type("first");
        QTRY_VERIFY(window->isWindowModified());
        QVERIFY(window->windowTitle().endsWith(QLatin1String("slow.velmora[*]")));
        saveWiki(window.get(), false);
        QVERIFY(entered.tryAcquire(1, 30000));
        QCOMPARE(saveState(), QStringLiteral("Saving\u2026"));
        type("second");
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
        const QString folder = dir.filePath("locked");
        QVERIFY(QDir().mkpath(folder));
        // nobody must reach the folder through the temporary one.
        QVERIFY(QFile::setPermissions(dir.path(),
            QFile::permissions(dir.path()) | QFileDevice::ReadOther | QFileDevice::ExeOther));
        QVERIFY(!openFresh("locked/wiki").isEmpty());
        WikiDocument *wiki = window->currentWiki();
        // The tests run as root, whom no permission stops: the worker writes as nobody.
        wiki->saver()->setBeforeWrite([] {
            setfsgid(65534);
            setfsuid(65534);
        });
        const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadOther | QFileDevice::ExeOther;
        const auto everyone = readOnly | QFileDevice::WriteOwner | QFileDevice::WriteOther;
        const QString notSaved = "Not saved: Velmora has no permission to write there.";

        QString told;
        answerBox("OK", &told);
        QVERIFY(QFile::setPermissions(folder, readOnly));
        saveWiki(window.get(), true);
        QTRY_VERIFY(told.contains(QLatin1String("could not be saved")));
        QCOMPARE(saveState(), notSaved);
        QVERIFY(window->isWindowModified());
        saveWiki(window.get(), false); // the next autosave tries again
        QVERIFY(!wiki->waitForSaves());
        QCOMPARE(saveState(), notSaved);
        answerBox("Keep Velmora open");
        QVERIFY(!window->close());
        QVERIFY(allAnswered());

        QVERIFY(QFile::setPermissions(folder, everyone));
        saveWiki(window.get(), false);
        QVERIFY(wiki->waitForSaves());
        QVERIFY(saveState().startsWith(QLatin1String("Saved at ")));
        QVERIFY(!window->isWindowModified());

        told.clear();
        answerBox("OK", &told);
        QVERIFY(QFile::setPermissions(folder, readOnly));
        saveWiki(window.get(), true);
        QTRY_VERIFY(!told.isEmpty()); // told again after a save worked
        QVERIFY(QFile::setPermissions(folder, everyone));
        QVERIFY(window->close());
    }
};

VELMORA_TEST_MAIN(TestSafeguards)
#include "tst_safeguards.moc"
