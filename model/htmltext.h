#pragma once

#include <QString>

// The text a reader sees first in a page's stored HTML fragment, taken in one pass over the
// markup without a web page: tags and comments are left out, and so are the contents of
// scripts, style sheets and other elements that show no text; character references are decoded
// as the HTML parser decodes them; blocks, line breaks and table cells are set apart; and every
// run of white space becomes one blank, none at either end. The pass stops once it has
// maxLength characters, so a long page costs no more than its first lines, and a picture kept
// as a data: address inside a tag is passed over with one search for the quote that ends it.
// Any thread.
QString htmlTextStart(const QString &html, int maxLength);
