#include "model/legacyimport.h"

#include "model/wikifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// A connection of our own, so that the import never closes or reuses one someone else opened.
const QString connectionName = QStringLiteral("velmora-legacy-import");
const QString currentVersion = QStringLiteral("2.3.2");
const int maxRuns = 10;
const int maxBackups = 1000;

bool hasSqliteHeader(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
}

// Where an attribute whose value starts at valueStart ends: after its closing quote, or before
// the white space or ">" that ends an unquoted value; -1 for a quote that is never closed.
int attributeEnd(const QString &html, int valueStart)
{
    if (valueStart < html.size()
        && (html.at(valueStart) == QLatin1Char('"') || html.at(valueStart) == QLatin1Char('\''))) {
        const int close = html.indexOf(html.at(valueStart), valueStart + 1);
        return close < 0 ? -1 : close + 1;
    }
    int end = valueStart;
    while (end < html.size() && !html.at(end).isSpace() && html.at(end) != QLatin1Char('>'))
        ++end;
    return end;
}

// Earlier releases cut from "style=" to the end of its tag, which also dropped every attribute
// after it: the address of a link or the data of a picture. Only the attribute itself goes here.
void removeStyleAttributes(QString *html)
{
    const QLatin1String style("style=");
    int from = 0;
    for (;;) {
        const int at = html->indexOf(style, from);
        if (at < 0 || html->indexOf(QLatin1Char('>'), at) < 0)
            return;
        // An attribute, not "style=" in the text or in another attribute's name or value.
        const bool inTag
            = html->lastIndexOf(QLatin1Char('<'), at) > html->lastIndexOf(QLatin1Char('>'), at);
        const bool startsName = at > 0 && html->at(at - 1).isSpace();
        const int end = inTag && startsName ? attributeEnd(*html, at + style.size()) : -1;
        if (end < 0) {
            from = at + style.size();
            continue;
        }
        int start = at;
        while (start > 0 && html->at(start - 1).isSpace())
            --start;
        html->remove(start, end - start);
        from = start;
    }
}

// Version 1 stored each page as a whole document. False, and text untouched, when the page has
// no complete body.
bool cutToBody(QString *text)
{
    const int body = text->indexOf(QLatin1String("<body"));
    if (body < 0)
        return false;
    const int open = text->indexOf(QLatin1Char('>'), body);
    if (open < 0)
        return false;
    QString inner = text->mid(open + 1);
    const int close = inner.indexOf(QLatin1String("</body>"));
    if (close < 0)
        return false;
    inner.truncate(close);
    if (inner.contains(QLatin1String("<a href=\"file://velmora/")))
        removeStyleAttributes(&inner);
    *text = inner;
    return true;
}

QJsonObject legacyPage(const QString &id, const QString &name, const QString &content)
{
    return QJsonObject {
        {QStringLiteral("type"), QStringLiteral("page")},
        {QStringLiteral("id"), id},
        {QStringLiteral("name"), name},
        {QStringLiteral("content"), content},
        {QStringLiteral("password_descriptor"), QJsonObject()},
    };
}

void runConnectionSettings(const QSqlDatabase &database)
{
    const char *const statements[] = {
        "PRAGMA journal_mode = MEMORY",
        "PRAGMA synchronous = FULL",
        "PRAGMA locking_mode = NORMAL",
        "PRAGMA page_size = 4096",
        "PRAGMA cache_size = 16384",
        "PRAGMA temp_store = MEMORY",
    };
    for (const char *statement : statements) {
        QSqlQuery query(database);
        query.exec(QLatin1String(statement));
    }
}

QByteArray readPages(const QSqlDatabase &database)
{
    QSqlQuery query(database);
    query.prepare(QStringLiteral("select id, name, content from pages"));
    if (!execWithRetry(query)) {
        query.finish();
        return QByteArray();
    }
    QJsonArray items;
    while (query.next()) {
        // Identifiers of that time were millisecond counts, too large for an int.
        items.append(legacyPage(QString::number(query.value(0).toLongLong()),
            query.value(1).toString(), query.value(2).toString()));
    }
    query.finish();
    const QJsonObject admin {
        {QStringLiteral("version"), currentVersion},
        {QStringLiteral("password_descriptor"), QJsonObject()},
    };
    return documentBytesFromJson(
        QJsonObject {{QStringLiteral("admin"), admin}, {QStringLiteral("wiki_items"), items}});
}

// Runs on the connection registered under connectionName; every handle on it is gone when this
// returns, so that the connection can be removed.
QByteArray importFrom(const QString &path, QString *backupPath)
{
    QSqlDatabase database = QSqlDatabase::database(connectionName, false);
    database.setDatabaseName(path);
    // Read-only until the file is known to be a legacy wiki and has been copied: a file that is
    // no wiki of ours must leave this exactly as it was.
    database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!database.open())
        return QByteArray();
    const bool hasAdmin
        = database.tables(QSql::Tables).contains(QStringLiteral("admin"), Qt::CaseInsensitive);
    const int version = hasAdmin ? legacyDatabaseVersion(database) : 0;
    if (version != 1 && version != 2)
        return QByteArray();

    const QString backup = backupLegacyFile(path);
    if (backup.isEmpty())
        return QByteArray();
    if (backupPath)
        *backupPath = backup;

    if (version == 1) {
        database.close();
        database.setConnectOptions(QString());
        if (!database.open())
            return QByteArray();
        migrateLegacyDatabase(database);
    }
    runConnectionSettings(database);
    const QByteArray bytes = readPages(database);
    database.close();
    return bytes;
}

QString backupName(const QFileInfo &original, int number)
{
    const QString suffix
        = original.suffix().isEmpty() ? QString() : QLatin1Char('.') + original.suffix();
    const QString label = number == 1 ? QStringLiteral(" (before conversion)")
                                      : QStringLiteral(" (before conversion %1)").arg(number);
    return original.completeBaseName() + label + suffix;
}

} // namespace

QByteArray importLegacyDatabase(const QString &path, QString *backupPath)
{
    if (path.isEmpty() || !hasSqliteHeader(path))
        return QByteArray();
    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    const QByteArray bytes = importFrom(path, backupPath);
    QSqlDatabase::removeDatabase(connectionName);
    return bytes;
}

int legacyDatabaseVersion(const QSqlDatabase &database)
{
    QSqlQuery query(database);
    query.prepare(QStringLiteral("select db_version from admin"));
    const int version = execWithRetry(query) && query.next() ? query.value(0).toInt() : 0;
    query.finish();
    return version;
}

bool migrateLegacyDatabase(const QSqlDatabase &database)
{
    // A later row with the same identifier replaces an earlier one, as the updates below would.
    QMap<qlonglong, QString> rewritten;
    {
        QSqlQuery query(database);
        query.prepare(QStringLiteral("SELECT id, content FROM pages"));
        if (!execWithRetry(query)) {
            query.finish();
            return false;
        }
        while (query.next()) {
            QString text = query.value(1).toString();
            if (cutToBody(&text))
                rewritten.insert(query.value(0).toLongLong(), text);
        }
        query.finish();
    }
    // One transaction: with every update synced on its own, a wiki of a thousand pages took
    // seconds. A page whose update fails keeps its old content either way.
    QSqlDatabase writer = database;
    const bool inTransaction = writer.transaction();
    for (auto it = rewritten.cbegin(); it != rewritten.cend(); ++it) {
        QSqlQuery update(database);
        update.prepare(QStringLiteral("UPDATE pages SET content = ? WHERE id = ?"));
        update.addBindValue(it.value());
        update.addBindValue(it.key());
        execWithRetry(update);
        update.finish();
    }
    if (inTransaction)
        writer.commit();
    return true;
}

bool execWithRetry(QSqlQuery &query)
{
    for (int run = 0; run < maxRuns; ++run) {
        if (query.exec())
            return true;
    }
    return false;
}

QJsonArray convertLegacyPages(const QJsonObject &root)
{
    if (root.isEmpty())
        return QJsonArray();
    QJsonArray rest = root.value(QStringLiteral("pages")).toArray();
    QJsonArray ordered;

    const QString idKey = QStringLiteral("id");
    const QString nameKey = QStringLiteral("name");
    for (int i = 0; i < rest.size(); ++i) {
        const QJsonObject page = rest.at(i).toObject();
        const bool home = (page.contains(idKey)
                              && page.value(idKey).toVariant().toString() == QLatin1String("1"))
            || (page.contains(nameKey)
                && page.value(nameKey).toVariant().toString() == QLatin1String("Home Page"));
        if (home) {
            ordered.append(rest.takeAt(i));
            break;
        }
    }

    const QString positionKey = QStringLiteral("sidebar_position");
    const bool byPosition = std::all_of(rest.begin(), rest.end(), [&](const QJsonValue &value) {
        const QJsonObject page = value.toObject();
        return page.contains(positionKey) && page.value(positionKey).toInt() != 0;
    });
    while (!rest.isEmpty()) {
        int next = 0;
        if (byPosition) {
            for (int i = 1; i < rest.size(); ++i) {
                if (rest.at(i).toObject().value(positionKey).toInt()
                    < rest.at(next).toObject().value(positionKey).toInt())
                    next = i;
            }
        } else {
            // An empty best name is replaced by the next page whatever its name, as before.
            QString best;
            for (int i = 0; i < rest.size(); ++i) {
                const QString name = rest.at(i).toObject().value(nameKey).toString();
                if (best.isEmpty() || name.compare(best, Qt::CaseInsensitive) < 0) {
                    best = name;
                    next = i;
                }
            }
        }
        ordered.append(rest.takeAt(next));
    }
    return ordered;
}

QString backupLegacyFile(const QString &path)
{
    const QFileInfo original(path);
    for (int number = 1; number <= maxBackups; ++number) {
        const QString candidate = original.dir().filePath(backupName(original, number));
        const QFileInfo existing(candidate);
        if (existing.exists() || existing.isSymLink())
            continue;
        if (!QFile::copy(path, candidate))
            return QString();
#ifdef Q_OS_UNIX
        // The original is replaced by a rename that may reach the disk first.
        QFile copy(candidate);
        if (!copy.open(QIODevice::ReadOnly) || ::fsync(copy.handle()) != 0) {
            copy.close();
            QFile::remove(candidate);
            return QString();
        }
#endif
        return candidate;
    }
    return QString();
}
