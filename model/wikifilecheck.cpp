#include "model/wikifilecheck.h"

#include "model/wikifile.h"
#include "model/wikifilecipher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("WikiFileCheck", text);
}

QString earlierReleaseProblem()
{
    return tr("This is a wiki of an earlier release of Velmora. Open it once in Velmora, which "
              "keeps a copy of the original and converts it.");
}

// The start of every SQLite database: the wikis of the earliest releases.
const QByteArray sqliteMagic("SQLite format 3", 16);

} // namespace

QString WikiFileCheck::notAWikiMessage(const QString &path)
{
    return QCoreApplication::translate("MainWindow",
        "The file \"%1\" could not be read as a Velmora wiki. It was not opened and has not been "
        "changed.")
        .arg(QDir::toNativeSeparators(path));
}

qint64 WikiFileCheck::maxDocumentSize()
{
    return WikiFileCipher::defaultMaxPlainSize;
}

void WikiFileCheck::fail(Outcome outcome, const QString &problem)
{
    m_outcome = outcome;
    m_problem = problem;
}

WikiFileCheck WikiFileCheck::run(const QString &path)
{
    WikiFileCheck check;
    const QFileInfo info(path);
    if (!info.exists()) {
        check.fail(Unopenable, tr("There is no file \"%1\".").arg(QDir::toNativeSeparators(path)));
        return check;
    }
    QFile file(path);
    // Opened for reading only, and never created: a check changes nothing.
    if (!info.isFile() || !file.open(QIODevice::ReadOnly) || file.isSequential()) {
        check.fail(Unopenable,
            tr("The file \"%1\" cannot be read: %2")
                .arg(QDir::toNativeSeparators(path),
                    info.isFile() ? file.errorString() : tr("it is not a regular file")));
        return check;
    }
    check.m_fileSize = file.size();
    if (check.m_fileSize == 0) {
        check.fail(Damaged, tr("The file is empty: it holds no wiki."));
        return check;
    }
    const QByteArray head = file.peek(sqliteMagic.size());
    if (head == sqliteMagic) {
        check.fail(EarlierRelease, earlierReleaseProblem());
        return check;
    }
    if (check.m_fileSize > maxWikiFileSize) {
        check.fail(Foreign, notAWikiMessage(path));
        return check;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() != check.m_fileSize) {
        check.fail(Unopenable, tr("The file could not be read whole: %1").arg(file.errorString()));
        return check;
    }
    if (bytes.size() < 3 || quint8(bytes.at(0)) != WikiFileCipher::formatVersion) {
        check.fail(Foreign, notAWikiMessage(path));
        return check;
    }

    WikiFileCipher cipher(WikiFileCipher::fileKey);
    const QByteArray document = cipher.decrypt(bytes);
    switch (cipher.lastError()) {
    case WikiFileCipher::NoError:
        break;
    case WikiFileCipher::IntegrityFailed:
        check.fail(Damaged, tr("The file is damaged: its digest does not match its contents."));
        return check;
    case WikiFileCipher::DecompressionFailed:
        check.fail(
            Damaged, tr("The file is damaged: its contents do not unpack to the size they name."));
        return check;
    default:
        check.fail(Foreign, notAWikiMessage(path));
        return check;
    }
    check.m_documentSize = document.size();
    check.checkDocument(document);
    return check;
}

void WikiFileCheck::checkDocument(const QByteArray &documentBytes)
{
    bool ok = false;
    const QJsonObject root = jsonFromDocumentBytes(documentBytes, &ok);
    if (!ok) {
        fail(Damaged, tr("The file is damaged: the wiki document inside it is malformed."));
        return;
    }
    const QString itemsKey = QStringLiteral("wiki_items");
    if (!root.contains(itemsKey) && root.value(QStringLiteral("pages")).isArray()) {
        fail(EarlierRelease, earlierReleaseProblem());
        return;
    }
    const QJsonValue admin = root.value(QStringLiteral("admin"));
    const QJsonValue version = admin.toObject().value(QStringLiteral("version"));
    if (!admin.isObject() || !version.isString() || version.toString().trimmed().isEmpty()) {
        fail(Damaged, tr("The wiki document has no version."));
        return;
    }
    const QJsonValue password = admin.toObject().value(QStringLiteral("password_descriptor"));
    if (!password.isUndefined() && !password.isObject()) {
        fail(Damaged, tr("The wiki's password entry is malformed."));
        return;
    }
    m_passwordProtected
        = !password.toObject().value(QStringLiteral("hashed_password")).toString().isEmpty();
    if (!root.value(itemsKey).isArray()) {
        fail(Damaged, tr("The wiki document has no list of pages and folders."));
        return;
    }

    // The same rules the document applies when it reads the items, made strict: anything it
    // would drop or read as empty is damage here.
    QSet<QString> ids;
    bool hasHomePage = false;
    auto checkItem = [&](const QJsonValue &value, const QString &where, bool insideFolder) {
        const QJsonObject item = value.toObject();
        const QString type = item.value(QStringLiteral("type")).toString();
        const QString id = item.value(QStringLiteral("id")).toString();
        const bool isPage = type == QLatin1String("page") || (insideFolder && type.isEmpty());
        const bool isFolder = !insideFolder && type == QLatin1String("folder");
        if (!value.isObject() || (!isPage && !isFolder)) {
            fail(Damaged, tr("%1 is neither a page nor a folder.").arg(where));
            return false;
        }
        if (id.isEmpty() || !item.value(QStringLiteral("name")).isString()) {
            fail(Damaged, tr("%1 has no identifier or no name.").arg(where));
            return false;
        }
        if (ids.contains(id)) {
            fail(Damaged, tr("%1 has the identifier %2 of another item.").arg(where, id));
            return false;
        }
        ids.insert(id);
        if (isPage) {
            if (!item.value(QStringLiteral("content")).isString()) {
                fail(Damaged, tr("%1 has no content.").arg(where));
                return false;
            }
            ++m_pageCount;
            hasHomePage = hasHomePage || id == QLatin1String("1");
        } else {
            ++m_folderCount;
        }
        return true;
    };

    const QJsonArray items = root.value(itemsKey).toArray();
    for (int i = 0; i < items.size(); ++i) {
        const QString where = tr("Item %1").arg(i + 1);
        if (!checkItem(items.at(i), where, false))
            return;
        const QJsonObject item = items.at(i).toObject();
        if (item.value(QStringLiteral("type")).toString() != QLatin1String("folder"))
            continue;
        const QJsonValue pages = item.value(QStringLiteral("pages"));
        if (!pages.isArray()) {
            fail(Damaged, tr("%1 is a folder without a list of pages.").arg(where));
            return;
        }
        const QJsonArray folderPages = pages.toArray();
        for (int j = 0; j < folderPages.size(); ++j) {
            if (!checkItem(folderPages.at(j), tr("Page %1 of item %2").arg(j + 1).arg(i + 1), true))
                return;
        }
    }
    if (!hasHomePage)
        fail(Damaged, tr("The wiki has no home page."));
}
