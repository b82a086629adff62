// Writes the wiki corpus of tests/corpus: wiki files made through the program's own model code,
// and beside each one what reading it gives (<file>.json, the root object as the document holds
// it after reading) and what writing that wiki again gives (<file>.document, the binary JSON
// document bytes before compression and scrambling). tst_corpus checks every later build
// against them. Run by hand: make_wiki_corpus <tests/corpus folder>

#include "model/folder.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "model/wikifile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {

bool fail(const QString &what)
{
    std::fprintf(stderr, "make_wiki_corpus: %s\n", qPrintable(what));
    return false;
}

// A small picture of soft noise from a fixed seed, as an <img> with a data: address.
QString picture(int width, int height, quint32 seed, const char *format, const QString &extra)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28);
            image.setPixel(x, y,
                qRgba(x * 255 / width, y * 255 / height, 128 + noise * 8, 255 - (noise & 3) * 40));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return QStringLiteral("<img id='picture-%1' src='data:image/%2;base64,%3' tabindex='0'%4>")
        .arg(seed % 1000)
        .arg(QString::fromLatin1(format).toLower(), QString::fromLatin1(bytes.toBase64()), extra);
}

QString pageLink(const Page *page)
{
    return QStringLiteral("<a href=\"file://velmora/?pageid=%1\">%2</a>")
        .arg(page->id(), page->name().toHtmlEscaped());
}

// Pages at the top and in folders, an empty folder, formatting, links and pictures.
bool makeItems(const QString &path)
{
    WikiDocument wiki(path);
    Page *plain = wiki.createPage(QStringLiteral("Plain page"), nullptr);
    Folder *projects = wiki.createFolder(QStringLiteral("Projects"));
    Page *plan = wiki.createPage(QStringLiteral("Plan"), projects);
    Page *notes = wiki.createPage(QStringLiteral("Notes"), projects);
    wiki.createFolder(QStringLiteral("Empty folder"));
    Page *pictures = wiki.createPage(QStringLiteral("Pictures"), nullptr);
    Page *blank = wiki.createPage(QStringLiteral("Blank"), nullptr);
    wiki.homePage()->setContent(QStringLiteral(
        "<h1>Home</h1><p>See %1, %2 and <a href=\"https://example.org/a?b=1&amp;c=2\">a site</a>."
        "</p><ul><li>one</li><li><b>two</b> <i>and</i> <u>three</u></li></ul><ol><li>first</li>"
        "</ol><blockquote>quoted</blockquote><pre>  kept   spaces\n</pre><hr>")
                                    .arg(pageLink(plan), pageLink(pictures)));
    plain->setContent(QStringLiteral("Just text, no markup."));
    plan->setContent(QStringLiteral("<table border=\"1\"><tbody><tr><td>a</td><td>b</td></tr>"
                                    "</tbody></table><p style=\"text-align: center;\">"
                                    "<span style=\"color: rgb(255, 0, 0);\">red</span></p>"));
    notes->setContent(QStringLiteral("<p>Back to %1</p>").arg(pageLink(wiki.homePage())));
    pictures->setContent(
        QStringLiteral("<p>%1</p><p>%2</p>")
            .arg(picture(24, 16, 7, "PNG", QString()),
                picture(36, 36, 11, "PNG", QStringLiteral(" width=\"72\" height=\"72\""))));
    blank->setContent(QString());
    return wiki.save() || fail(wiki.lastSaveError());
}

// Text outside Latin-1 in names and content: emoji, right-to-left scripts, combining marks and
// the control characters other than NUL that a page can hold.
bool makeText(const QString &path)
{
    WikiDocument wiki(path);
    QString controls;
    for (char16_t c = 1; c < 0x20; ++c)
        controls += QChar(c);
    Folder *folder = wiki.createFolder(QStringLiteral("📁 Mappe ü"));
    const QList<QPair<QString, QString>> pages {
        {QStringLiteral("Emoji 😀"),
            QStringLiteral(
                "<p>😀 👍🏽 👩‍👩‍👧 🏳️‍🌈 🇩🇪 𝄞 𝕏</p>")},
        {QStringLiteral("שלום"),
            QStringLiteral("<p dir=\"rtl\">שָׁלוֹם עוֹלָם and مرحبا بالعالم, ‏mixed‎ "
                           "‪embed‬</p>")},
        {QStringLiteral("Combining e\u0301"),
            QStringLiteral("<p>e\u0301 a\u0308 n\u0303 Z\u0335\u0336\u0337 \u0915\u094D\u0937 "
                           "\u1100\u1161\u11A8</p>")},
        {QStringLiteral("Controls\tand\u00a0spaces"),
            QStringLiteral("<p>") + controls
                + QStringLiteral("\u007f\u0085\u00a0\u200b\u200d\u2028\u2029\ufeff\ufffd</p>")},
        {QStringLiteral("Latin-1 only: Grüße £ ÿ"),
            QStringLiteral("<p>Grüße aus Köln, naïve café, £5 ½ ÿ ©</p>")},
    };
    for (const auto &page : pages)
        wiki.createPage(page.first, folder)->setContent(page.second);
    wiki.homePage()->setContent(QStringLiteral("<p>&lt;escaped&gt; &amp; \"quoted\" 'single' "
                                               "\\ backslash / slash</p>"));
    return wiki.save() || fail(wiki.lastSaveError());
}

// A wiki password, and a page with its own password next to one without.
bool makeProtected(const QString &path)
{
    WikiDocument wiki(path);
    if (!wiki.setPassword(QStringLiteral("wiki pass ü"), QStringLiteral("Hint: the usual")))
        return fail(QStringLiteral("no wiki password"));
    Page *secret = wiki.createPage(QStringLiteral("Secret"), nullptr);
    secret->setContent(QStringLiteral("<p>Behind a page password 🔒</p>"));
    if (!secret->setPassword(QStringLiteral("page pass 🔑"), QStringLiteral("")))
        return fail(QStringLiteral("no page password"));
    wiki.createPage(QStringLiteral("Open"), nullptr)->setContent(QStringLiteral("<p>open</p>"));
    return wiki.save() || fail(wiki.lastSaveError());
}

// The root form of a few earlier releases: "pages" instead of "wiki_items", sidebar positions,
// the home page not first.
bool makeOlderForm(const QString &path)
{
    auto page = [](const QString &id, const QString &name, const QString &content, int position) {
        return QJsonObject {{QStringLiteral("id"), id}, {QStringLiteral("name"), name},
            {QStringLiteral("content"), content}, {QStringLiteral("sidebar_position"), position}};
    };
    const QJsonObject root {
        {QStringLiteral("admin"),
            QJsonObject {{QStringLiteral("version"), QStringLiteral("2.0.4")},
                {QStringLiteral("password_descriptor"),
                    QJsonObject {{QStringLiteral("hashed_password"), QString()},
                        {QStringLiteral("salt"), QString()},
                        {QStringLiteral("password_hint"), QString()}}}}},
        {QStringLiteral("pages"),
            QJsonArray {page(QStringLiteral("7"), QStringLiteral("Zebra"),
                            QStringLiteral("<p>last by name, first by place</p>"), 1),
                page(QStringLiteral("3"), QStringLiteral("apple"), QStringLiteral("<p>ä</p>"), 2),
                page(QStringLiteral("1"), QStringLiteral("Home Page"),
                    QStringLiteral("<p>Old home, <a href=\"file://velmora/?pageid=3\">apple"
                                   "</a></p>"),
                    5)}},
    };
    return writeWikiData(path, documentBytesFromJson(root)) || fail(QStringLiteral("older form"));
}

// A database of the oldest releases. Version 1 stored whole HTML documents, version 2 fragments.
bool makeDatabase(const QString &path, int version)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), path);
        db.setDatabaseName(path);
        QSqlQuery query(db);
        ok = db.open() && query.exec(QStringLiteral("CREATE TABLE admin (db_version INTEGER)"))
            && query.exec(QStringLiteral("INSERT INTO admin VALUES (%1)").arg(version))
            && query.exec(QStringLiteral("CREATE TABLE pages (id INTEGER PRIMARY KEY, name TEXT, "
                                         "content TEXT)"));
        const QString wrap = version == 1
            ? QStringLiteral("<html><head><title>t</title></head><body>%1</body></html>")
            : QStringLiteral("%1");
        const QList<QStringList> rows {
            {QStringLiteral("1"), QStringLiteral("Home Page"),
                wrap.arg(QStringLiteral("<p style=\"color: red\">Start, see <a "
                                        "href=\"file://velmora/?pageid=2\" style=\"x\">Two</a>"
                                        "</p>"))},
            {QStringLiteral("2"), QStringLiteral("Two ✓"),
                wrap.arg(QStringLiteral("<p>Zwei, δύο, اثنان 😀</p>"))},
            {QStringLiteral("3"), QStringLiteral("alpha"), wrap.arg(QString())},
        };
        for (const QStringList &row : rows) {
            query.prepare(QStringLiteral("INSERT INTO pages VALUES (?, ?, ?)"));
            query.addBindValue(row.at(0).toLongLong());
            query.addBindValue(row.at(1));
            query.addBindValue(row.at(2));
            ok = ok && query.exec();
        }
    }
    QSqlDatabase::removeDatabase(path);
    return ok || fail(QStringLiteral("database ") + path);
}

// Reads a copy of the corpus file at path as the program opens a wiki, and writes its dump and
// the document bytes of writing it again beside it.
bool writeExpectations(const QString &path, const QString &scratch)
{
    const QString copy = scratch + QStringLiteral("/") + QFileInfo(path).fileName();
    const QString rewritten = copy + QStringLiteral(".rewritten");
    if (!QFile::copy(path, copy))
        return fail(QStringLiteral("cannot copy ") + path);
    QByteArray document;
    QJsonObject root;
    {
        WikiDocument wiki(copy);
        if (wiki.loadFailed())
            return fail(QStringLiteral("cannot read ") + path);
        root = wiki.snapshot().completeRoot();
        if (!wiki.saveCopyTo(rewritten))
            return fail(QStringLiteral("cannot write ") + rewritten);
        document = readWikiData(rewritten);
    }
    QFile dump(path + QStringLiteral(".json"));
    QFile bytes(path + QStringLiteral(".document"));
    return (dump.open(QIODevice::WriteOnly)
               && dump.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) > 0
               && bytes.open(QIODevice::WriteOnly) && !document.isEmpty()
               && bytes.write(document) == document.size())
        || fail(QStringLiteral("cannot write beside ") + path);
}

} // namespace

int main(int argc, char *argv[])
{
    // Saving keeps versions under the data folder: keep them out of the user's.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return fail(QStringLiteral("usage: make_wiki_corpus <output folder>")), 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir work;
    QTemporaryDir scratch;
    if (!out.exists() || !work.isValid() || !scratch.isValid())
        return fail(QStringLiteral("no output or temporary folder")), 1;

    const QList<QPair<QString, std::function<bool(const QString &)>>> makers {
        {QStringLiteral("items.velmora"), makeItems},
        {QStringLiteral("text.velmora"), makeText},
        {QStringLiteral("protected.velmora"), makeProtected},
        {QStringLiteral("older-form.velmora"), makeOlderForm},
        {QStringLiteral("legacy-v1.sqlite"), [](const QString &p) { return makeDatabase(p, 1); }},
        {QStringLiteral("legacy-v2.sqlite"), [](const QString &p) { return makeDatabase(p, 2); }},
    };
    for (const auto &maker : makers) {
        const QString made = work.filePath(maker.first);
        const QString target = out.filePath(maker.first);
        QFile::remove(target);
        if (!maker.second(made) || !QFile::copy(made, target)
            || !writeExpectations(target, scratch.path()))
            return 1;
        std::printf("%s\n", qPrintable(target));
    }
    return 0;
}
