// Differential fuzz target for the page search: pages and a search text made from the input's
// bytes, searched by SearchRunner::run() and by the fresh-page method, which must give the
// same hits: the same pages, count, order and hit text (the lines are built differently). Each
// byte picks a piece (a word, white space, a character reference, markup); a 0xff byte ends
// the search text and each page after it. The same runner serves every input, so that
// whatever one search leaves behind meets the next.
#include "editor/pagedocumentscheme.h"
#include "model/page.h"
#include "search/searchrunner.h"

#include <QApplication>
#include <QEventLoop>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// clang-format off
const char *const textPieces[] = {
    "a", "aa", "garden", "Garden", "é", "e\xcc\x81", "\xcf\x83", "\xce\xa3", "\xc3\x9f", "ss",
    "\xef\xac\x81", "fi", "\xd7\x90", "\xe6\x9d\xb1\xe4\xba\xac", "1", "-", "'", "\xe2\x80\x99",
    "<", ">", "&", "/", ".", " ", "\t", "\n", "\xc2\xa0", "\xe2\x87\xa5", "\xc2\xad",
    "\xe2\x80\x8b",
};
const char *const markupPieces[] = {
    "<b>", "</b>", "<i>", "</i>", "<span>", "</span>", "<tt>", "</tt>", "<a href=\"x\">", "</a>",
    "<p>", "</p>", "<div>", "</div>", "<br>", "<wbr>", "<img src=\"data:,\">", "<!-- a -->",
    "&amp;", "&lt;", "&gt;", "&nbsp;", "&notin;", "&#x301;", "&#233;", "&shy;", "</",
    "<table><tr><td>", "</td></tr></table>", "<pre>", "</pre>", "<ul><li>", "</li></ul>",
    "<span style=\"font-weight:bold\">", "<font color=\"red\">", "</font>", "<h1>", "</h1>",
    "<script>var a;</script>", "<input value=\"a\">", "<span style=\"display:none\">",
    "<sup>", "</sup>", "<q>", "</q>", "<center>", "</center>",
    // Markup the parser builds otherwise than it is written.
    "<table>", "<tr>", "<td>", "</td>", "</table>", "<li>", "<dd>", "<dt>", "</br>", "<col>",
    "<caption>", "<nobr>", "<a>", "<h2>", "</h3>", "<o:p>", "</o:p>", "<hr>", "</p>",
    "<p style=\"color: red; margin:0\">", "<span style=\"font: 12px 'a;b'\">",
    "<b class=\"x\" data-x=\"1\">", "<span title=\"a\" hidden>", "\r\n", "<pre>\n",
    // A checklist's boxes, and inputs that only look like one.
    "<ul class=\"checklist\"><li><input type=\"checkbox\">",
    "<input type=\"checkbox\" checked=\"\">", "<input type=checkbox style=\"display:none\">",
    "<input type=\"text\" type=\"checkbox\">", "</input>",
    // White space the page lays out otherwise than collapsed.
    "<span style=\"white-space: pre-wrap\">", "&#12;", "&#13;", " \n ",
};
// clang-format on
constexpr int textCount = int(sizeof(textPieces) / sizeof(*textPieces));
constexpr int markupCount = int(sizeof(markupPieces) / sizeof(*markupPieces));

QApplication *application = nullptr;
SearchRunner *runner = nullptr;

QString describe(const QList<SearchResult> &results)
{
    QString out;
    for (const SearchResult &result : results) {
        out += QStringLiteral("  %1 #%2 [%3] in [%4]\n")
                   .arg(result.pageID())
                   .arg(result.occurrence())
                   .arg(result.hitText())
                   .arg(result.text());
    }
    return out;
}

bool sameHits(const QList<SearchResult> &a, const QList<SearchResult> &b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(),
            [](const SearchResult &x, const SearchResult &y) { return x.isSameHit(y); });
}

} // namespace

// The scripts the search loads into its pages, from the static library's resources.
static void initResources()
{
    Q_INIT_RESOURCE(search);
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    initResources();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    PageDocumentScheme::registerScheme();
    application = new QApplication(*argc, *argv);
    runner = new SearchRunner;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2 || size > 400)
        return 0;
    // The first byte: the layout width.
    const int width = (data[0] & 1) ? 0 : 200 + 40 * (data[0] >> 1 & 7);
    QString text;
    QStringList contents;
    QString *current = &text;
    for (size_t i = 1; i < size; ++i) {
        const uint8_t byte = data[i];
        if (byte == 0xff) {
            if (contents.size() == 3)
                break;
            contents.append(QString());
            current = &contents.last();
        } else if (current == &text) {
            text += QString::fromUtf8(textPieces[byte % textCount]);
        } else if (byte & 0x80) {
            *current += QString::fromUtf8(markupPieces[byte % markupCount]);
        } else {
            *current += QString::fromUtf8(textPieces[byte % textCount]);
        }
    }
    if (text.size() > 12 || contents.isEmpty())
        return 0;

    std::vector<std::unique_ptr<Page>> pages;
    QList<Page *> list;
    for (int i = 0; i < contents.size(); ++i) {
        pages.push_back(std::make_unique<Page>(
            QString::number(i + 2), QStringLiteral("Page %1").arg(i), contents.at(i)));
        list.append(pages.back().get());
    }
    runner->setLayoutWidth(width);
    const QList<SearchResult> fast = runner->run(list, text);
    QList<SearchResult> fresh;
    QEventLoop loop;
    SearchRunner::runInFreshPages(list, text, width, &loop, [&](const QList<SearchResult> &found) {
        fresh = found;
        loop.quit();
    });
    loop.exec();
    if (!sameHits(fast, fresh)) {
        QString report = QStringLiteral("search text [%1], width %2\n").arg(text).arg(width);
        for (int i = 0; i < contents.size(); ++i)
            report += QStringLiteral("page %1: [%2]\n").arg(i + 2).arg(contents.at(i));
        report += QStringLiteral("fast search:\n") + describe(fast)
            + QStringLiteral("fresh pages:\n") + describe(fresh);
        std::fputs(report.toUtf8().constData(), stderr);
        std::abort();
    }
    return 0;
}
