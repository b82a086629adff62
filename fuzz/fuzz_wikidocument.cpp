// Document bytes as they come out of an intact wiki file, straight into the parser: the
// layout checks that run before Qt's binary JSON reader, and that reader itself.
#include "model/wikifile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A copy, since Qt's reader expects the 4-byte alignment a QByteArray's own data has.
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    bool ok = false;
    jsonFromDocumentBytes(bytes, &ok);
    return 0;
}
