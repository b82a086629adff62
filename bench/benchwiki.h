#pragma once

#include <QList>

class WikiItem;

// The wiki the benchmarks measure: a home page and 1,999 more pages of about 3 KB of text with
// links between them, three folders of 100 pages each, and 100 pages that also carry an inline
// picture of about 200 KB. The same every run. The caller owns the items; deleteBenchWiki()
// frees them with the folders' pages.
QList<WikiItem *> makeBenchWiki();
void deleteBenchWiki(const QList<WikiItem *> &items);
