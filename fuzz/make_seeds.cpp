// Writes small valid wiki files and documents, made by the program's own writer, as the seed
// corpora: make_seeds <wiki file corpus folder> <document corpus folder>
#include "model/wikifile.h"
#include "model/wikifilecipher.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>

namespace {

QJsonObject page(const QString &id, const QString &name, const QString &content)
{
    const QJsonObject descriptor {{"hashed_password", ""}, {"salt", ""}, {"hint", ""}};
    return QJsonObject {{"id", id}, {"name", name}, {"type", "page"}, {"content", content},
        {"password_descriptor", descriptor}};
}

bool save(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    const QDir files(QFile::decodeName(argv[1]));
    const QDir documents(QFile::decodeName(argv[2]));
    if (!QDir().mkpath(files.path()) || !QDir().mkpath(documents.path()))
        return 1;

    const QJsonObject protectedDescriptor {
        {"hashed_password", "$2b$10$abcdefghijklmnopqrstuu5Z0mBqV2e3ZkS4mJ0yV8bq8y9JX7qG."},
        {"salt", "$2b$10$abcdefghijklmnopqrstuu"}, {"hint", "the usual"}};
    const QJsonObject folder {{"id", "1733480000124"}, {"name", "Projects"}, {"type", "folder"},
        {"pages", QJsonArray {page("1733480000125", "Plans", "<ul><li>a</li></ul>")}}};
    const QList<QJsonObject> roots = {
        QJsonObject {{"admin", QJsonObject {{"version", "2.3.2"}}},
            {"wiki_items", QJsonArray {page("1", "Home Page", "<p>Welcome</p>")}}},
        QJsonObject {
            {"admin",
                QJsonObject {{"version", "2.3.2"}, {"password_descriptor", protectedDescriptor}}},
            {"wiki_items",
                QJsonArray {page("1", "Home Page",
                                "<p><a href=\"file://velmora/?pageid=1733480000125\">"
                                "Plans</a> Grüße ✓</p>"),
                    folder}}},
        // The older form with "pages" and sidebar positions.
        QJsonObject {{"admin", QJsonObject {{"version", 2}}},
            {"pages",
                QJsonArray {QJsonObject {
                    {"id", "1"}, {"name", "Home"}, {"content", ""}, {"sidebar_position", 0}}}}},
        QJsonObject(),
    };

    int n = 0;
    for (const QJsonObject &root : roots) {
        const QByteArray document = documentBytesFromJson(root);
        const QString name = QStringLiteral("seed%1").arg(n++);
        if (!save(documents.filePath(name), document)
            || !writeWikiData(files.filePath(name + "-digest"), document))
            return 1;
        // Without a check the fuzzer gets past the digest, which it could never forge.
        for (const auto mode : {WikiFileCipher::Always, WikiFileCipher::Never}) {
            WikiFileCipher cipher(WikiFileCipher::fileKey);
            cipher.setCompressionMode(mode);
            cipher.setProtectionMode(WikiFileCipher::None);
            if (!save(files.filePath(name + (mode == WikiFileCipher::Always ? "-z" : "-plain")),
                    cipher.encrypt(document)))
                return 1;
        }
    }
    return 0;
}
