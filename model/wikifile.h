#pragma once

#include "model/compacttext.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Reading and writing a wiki file, and turning its root object into the document bytes the file
// holds and back. A file holds one Qt binary JSON document, compressed, with a SHA-1 digest,
// scrambled by WikiFileCipher.
//
// A document is read in two steps: readWikiData() gives the document bytes and says what it
// found; jsonFromDocumentBytes() turns the bytes into the root object. Saving is the reverse:
// documentBytesFromJson(), then writeWikiData().

// How reading a wiki file went.
enum class WikiReadStatus {
    Read, // the file holds a wiki: its document bytes were returned
    Empty, // the file is empty, or was absent and has been created empty: start a new wiki
    OpenFailed, // the file could be neither opened nor created
    Unreadable, // the file holds bytes that are no wiki this program reads: leave the file alone
};

// Documents nested deeper than this are refused before they are parsed; a wiki needs six levels.
constexpr int maxDocumentDepth = 64;

// Files larger than this cannot hold a document Qt's binary JSON form could store, compressed
// or not, so they are never read into memory.
constexpr qint64 maxWikiFileSize = qint64(8 + (1 << 27)) * 257 / 256 + 1024;

// The document bytes of the wiki file at path, or an empty array with *status saying whether the
// file was empty or new, could not be opened, or holds something that is no wiki. An absent file
// is created empty; an existing one is only ever opened for reading, except for a database of an
// earlier release, which importLegacyDatabase() copies to *legacyBackupPath before it converts it.
QByteArray readWikiData(
    const QString &path, WikiReadStatus *status = nullptr, QString *legacyBackupPath = nullptr);

// The read path of readWikiData() on bytes already in memory: Empty for no bytes, Read with the
// document bytes, or Unreadable. Files of earlier releases are not recognised here.
QByteArray decodeWikiFile(const QByteArray &fileBytes, WikiReadStatus *status);

// Compresses, digests and scrambles the document bytes and replaces the file at path with the
// result through writeFile(). False for empty document bytes, which no wiki has. The bytes that
// went into the file are left in *fileBytes when it is given.
bool writeWikiData(
    const QString &path, const QByteArray &documentBytes, QByteArray *fileBytes = nullptr);

// Replaces the file at path with bytes as a whole: they are written to a new file in the same
// folder, checked, flushed to the disk and renamed over the old file, so that a crash, a kill or
// a full disk at any moment leaves either the old file or the new one. False when any step
// fails: before the rename the old file is then untouched; after it, only the folder could not
// be synced, and the new file is in place but may not outlast a power cut.
bool writeFile(const QString &path, const QByteArray &bytes);

// The Qt binary JSON document bytes of root, or an empty array when that form cannot hold all of
// it: past about 128 MB, Qt leaves out what does not fit without failing.
QByteArray documentBytesFromJson(const QJsonObject &root);

// The largest document documentBytesFromJson() gives; a larger one cannot be stored.
constexpr qint64 maxDocumentSize = 8 + (1 << 27) - 1 - 1024;

// The size of the document bytes documentBytesFromJson() would give for root, computed without
// building them; larger than maxDocumentSize when they cannot be built.
qint64 documentSizeOfJson(const QJsonObject &root);
// What a string of that many characters takes in document bytes, stored as Latin-1 or not.
qint64 documentSizeOfString(qint64 length, bool latin1);
// What a page's "content" entry holding that text adds to the document bytes of its object.
qint64 documentSizeOfContentEntry(const CompactText &content);

// The root object held by document bytes. *ok is false, and the object empty, when the bytes
// are no binary JSON document whose root is an object, or when it nests deeper than
// maxDocumentDepth or refers to the same data more than once (a small document that would
// expand without bound); those are refused before Qt parses them.
QJsonObject jsonFromDocumentBytes(const QByteArray &bytes, bool *ok);
