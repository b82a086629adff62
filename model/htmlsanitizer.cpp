#include "model/htmlsanitizer.h"

#include "model/htmlentities.h"

#include <QSet>
#include <QVector>

#include <algorithm>

namespace {

bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\f' || u == '\r';
}

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

// Dropped with everything up to their end tag: what they hold is never page text.
const QSet<QString> &droppedWithContent()
{
    static const QSet<QString> names = {QStringLiteral("script"), QStringLiteral("iframe")};
    return names;
}

// Only the tags go; what they hold stays as ordinary markup. The animation elements can set
// any attribute, a link's target included, after this cleaning has looked at it.
const QSet<QString> &droppedTags()
{
    static const QSet<QString> names = {QStringLiteral("frame"), QStringLiteral("frameset"),
        QStringLiteral("object"), QStringLiteral("embed"), QStringLiteral("applet"),
        QStringLiteral("param"), QStringLiteral("base"), QStringLiteral("form"),
        QStringLiteral("animate"), QStringLiteral("set"), QStringLiteral("animatemotion"),
        QStringLiteral("animatetransform"), QStringLiteral("portal"), QStringLiteral("isindex")};
    return names;
}

const QSet<QString> &droppedAttributes()
{
    static const QSet<QString> names = {QStringLiteral("action"), QStringLiteral("formaction"),
        QStringLiteral("srcdoc"), QStringLiteral("http-equiv")};
    return names;
}

// Attributes the engine loads something from.
const QSet<QString> &sourceAttributes()
{
    static const QSet<QString> names
        = {QStringLiteral("src"), QStringLiteral("lowsrc"), QStringLiteral("dynsrc"),
            QStringLiteral("background"), QStringLiteral("poster"), QStringLiteral("data"),
            QStringLiteral("codebase"), QStringLiteral("classid"), QStringLiteral("archive"),
            QStringLiteral("manifest"), QStringLiteral("icon"), QStringLiteral("srcset")};
    return names;
}

QString decodeReferences(QStringView value)
{
    QString decoded;
    decoded.reserve(value.size());
    for (int i = 0; i < value.size(); ++i) {
        if (value.at(i) != QLatin1Char('&')) {
            decoded += value.at(i);
            continue;
        }
        const CharacterReference reference = readCharacterReference(value.mid(i + 1));
        if (reference.length == 0) {
            decoded += value.at(i);
            continue;
        }
        decoded += QString::fromUcs4(reference.codePoints, reference.count);
        i += reference.length;
    }
    return decoded;
}

// The scheme the engine would read from an attribute value, lower case; empty for a relative
// address. Every control character and space is taken out first, more than a URL parser drops,
// so that "java&#9;script:" and " javascript:" are seen for what they are.
QString schemeOf(QStringView rawValue)
{
    QString compact;
    for (QChar c : decodeReferences(rawValue)) {
        if (c.unicode() > 0x20 && c.unicode() != 0x7f)
            compact += c;
    }
    const int colon = compact.indexOf(QLatin1Char(':'));
    if (colon <= 0 || !isAsciiLetter(compact.at(0)))
        return QString();
    for (int i = 1; i < colon; ++i) {
        const QChar c = compact.at(i);
        if (!isAsciiLetter(c) && !c.isDigit() && c != QLatin1Char('+') && c != QLatin1Char('-')
            && c != QLatin1Char('.'))
            return QString();
    }
    return compact.left(colon).toLower();
}

bool isScriptScheme(const QString &scheme)
{
    return scheme == QLatin1String("javascript") || scheme == QLatin1String("vbscript")
        || scheme == QLatin1String("livescript");
}

// Pictures may keep a web address, which the viewer refuses to fetch; other sources (sound,
// video, frames) could be loaded past the page's network access, so they keep none.
bool isLoadableScheme(const QString &scheme, const QString &tagName)
{
    if (scheme.isEmpty() || scheme == QLatin1String("data") || scheme == QLatin1String("qrc"))
        return true;
    return tagName == QLatin1String("img")
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

struct Attribute
{
    int start = 0; // name start
    int end = 0; // past the value (or the name)
    QString name; // lower case
    int valueStart = -1;
    int valueEnd = -1;
};

struct Tag
{
    QString name; // lower case
    int nameStart = 0;
    int nameEnd = 0;
    int end = -1; // past '>'; -1 when the markup ends inside the tag
    bool selfClosing = false;
    QVector<Attribute> attributes;
};

// Reads a tag whose name starts at pos, as the HTML tokenizer does, quoted values included.
Tag readTag(const QString &html, int pos)
{
    Tag tag;
    const int n = html.size();
    int i = pos;
    tag.nameStart = i;
    while (i < n && !isSpace(html.at(i)) && html.at(i) != QLatin1Char('/')
        && html.at(i) != QLatin1Char('>'))
        ++i;
    tag.nameEnd = i;
    tag.name = html.mid(pos, i - pos).toLower();
    for (;;) {
        bool slash = false;
        while (i < n && (isSpace(html.at(i)) || html.at(i) == QLatin1Char('/'))) {
            slash = html.at(i) == QLatin1Char('/');
            ++i;
        }
        if (i >= n)
            return tag;
        if (html.at(i) == QLatin1Char('>')) {
            tag.selfClosing = slash;
            tag.end = i + 1;
            return tag;
        }
        Attribute attribute;
        attribute.start = i;
        // A '=' that starts a name belongs to it.
        ++i;
        while (i < n && !isSpace(html.at(i)) && html.at(i) != QLatin1Char('/')
            && html.at(i) != QLatin1Char('>') && html.at(i) != QLatin1Char('='))
            ++i;
        attribute.name = html.mid(attribute.start, i - attribute.start).toLower();
        attribute.end = i;
        int j = i;
        while (j < n && isSpace(html.at(j)))
            ++j;
        if (j < n && html.at(j) == QLatin1Char('=')) {
            ++j;
            while (j < n && isSpace(html.at(j)))
                ++j;
            if (j < n && (html.at(j) == QLatin1Char('"') || html.at(j) == QLatin1Char('\''))) {
                const int close = html.indexOf(html.at(j), j + 1);
                if (close < 0)
                    return tag;
                attribute.valueStart = j + 1;
                attribute.valueEnd = close;
                i = close + 1;
            } else {
                attribute.valueStart = j;
                while (j < n && !isSpace(html.at(j)) && html.at(j) != QLatin1Char('>'))
                    ++j;
                attribute.valueEnd = j;
                i = j;
            }
            attribute.end = i;
        }
        tag.attributes.append(attribute);
    }
}

bool keepAttribute(const Attribute &attribute, const QString &tagName, const QString &html)
{
    const QString &name = attribute.name;
    if (name.startsWith(QLatin1String("on")) || droppedAttributes().contains(name))
        return false;
    if (attribute.valueStart < 0)
        return true;
    const QStringView value
        = QStringView(html).mid(attribute.valueStart, attribute.valueEnd - attribute.valueStart);
    // Any attribute, not only the known address ones: an animation or a later script could
    // turn any value into an address.
    if (isScriptScheme(schemeOf(value)))
        return false;
    if (name == QLatin1String("srcset")) {
        for (const QString &candidate : value.toString().split(QLatin1Char(','))) {
            const QString address = candidate.trimmed().section(QLatin1Char(' '), 0, 0);
            if (!isLoadableScheme(schemeOf(address), tagName))
                return false;
        }
        return true;
    }
    if (sourceAttributes().contains(name))
        return isLoadableScheme(schemeOf(value), tagName);
    return true;
}

// Finds the end of an element dropped with its content: past its end tag, or the end of the
// markup when there is none.
int endOfElement(const QString &html, const QString &name, int from)
{
    const QString closing = QStringLiteral("</") + name;
    for (int at = html.indexOf(closing, from, Qt::CaseInsensitive); at >= 0;
         at = html.indexOf(closing, at + 1, Qt::CaseInsensitive)) {
        const int after = at + closing.size();
        if (after < html.size() && !isSpace(html.at(after)) && html.at(after) != QLatin1Char('/')
            && html.at(after) != QLatin1Char('>'))
            continue;
        const Tag tag = readTag(html, at + 2);
        return tag.end < 0 ? html.size() : tag.end;
    }
    return html.size();
}

QString cleaned(const QString &html, bool *changed)
{
    const int n = html.size();
    QString out;
    int copied = 0; // html before this index is in out, or was dropped
    auto drop = [&](int from, int to) {
        out += QStringView(html).mid(copied, from - copied);
        copied = to;
        *changed = true;
        // A '<' left of the gap would open a tag with the text right of it.
        if (out.endsWith(QLatin1Char('<')))
            out.replace(out.size() - 1, 1, QStringLiteral("&lt;"));
    };

    int i = 0;
    while (i < n) {
        const int lt = html.indexOf(QLatin1Char('<'), i);
        if (lt < 0 || lt + 1 >= n)
            break;
        const QChar next = html.at(lt + 1);
        const bool endTag
            = next == QLatin1Char('/') && lt + 2 < n && isAsciiLetter(html.at(lt + 2));
        if (next == QLatin1Char('!') || next == QLatin1Char('?')
            || (next == QLatin1Char('/') && !endTag)) {
            // Comments, declarations and the like: the engine never ends one before the first
            // '>', so nothing it reads as markup is passed over here.
            const int gt = html.indexOf(QLatin1Char('>'), lt + 1);
            i = gt < 0 ? n : gt + 1;
            continue;
        }
        if (!endTag && !isAsciiLetter(next)) {
            i = lt + 1;
            continue;
        }
        const Tag tag = readTag(html, endTag ? lt + 2 : lt + 1);
        if (tag.end < 0) {
            // The engine drops a tag that the markup ends in.
            drop(lt, n);
            i = n;
            break;
        }
        i = tag.end;
        const bool metaWithEquivalent = tag.name == QLatin1String("meta")
            && std::any_of(tag.attributes.cbegin(), tag.attributes.cend(),
                [](const Attribute &a) { return a.name == QLatin1String("http-equiv"); });
        if (droppedWithContent().contains(tag.name)) {
            const int end = endTag ? tag.end : endOfElement(html, tag.name, tag.end);
            drop(lt, end);
            i = end;
            continue;
        }
        if (droppedTags().contains(tag.name) || metaWithEquivalent) {
            drop(lt, tag.end);
            continue;
        }
        if (endTag)
            continue;
        QString rebuilt;
        bool dropped = false;
        for (const Attribute &attribute : tag.attributes) {
            if (!keepAttribute(attribute, tag.name, html)) {
                dropped = true;
                continue;
            }
            // A name can start with '=' only where no value is awaited: written after a space
            // it would become the value of the attribute before it, and what follows would be
            // read differently. Such a name is never a real attribute's.
            if (attribute.name.startsWith(QLatin1Char('=')))
                continue;
            rebuilt += QLatin1Char(' ');
            rebuilt += QStringView(html).mid(attribute.start, attribute.end - attribute.start);
        }
        if (!dropped)
            continue;
        drop(lt, tag.end);
        out += QLatin1Char('<');
        out += QStringView(html).mid(tag.nameStart, tag.nameEnd - tag.nameStart);
        out += rebuilt;
        // The space keeps the slash out of an unquoted value before it.
        out += tag.selfClosing ? QLatin1String(" />") : QLatin1String(">");
    }
    if (!*changed)
        return html;
    out += QStringView(html).mid(copied);
    return out;
}

bool isRemote(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// Calls visit(tag, src attribute, start of the tag) for every picture element with a source.
template <typename Visit> void forEachPicture(const QString &html, Visit visit)
{
    for (int at = html.indexOf(QLatin1String("<img"), 0, Qt::CaseInsensitive); at >= 0;
         at = html.indexOf(QLatin1String("<img"), at + 1, Qt::CaseInsensitive)) {
        const Tag tag = readTag(html, at + 1);
        if (tag.name != QLatin1String("img") || tag.end < 0)
            continue;
        for (const Attribute &attribute : tag.attributes) {
            if (attribute.name == QLatin1String("src") && attribute.valueStart >= 0) {
                visit(tag, attribute, at);
                break;
            }
        }
    }
}

QString addressOf(const QString &html, const Attribute &attribute)
{
    return decodeReferences(
        QStringView(html).mid(attribute.valueStart, attribute.valueEnd - attribute.valueStart))
        .trimmed();
}

// Style properties that pasted markup keeps: they mark up the text rather than restyle it.
bool keptStyleProperty(const QString &property)
{
    static const QSet<QString> names = {QStringLiteral("font-weight"),
        QStringLiteral("font-style"), QStringLiteral("text-decoration"),
        QStringLiteral("text-decoration-line"), QStringLiteral("text-align"),
        QStringLiteral("vertical-align"), QStringLiteral("width"), QStringLiteral("height")};
    return names.contains(property);
}

QString keptStyle(const QString &style)
{
    QStringList kept;
    for (const QString &declaration : style.split(QLatin1Char(';'))) {
        const int colon = declaration.indexOf(QLatin1Char(':'));
        if (colon > 0 && keptStyleProperty(declaration.left(colon).trimmed().toLower()))
            kept << declaration.trimmed();
    }
    return kept.join(QLatin1String("; "));
}

} // namespace

namespace HtmlSanitizer {

QString withoutPresentation(const QString &html)
{
    static const QSet<QString> droppedNames
        = {QStringLiteral("face"), QStringLiteral("color"), QStringLiteral("bgcolor")};
    QString out;
    int copied = 0;
    int i = 0;
    const int n = html.size();
    while (i < n) {
        const int lt = html.indexOf(QLatin1Char('<'), i);
        if (lt < 0 || lt + 2 >= n)
            break;
        const bool endTag = html.at(lt + 1) == QLatin1Char('/');
        if (!isAsciiLetter(html.at(endTag ? lt + 2 : lt + 1))) {
            i = lt + 1;
            continue;
        }
        const Tag tag = readTag(html, endTag ? lt + 2 : lt + 1);
        if (tag.end < 0)
            break;
        i = tag.end;
        const bool styleSheet = tag.name == QLatin1String("style");
        if (tag.name == QLatin1String("font") || tag.name == QLatin1String("link")
            || tag.name == QLatin1String("meta") || styleSheet) {
            out += QStringView(html).mid(copied, lt - copied);
            copied = styleSheet && !endTag ? endOfElement(html, tag.name, tag.end) : tag.end;
            i = copied;
            continue;
        }
        if (endTag)
            continue;
        QString rebuilt;
        bool changed = false;
        for (const Attribute &attribute : tag.attributes) {
            const QString value = attribute.valueStart < 0
                ? QString()
                : html.mid(attribute.valueStart, attribute.valueEnd - attribute.valueStart);
            QString kept = html.mid(attribute.start, attribute.end - attribute.start);
            if (droppedNames.contains(attribute.name)
                || (attribute.name == QLatin1String("size") && tag.name != QLatin1String("input"))
                || (attribute.name == QLatin1String("class")
                    && value.trimmed() != QLatin1String("checklist"))) {
                changed = true;
                continue;
            }
            if (attribute.name == QLatin1String("style")) {
                const QString style = keptStyle(decodeReferences(value));
                changed = true;
                if (style.isEmpty())
                    continue;
                kept = QStringLiteral("style=\"%1\"").arg(style.toHtmlEscaped());
            }
            rebuilt += QLatin1Char(' ') + kept;
        }
        if (!changed)
            continue;
        out += QStringView(html).mid(copied, lt - copied);
        out += QLatin1Char('<');
        out += QStringView(html).mid(tag.nameStart, tag.nameEnd - tag.nameStart);
        out += rebuilt;
        out += tag.selfClosing ? QLatin1String(" />") : QLatin1String(">");
        copied = tag.end;
    }
    out += QStringView(html).mid(copied);
    return out;
}

QStringList remotePictureAddresses(const QString &html)
{
    QStringList addresses;
    forEachPicture(html, [&](const Tag &, const Attribute &src, int) {
        const QString address = addressOf(html, src);
        if (isRemote(schemeOf(address)) && !addresses.contains(address))
            addresses << address;
    });
    return addresses;
}

QString inlinePictures(const QString &html, const QHash<QString, QString> &inlined)
{
    QString out;
    int copied = 0;
    forEachPicture(html, [&](const Tag &tag, const Attribute &src, int start) {
        const QString address = addressOf(html, src);
        if (start < copied || !isRemote(schemeOf(address)))
            return;
        out += QStringView(html).mid(copied, start - copied);
        const QString data = inlined.value(address);
        if (!data.isEmpty()) {
            out += QStringView(html).mid(start, src.start - start);
            out += QStringLiteral("src=\"%1\"").arg(data.toHtmlEscaped());
            out += QStringView(html).mid(src.end, tag.end - src.end);
        }
        copied = tag.end;
    });
    out += QStringView(html).mid(copied);
    return out;
}

QString policyElement()
{
    return QStringLiteral(
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "script-src qrc:; style-src qrc: 'unsafe-inline'; font-src qrc: data:; "
        "img-src qrc: data:; media-src data:\">");
}

QString clean(const QString &html)
{
    bool changed = false;
    return cleaned(html, &changed);
}

} // namespace HtmlSanitizer
