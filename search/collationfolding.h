#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

struct UCollationElements;
struct UCollator;

// Folds text to what the web engine's find compares when it ignores case: the primary
// collation weights of the engine's own collator (the system locale with the "search"
// tailoring), with quote marks folded as the engine folds them and white space left out.
//
// The folding is built so that two texts the find can match always fold to the same units;
// texts that fold alike need not match. Units are taken per code point, and where the collator
// treats several code points as one unit (contractions such as Danish "aa" or a letter with a
// combining mark), the units involved are rewritten or dropped until every such unit folds like
// its parts. White space is dropped because the engine collapses, inserts and turns it into
// line breaks as it lays the page out.
class CollationFolding final
{
public:
    explicit CollationFolding(const QString &locale);
    ~CollationFolding();
    CollationFolding(const CollationFolding &) = delete;
    CollationFolding &operator=(const CollationFolding &) = delete;

    // The folding for the locale the web engine searches with, built on first use.
    static CollationFolding &forSystemLocale();
    // "<locale>@collation=search", the collator the web engine opens for its find.
    static QByteArray collatorName(const QString &locale);
    // The quote folding the engine applies to both the searched text and the search text.
    static char32_t foldQuoteMark(char32_t c);

    // False when the collator could not be opened or compares in a way this folding does not
    // follow (punctuation and spaces ignored, digits compared as numbers).
    bool isUsable() const { return m_usable; }

    // A unit is a small number standing for one primary weight, handed out as weights are met.
    struct Units
    {
        const quint32 *data;
        int size; // -1: the code point cannot be folded safely
    };
    // The folded units of one code point, valid until the next call.
    Units units(char32_t c)
    {
        if (c < 0x10000) {
            const quint32 entry = m_bmp.at(int(c));
            if (entry != unknownEntry)
                return entryUnits(entry);
        }
        return computeUnits(c);
    }
    // Every unit of text in order; false when some code point cannot be folded.
    bool fold(const QString &text, QVector<quint32> *out);
    // The canonical combining class. The collator puts combining marks into canonical order
    // before it compares, so text whose marks are out of that order folds out of order.
    static int combiningClass(char32_t c);
    // True when a character of text compares like one of the white space characters the engine
    // puts between blocks, for collapsed spaces or for a non-breaking space.
    bool touchesWhitespace(const QString &text);

private:
    static constexpr quint32 unknownEntry = 0xffffffffu;
    static constexpr quint32 unfoldableEntry = 0xfffffffeu;

    Units entryUnits(quint32 entry) const
    {
        if (entry == unfoldableEntry)
            return {nullptr, -1};
        return {m_pool.constData() + (entry >> 8), int(entry & 0xff)};
    }
    Units computeUnits(char32_t c);
    QVector<quint32> rawUnits(const QString &text);
    QVector<quint32> apply(const QVector<quint32> &units) const;
    void buildProjection();
    bool resolve(const QVector<quint32> &whole, const QVector<quint32> &parts);
    void normalizeRewrites();

    UCollator *m_collator = nullptr;
    UCollationElements *m_elements = nullptr;
    bool m_usable = false;
    quint32 idOf(quint32 primary);

    // Weights that fold to nothing, and weights that fold to other weights.
    QSet<quint32> m_dropped;
    QHash<quint32, QVector<quint32>> m_rewrites;
    QSet<quint32> m_whitespace;
    QVector<quint32> m_bmp;
    QHash<char32_t, quint32> m_supplementary;
    QVector<quint32> m_pool;
    QHash<quint32, quint32> m_ids;
};
