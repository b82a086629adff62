// The whole path a wiki file's bytes take when it is opened: unscrambling, the checksum or
// digest, inflating and parsing the document. Inputs past the digest are rare, so the seeds
// include files written without a check; fuzz_wikidocument goes straight at the parser.
#include "model/wikifile.h"

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
    jsonFromDocumentBytes(document, &ok);
    // Once wiki items exist, build them from the root object here as opening a wiki does
    // (WikiItem::fromJson on every element of "wiki_items", PasswordDescriptor from "admin").
    return 0;
}
