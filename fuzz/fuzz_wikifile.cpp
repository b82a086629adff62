// The whole path a wiki file's bytes take when it is opened: unscrambling, the checksum or
// digest, inflating and parsing the document. Inputs past the digest are rare, so the seeds
// include files written without a check; fuzz_wikidocument goes straight at the parser.
#include "model/folder.h"
#include "model/page.h"
#include "model/passworddescriptor.h"
#include "model/wikifile.h"

#include <QJsonArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    WikiReadStatus status;
    const QByteArray document = decodeWikiFile(bytes, &status);
    if (status != WikiReadStatus::Read)
        return 0;
    bool ok = false;
    const QJsonObject root = jsonFromDocumentBytes(document, &ok);
    if (!ok)
        return 0;
    // The items, as opening a wiki builds them.
    const QJsonObject admin = root.value(QStringLiteral("admin")).toObject();
    const PasswordDescriptor descriptor(admin.value(QStringLiteral("password_descriptor")).toObject());
    descriptor.isSet();
    const QJsonArray items = root.value(QStringLiteral("wiki_items")).toArray();
    for (const QJsonValue &element : items) {
        WikiItem *item = WikiItem::fromJson(element.toObject());
        if (Folder *folder = item ? item->toFolder() : nullptr)
            qDeleteAll(folder->pages());
        delete item;
    }
    return 0;
}
