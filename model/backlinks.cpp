#include "model/backlinks.h"

#include "model/htmlentities.h"
#include "model/page.h"
#include "model/urls.h"

#include <QSet>
#include <QStringView>

namespace {

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\f';
}

// Elements whose content the parser reads as text up to their own end tag.
bool holdsRawText(const QString &tag)
{
    static const QSet<QString> names {QStringLiteral("script"), QStringLiteral("style"),
        QStringLiteral("textarea"), QStringLiteral("title"), QStringLiteral("xmp"),
        QStringLiteral("iframe"), QStringLiteral("noembed"), QStringLiteral("noframes"),
        QStringLiteral("noscript"), QStringLiteral("plaintext")};
    return names.contains(tag);
}

QString decodeAttribute(QStringView value)
{
    if (!value.contains(QLatin1Char('&')))
        return value.toString();
    QString out;
    for (int i = 0; i < value.size(); ++i) {
        if (value.at(i) != QLatin1Char('&')) {
            out += value.at(i);
            continue;
        }
        const CharacterReference ref = readCharacterReference(value.mid(i + 1));
        if (ref.length == 0) {
            out += value.at(i);
            continue;
        }
        out += QString::fromUcs4(ref.codePoints, ref.count);
        i += ref.length;
    }
    return out;
}

// Reads the tag that opens at text[at] ('<' followed by a letter). Returns where it ends, the
// lower-cased tag name in *tag and the href value, when the tag has one, in *href.
int readTag(QStringView text, int at, QString *tag, QString *href, bool *hasHref)
{
    const int size = text.size();
    int i = at + 1;
    const int nameStart = i;
    while (i < size && !isSpace(text.at(i)) && text.at(i) != QLatin1Char('/')
        && text.at(i) != QLatin1Char('>'))
        ++i;
    *tag = text.mid(nameStart, i - nameStart).toString().toLower();
    *hasHref = false;
    while (i < size) {
        while (i < size && (isSpace(text.at(i)) || text.at(i) == QLatin1Char('/')))
            ++i;
        if (i >= size || text.at(i) == QLatin1Char('>'))
            return i + 1;
        const int attrStart = i;
        while (i < size && !isSpace(text.at(i)) && text.at(i) != QLatin1Char('/')
            && text.at(i) != QLatin1Char('>') && (text.at(i) != QLatin1Char('=') || i == attrStart))
            ++i;
        const QStringView name = text.mid(attrStart, i - attrStart);
        while (i < size && isSpace(text.at(i)))
            ++i;
        QStringView value;
        if (i < size && text.at(i) == QLatin1Char('=')) {
            ++i;
            while (i < size && isSpace(text.at(i)))
                ++i;
            if (i < size && (text.at(i) == QLatin1Char('"') || text.at(i) == QLatin1Char('\''))) {
                const QChar quote = text.at(i);
                const int end = text.indexOf(quote, i + 1);
                const int stop = end < 0 ? size : end;
                value = text.mid(i + 1, stop - i - 1);
                i = stop + 1;
            } else {
                const int valueStart = i;
                while (i < size && !isSpace(text.at(i)) && text.at(i) != QLatin1Char('>'))
                    ++i;
                value = text.mid(valueStart, i - valueStart);
            }
        }
        // The first of two attributes of the same name is the one the parser keeps.
        if (!*hasHref && name.compare(QLatin1String("href"), Qt::CaseInsensitive) == 0) {
            *hasHref = true;
            *href = decodeAttribute(value);
        }
    }
    return size;
}

} // namespace

QStringList Backlinks::linkedPageIds(const QString &html)
{
    QStringList ids;
    const QStringView text(html);
    const int size = text.size();
    QString tag;
    QString href;
    bool hasHref = false;
    for (int i = text.indexOf(QLatin1Char('<')); i >= 0 && i < size;
         i = text.indexOf(QLatin1Char('<'), i)) {
        if (text.mid(i, 4) == QLatin1String("<!--")) {
            const int end = text.indexOf(QLatin1String("-->"), i + 4);
            i = end < 0 ? size : end + 3;
            continue;
        }
        if (i + 1 >= size || !isAsciiLetter(text.at(i + 1))) {
            // An end tag, a declaration or a lone '<': nothing that opens an element.
            ++i;
            continue;
        }
        i = readTag(text, i, &tag, &href, &hasHref);
        if (tag == QLatin1String("a") && hasHref && isPageUrl(href)) {
            const QString id = pageIdFromUrl(href);
            if (!ids.contains(id))
                ids << id;
        } else if (holdsRawText(tag)) {
            const int end
                = text.indexOf(QString(QLatin1String("</") + tag), i, Qt::CaseInsensitive);
            i = end < 0 ? size : end + 2;
        }
    }
    return ids;
}

QList<Page *> Backlinks::pagesLinkingTo(const QString &pageId, const QList<Page *> &pages)
{
    QList<Page *> result;
    for (Page *page : pages) {
        const QString id = page->id();
        // Stored alongside, the content shares its text with the page: while the page keeps
        // that text, the comparison below is a pointer comparison.
        const CompactText content = page->compactContent();
        Entry &entry = m_links[id];
        if (!entry.read || entry.content != content) {
            entry.content = content;
            entry.targets = linkedPageIds(content.toString());
            entry.read = true;
        }
        if (id != pageId && !page->isLocked() && entry.targets.contains(pageId))
            result << page;
    }
    // Pages that are gone (deleted, or of another wiki) are not kept for ever.
    if (m_links.size() > 2 * pages.size() + 16)
        m_links.clear();
    return result;
}
