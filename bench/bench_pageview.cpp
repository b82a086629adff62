// Prints how long the web view takes to show a page in the editor's page template, first and
// again, and the memory of this process and of the web engine's processes afterwards.
// Qt 6 builds measure Qt WebEngine, Qt 5 builds QtWebKit. As root, Qt WebEngine needs
// QTWEBENGINE_DISABLE_SANDBOX=1 in the environment.

#include "editor/jspagecontroller.h"
#include "model/htmlsanitizer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTextStream>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include "editor/pageprofile.h"
#include "editor/webenginepage.h"

#include <QWebEngineView>
#else
#include "editor/webpage.h"

#include <QWebFrame>
#include <QWebView>
#endif

namespace {

// The editor's page template, as it shows a page.
const QString pageTemplate = QStringLiteral(
    R"html(<!DOCTYPE html><html><head><link rel="stylesheet" href="qrc:///css/style.css"></link><link rel='stylesheet' href='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.css'></link><link rel='stylesheet' href='qrc:///css/jquery-ui.override.css'></link><script type="text/javascript" src="qrc:///js/jquery.min.js"></script><script type="text/javascript" src="qrc:///js/velmora.js"></script><script type='text/javascript' src='qrc:///js/jquery-ui-1.12.1/jquery-ui.min.js'></script></head><body>${pageContent}</body></html>)html");

QString pageDocument(int paragraphs)
{
    QString content = QStringLiteral("<h1>Bench page</h1>");
    for (int i = 0; i < paragraphs; ++i)
        content += QStringLiteral("<p>Paragraph %1 with <b>bold</b>, <i>slanted</i> and "
                                  "<a href=\"velmora://page/%1\">linked</a> text.</p>")
                       .arg(i);
    QString html = pageTemplate;
    html.insert(html.indexOf(QLatin1String("<head>")) + 6, HtmlSanitizer::policyElement());
    return html.replace(QLatin1String("${pageContent}"), content);
}

// Resident and proportional set sizes in kB of one process.
struct Memory
{
    qint64 rss = 0;
    qint64 pss = 0;
};

Memory memoryOf(const QString &pid)
{
    Memory memory;
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return memory;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        if (fields[0] == "Rss:")
            memory.rss = fields[1].toLongLong();
        else if (fields[0] == "Pss:")
            memory.pss = fields[1].toLongLong();
    }
    return memory;
}

// The processes started from this one, and theirs: the engine's zygote forks the renderers.
QStringList descendants(const QString &pid)
{
    QStringList found;
    const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &candidate : all) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(candidate));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // The fields after the command name, which is in parentheses and may hold spaces.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == pid.toLatin1())
            found << candidate << descendants(candidate);
    }
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QString document = pageDocument(200);

    QElapsedTimer timer;
    timer.start();
    auto *controller = new JsPageController(&app);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    out << "Qt WebEngine " << qVersion() << '\n';
    auto *profile = new PageProfile(&app);
    QWebEngineView view;
    auto *page = new WebEnginePage(profile, controller, &view);
    view.setPage(page);
    const auto show = [&] { page->setHtml(document); };
    QSignalSpy loaded(page, &QWebEnginePage::loadFinished);
#else
    out << "QtWebKit on Qt " << qVersion() << '\n';
    QWebView view;
    auto *page = new WebPage(&view);
    view.setPage(page);
    const auto show = [&] {
        page->mainFrame()->setHtml(document, QUrl());
        page->mainFrame()->addToJavaScriptWindowObject(
            QStringLiteral("page"), controller, QWebFrame::QtOwnership);
    };
    QSignalSpy loaded(page, &QWebPage::loadFinished);
#endif
    view.resize(1000, 700);
    view.show();
    show();
    // A bound on the wait, so that an engine that never answers ends the bench.
    if (!loaded.wait(60000)) {
        out << "the page never finished loading\n";
        return 1;
    }
    out << "first page shown (view, engine start, load): " << timer.elapsed() << " ms\n";

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
    for (const QString &child : children) {
        const Memory memory = memoryOf(child);
        engine.rss += memory.rss;
        engine.pss += memory.pss;
    }
    out << "memory of this process: RSS " << own.rss / 1024 << " MB, PSS " << own.pss / 1024
        << " MB\n";
    out << "memory of " << children.size() << " engine processes: RSS " << engine.rss / 1024
        << " MB, PSS " << engine.pss / 1024 << " MB\n";
    out << "together: RSS " << (own.rss + engine.rss) / 1024 << " MB, PSS "
        << (own.pss + engine.pss) / 1024 << " MB\n";
    return 0;
}
