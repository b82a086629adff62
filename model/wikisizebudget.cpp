#include "model/wikisizebudget.h"

#include "model/page.h"
#include "model/wikidocument.h"
#include "model/wikifile.h"

#include <QJsonObject>

#include <algorithm>

namespace {

const double megabyte = 1024.0 * 1024.0;
qint64 currentLimit = maxDocumentSize;

void keepLargest(QVector<WikiSizeBudget::Entry> *entries, int count)
{
    std::stable_sort(entries->begin(), entries->end(),
        [](const WikiSizeBudget::Entry &a, const WikiSizeBudget::Entry &b) {
            return a.size > b.size;
        });
    if (entries->size() > count)
        entries->resize(count);
}

} // namespace

qint64 WikiSizeBudget::limit()
{
    return currentLimit;
}

void WikiSizeBudget::setLimit(qint64 bytes)
{
    currentLimit = bytes;
}

QString WikiSizeBudget::describe(qint64 documentSize)
{
    return tr("Wiki size: %1 MB of %2 MB")
        .arg(documentSize / megabyte, 0, 'f', 1)
        .arg(qRound(limit() / megabyte));
}

bool WikiSizeBudget::isNearlyFull(qint64 documentSize)
{
    return documentSize > limit() / 5 * 4;
}

qint64 WikiSizeBudget::costOfInsertion(
    const QString &content, qint64 insertedCharacters, bool latin1)
{
    // Long contents are stored two bytes a character whatever they hold; only a short one needs
    // looking at.
    const qint64 length = content.size();
    const bool wasLatin1 = length <= 0x7fff
        && std::all_of(content.begin(), content.end(), [](QChar c) { return c.unicode() <= 0xff; });
    return documentSizeOfString(length + insertedCharacters, wasLatin1 && latin1)
        - documentSizeOfString(length, wasLatin1);
}

bool WikiSizeBudget::fits(
    const WikiDocument &wiki, const QString &content, qint64 insertedCharacters, bool latin1)
{
    return wiki.currentDocumentSize() + costOfInsertion(content, insertedCharacters, latin1)
        <= limit();
}

QVector<WikiSizeBudget::Entry> WikiSizeBudget::largestPages(const WikiDocument &wiki, int count)
{
    QVector<Entry> entries;
    for (const Page *page : wiki.allPages()) {
        // An element of the item list: its slot and the page's object.
        QVector<CompactText> content;
        const QJsonObject fields = page->toJsonWithoutContent(&content);
        const qint64 size
            = documentSizeOfJson(fields) + documentSizeOfContentEntry(content.value(0)) - 8 + 4;
        entries.append(Entry {page->id(), page->name(), QString(), size});
    }
    keepLargest(&entries, count);
    return entries;
}

QVector<WikiSizeBudget::Entry> WikiSizeBudget::largestPictures(const WikiDocument &wiki, int count)
{
    const QString start = QStringLiteral("data:image/");
    const QString base64 = QStringLiteral(";base64,");
    QVector<Entry> entries;
    for (const Page *page : wiki.allPages()) {
        const QString content = page->content();
        for (int at = content.indexOf(start); at >= 0; at = content.indexOf(start, at)) {
            const int formatEnd = content.indexOf(base64, at);
            if (formatEnd < 0)
                break;
            int end = formatEnd + base64.size();
            while (end < content.size() && content.at(end) != QLatin1Char('"')
                && content.at(end) != QLatin1Char('\''))
                ++end;
            // Contents that hold a picture are long enough to be stored two bytes a character.
            entries.append(Entry {page->id(), page->name(),
                content.mid(at + start.size(), formatEnd - at - start.size()),
                2 * qint64(end - at)});
            at = end;
        }
    }
    keepLargest(&entries, count);
    return entries;
}

QString WikiSizeBudget::formatSize(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return tr("%1 MB").arg(bytes / megabyte, 0, 'f', 1);
    return tr("%1 kB").arg(qMax<qint64>(1, (bytes + 512) / 1024));
}
