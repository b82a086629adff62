#include "model/wikidocument.h"

#include "model/folder.h"
#include "model/legacyimport.h"
#include "model/page.h"
#include "model/wikisaver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QVariant>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

const QString homePageId = QStringLiteral("1");
const QString currentVersion = QStringLiteral("2.3.2");

} // namespace

WikiDocument::WikiDocument(const QString &filePath)
    : m_filePath(filePath)
    , m_fileGuard(filePath)
    , m_versions(filePath)
    , m_saver(std::make_unique<WikiSaver>())
{
    load();
#ifdef __GLIBC__
    // Reading took the file, its inflated document and the parsed tree on the heap at once,
    // several times what the wiki keeps. That goes back to the system now: otherwise the
    // process keeps it for as long as the wiki stays open.
    malloc_trim(0);
#endif
}

WikiDocument::~WikiDocument()
{
    // Whatever was handed to the saver reaches the file before the items go.
    m_saver.reset();
    // Folders do not own their pages, so their pages are deleted here too.
    QList<WikiItem *> all = m_items + m_removedItems;
    for (WikiItem *item : qAsConst(all)) {
        if (Folder *folder = item->toFolder())
            qDeleteAll(folder->pages());
    }
    qDeleteAll(all);
}

bool WikiDocument::isValid() const
{
    return !m_version.trimmed().isEmpty();
}

WikiItem *WikiDocument::findItem(const QString &id) const
{
    QReadLocker locker(&m_itemsLock);
    for (WikiItem *item : m_items) {
        if (item->id() == id)
            return item;
        if (Folder *folder = item->toFolder()) {
            for (Page *page : folder->pages()) {
                if (page->id() == id)
                    return page;
            }
        }
    }
    return nullptr;
}

void WikiDocument::moveHomePageToFront()
{
    if (m_items.size() < 2)
        return;
    const Page *first = m_items.first()->toPage();
    if (first && first->isHomePage())
        return;
    for (int i = 1; i < m_items.size(); ++i) {
        const Page *page = m_items.at(i)->toPage();
        if (page && page->isHomePage()) {
            m_items.move(i, 0);
            return;
        }
    }
}

QList<Page *> WikiDocument::allPagesLocked() const
{
    QList<Page *> pages;
    for (WikiItem *item : m_items) {
        if (Page *page = item->toPage())
            pages << page;
        else if (Folder *folder = item->toFolder())
            pages << folder->pages();
    }
    return pages;
}

QList<Page *> WikiDocument::allPages() const
{
    QReadLocker locker(&m_itemsLock);
    return allPagesLocked();
}

QStringList WikiDocument::allPageIds() const
{
    QStringList ids;
    for (const Page *page : allPages())
        ids << page->id();
    return ids;
}

QList<Folder *> WikiDocument::allFolders() const
{
    QReadLocker locker(&m_itemsLock);
    QList<Folder *> folders;
    for (WikiItem *item : m_items) {
        if (Folder *folder = item->toFolder())
            folders << folder;
    }
    return folders;
}

Page *WikiDocument::findPageById(const QString &id) const
{
    for (Page *page : allPages()) {
        if (page->id() == id)
            return page;
    }
    return nullptr;
}

Page *WikiDocument::homePage() const
{
    return findPageById(homePageId);
}

Page *WikiDocument::findPageByName(const QString &name) const
{
    for (Page *page : allPages()) {
        if (page->hasName(name))
            return page;
    }
    return nullptr;
}

Folder *WikiDocument::findFolderByName(const QString &name) const
{
    for (Folder *folder : allFolders()) {
        if (folder->hasName(name))
            return folder;
    }
    return nullptr;
}

Folder *WikiDocument::folderOfPage(const QString &pageId) const
{
    for (Folder *folder : allFolders()) {
        if (folder->findPage(pageId))
            return folder;
    }
    return nullptr;
}

bool WikiDocument::isPageInFolder(const QString &pageId) const
{
    return folderOfPage(pageId) != nullptr;
}

QString WikiDocument::generateId() const
{
    // Milliseconds since the epoch; when that is taken already (two items made within one
    // millisecond), wait for the clock to move on.
    for (;;) {
        const QString id = QString::number(QDateTime::currentMSecsSinceEpoch());
        if (!findItem(id))
            return id;
    }
}

Page *WikiDocument::createPage(const QString &name, Folder *folder)
{
    if (Page *existing = findPageByName(name))
        return existing;
    auto *page = new Page(generateId(), name);
    {
        QWriteLocker locker(&m_itemsLock);
        if (folder)
            folder->addPage(page);
        else
            m_items.append(page);
    }
    requestSave();
    return page;
}

Folder *WikiDocument::createFolder(const QString &name)
{
    if (Folder *existing = findFolderByName(name))
        return existing;
    auto *folder = new Folder(generateId(), name);
    {
        QWriteLocker locker(&m_itemsLock);
        m_items.append(folder);
    }
    requestSave();
    return folder;
}

void WikiDocument::removePage(const QString &id)
{
    bool removed = false;
    {
        QWriteLocker locker(&m_itemsLock);
        for (int i = 0; i < m_items.size() && !removed; ++i) {
            WikiItem *item = m_items.at(i);
            if (Page *page = item->toPage()) {
                if (page->id() == id) {
                    m_removedItems << m_items.takeAt(i);
                    removed = true;
                }
            } else if (Folder *folder = item->toFolder()) {
                if (Page *page = folder->findPage(id)) {
                    folder->removePage(id);
                    m_removedItems << page;
                    removed = true;
                }
            }
        }
    }
    if (removed)
        requestSave();
}

void WikiDocument::removeFolder(const QString &id)
{
    bool removed = false;
    {
        QWriteLocker locker(&m_itemsLock);
        for (int i = 0; i < m_items.size(); ++i) {
            if (m_items.at(i)->isFolder() && m_items.at(i)->id() == id) {
                m_removedItems << m_items.takeAt(i);
                removed = true;
                break;
            }
        }
    }
    if (removed)
        requestSave();
}

bool WikiDocument::setPassword(const QString &password, const QString &hint)
{
    const QString salt = PasswordDescriptor::generateSalt();
    const QString hash = PasswordDescriptor::hashPassword(password, salt);
    // A wiki must never be locked behind a hash nobody can match.
    if (salt.isEmpty() || hash.isEmpty())
        return false;
    m_passwordDescriptor.setSalt(salt);
    m_passwordDescriptor.setHashedPassword(hash);
    m_passwordDescriptor.setPasswordHint(hint);
    return true;
}

void WikiDocument::removePassword()
{
    m_passwordDescriptor = PasswordDescriptor();
    requestSave();
}

void WikiDocument::initializeNewWiki()
{
    m_version = currentVersion;
    {
        QWriteLocker locker(&m_itemsLock);
        m_items.append(Page::createHomePage());
    }
    requestSave();
}

void WikiDocument::load()
{
    // A save of this file still under way, from a document opened on it before, comes first.
    WikiSaver::waitForSavesTo(m_filePath);
    WikiReadStatus status = WikiReadStatus::Empty;
    const QByteArray bytes = readWikiData(m_filePath, &status, &m_legacyBackupPath);
    QJsonObject root;
    if (status == WikiReadStatus::Read) {
        bool ok = false;
        root = jsonFromDocumentBytes(bytes, &ok);
        if (!ok)
            status = WikiReadStatus::Unreadable;
    }
    if (status == WikiReadStatus::Unreadable || status == WikiReadStatus::OpenFailed) {
        // Never turn a file we cannot read into a new wiki: saving it would destroy its contents.
        m_loadFailed = true;
        return;
    }

    m_fileGuard.setLastWrite(GuardedWrite::Written, bytes.size());
    // A file of an earlier release is no wiki file to keep as a version or to compare with.
    if (status == WikiReadStatus::Read && m_legacyBackupPath.isEmpty())
        m_fileGuard.rememberFile();

    const QString itemsKey = QStringLiteral("wiki_items");
    const bool olderForm = !root.isEmpty() && !root.contains(itemsKey);
    if (olderForm) {
        // The next save replaces the older form with the current one: keep the original first.
        m_legacyBackupPath = backupLegacyFile(m_filePath);
        if (m_legacyBackupPath.isEmpty()) {
            m_loadFailed = true;
            return;
        }
    }

    const QJsonObject admin = root.value(QStringLiteral("admin")).toObject();
    m_passwordDescriptor
        = PasswordDescriptor(admin.value(QStringLiteral("password_descriptor")).toObject());
    m_version = admin.value(QStringLiteral("version")).toVariant().toString();

    {
        QWriteLocker locker(&m_itemsLock);
        if (olderForm) {
            // Ordered already, home page first.
            const QJsonArray pages = convertLegacyPages(root);
            for (const QJsonValue &page : pages)
                m_items.append(Page::fromJson(page.toObject()));
        } else {
            const QJsonArray elements = root.value(itemsKey).toArray();
            for (const QJsonValue &element : elements) {
                if (WikiItem *item = WikiItem::fromJson(element.toObject()))
                    m_items.append(item);
            }
            moveHomePageToFront();
        }
    }

    if (!isValid())
        initializeNewWiki();
}

// The line between the threads runs here. Pages, folders and the document are read and changed
// on the GUI thread only; snapshot() copies what a save needs into JSON values and shared texts,
// and from then on the saver's worker reads those values and nothing else. Each page keeps the
// JSON of its fields between saves, and its text is shared as it is stored, so a snapshot copies
// no page's text.
WikiSnapshot WikiDocument::snapshot() const
{
    WikiSnapshot snapshot;
    snapshot.filePath = m_filePath;
    QJsonObject admin;
    admin.insert(QStringLiteral("version"), m_version);
    admin.insert(QStringLiteral("password_descriptor"), m_passwordDescriptor.toJson());
    QJsonArray items;
    {
        QReadLocker locker(&m_itemsLock);
        for (const WikiItem *item : qAsConst(m_items))
            items.append(item->toJsonWithoutContent(&snapshot.contents));
    }
    snapshot.root.insert(QStringLiteral("admin"), admin);
    snapshot.root.insert(QStringLiteral("wiki_items"), items);
    return snapshot;
}

bool WikiDocument::requestSave()
{
    if (m_loadFailed) {
        m_refusal = QCoreApplication::translate(
            "WikiDocument", "The file could not be read as a wiki, so it is not overwritten.");
        return false;
    }
    WikiSnapshot snapshot = this->snapshot();
    snapshot.guard = &m_fileGuard;
    snapshot.versions = &m_versions;
    m_saver->save(snapshot);
    return true;
}

qint64 WikiDocument::currentDocumentSize() const
{
    return snapshot().documentSize();
}

bool WikiDocument::saveCopyTo(const QString &path) const
{
    const QByteArray bytes = documentBytesFromJson(snapshot().completeRoot());
    return !bytes.isEmpty() && writeWikiData(path, bytes);
}

bool WikiDocument::keepInVersions()
{
    const QByteArray bytes = documentBytesFromJson(snapshot().completeRoot());
    return !bytes.isEmpty() && m_versions.keepDocument(bytes);
}

bool WikiDocument::save()
{
    return requestSave() && m_saver->waitForSaves();
}

bool WikiDocument::waitForSaves()
{
    return m_saver->waitForSaves();
}

WikiSaver *WikiDocument::saver() const
{
    return m_saver.get();
}

QString WikiDocument::lastSaveError() const
{
    return m_loadFailed ? m_refusal : m_saver->lastError();
}
