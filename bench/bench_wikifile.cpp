// Times saving and opening a large, realistic wiki through the wiki file layer and prints the
// peak memory of each step; the wiki is the one in benchwiki.h.
//   bench_wikifile [wiki file path]   (default: a file in a temporary folder)
#include "benchwiki.h"
#include "model/wikifile.h"
#include "model/wikifileguard.h"
#include "model/wikiversions.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QJsonArray>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

// A line of /proc/self/status in kB, e.g. "VmHWM"; 0 where there is none.
qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Runs a step and prints its time, the memory held before it and the peak during it.
void measure(const char *name, const std::function<void()> &step)
{
    // Writing 5 resets the peak resident size, so that the peak belongs to this step.
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
    clearRefs.close();
    const qint64 before = statusKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    step();
    const qint64 elapsed = timer.elapsed();
    std::printf("%-34s %7lld ms   rss before %5lld MB   peak %5lld MB\n", name, elapsed,
        before / 1024, statusKb("VmHWM:") / 1024);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QStringList args = app.arguments();
    const QString path = args.size() > 1 ? args.at(1) : dir.filePath("bench.velmora");

    QJsonObject root;
    QByteArray document;
    bool ok = true;
    measure("build the JSON objects", [&] { root = buildBenchWiki(); });
    measure("save: documentBytesFromJson", [&] { document = documentBytesFromJson(root); });
    measure("save: writeWikiData", [&] { ok = ok && writeWikiData(path, document); });
    // The same write with the check for outside changes, and once with a version kept first.
    QStandardPaths::setTestModeEnabled(true);
    WikiFileGuard guard(path);
    WikiVersions versions(path);
    measure("save: guard after load (read, digest)", [&] { guard.rememberFile(); });
    measure("save: guarded, keeping a version", [&] {
        ok = ok && writeWikiDataGuarded(path, document, &guard, &versions) == GuardedWrite::Written;
    });
    measure("save: guarded, no version due", [&] {
        ok = ok && writeWikiDataGuarded(path, document, &guard, &versions) == GuardedWrite::Written;
    });
    measure("save: guard check alone", [&] {
        ok = ok && guard.check() == WikiFileGuard::DiskState::Unchanged;
    });
    QDir(versions.folder()).removeRecursively();
    const qint64 documentSize = document.size();
    document.clear();
    root = QJsonObject();

    WikiReadStatus status = WikiReadStatus::Unreadable;
    QJsonObject read;
    measure("open: readWikiData", [&] { document = readWikiData(path, &status); });
    measure("open: jsonFromDocumentBytes", [&] { read = jsonFromDocumentBytes(document, &ok); });

    std::printf("document %.1f MB, file %.1f MB, %d top-level items read back%s\n",
        documentSize / 1048576.0, QFileInfo(path).size() / 1048576.0,
        int(read.value("wiki_items").toArray().size()),
        ok && status == WikiReadStatus::Read ? "" : " -- FAILED");
    return ok && status == WikiReadStatus::Read ? 0 : 1;
}
