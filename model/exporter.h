#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Page;

// Writing pages out as standalone HTML or plain-text files: links between exported pages become
// relative file links, other page links their text, scripts and stylesheet links are dropped and
// locked pages are written as a notice. Files are UTF-8 whatever the system's locale, and never
// replace a file that was in the folder before. Any thread.

// What a locked page is exported as, instead of its content.
extern const char *const protectedPageNotice;

// Each export returns true when every file was written. A failed page does not stop the ones
// after it; files written before a failure stay.

// One page's whole document (the editor's HTML) to the file at path; every link to another page
// becomes its text, since the page it points at is not exported.
bool exportPageAsHtml(const QString &html, const QString &path);
// One ".txt" file per page, in the order given, into folder.
bool exportPagesAsText(const QList<Page *> &pages, const QString &folder);
// One ".html" file per page into folder, linked to each other, each titled with its page's name
// and given a small stylesheet; names are chosen for every page before the first file is
// written. When every page was written, an index ("index.html", or the first free
// "indexN.html") lists them in the order given under indexTitle; its path goes to *indexPath.
bool exportPagesAsHtml(const QList<Page *> &pages, const QString &folder,
    const QString &indexTitle = QString(), QString *indexPath = nullptr);

// A base name made of name's letters and digits, with "_" for every other character; a UUID
// when that leaves nothing or too long a name. A name Windows keeps for a device ("CON", "NUL",
// "COM1", any case) gets a "_" added. A name in takenNames (case ignored) is extended
// until it is free.
QString safeFileBaseName(const QString &name, const QStringList &takenNames);
// baseName, or baseName followed by 1 to 9998, the first that is no device name, for which the
// folder holds no file with the extension and which is not in takenNames (case ignored); empty
// when all are taken.
QString uniqueFileBaseName(const QString &folder, const QString &baseName, const QString &extension,
    const QStringList &takenNames = {});
QString joinPath(const QString &folder, const QString &fileName);
QString filePathFor(const QString &folder, const QString &baseName, const QString &extension);
// Writes text as UTF-8 to path, replacing the file whole: a failed write leaves no file, or the
// file that was there. False for an empty path or any failure.
bool writeTextFile(const QString &text, const QString &path);
