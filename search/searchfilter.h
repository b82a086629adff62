#pragma once

#include <QString>
#include <QVector>

class CollationFolding;

// Decides from a page's stored markup, without laying it out, whether the web engine's find
// could find the search text in it. The decision may let through pages without a hit but never
// turns away a page with one: the text is read as the HTML parser reads it (character
// references decoded, comments and markup left out), folded with CollationFolding, and matched
// with every text segment between two tags allowed to go missing, since a style can hide it.
//
// Markup outside a small set of plain text elements (scripts, style sheets, frames, form
// fields other than checkboxes, foreign content, parser-switching elements, event handlers,
// styles that change or replace characters) may put text on screen that no text node holds;
// such a page is never turned away.
class SearchFilter final
{
public:
    SearchFilter(CollationFolding &folding, const QString &searchText);

    struct PageCheck
    {
        // The find may hit the page.
        bool mayMatch = true;
        // The page holds only plain text elements and attributes, no scripts or foreign
        // content, so its text may be read from its markup (see PageText).
        bool plain = false;
    };
    PageCheck checkPage(const QString &html);
    // The same test for text that is already plain (no markup, nothing hidden).
    bool mayMatchText(const QString &text);

    // False when the search text folds to nothing or cannot be folded: every page may match.
    bool filters() const { return m_filters; }

private:
    struct Scan;
    bool feed(Scan &scan, char32_t c);
    int feedText(Scan &scan, int i);
    int skipQuiet(const QChar *s, int i, int n) const;
    quint8 classify(char16_t c);
    bool readTag(Scan &scan, int &i, bool endTag);
    void tableTag(Scan &scan, const char *name, bool endTag);
    void skipTo(Scan &scan, int &i, QChar c);

    CollationFolding &m_folding;
    bool m_filters = false;
    // Shift-And over the first 64 folded units of the search text.
    QVector<quint64> m_masks;
    quint64 m_accept = 0;
    // Per UTF-16 unit, filled as characters are met: how it folds, and its mask when it folds
    // to a single unit.
    // Reset: one unit the search text does not hold, which ends every partial match.
    enum CharacterKind : quint8 { Unknown, Ignored, Reset, Single, Other };
    QVector<quint8> m_kinds;
    QVector<quint64> m_characterMasks;
    QVector<char16_t> m_quietStops;
};
