#pragma once

#include <QStringView>

// A character reference read from page text the way the HTML parser reads one there.
struct CharacterReference
{
    // Characters taken from the text after the '&'; 0 when the '&' stands for itself.
    int length = 0;
    char32_t codePoints[2] = {0, 0};
    int count = 0;
    // A numeric reference the parser replaces or maps (zero, surrogates, values past Unicode,
    // the C1 range it reads as Windows-1252): the reading may differ between parser versions.
    bool unusual = false;
};

// Reads the reference that starts just after an '&' in text content.
CharacterReference readCharacterReference(QStringView afterAmpersand);
