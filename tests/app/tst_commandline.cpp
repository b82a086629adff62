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
        env.insert("TMPDIR", dir.path());
        env.insert("HOME", dir.path());
        env.insert("XDG_CONFIG_HOME", path("config"));
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
        windowLock = std::make_unique<QLockFile>(path("velmora.lock"));
        QVERIFY(windowLock->tryLock(0));
        wikiPath = path("known.velmora");
        {
            WikiDocument wiki(wikiPath);
            Page *notes = wiki.createPage("Notes", nullptr);
            wiki.homePage()->setContent(
                QStringLiteral("<p>Welcome. The <b>harbour</b> opens at dawn.</p>"
                               "<p><a href=\"file://velmora/?pageid=%1\">Notes</a></p>")
                    .arg(notes->id()));
            notes->setContent("<p>Harbour fees rise in May.</p><p>Nothing.</p>");
            Folder *trips = wiki.createFolder("Trips");
            wiki.createPage("Lisbon", trips)
                ->setContent("<p>The harbour at Lisbon, and another harbour.</p>");
            Page *secret = wiki.createPage("Secret", nullptr);
            secret->setContent("<p>harbour code 1234</p>");
            QVERIFY(secret->setPassword("page pass", QString()));
            QVERIFY(wiki.save());
        }
        protectedPath = path("protected.velmora");
        {
            WikiDocument wiki(protectedPath);
            wiki.homePage()->setContent("<p>Lighthouse keys</p>");
            QVERIFY(wiki.setPassword("sea wall", "where"));
            QVERIFY(wiki.save());
        }
        QVERIFY(putFile(path("right.pw"), "sea wall\r\nrest"));
        QVERIFY(putFile(path("wrong.pw"), " sea wall "));
    }

    void cleanupTestCase()
    {
        // Neither settings nor anything else of the window's were written.
        QVERIFY(!QFileInfo::exists(path("config")));
        dir.setAutoRemove(!QTest::currentTestFailed());
    }

    void exportWritesWhatTheWindowWrites_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("html") << "html";
        QTest::newRow("text") << "text";
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
        const Run run = velmora({"export", "--format", format, wikiPath, byCommand});
        QCOMPARE(run.code, 0);
        const QMap<QString, QByteArray> expected = filesIn(byWindow);
        QCOMPARE(expected.size(), format == QLatin1String("html") ? 5 : 4); // and index.html
        QCOMPARE(filesIn(byCommand), expected);
        // The locked page is its notice, as in the window.
        const QString secret = QString::fromUtf8(
            expected.value(format == QLatin1String("html") ? "Secret.html" : "Secret.txt"));
        QVERIFY(secret.contains("This page is protected with a password."));
        QVERIFY(!secret.contains("1234"));
    }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("someLines");
        QTest::newRow("hits in every page")
            << "HARBOUR" << 0
            << QStringList {"Notes: Harbour fees rise in May.", "Secret - PASSWORD PROTECTED"};
        QTest::newRow("nothing found") << "zebra" << 1 << QStringList();
        QTest::newRow("only in a link target") << "pageid" << 1 << QStringList();
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
        const Run run = velmora({"search", wikiPath, text});
        QCOMPARE(run.code, code);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines, expected);
        for (const QString &line : someLines)
            QVERIFY2(lines.contains(line), qPrintable(run.out));
    }

    void check_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        const QByteArray sound = fileBytes(wikiPath);
        QByteArray flipped = sound;
        flipped[flipped.size() / 2] = char(flipped.at(flipped.size() / 2) ^ 0x40);
        QTest::newRow("sound") << sound << 0 << "The file is sound.";
        QTest::newRow("digest does not match") << flipped << 1 << "digest";
        QTest::newRow("cut short") << sound.left(sound.size() - 7) << 1 << "damaged";
        QTest::newRow("foreign") << QByteArray("\x89PNG\r\n\x1a\n plus a picture") << 1
                                 << "could not be read as a Velmora wiki";
        QTest::newRow("earlier release")
            << QByteArray("SQLite format 3\0 and so on", 26) << 1 << "earlier release";
    }

    void check()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, code);
        QFETCH(QString, says);
        const QString file = path("checked.velmora");
        QVERIFY(putFile(file, bytes));
        const QDateTime written = QFileInfo(file).lastModified();

        const Run run = velmora({"check", file});
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
        QVERIFY(run.out.contains(QStringLiteral("File size: %1 bytes")
                                     .arg(QLocale(QLocale::English).toString(bytes.size()))));
        for (const char *line : {"Pages: 4", "Folders: 1", "Password protected: no"})
            QCOMPARE(run.out.contains(QLatin1String(line)), code == 0);
        // Nothing, not even an empty file, is ever written over.
        QCOMPARE(fileBytes(file), bytes);
        QCOMPARE(QFileInfo(file).lastModified(), written);
    }

    void unreadableWikiIsLeftAlone_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("export") << QStringList {"export", "--format", "text", "FILE", path("out")};
        QTest::newRow("search") << QStringList {"search", "FILE", "x"};
    }

    void unreadableWikiIsLeftAlone()
    {
        QFETCH(QStringList, arguments);
        const QString foreign = path("picture.velmora");
        const QString missing = path("missing.velmora");
        QVERIFY(putFile(foreign, "GIF89a, not a wiki"));
        for (const QString &file : {foreign, missing}) {
            QStringList withFile = arguments;
            withFile.replace(withFile.indexOf("FILE"), file);
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
            << QStringList() << 4 << "is protected by a password";
        QTest::newRow("wrong password")
            << QStringList {"--password-file", path("wrong.pw")} << 4 << "Invalid password.";
        QTest::newRow("missing password file")
            << QStringList {"--password-file", path("none.pw")} << 4 << "cannot be read";
        QTest::newRow("right password")
            << QStringList {"--password-file", path("right.pw")} << 0 << "Home Page: Lighthouse";
    }

    void passwords()
    {
        QFETCH(QStringList, options);
        QFETCH(int, code);
        QFETCH(QString, says);
        const Run run
            = velmora(QStringList {"search"} + options + QStringList {protectedPath, "lighthouse"});
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
        if (code != 0)
            QVERIFY(!run.out.contains("Lighthouse"));
    }

    void wrongArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        const QString w = "known.velmora";
        QTest::newRow("unknown option") << QStringList {"--frobnicate"};
        QTest::newRow("two wikis for the window") << QStringList {w, w};
        QTest::newRow("option without subcommand") << QStringList {"--format", "html", w};
        QTest::newRow("export to pdf") << QStringList {"export", "--format", "pdf", w, "out"};
        QTest::newRow("search without text") << QStringList {"search", w};
        QTest::newRow("password file without its name")
            << QStringList {"search", w, "x", "--password-file"};
    }

    void wrongArguments()
    {
        QFETCH(QStringList, arguments);
        const Run run = velmora(arguments);
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains("Usage: velmora"), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QVERIFY(!QFileInfo::exists("out"));
    }
};

VELMORA_TEST_MAIN(TestCommandLine)

#include "tst_commandline.moc"
