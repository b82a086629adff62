#pragma once

#include <QJsonObject>
#include <QString>

// The large, realistic wiki the benchmarks work on: 2000 pages of about 3 kB of text linking
// to each other, 3 folders of 100 pages, and 100 pictures of about 200 kB kept in the pages as
// base64 data. The same seed gives the same wiki on every run.
namespace BenchWiki {

constexpr int pageCount = 2000;
constexpr int folderCount = 3;
constexpr int pagesPerFolder = 100;
constexpr int pictureCount = 100;
constexpr int pictureBytes = 150 * 1024; // about 200 kB once in base64

QString pageId(int i);
// The wiki's root object as the wiki file holds it: "admin" and "wiki_items".
QJsonObject build();

} // namespace BenchWiki
