#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Turns page markup into markup that can only be shown: whatever a page brings with it that
// would run, load another document or submit anything is left out. Scripts, event-handler
// attributes, script URLs, frames and embedded objects, <meta http-equiv>, <base> and forms are
// removed; sources may only come from the page itself (data:) or the program's resources
// (qrc:), and pictures also from the web (http:, https:), which the viewer refuses to fetch.
//
// Markup with nothing to remove comes back unchanged, byte for byte. The reading follows the
// HTML tokenizer closely enough that wherever the two could disagree, more is removed here
// than the engine would have run.
namespace HtmlSanitizer {

QString clean(const QString &html);

// The web addresses (http:, https:) of the pictures in html, each once, in order.
QStringList remotePictureAddresses(const QString &html);
// html with each picture from the web replaced: its address becomes the one inlined holds
// for it (a data: address), and a picture with no entry there is left out.
QString inlinePictures(const QString &html, const QHash<QString, QString> &inlined);

// Markup pasted from elsewhere without what would fight the page's own style: style sheets,
// <font> tags (their text stays), classes other than "checklist", colours, faces and sizes. Of
// an inline style only weight, slant, decoration, alignment and a picture's width and height
// are kept. Structure (headings, lists, tables, links) stays as it is.
QString withoutPresentation(const QString &html);

// A policy element for the head of a document that shows page content: scripts, styles and
// fonts only from the program's resources (styles also inline), pictures only from there or
// from data: addresses, nothing else at all.
QString policyElement();

} // namespace HtmlSanitizer
