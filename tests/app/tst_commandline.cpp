#include "model/exporter.h"
#include "model/wikifilecheck.h"
#include "search/searchrunner.h"

#include "testing.h"
#include <QDirIterator>
#include <QLockFile>
#include <QProcess>

using namespace Testing;

// The subcommands, run as the real program without a display, on wikis written by the model.
class TestCommandLine : public QObject
{
    Q_OBJECT

    struct Run
    {
        int code = -1;
        QString out;
        QString err;
    };

    QTemporaryDir dir;
    QString wikiPath;
    QString protectedPath;
    std::unique_ptr<QLockFile> windowLock;

    QString path(const QString &name) const { return dir.filePath(name); }

    // No display, settings and temporary files in the test's folder, and the window's lock held
    // by the test: a subcommand that needed either would fail.
    Run velmora(const QStringList &arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("TMPDIR"), dir.path());
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VELMORA_BINARY), arguments);
        process.closeWriteChannel();
        Run run;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    static QMap<QString, QByteArray> filesIn(const QString &folder)
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(folder, QDir::Files);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                files.insert(it.fileName(), file.readAll());
        }
        return files;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        windowLock = std::make_unique<QLockFile>(path(QStringLiteral("velmora.lock")));
        QVERIFY(windowLock->tryLock(0));
        wikiPath = path(QStringLiteral("known.velmora"));
        {
            WikiDocument wiki(wikiPath);
            Page *notes = wiki.createPage(QStringLiteral("Notes"), nullptr);
            wiki.homePage()->setContent(
                QStringLiteral("<p>Welcome. The <b>harbour</b> opens at dawn.</p>"
                               "<p><a href=\"file://velmora/?pageid=%1\">Notes</a></p>")
                    .arg(notes->id()));
            notes->setContent(QStringLiteral("<p>Harbour fees rise in May.</p><p>Nothing.</p>"));
            Folder *trips = wiki.createFolder(QStringLiteral("Trips"));
            wiki.createPage(QStringLiteral("Lisbon"), trips)
                ->setContent(QStringLiteral("<p>The harbour at Lisbon, and another harbour.</p>"));
            Page *secret = wiki.createPage(QStringLiteral("Secret"), nullptr);
            secret->setContent(QStringLiteral("<p>harbour code 1234</p>"));
            QVERIFY(secret->setPassword(QStringLiteral("page pass"), QString()));
            QVERIFY(wiki.save());
        }
        protectedPath = path(QStringLiteral("protected.velmora"));
        {
            WikiDocument wiki(protectedPath);
            wiki.homePage()->setContent(QStringLiteral("<p>Lighthouse keys</p>"));
            QVERIFY(wiki.setPassword(QStringLiteral("sea wall"), QStringLiteral("where")));
            QVERIFY(wiki.save());
        }
        QVERIFY(putFile(path(QStringLiteral("right.pw")), "sea wall\r\nrest"));
        QVERIFY(putFile(path(QStringLiteral("wrong.pw")), " sea wall "));
    }

    void cleanupTestCase()
    {
        // Neither settings nor anything else of the window's were written.
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("config"))));
        dir.setAutoRemove(!QTest::currentTestFailed());
    }

    void exportWritesWhatTheWindowWrites_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("html") << QStringLiteral("html");
        QTest::newRow("text") << QStringLiteral("text");
    }

    void exportWritesWhatTheWindowWrites()
    {
        QFETCH(QString, format);
        const QString byWindow = path(QStringLiteral("window-") + format);
        const QString byCommand
            = path(QStringLiteral("command-") + format + QStringLiteral("/new"));
        QVERIFY(QDir().mkpath(byWindow));
        {
            // What File > Export Wiki As does with the wiki as it opens.
            WikiDocument wiki(wikiPath);
            const QList<Page *> pages = wiki.allPages();
            const QString title = QFileInfo(wikiPath).completeBaseName();
            QVERIFY(format == QLatin1String("html") ? exportPagesAsHtml(pages, byWindow, title)
                                                    : exportPagesAsText(pages, byWindow));
        }
        const Run run = velmora(
            {QStringLiteral("export"), QStringLiteral("--format"), format, wikiPath, byCommand});
        QCOMPARE(run.code, 0);
        const QMap<QString, QByteArray> expected = filesIn(byWindow);
        QCOMPARE(expected.size(), format == QLatin1String("html") ? 5 : 4); // and index.html
        QCOMPARE(filesIn(byCommand), expected);
        // The locked page is its notice, as in the window.
        const QString secret = QString::fromUtf8(
            expected.value(format == QLatin1String("html") ? QStringLiteral("Secret.html")
                                                           : QStringLiteral("Secret.txt")));
        QVERIFY(secret.contains(QStringLiteral("This page is protected with a password.")));
        QVERIFY(!secret.contains(QStringLiteral("1234")));
    }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("someLines");
        QTest::newRow("hits in every page")
            << QStringLiteral("HARBOUR") << 0
            << QStringList {QStringLiteral("Notes: Harbour fees rise in May."),
                   QStringLiteral("Secret - PASSWORD PROTECTED")};
        QTest::newRow("nothing found") << QStringLiteral("zebra") << 1 << QStringList();
        QTest::newRow("only in a link target") << QStringLiteral("pageid") << 1 << QStringList();
    }

    void search()
    {
        QFETCH(QString, text);
        QFETCH(int, code);
        QFETCH(QStringList, someLines);
        QStringList expected;
        {
            // The window's search on the wiki as it opens, printed one hit a line.
            WikiDocument wiki(wikiPath);
            SearchRunner runner;
            for (const SearchResult &hit : runner.run(wiki.allPages(), text)) {
                expected << (hit.isLocked()
                        ? hit.pageName() + QStringLiteral(" - PASSWORD PROTECTED")
                        : hit.pageName() + QStringLiteral(": ") + hit.text().trimmed());
            }
        }
        const Run run = velmora({QStringLiteral("search"), wikiPath, text});
        QCOMPARE(run.code, code);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines, expected);
        for (const QString &line : someLines)
            QVERIFY2(lines.contains(line), qPrintable(run.out));
        if (code == 0) {
            QCOMPARE(lines.size(), 5);
            QVERIFY(lines.first().startsWith(QStringLiteral("Home Page: ")));
            QCOMPARE(lines.filter(QStringLiteral("Lisbon: ")).size(), 2);
        }
    }

    void check_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        const QByteArray sound = fileBytes(wikiPath);
        QByteArray flipped = sound;
        flipped[flipped.size() / 2] = char(flipped.at(flipped.size() / 2) ^ 0x40);
        QTest::newRow("sound") << sound << 0 << QStringLiteral("The file is sound.");
        QTest::newRow("digest does not match") << flipped << 1 << QStringLiteral("digest");
        QTest::newRow("cut short")
            << sound.left(sound.size() - 7) << 1 << QStringLiteral("damaged");
        QTest::newRow("foreign") << QByteArray("\x89PNG\r\n\x1a\n plus a picture") << 1
                                 << QStringLiteral("could not be read as a Velmora wiki");
        QTest::newRow("earlier release") << QByteArray("SQLite format 3\0 and so on", 26) << 1
                                         << QStringLiteral("earlier release");
    }

    void check()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, code);
        QFETCH(QString, says);
        const QString file = path(QStringLiteral("checked.velmora"));
        QVERIFY(putFile(file, bytes));
        const QDateTime written = QFileInfo(file).lastModified();

        const Run run = velmora({QStringLiteral("check"), file});
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
        QVERIFY(run.out.contains(QStringLiteral("File size: %1 bytes")
                                     .arg(QLocale(QLocale::English).toString(bytes.size()))));
        if (code == 0) {
            for (const char *line : {"Pages: 4", "Folders: 1", "Password protected: no"})
                QVERIFY2(run.out.contains(QLatin1String(line)), qPrintable(run.out));
            QVERIFY(run.out.contains(QStringLiteral("of at most 134,217,735")));
        }
        // Nothing, not even an empty file, is ever written over.
        QCOMPARE(fileBytes(file), bytes);
        QCOMPARE(QFileInfo(file).lastModified(), written);
    }

    void unreadableWikiIsLeftAlone_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("export") << QStringList {QStringLiteral("export"),
            QStringLiteral("--format"), QStringLiteral("text"), QStringLiteral("FILE"),
            path(QStringLiteral("out"))};
        QTest::newRow("search") << QStringList {
            QStringLiteral("search"), QStringLiteral("FILE"), QStringLiteral("x")};
    }

    void unreadableWikiIsLeftAlone()
    {
        QFETCH(QStringList, arguments);
        const QString foreign = path(QStringLiteral("picture.velmora"));
        const QString missing = path(QStringLiteral("missing.velmora"));
        QVERIFY(putFile(foreign, "GIF89a, not a wiki"));
        for (const QString &file : {foreign, missing}) {
            QStringList withFile = arguments;
            withFile.replace(withFile.indexOf(QStringLiteral("FILE")), file);
            const Run run = velmora(withFile);
            QCOMPARE(run.code, 3);
            if (file == foreign)
                QVERIFY2(
                    run.err.contains(WikiFileCheck::notAWikiMessage(foreign)), qPrintable(run.err));
        }
        QCOMPARE(fileBytes(foreign), QByteArray("GIF89a, not a wiki"));
        // A new wiki is not started in place of a missing one.
        QVERIFY(!QFileInfo::exists(missing));
    }

    void passwords_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("no password and no terminal")
            << QStringList() << 4 << QStringLiteral("is protected by a password");
        QTest::newRow("wrong password")
            << QStringList {QStringLiteral("--password-file"), path(QStringLiteral("wrong.pw"))}
            << 4 << QStringLiteral("Invalid password.");
        QTest::newRow("missing password file")
            << QStringList {QStringLiteral("--password-file"), path(QStringLiteral("none.pw"))} << 4
            << QStringLiteral("cannot be read");
        QTest::newRow("right password")
            << QStringList {QStringLiteral("--password-file"), path(QStringLiteral("right.pw"))}
            << 0 << QStringLiteral("Home Page: Lighthouse");
    }

    void passwords()
    {
        QFETCH(QStringList, options);
        QFETCH(int, code);
        QFETCH(QString, says);
        const Run run = velmora(QStringList {QStringLiteral("search")} + options
            + QStringList {protectedPath, QStringLiteral("lighthouse")});
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
        if (code != 0)
            QVERIFY(!run.out.contains(QStringLiteral("Lighthouse")));
    }

    void wrongArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        const QString w = QStringLiteral("known.velmora");
        QTest::newRow("unknown option") << QStringList {QStringLiteral("--frobnicate")};
        QTest::newRow("two wikis for the window") << QStringList {w, w};
        QTest::newRow("option without subcommand")
            << QStringList {QStringLiteral("--format"), QStringLiteral("html"), w};
        QTest::newRow("export to pdf") << QStringList {QStringLiteral("export"),
            QStringLiteral("--format"), QStringLiteral("pdf"), w, QStringLiteral("out")};
        QTest::newRow("search without text") << QStringList {QStringLiteral("search"), w};
        QTest::newRow("password file without its name") << QStringList {
            QStringLiteral("search"), w, QStringLiteral("x"), QStringLiteral("--password-file")};
    }

    void wrongArguments()
    {
        QFETCH(QStringList, arguments);
        const Run run = velmora(arguments);
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains(QStringLiteral("Usage: velmora")), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QVERIFY(!QFileInfo::exists(QStringLiteral("out")));
    }

    void version()
    {
        const Run version = velmora({QStringLiteral("--version")});
        QCOMPARE(version.code, 0);
        QCOMPARE(version.out, QStringLiteral("Velmora 2.3.2\n"));
    }
};

QTEST_MAIN(TestCommandLine)

#include "tst_commandline.moc"
