#include "search/searchrunner.h"

#include "model/htmlsanitizer.h"
#include "model/page.h"
#include "model/pagenetworkaccessmanager.h"
#include "model/resourcetext.h"
#include "search/collationfolding.h"
#include "search/searchfilter.h"
#include "search/textmatcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLocale>
#include <QScopedValueRollback>
#include <QSet>
#include <QUrl>
#include <QWebFrame>
#include <QWebPage>

#include <unicode/uchar.h>

namespace {

struct PageCopy
{
    QString id;
    QString name;
    QString content;
    bool locked;
};

QString pageScripts()
{
    return readResourceText(QStringLiteral("js/search.js")) + QLatin1Char('\n')
        + readResourceText(QStringLiteral("js/searchrunner.js"));
}

// The find, hit after hit, each hit's line read with getHighlightedSelection(). A find that
// lands on a selection it already reported (it does so for ever inside a form field) ends the
// page instead of running on.
QStringList linesByFind(QWebPage *page, const QString &text, bool scriptsLoaded)
{
    QStringList lines;
    QSet<QString> seen;
    while (page->findText(text)) {
        if (!scriptsLoaded) {
            page->mainFrame()->evaluateJavaScript(pageScripts());
            scriptsLoaded = true;
        }
        const QVariantList hit = page->mainFrame()
                                     ->evaluateJavaScript(QStringLiteral(
                                         "[getHighlightedSelection(), velmoraSelectionKey()]"))
                                     .toList();
        const QString line = hit.value(0).toString();
        const QString key
            = hit.value(1).toString() + QChar(0) + page->selectedText() + QChar(0) + line;
        if (seen.contains(key))
            break;
        seen.insert(key);
        lines.append(line);
    }
    return lines;
}

QStringList linesInFreshPage(const QString &content, const QString &text)
{
    // The search script runs here, so nothing of the page may: it is cleaned like a shown page
    // and can load nothing.
    QWebPage page;
    page.setNetworkAccessManager(PageNetworkAccessManager::instance());
    page.mainFrame()->setHtml(HtmlSanitizer::clean(content), QUrl());
    return linesByFind(&page, text, false);
}

// On a page laid out zero pixels wide, as an off-screen page is, a word of letters and digits
// with white space in its own text node or a block edge on either side (or, after it, white
// space ending its node before a link or other inline element) lies alone on its line,
// unless pictures, styles or wide elements in its block bend the lines (the page script reports
// those). Its line is then the same wherever it stands, so it is read once per search.
QString lineKey(const QString &run, QStringView code)
{
    if (code.size() != 4 || !QStringLiteral("bw").contains(code.at(0))
        || !QStringLiteral("mneb").contains(code.at(1)) || code.at(2) != QLatin1Char('1')
        || code.at(3) != QLatin1Char('1'))
        return QString();
    for (QChar c : run) {
        const int lineBreak = u_getIntPropertyValue(c.unicode(), UCHAR_LINE_BREAK);
        if (c.isSurrogate()
            || (lineBreak != U_LB_ALPHABETIC && lineBreak != U_LB_NUMERIC
                && lineBreak != U_LB_HEBREW_LETTER))
            return QString();
    }
    return code.left(2).toString() + run;
}

} // namespace

struct SearchRunner::Pass
{
    QString text;
    SearchFilter *filter;
    TextMatcher *matcher;
    bool readRuns;
    QHash<QString, QString> lines;
};

SearchRunner::SearchRunner(QObject *parent)
    : QObject(parent)
{ }

SearchRunner::~SearchRunner() = default;

QWebPage *SearchRunner::sharedPage()
{
    if (!m_sharedPage) {
        // A plain web page with the defaults a fresh page has, its viewport of no size
        // included: the lines read from it wrap exactly where they wrap in a fresh page.
        m_sharedPage = new QWebPage(this);
        m_sharedPage->setNetworkAccessManager(PageNetworkAccessManager::instance());
        m_sharedPage->mainFrame()->setHtml(QStringLiteral("<html><body></body></html>"), QUrl());
        m_sharedPage->mainFrame()->evaluateJavaScript(pageScripts());
        m_sharedBody
            = m_sharedPage->mainFrame()->documentElement().findFirst(QStringLiteral("body"));
    }
    return m_sharedPage;
}

QStringList SearchRunner::searchSharedDocument(const QString &content, Pass &pass)
{
    QWebPage *page = sharedPage();
    QWebFrame *frame = page->mainFrame();
    m_sharedBody.setInnerXml(HtmlSanitizer::clean(content));
    ++m_statistics.pagesInSharedDocument;

    const QVariantMap collected = pass.readRuns
        ? frame->evaluateJavaScript(QStringLiteral("velmoraSearch.collect()")).toMap()
        : QVariantMap();
    if (collected.isEmpty()) {
        ++m_statistics.pagesSearchedByFind;
        frame->evaluateJavaScript(QStringLiteral("getSelection().removeAllRanges()"));
        return linesByFind(page, pass.text, true);
    }

    const QString runsText = collected.value(QStringLiteral("runs")).toString();
    const QString codes = collected.value(QStringLiteral("codes")).toString();
    const QStringList runs = runsText.isEmpty() ? QStringList() : runsText.split(QLatin1Char('\n'));

    struct Hit
    {
        int run;
        int start;
        int end;
        QString key;
    };
    QVector<Hit> hits;
    for (int r = 0; r < runs.size(); ++r) {
        if (!pass.filter->mayMatchText(runs.at(r)))
            continue;
        const QVector<TextMatcher::Match> matches = pass.matcher->matches(runs.at(r));
        for (const TextMatcher::Match &match : matches) {
            const QString key = lineKey(runs.at(r), QStringView(codes).mid(4 * r, 4));
            hits.append({r, match.start, match.start + match.length, key});
        }
    }

    // Each line the page must be asked for, once per remembered kind of line.
    QStringList lines;
    QString request;
    QVector<int> asked;
    QHash<QString, int> askedKeys;
    QVector<int> answer(hits.size(), -1);
    for (int i = 0; i < hits.size(); ++i) {
        const Hit &hit = hits.at(i);
        lines.append(QString());
        if (!hit.key.isEmpty()) {
            const auto known = pass.lines.constFind(hit.key);
            if (known != pass.lines.constEnd()) {
                lines[i] = known.value();
                ++m_statistics.linesRemembered;
                continue;
            }
            const auto pending = askedKeys.constFind(hit.key);
            if (pending != askedKeys.constEnd()) {
                answer[i] = pending.value();
                ++m_statistics.linesRemembered;
                continue;
            }
            askedKeys.insert(hit.key, asked.size());
        }
        answer[i] = asked.size();
        asked.append(i);
        request += QStringLiteral("%1,%2,%3,").arg(hit.run).arg(hit.start).arg(hit.end);
    }
    if (asked.isEmpty())
        return lines;
    request.chop(1);
    const QStringList read
        = frame->evaluateJavaScript(QStringLiteral("velmoraSearch.lines([%1])").arg(request))
              .toStringList();
    for (int i = 0; i < hits.size(); ++i) {
        if (answer.at(i) >= 0)
            lines[i] = read.value(answer.at(i));
    }
    for (int k = 0; k < asked.size(); ++k) {
        const Hit &hit = hits.at(asked.at(k));
        if (!hit.key.isEmpty())
            pass.lines.insert(hit.key, read.value(k));
    }
    m_statistics.linesFromDocument += asked.size();
    return lines;
}

QList<SearchResult> SearchRunner::run(const QList<Page *> &pages, const QString &text)
{
    if (m_running)
        return {};
    QScopedValueRollback<bool> running(m_running, true);
    m_statistics = {};

    QVector<PageCopy> copies;
    copies.reserve(pages.size());
    for (const Page *page : pages) {
        if (page)
            copies.append({page->id(), page->name(), page->content(), page->isLocked()});
    }
    QList<SearchResult> results;
    if (text.isEmpty())
        return results; // the find finds nothing for an empty text

    CollationFolding &folding = CollationFolding::forSystemLocale();
    SearchFilter filter(folding, text);
    TextMatcher matcher(text, QLocale::system().name());
    // Hits are looked for run by run only when no hit can span white space or a block edge.
    Pass pass {text, &filter, &matcher,
        filter.filters() && matcher.isValid() && !folding.touchesWhitespace(text), {}};

    QElapsedTimer clock;
    clock.start();
    qint64 nextReport = m_progressDelay;
    bool busy = false;
    for (int i = 0; i < copies.size(); ++i) {
        if (clock.elapsed() >= nextReport) {
            if (!busy)
                QGuiApplication::setOverrideCursor(Qt::BusyCursor);
            busy = true;
            emit progressed(i, copies.size());
            // Paint the progress; typing and clicks wait until the search is over.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            nextReport = clock.elapsed() + 100;
        }
        const PageCopy &page = copies.at(i);
        const SearchFilter::PageCheck check = filter.checkPage(page.content);
        if (!check.mayMatch) {
            ++m_statistics.pagesSkipped;
            continue;
        }
        QStringList lines;
        if (check.plain) {
            lines = searchSharedDocument(page.content, pass);
        } else {
            ++m_statistics.pagesInFreshPages;
            lines = linesInFreshPage(page.content, text);
        }
        for (const QString &line : qAsConst(lines))
            results.append(SearchResult(page.id, page.name, line, page.locked));
    }
    if (m_sharedPage)
        m_sharedBody.setInnerXml(QString());
    if (busy) {
        emit progressed(copies.size(), copies.size());
        QGuiApplication::restoreOverrideCursor();
    }
    return results;
}

QList<SearchResult> SearchRunner::runInFreshPages(const QList<Page *> &pages, const QString &text)
{
    QList<SearchResult> results;
    for (const Page *page : pages) {
        if (!page)
            continue;
        const QStringList lines = linesInFreshPage(page->content(), text);
        for (const QString &line : lines)
            results.append(SearchResult(page->id(), page->name(), line, page->isLocked()));
    }
    return results;
}
