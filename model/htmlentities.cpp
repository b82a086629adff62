#include "model/htmlentities.h"

#include <algorithm>
#include <cstring>

namespace {

struct NamedReference
{
    const char *name;
    char32_t first;
    char32_t second;
};

const NamedReference namedReferences[] = {
#include "model/htmlentities.inc"
};

bool isAsciiAlphanumeric(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
}

const NamedReference *findName(const char *name)
{
    const NamedReference *end = std::end(namedReferences);
    const NamedReference *found = std::lower_bound(
        std::begin(namedReferences), end, name, [](const NamedReference &entry, const char *key) {
            return std::strcmp(entry.name, key) < 0;
        });
    return found != end && std::strcmp(found->name, name) == 0 ? found : nullptr;
}

CharacterReference readNumeric(QStringView text)
{
    CharacterReference reference;
    int i = 1; // past '#'
    const bool hex
        = i < text.size() && (text.at(i) == QLatin1Char('x') || text.at(i) == QLatin1Char('X'));
    if (hex)
        ++i;
    const int digitsStart = i;
    quint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        int digit = -1;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (hex && u >= 'a' && u <= 'f')
            digit = u - 'a' + 10;
        else if (hex && u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        if (digit < 0)
            break;
        value = qMin<quint64>(value * (hex ? 16 : 10) + quint64(digit), 0x110000);
    }
    if (i == digitsStart)
        return reference; // "&#" without digits is text
    if (i < text.size() && text.at(i) == QLatin1Char(';'))
        ++i;
    reference.length = i;
    reference.count = 1;
    reference.unusual = value == 0 || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)
        || (value >= 0x80 && value <= 0x9f);
    reference.codePoints[0] = reference.unusual ? 0xfffd : char32_t(value);
    return reference;
}

} // namespace

CharacterReference readCharacterReference(QStringView text)
{
    if (text.isEmpty())
        return {};
    if (text.at(0) == QLatin1Char('#'))
        return readNumeric(text);
    // The longest name in the table that the text starts with, with or without its ';'.
    char name[40];
    int length = 0;
    while (length < 32 && length < text.size() && isAsciiAlphanumeric(text.at(length))) {
        name[length] = char(text.at(length).unicode());
        ++length;
    }
    if (length < text.size() && text.at(length) == QLatin1Char(';') && length < 39)
        name[length++] = ';';
    for (; length > 0; --length) {
        name[length] = '\0';
        if (const NamedReference *found = findName(name)) {
            CharacterReference reference;
            reference.length = length;
            reference.codePoints[0] = found->first;
            reference.codePoints[1] = found->second;
            reference.count = found->second ? 2 : 1;
            return reference;
        }
    }
    return {};
}
