#pragma once

#include <QString>
#include <QVector>

// A page's text as the search reads it, taken from the stored HTML in one pass without a web
// page: the runs in which the find can match a search text that holds no white space, and the
// lines they sit in for the results panel.
//
// A run is a stretch of text between white space, no-break spaces, block edges, line breaks
// and pictures; an inline element or a checkbox inside a word does not end it, and an element
// hidden with "display: none" is left out with all it holds. The reading follows the HTML
// parser only as far as markup that parses to the elements it is written as goes: a page with
// anything else (scripts, form fields other than a checklist's checkboxes, foreign content,
// generated text, styles that change the text, elements the parser would close or move on its
// own, tables with text outside their cells) is not readable, and the search finds its hits
// with the engine instead.
class PageText final
{
public:
    explicit PageText(const QString &html);

    bool isReadable() const { return m_readable; }

    int runCount() const { return m_runs.size(); }
    QString run(int index) const;

    // The line of a hit: the block, list item, table cell or line of preformatted text that
    // holds it, with white space collapsed, cut at word boundaries to about maxLength
    // characters around the hit, and "…" where it was cut. before is where the hit starts in
    // the returned line.
    QString line(int run, int start, int length, int maxLength, int *before) const;

    // The segments in which the find can match a search text with spaces inside it: stretches
    // of text between block edges, line breaks and pictures, white space collapsed to one
    // space as the page lays it out (but not across a checkbox), where spacesCollapse() holds.
    // Wrapped lines do not end a segment: the find reads the space a wrap takes.
    int segmentCount() const { return m_segments.size(); }
    QString segment(int index) const;
    QString segmentLine(int segment, int start, int length, int maxLength, int *before) const;
    // False where the page's white space may not collapse as plain text does (a "white-space"
    // style, a form feed): its segments do not hold the text the engine lays out.
    bool spacesCollapse() const { return m_spacesCollapse; }

private:
    struct Span
    {
        int start;
        int end;
    };
    // All the page's visible text; runs and lines are spans of it.
    QString m_text;
    QVector<Span> m_runs;
    QVector<Span> m_segments;
    QVector<Span> m_lines;
    bool m_readable = false;
    bool m_spacesCollapse = true;

    QString lineAround(int hit, int length, int maxLength, int *before) const;

    friend class PageTextReader;
};
