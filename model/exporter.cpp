#include "model/exporter.h"

#include "model/htmlprocessor.h"
#include "model/htmlsanitizer.h"
#include "model/page.h"

#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <QUuid>
#include <QVector>

const char *const protectedPageNotice
    = "<html><body style='text-align: center;'><p style='font-size: 16px; margin-top: 40px;'>"
      "This page is protected with a password.</p></body></html>";

namespace {

const int maxBaseNameLength = 100;
// File systems allow 255 bytes in a name; a hundred letters of most scripts other than Latin
// take more than that in UTF-8. Room is left for a number and the extension.
const int maxBaseNameBytes = 240;
const int maxNumberedNames = 9999;

bool keptInFileName(uint c)
{
    if (c < 0x80) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    }
    return QChar::isLetterOrNumber(c);
}

QString sanitisedName(const QString &name)
{
    // Composed first, so that a letter typed as a base and an accent stays one letter; whole
    // code points, so that a letter outside the first plane is not seen as two halves.
    const QVector<uint> codePoints = name.normalized(QString::NormalizationForm_C).toUcs4();
    QString result;
    for (const uint c : codePoints) {
        const char32_t codePoint = c;
        if (keptInFileName(c))
            result += QString::fromUcs4(&codePoint, 1);
        else
            result += QLatin1Char('_');
    }
    return result.trimmed();
}

// Names Windows gives to devices, whatever the extension: such a file cannot be written there.
bool isWindowsDeviceName(const QString &name)
{
    const QString base = name.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList plain = {
        QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"), QStringLiteral("NUL")};
    if (plain.contains(base))
        return true;
    return base.size() == 4
        && (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT")))
        && base.at(3) >= QLatin1Char('1') && base.at(3) <= QLatin1Char('9');
}

bool usableBaseName(const QString &name)
{
    return !name.isEmpty() && name.size() <= maxBaseNameLength
        && name.toUtf8().size() <= maxBaseNameBytes;
}

// A dangling symbolic link counts as taken: writing through it would create a file elsewhere.
bool pathTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Readable type and links in any browser, for the pages and the index alike.
const char *const exportStyle
    = "body { font-family: sans-serif; font-size: 16px; line-height: 1.45; max-width: 48em; "
      "margin: 2em auto; padding: 0 1em; color: #222; } a { color: #1a5fb4; } "
      "img { max-width: 100%; height: auto; } table { border-collapse: collapse; } "
      "td, th { border: 1px solid #ccc; padding: 2px 6px; } "
      "ul.checklist { list-style: none; padding-left: 0.4em; } "
      "pre, code { font-family: monospace; background: #f5f5f3; } "
      "pre { padding: 0.6em 0.8em; white-space: pre-wrap; } "
      "blockquote { margin-left: 0; padding-left: 1em; border-left: 3px solid #ccc; color: #444; } "
      "hr { border: none; border-top: 1px solid #ccc; }";

QString indexHtml(const QString &title, const QList<Page *> &pages, const QStringList &files)
{
    QString items;
    for (int i = 0; i < pages.size(); ++i) {
        if (files.at(i).isEmpty())
            continue;
        items += QStringLiteral("<li><a href=\"./%1\">%2</a></li>\n")
                     .arg(files.at(i).toHtmlEscaped(), pages.at(i)->name().toHtmlEscaped());
    }
    const QString heading = title.toHtmlEscaped();
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>"
                          "<style>%2</style></head>\n<body><h1>%1</h1>\n<ul>\n%3</ul>\n"
                          "</body></html>\n")
        .arg(heading, QLatin1String(exportStyle), items);
}

QString exportedHtml(const Page *page)
{
    return page->isLocked() ? QString::fromLatin1(protectedPageNotice) : page->content();
}

} // namespace

bool exportPageAsHtml(const QString &html, const QString &path)
{
    HtmlProcessor processor(html);
    processor.unlinkInternalLinks();
    processor.disableCheckboxes();
    processor.removeScripts();
    processor.removeStylesheets();
    return writeTextFile(HtmlSanitizer::clean(processor.declareUtf8()), path);
}

bool exportPagesAsText(const QList<Page *> &pages, const QString &folder)
{
    const QString extension = QStringLiteral("txt");
    bool result = true;
    for (const Page *page : pages) {
        // Each file is written before the next name is chosen, so the files on disk are enough
        // to keep two pages of the same safe name apart.
        const QString base = safeFileBaseName(page->name(), QStringList());
        const QString unique = uniqueFileBaseName(folder, base, extension);
        if (unique.isEmpty()) {
            result = false;
            continue;
        }
        const QString text = HtmlProcessor::htmlToReadableText(exportedHtml(page));
        if (!writeTextFile(text, filePathFor(folder, unique, extension)))
            result = false;
    }
    return result;
}

bool exportPagesAsHtml(const QList<Page *> &pages, const QString &folder, const QString &indexTitle,
    QString *indexPath)
{
    const QString extension = QStringLiteral("html");
    bool result = true;
    // Every link needs its target's file name before the first file is written, so names chosen
    // earlier in this export are taken as well as the files already in the folder.
    QMap<QString, QString> fileNames;
    QStringList chosen;
    QStringList taken;
    for (const Page *page : pages) {
        const QString base = safeFileBaseName(page->name(), taken);
        const QString unique = uniqueFileBaseName(folder, base, extension, taken);
        if (unique.isEmpty()) {
            result = false;
            chosen << QString();
            continue;
        }
        taken << unique;
        chosen << unique + QLatin1Char('.') + extension;
        fileNames.insert(page->id(), chosen.last());
    }

    for (int i = 0; i < pages.size(); ++i) {
        if (chosen.at(i).isEmpty())
            continue;
        HtmlProcessor processor(exportedHtml(pages.at(i)));
        processor.rewriteInternalLinks(fileNames);
        processor.disableCheckboxes();
        processor.removeScripts();
        processor.removeStylesheets();
        processor.setTitleAndStyle(pages.at(i)->name(), QLatin1String(exportStyle));
        const QString html = HtmlSanitizer::clean(processor.declareUtf8());
        if (!writeTextFile(html, joinPath(folder, chosen.at(i))))
            result = false;
    }

    // An index is written for a whole export only: one that fails is reported as failed.
    if (!result || pages.isEmpty())
        return result;
    const QString index = uniqueFileBaseName(folder, QStringLiteral("index"), extension, taken);
    const QString path = index.isEmpty() ? QString() : filePathFor(folder, index, extension);
    if (path.isEmpty() || !writeTextFile(indexHtml(indexTitle, pages, chosen), path))
        return false;
    if (indexPath)
        *indexPath = path;
    return result;
}

QString safeFileBaseName(const QString &name, const QStringList &takenNames)
{
    QString once = sanitisedName(name);
    if (isWindowsDeviceName(once))
        once += QLatin1Char('_');
    QString result = once;
    for (;;) {
        if (!usableBaseName(result))
            result = QUuid::createUuid().toString();
        if (!takenNames.contains(result, Qt::CaseInsensitive))
            return result;
        // With nothing to add, a taken UUID is replaced by a new one.
        result = once.isEmpty() ? QString() : result + once;
    }
}

QString uniqueFileBaseName(const QString &folder, const QString &baseName, const QString &extension,
    const QStringList &takenNames)
{
    for (int number = 0; number < maxNumberedNames; ++number) {
        const QString candidate = number ? baseName + QString::number(number) : baseName;
        if (!takenNames.contains(candidate, Qt::CaseInsensitive) && !isWindowsDeviceName(candidate)
            && !pathTaken(filePathFor(folder, candidate, extension)))
            return candidate;
    }
    return QString();
}

QString joinPath(const QString &folder, const QString &fileName)
{
    return folder + QLatin1Char('/') + fileName;
}

QString filePathFor(const QString &folder, const QString &baseName, const QString &extension)
{
    return joinPath(folder, baseName + QLatin1Char('.') + extension);
}

bool writeTextFile(const QString &text, const QString &path)
{
    if (path.isEmpty())
        return false;
    // Unbuffered, so that a write that fails (a full disk) is seen here rather than lost in the
    // flush that commit() does; without commit() the new file goes away.
    QSaveFile file(path);
    // Where the folder takes no new file but the file itself may be written, write it in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
