#pragma once

// Helpers for the tests of the wiki file and the document model, which need neither widgets nor
// a web engine: wiki files written as another writer would, and plain file bytes.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace Testing {

// A figure in kB from /proc/self/status, such as "VmRSS" or "VmPeak".
qint64 processStatusKb(const char *field);

// A page's JSON form and a wiki file written from its items, as another writer would.
QJsonObject pageJson(const QString &id, const QString &name, const QString &content = {});
bool writeWikiJson(const QString &path, const QJsonArray &items);
QByteArray fileBytes(const QString &path);
bool putFile(const QString &path, const QByteArray &bytes);

} // namespace Testing
