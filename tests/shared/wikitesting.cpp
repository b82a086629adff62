#include "wikitesting.h"

#include "model/wikifile.h"

#include <QFile>

namespace Testing {

qint64 processStatusKb(const char *field)
{
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : fileBytes(QStringLiteral("/proc/self/status")).split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

QJsonObject pageJson(const QString &id, const QString &name, const QString &content)
{
    return QJsonObject {{"type", "page"}, {"id", id}, {"name", name}, {"content", content}};
}

bool writeWikiJson(const QString &path, const QJsonArray &items)
{
    const QJsonObject admin {{"version", "2.3.2"}, {"password_descriptor", QJsonObject()}};
    return writeWikiData(path, documentBytesFromJson({{"admin", admin}, {"wiki_items", items}}));
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool putFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace Testing
