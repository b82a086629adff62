// Prints how long the web view takes to show a page in the editor's page template, first and
// again, and the memory of this process and of the web engine's processes afterwards.
// As root, Qt WebEngine needs QTWEBENGINE_DISABLE_SANDBOX=1 in the environment.
//
//   bench_pageview [--paragraphs N] [--pictures KB] [--engine-defaults] [chromium switches...]
//
// --paragraphs sets the length of the page (200), --pictures adds about that many kilobytes of
// inline pictures. The engine starts with the program's own switches (WebEngineArguments)
// unless --engine-defaults is given. Further arguments are Chromium switches,
// added to QTWEBENGINE_CHROMIUM_FLAGS, where Qt WebEngine takes them from. --grab FILE saves
// the first shown page as a picture, to compare what settings do to the rendering.

#include "benchprocess.h"
#include "editor/jspagecontroller.h"
#include "editor/pagedocumentscheme.h"
#include "editor/pageprofile.h"
#include "editor/webenginearguments.h"
#include "editor/webenginepage.h"
#include "model/htmlsanitizer.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>
#include <QWebEngineView>

namespace {

// The editor's page template, as it shows a page.
const QString pageTemplate = QStringLiteral(
    R"html(<!DOCTYPE html><html><head><link rel="stylesheet" href="qrc:///css/style.css"></link><link rel='stylesheet' href='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.css'></link><link rel='stylesheet' href='qrc:///css/jquery-ui.override.css'></link><script type="text/javascript" src="qrc:///js/jquery.min.js"></script><script type="text/javascript" src="qrc:///js/velmora.js"></script><script type='text/javascript' src='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.js'></script></head><body>${pageContent}</body></html>)html");

// Inline pictures of about the given size in all: PNG files of noise, which does not compress.
QString pictures(int kilobytes)
{
    QString html;
    qint64 size = 0;
    QRandomGenerator random(22);
    while (size < kilobytes * 1024) {
        QImage image(256, 256, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = random.generate() | 0xff000000;
        }
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
        size += png.size();
        html += QStringLiteral("<p><img src=\"data:image/png;base64,%1\"></p>")
                    .arg(QString::fromLatin1(png.data().toBase64()));
    }
    return html;
}

QString pageDocument(int paragraphs, int pictureKilobytes)
{
    QString content = QStringLiteral("<h1>Bench page</h1>");
    for (int i = 0; i < paragraphs; ++i)
        content += QStringLiteral("<p>Paragraph %1 with <b>bold</b>, <i>slanted</i> and "
                                  "<a href=\"velmora://page/%1\">linked</a> text.</p>")
                       .arg(i);
    if (pictureKilobytes > 0)
        content += pictures(pictureKilobytes);
    QString html = pageTemplate;
    html.insert(html.indexOf(QLatin1String("<head>")) + 6, HtmlSanitizer::policyElement());
    return html.replace(QLatin1String("${pageContent}"), content);
}

} // namespace

int main(int argc, char **argv)
{
    // The bench's own options; the rest is for Chromium.
    int paragraphs = 200;
    int pictureKilobytes = 0;
    bool engineDefaults = false;
    QString grabFile;
    QByteArray chromiumSwitches = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument = argv[i];
        if (argument == "--paragraphs" && i + 1 < argc)
            paragraphs = QByteArray(argv[++i]).toInt();
        else if (argument == "--pictures" && i + 1 < argc)
            pictureKilobytes = QByteArray(argv[++i]).toInt();
        else if (argument == "--grab" && i + 1 < argc)
            grabFile = QString::fromLocal8Bit(argv[++i]);
        else if (argument == "--engine-defaults")
            engineDefaults = true;
        else
            chromiumSwitches += ' ' + argument;
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", chromiumSwitches.trimmed());
    if (!engineDefaults)
        WebEngineArguments::apply();
    PageDocumentScheme::registerScheme();
    int appArgc = 1;
    QApplication app(appArgc, argv);
    QTextStream out(stdout);
    const QString document = pageDocument(paragraphs, pictureKilobytes);
    out << "page: " << paragraphs << " paragraphs, " << document.size() / 1024 << " kB\n";

    QElapsedTimer timer;
    timer.start();
    auto *controller = new JsPageController(&app);
    out << "Qt WebEngine " << qVersion() << ", QTWEBENGINE_CHROMIUM_FLAGS: "
        << qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS") << '\n';
    auto *profile = new PageProfile(&app);
    QWebEngineView view;
    auto *page = new WebEnginePage(profile, controller, &view);
    view.setPage(page);
    const auto show = [&] { page->setDocument(document); };
    QSignalSpy loaded(page, &QWebEnginePage::loadFinished);
    view.resize(1000, 700);
    view.show();
    show();
    // A bound on the wait, so that an engine that never answers ends the bench.
    if (!loaded.wait(60000)) {
        out << "the page never finished loading\n";
        return 1;
    }
    if (!loaded.first().value(0).toBool())
        out << "the page failed to load\n";
    out << "first page shown (view, engine start, load): " << timer.elapsed() << " ms, "
        << msSinceProcessStart() << " ms after the process started\n";
    if (!grabFile.isEmpty()) {
        // The engine paints the loaded page a moment later.
        QTest::qWait(1000);
        view.grab().save(grabFile);
    }

    constexpr int again = 10;
    timer.restart();
    for (int i = 0; i < again; ++i) {
        loaded.clear();
        show();
        if (loaded.isEmpty() && !loaded.wait(60000)) {
            out << "the page never finished loading\n";
            return 1;
        }
    }
    out << "page shown again: " << timer.elapsed() / double(again) << " ms on average of " << again
        << '\n';

    const QString self = QString::number(QCoreApplication::applicationPid());
    const Memory own = memoryOf(self);
    Memory engine;
    const QStringList children = descendants(self);
    for (const QString &entry : children) {
        const QString child = entry.section(QLatin1Char(':'), 0, 0);
        const Memory memory = memoryOf(child);
        engine.rss += memory.rss;
        engine.pss += memory.pss;
        out << "  " << processType(child, entry.section(QLatin1Char(':'), 1)) << ": RSS " << memory.rss / 1024 << " MB, PSS "
            << memory.pss / 1024 << " MB\n";
    }
    out << "memory of this process: RSS " << own.rss / 1024 << " MB, PSS " << own.pss / 1024
        << " MB\n";
    out << "memory of " << children.size() << " engine processes: RSS " << engine.rss / 1024
        << " MB, PSS " << engine.pss / 1024 << " MB\n";
    out << "together: RSS " << (own.rss + engine.rss) / 1024 << " MB, PSS "
        << (own.pss + engine.pss) / 1024 << " MB\n";
    return 0;
}
