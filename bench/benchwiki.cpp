#include "benchwiki.h"

#include "model/folder.h"
#include "model/page.h"
#include "model/urls.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>
#include <QStringList>

namespace {

const int pageCount = 2000;
const int folderCount = 3;
const int pagesPerFolder = 100;
const int pictureEvery = pageCount / 100;

// Noise compresses badly, so a 256 by 256 picture stays near 200 KB as PNG.
QString pictureTag(QRandomGenerator &random)
{
    QImage image(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = 0xff000000 | (random.generate() & 0x00ffffff);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QStringLiteral("<p><img src=\"data:image/png;base64,%1\"></p>")
        .arg(QString::fromLatin1(png.toBase64()));
}

// About 3 KB of paragraphs with a link to another page in each.
QString pageText(QRandomGenerator &random, const QStringList &ids)
{
    static const QStringList words = {"garden", "meeting", "notes", "budget", "plan", "letter",
        "seeds", "water", "week", "summer"};
    QString html;
    while (html.size() < 3000) {
        QStringList sentence;
        for (int i = 0; i < 40; ++i)
            sentence << words.at(random.bounded(words.size()));
        const QString target = ids.at(random.bounded(ids.size()));
        html += QStringLiteral("<p>%1 <a href=\"%2\">see %3</a>.</p>")
                    .arg(sentence.join(' '), pageUrl(target), target);
    }
    return html;
}

} // namespace

QList<WikiItem *> makeBenchWiki()
{
    QRandomGenerator random(2024);
    QStringList ids {QStringLiteral("1")};
    for (int i = 1; i < pageCount; ++i)
        ids << QString::number(1700000000000LL + i);

    QList<Page *> pages;
    for (int i = 0; i < pageCount; ++i) {
        QString content = pageText(random, ids);
        if (i % pictureEvery == pictureEvery - 1)
            content += pictureTag(random);
        const QString name
            = i == 0 ? QStringLiteral("Home Page") : QStringLiteral("Page %1").arg(i);
        pages << new Page(ids.at(i), name, content);
    }

    QList<WikiItem *> items;
    const int topLevelPages = pageCount - folderCount * pagesPerFolder;
    for (int i = 0; i < topLevelPages; ++i)
        items << pages.at(i);
    for (int f = 0; f < folderCount; ++f) {
        auto *folder = new Folder(
            QString::number(1800000000000LL + f), QStringLiteral("Folder %1").arg(f + 1));
        for (int i = 0; i < pagesPerFolder; ++i)
            folder->addPage(pages.at(topLevelPages + f * pagesPerFolder + i));
        items << folder;
    }
    return items;
}

void deleteBenchWiki(const QList<WikiItem *> &items)
{
    for (WikiItem *item : items) {
        if (Folder *folder = item->toFolder())
            qDeleteAll(folder->pages());
        delete item;
    }
}
