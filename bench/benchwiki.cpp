#include "benchwiki.h"

#include "model/urls.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QStringList>

namespace {

const int folderCount = 3;
const int pagesPerFolder = 100;
const int pagesPerPicture = 20;
const int pagesPerChecklist = 4;
const int pictureBytes = 150 * 1024; // about 200 kB once in base64

QString pageId(int i)
{
    return i == 0 ? QStringLiteral("1") : QString::number(Q_INT64_C(1733480000000) + i);
}

const QStringList &benchWords()
{
    static const QStringList words = QString("the of wiki page notes meeting plan garden "
                                             "review budget travel recipe draft idea list "
                                             "tomorrow project chapter summary question")
                                         .split(' ');
    return words;
}

QString pageText(int i, int pageCount, QRandomGenerator &random)
{
    const QStringList &words = benchWords();
    QString html;
    while (html.size() < 3000) {
        html += "<p>";
        for (int w = 0; w < 40; ++w)
            html += words.at(int(random.bounded(int(words.size())))) + ' ';
        const int target = int(random.bounded(pageCount));
        html += QString("<a href=\"%1\">page %2</a></p>").arg(pageUrl(pageId(target))).arg(target);
    }
    // Now and then a character outside Latin-1, which changes how Qt stores the text.
    if (i % 10 == 0)
        html += QString::fromUtf8("<p>Erledigt ✓</p>");
    return html;
}

// A checklist as the editor writes it: 3 to 8 items of a few words, some of them checked.
QString checklist(QRandomGenerator &random)
{
    QString html = "<ul class=\"checklist\">";
    for (int item = 3 + int(random.bounded(6)); item > 0; --item) {
        html += random.bounded(3) == 0 ? "<li><input type=\"checkbox\" checked=\"\">"
                                       : "<li><input type=\"checkbox\">";
        for (int w = 2 + int(random.bounded(5)); w > 0; --w)
            html += benchWords().at(int(random.bounded(int(benchWords().size())))) + (w > 1 ? " " : "");
        html += "</li>";
    }
    return html + "</ul>";
}

QJsonObject page(int i, const QString &content)
{
    const QJsonObject descriptor {{"hashed_password", ""}, {"salt", ""}, {"hint", ""}};
    return QJsonObject {{"id", pageId(i)},
        {"name", i == 0 ? QStringLiteral("Home Page") : QString("Page %1").arg(i)},
        {"type", "page"}, {"content", content}, {"password_descriptor", descriptor}};
}

} // namespace

QJsonObject buildBenchWiki(int pageCount, bool withPictures, bool withChecklists)
{
    QRandomGenerator random(2024);
    // A generator of its own, so that the other pages' text stays the same with checklists.
    QRandomGenerator checklists(2025);
    QJsonArray top;
    QJsonArray folders[folderCount];
    for (int i = 0; i < pageCount; ++i) {
        QString content = pageText(i, pageCount, random);
        if (withChecklists && i % pagesPerChecklist == 2) {
            const int at = content.indexOf("<p>", content.size() / 2);
            content.insert(at < 0 ? content.size() : at, checklist(checklists));
        }
        if (withPictures && i % pagesPerPicture == 1) {
            QByteArray picture(pictureBytes, Qt::Uninitialized);
            random.fillRange(reinterpret_cast<quint32 *>(picture.data()), pictureBytes / 4);
            content += QString("<p><img src=\"data:image/png;base64,%1\"></p>")
                           .arg(QString::fromLatin1(picture.toBase64()));
        }
        const int folder = i - (pageCount - folderCount * pagesPerFolder);
        if (folder >= 0)
            folders[folder / pagesPerFolder].append(page(i, content));
        else
            top.append(page(i, content));
    }
    for (int f = 0; f < folderCount; ++f) {
        top.append(QJsonObject {{"id", QString::number(Q_INT64_C(1733490000000) + f)},
            {"name", QString("Folder %1").arg(f + 1)}, {"type", "folder"}, {"pages", folders[f]}});
    }
    const QJsonObject descriptor {{"hashed_password", ""}, {"salt", ""}, {"hint", ""}};
    return QJsonObject {
        {"admin", QJsonObject {{"version", "2.3.2"}, {"password_descriptor", descriptor}}},
        {"wiki_items", top}};
}
