#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

class QSqlDatabase;
class QSqlQuery;

// Reading the wikis of earlier releases. The oldest ones are SQLite databases with an "admin"
// table holding "db_version" and a "pages" table of "id", "name" and "content"; a few later ones
// are files of the current format whose root holds "pages" instead of "wiki_items". Both are
// turned into the current form in memory, and the next save of the document replaces the file.
//
// That save, and the rewrite of version 1 databases, leave the converted wiki as the only copy
// of the user's notes, so neither happens before a copy of the original file sits beside it.

// The document bytes (Qt binary JSON, home page not added) of the wiki in the legacy database
// at path, or an empty array when the file is no SQLite database of version 1 or 2 with an
// "admin" table, cannot be read, or no copy of it could be made. A file that yields nothing is
// never changed. *backupPath receives the copy's path when one was made.
QByteArray importLegacyDatabase(const QString &path, QString *backupPath = nullptr);

// The "db_version" of the first row of "admin", or 0 when there is none or the query fails.
int legacyDatabaseVersion(const QSqlDatabase &database);

// Cuts the content of every page of a version 1 database, stored as a whole HTML document, down
// to the inner markup of its body, and in pages that link to other pages drops the "style"
// attributes those releases added. Pages without a complete body are left as they are, so a
// second run changes nothing. False when the pages could not be read.
bool migrateLegacyDatabase(const QSqlDatabase &database);

// Runs a prepared query up to ten times until one run succeeds.
bool execWithRetry(QSqlQuery &query);

// The pages of the older document form in root's "pages", as page objects in the order the
// sidebar shows them: the home page first, then by "sidebar_position" when every other page has
// a non-zero one, else by name without regard to case. Empty for an empty root.
QJsonArray convertLegacyPages(const QJsonObject &root);

// Copies the file at path to a new file beside it ("wiki (before conversion).velmora", then
// "wiki (before conversion 2).velmora" and so on) and flushes the copy to the disk. The copy's
// path, or an empty string when no copy could be made.
QString backupLegacyFile(const QString &path);
