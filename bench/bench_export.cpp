// How long exporting the bench wiki of benchwiki.h takes: every page to HTML files linked to
// each other, and every page to plain-text files, each into a fresh folder.

#include "benchwiki.h"
#include "model/exporter.h"
#include "model/wikidocument.h"
#include "model/wikifile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int pageCount = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.velmora"));
    if (!writeWikiData(path, documentBytesFromJson(buildBenchWiki(pageCount)))) {
        std::printf("could not write %s\n", qPrintable(path));
        return 1;
    }
    WikiDocument wiki(path);
    const QList<Page *> pages = wiki.allPages();

    QElapsedTimer timer;
    QDir(dir.path()).mkdir(QStringLiteral("html"));
    timer.start();
    const bool html = exportPagesAsHtml(pages, dir.filePath(QStringLiteral("html")));
    const qint64 htmlMs = timer.elapsed();

    QDir(dir.path()).mkdir(QStringLiteral("text"));
    timer.restart();
    const bool text = exportPagesAsText(pages, dir.filePath(QStringLiteral("text")));
    const qint64 textMs = timer.elapsed();

    std::printf("pages: %d\nexport to HTML: %lld ms%s\nexport to text: %lld ms%s\n",
        int(pages.size()), htmlMs, html ? "" : " (failed)", textMs, text ? "" : " (failed)");
    return html && text ? 0 : 1;
}
