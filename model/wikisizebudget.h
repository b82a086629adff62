#pragma once

#include <QCoreApplication>
#include <QString>
#include <QVector>

class WikiDocument;

// How full a wiki is against the most its file can hold, what an insertion would cost, and
// what takes the room: the sizes are those of the document bytes a save writes.
class WikiSizeBudget
{
    Q_DECLARE_TR_FUNCTIONS(WikiSizeBudget)

public:
    // One page, or one picture inside a page, and the bytes it takes in the document.
    struct Entry
    {
        QString pageId;
        QString pageName;
        QString format; // the picture's type ("png", "jpeg"); empty for a page
        qint64 size = 0;
    };

    // The most one wiki file can hold: maxDocumentSize, unless a test set another.
    static qint64 limit();
    static void setLimit(qint64 bytes);
    // "Wiki size: 46.6 MB of 128 MB"
    static QString describe(qint64 documentSize);
    // Past 80% of the limit.
    static bool isNearlyFull(qint64 documentSize);
    // The most inserting that many characters into a page of that content can add; latin1
    // says that they are all Latin-1 characters.
    static qint64 costOfInsertion(
        const QString &content, qint64 insertedCharacters, bool latin1 = false);
    // Whether the wiki as it is now, with that insertion into content, still fits.
    static bool fits(const WikiDocument &wiki, const QString &content, qint64 insertedCharacters,
        bool latin1 = false);

    // The largest first, at most count of each.
    static QVector<Entry> largestPages(const WikiDocument &wiki, int count);
    static QVector<Entry> largestPictures(const WikiDocument &wiki, int count);

    // "46.6 MB", "120 kB"
    static QString formatSize(qint64 bytes);
};
