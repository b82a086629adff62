// Markup through the cleaning every page gets before it is shown. Cleaning what was cleaned
// must change nothing: a second pass that still finds something means the first one let a
// construct through, or made one by joining what was around a removed part.
#include "model/htmlsanitizer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString html = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QString once = HtmlSanitizer::clean(html);
    if (HtmlSanitizer::clean(once) != once)
        std::abort();
    HtmlSanitizer::remotePictureAddresses(once);
    return 0;
}
