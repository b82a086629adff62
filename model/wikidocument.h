#pragma once

#include "model/passworddescriptor.h"
#include "model/wikifile.h"
#include "model/wikifileguard.h"
#include "model/wikisaver.h"
#include "model/wikiversions.h"

#include <QList>
#include <QReadWriteLock>
#include <QString>
#include <QStringList>

#include <memory>

class Folder;
class Page;
class WikiItem;

// The open wiki: the file it lives in, the wiki password, the version text and the ordered top
// level of pages and folders. A plain class: callers refresh their views after changing it.
//
// The document owns its items. Items taken out of the tree (removed pages and folders) stay
// alive until the document is destroyed, because views may still point at them until they
// refresh; destroying the document destroys every item it ever held.
//
// Saving runs in the background: the document hands a snapshot to its WikiSaver, whose worker
// thread writes it. The document and its items belong to the GUI thread.
class WikiDocument final
{
public:
    // Reads the file at once. An empty or absent file becomes a new wiki with a home page and is
    // saved; a file that holds something other than a wiki is left exactly as it is, and the
    // document then reports loadFailed() and refuses to save over it.
    explicit WikiDocument(const QString &filePath);
    // Waits for the running save and writes the one still waiting.
    ~WikiDocument();
    WikiDocument(const WikiDocument &) = delete;
    WikiDocument &operator=(const WikiDocument &) = delete;

    QString filePath() const { return m_filePath; }
    QString version() const { return m_version; }
    PasswordDescriptor &passwordDescriptor() { return m_passwordDescriptor; }
    // The top level in sidebar order; the sidebar reorders it in place and then saves.
    QList<WikiItem *> &items() { return m_items; }
    bool isValid() const;
    // True when the file held bytes that are no wiki this program can read, or could not be
    // opened at all; nothing in it was changed.
    bool loadFailed() const { return m_loadFailed; }
    // The copy of the file made before a wiki of an earlier release was converted, since the
    // next save replaces the original; empty when none was made. The window says where it is.
    QString legacyBackupPath() const { return m_legacyBackupPath; }

    WikiItem *findItem(const QString &id) const;
    QList<Page *> allPages() const;
    QStringList allPageIds() const;
    QList<Folder *> allFolders() const;
    Page *findPageById(const QString &id) const;
    Page *homePage() const;
    Page *findPageByName(const QString &name) const;
    Folder *findFolderByName(const QString &name) const;
    Folder *folderOfPage(const QString &pageId) const;
    bool isPageInFolder(const QString &pageId) const;

    QString generateId() const;
    // An existing page of that name (any folder, case ignored) is returned as it is.
    Page *createPage(const QString &name, Folder *folder);
    Folder *createFolder(const QString &name);
    void removePage(const QString &id);
    void removeFolder(const QString &id);
    // Protects the wiki; the caller saves.
    bool setPassword(const QString &password, const QString &hint);
    void removePassword();

    void initializeNewWiki();
    void load();
    // What a save writes: the wiki as it is now. Cheap: the pages' texts are shared, not copied,
    // and pages that did not change since the last snapshot give the fields they gave then.
    WikiSnapshot snapshot() const;
    // Has the whole wiki written to its file in the background and returns at once; the saver
    // reports how it went. False, and nothing happens, when the file was not readable as a wiki
    // when it was opened: it is never overwritten.
    bool requestSave();
    // Writes the whole wiki to its file and waits for it. False when nothing was written: the
    // file could not be replaced, the wiki is too large for the file format, or the file was not
    // readable as a wiki when it was opened. The previous file then stays as it was.
    bool save();
    // Waits for the running and the waiting save; false when the last of them failed.
    bool waitForSaves();
    WikiSaver *saver() const;
    // Why the last save wrote nothing, in words for the user; empty after a save that worked.
    QString lastSaveError() const;
    // How the last save's write went: ChangedOutside when someone else had changed the file.
    GuardedWrite lastWrite() const { return m_saver->lastWrite(); }

    // What the file was when last read or written, checked before every save.
    WikiFileGuard &fileGuard() { return m_fileGuard; }
    WikiVersions &versions() { return m_versions; }
    // The size of the document bytes last read or written: what the file holds now.
    qint64 storedDocumentSize() const { return m_fileGuard.documentSize(); }
    // The size the document would have if it were saved now.
    qint64 currentDocumentSize() const;
    // Writes the wiki as it is in memory to another file, leaving its own file alone.
    bool saveCopyTo(const QString &path) const;
    // Keeps the wiki as it is in memory among its versions.
    bool keepInVersions();

private:
    QList<Page *> allPagesLocked() const;
    // The items lock is held for writing.
    void moveHomePageToFront();

    const QString m_filePath;
    // Shared with the saver's worker, which checks and updates them as it writes; both lock.
    // Declared before the saver, so that they outlive its last write.
    WikiFileGuard m_fileGuard;
    WikiVersions m_versions;
    std::unique_ptr<WikiSaver> m_saver;
    PasswordDescriptor m_passwordDescriptor;
    QString m_version {QLatin1String("")};
    QList<WikiItem *> m_items;
    // Items taken out of the tree, kept alive for views that still point at them.
    QList<WikiItem *> m_removedItems;
    mutable QReadWriteLock m_itemsLock;
    bool m_loadFailed = false;
    QString m_legacyBackupPath;
    QString m_refusal;
};
