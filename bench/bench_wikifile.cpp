// Times saving and opening a large, realistic wiki through the wiki file layer and prints the
// peak memory of each step: 2000 pages of about 3 kB of text linking to each other, 3 folders,
// and 100 pictures of about 200 kB kept in the pages as base64 data.
//   bench_wikifile [wiki file path]   (default: a file in a temporary folder)
#include "model/urls.h"
#include "model/wikifile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

const int pageCount = 2000;
const int folderCount = 3;
const int pagesPerFolder = 100;
const int pictureCount = 100;
const int pictureBytes = 150 * 1024; // about 200 kB once in base64

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

QString pageId(int i)
{
    return i == 0 ? QStringLiteral("1") : QString::number(Q_INT64_C(1733480000000) + i);
}

QString pageText(int i, QRandomGenerator &random)
{
    static const QStringList words = QString("the of wiki page notes meeting plan garden "
                                             "review budget travel recipe draft idea list "
                                             "tomorrow project chapter summary question")
                                         .split(' ');
    QString html;
    while (html.size() < 3000) {
        html += "<p>";
        for (int w = 0; w < 40; ++w)
            html += words.at(int(random.bounded(words.size()))) + ' ';
        const int target = int(random.bounded(pageCount));
        html += QString("<a href=\"%1\">page %2</a></p>").arg(pageUrl(pageId(target))).arg(target);
    }
    // Now and then a character outside Latin-1, which changes how Qt stores the text.
    if (i % 10 == 0)
        html += QString::fromUtf8("<p>Erledigt ✓</p>");
    return html;
}

QJsonObject page(int i, const QString &content)
{
    const QJsonObject descriptor {{"hashed_password", ""}, {"salt", ""}, {"hint", ""}};
    return QJsonObject {{"id", pageId(i)},
        {"name", i == 0 ? QStringLiteral("Home Page") : QString("Page %1").arg(i)},
        {"type", "page"}, {"content", content}, {"password_descriptor", descriptor}};
}

QJsonObject buildWiki()
{
    QRandomGenerator random(2024);
    QJsonArray top;
    QJsonArray folders[folderCount];
    for (int i = 0; i < pageCount; ++i) {
        QString content = pageText(i, random);
        if (i % (pageCount / pictureCount) == 1) {
            QByteArray picture(pictureBytes, Qt::Uninitialized);
            random.fillRange(reinterpret_cast<quint32 *>(picture.data()), pictureBytes / 4);
            content += QString("<p><img src=\"data:image/png;base64,%1\"></p>")
                           .arg(QString::fromLatin1(picture.toBase64()));
        }
        const int folder = i - (pageCount - folderCount * pagesPerFolder);
        if (folder >= 0)
            folders[folder / pagesPerFolder].append(page(i, content));
        else
            top.append(page(i, content));
    }
    for (int f = 0; f < folderCount; ++f) {
        top.append(QJsonObject {{"id", QString::number(Q_INT64_C(1733490000000) + f)},
            {"name", QString("Folder %1").arg(f + 1)}, {"type", "folder"}, {"pages", folders[f]}});
    }
    const QJsonObject descriptor {{"hashed_password", ""}, {"salt", ""}, {"hint", ""}};
    return QJsonObject {
        {"admin", QJsonObject {{"version", "2.3.2"}, {"password_descriptor", descriptor}}},
        {"wiki_items", top}};
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
    measure("build the JSON objects", [&] { root = buildWiki(); });
    measure("save: documentBytesFromJson", [&] { document = documentBytesFromJson(root); });
    measure("save: writeWikiData", [&] { ok = ok && writeWikiData(path, document); });
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
