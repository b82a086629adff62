#pragma once

#include <QJsonObject>

// The wiki the benchmarks measure, as the root object a wiki file holds: 2000 pages of about
// 3 kB of text linking to each other (the home page first), 3 folders of 100 pages at the end of
// the top level, and 100 pictures of about 200 kB kept in the pages as base64 data. The same
// every run. Other sizes keep the shape: one picture in every 20 pages, or none. With checklists,
// one page in 4 also holds a checklist of a few items in the middle of its text.
QJsonObject buildBenchWiki(
    int pageCount = 2000, bool withPictures = true, bool withChecklists = false);
