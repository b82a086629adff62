#include "testing.h"

#include "app/mainwindow.h"
#include "app/settings.h"
#include "app/updatechecker.h"
#include "editor/editor.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "model/wikisizebudget.h"
#include "model/wikiversions.h"
#include "sidebar/sidebar.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QtTest>

using namespace Testing;

namespace {

// Clicks the button with this text in the next message box, ticking its check box first when
// asked, and records the box's text; fails when there is no such button.
void clickBox(const QString &button, QString *text, bool tick = false)
{
    answerDialog("QMessageBox", [=](QWidget *dialog) {
        auto *box = static_cast<QMessageBox *>(dialog);
        *text = box->text();
        if (tick && box->checkBox())
            box->checkBox()->setChecked(true);
        for (QAbstractButton *b : box->buttons()) {
            if (b->text() == button) {
                b->click();
                return;
            }
        }
        box->done(0);
        QFAIL(qPrintable("no button " + button));
    });
}

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

// The window's side of keeping a wiki safe: a file changed outside, a vanished file, the size
// budget, large pictures and restoring an earlier version, on real files.
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
        QTRY_COMPARE(window->editor()->evaluateJavaScript("document.readyState").toString(),
            QStringLiteral("complete"));
        window->editor()->setFocus();
        window->editor()->evaluateJavaScript(
            "var r = document.createRange(); r.selectNodeContents(document.body);"
            "r.collapse(false); getSelection().removeAllRanges(); getSelection().addRange(r);");
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
        clickBox(answer, &text);
        // The question comes with the save's report.
        WikiDocument *ours = wiki();
        window->saveWiki(false);
        ours->waitForSaves();
        QCOMPARE(
            text, QStringLiteral("The wiki file was changed outside Velmora since it was opened."));

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
        QTest::newRow("photo, remembered earlier") << "photo"
                                                   << "scale"
                                                   << "" << false << "scaled";
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
            clickBox(answer, &question, remember);
        const QStringList otherBoxes = boxesDuring([&] { action("insertImageAction")->trigger(); });
        QVERIFY2(otherBoxes.isEmpty(), qPrintable(otherBoxes.join(", ")));
        QCOMPARE(question.isEmpty(), answer.isEmpty());
        if (kind == QLatin1String("photo") && !answer.isEmpty()) {
            QVERIFY2(question.startsWith(
                         QStringLiteral("This picture is 4000 × 3000 pixels and takes ")),
                qPrintable(question));
            QVERIFY2(question.contains(QStringLiteral("2560 × 1920 pixels")), qPrintable(question));
        }
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
        QString question;
        clickBox(QStringLiteral("Yes, delete"), &question);
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
};

QTEST_MAIN(TestSafeguards)
#include "tst_safeguards.moc"
