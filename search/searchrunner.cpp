#include "search/searchrunner.h"

#include "model/htmlsanitizer.h"
#include "model/page.h"
#include "model/pagenetworkaccessmanager.h"
#include "model/resourcetext.h"
#include "search/collationfolding.h"
#include "search/searchfilter.h"
#include "search/textmatcher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocale>
#include <QSet>
#include <QUrl>
#include <QWebFrame>
#include <QWebPage>

namespace {

// How long a slice of a search may hold the event loop, and how many lines one call into the
// shared document reads.
constexpr int sliceMilliseconds = 12;
constexpr int linesPerRequest = 48;

struct PageCopy
{
    QString id;
    QString name;
    QString content;
    bool locked;
};

struct HitLine
{
    QString line;
    int before = 0;
    int length = 0;
};

QString pageScripts()
{
    return readResourceText(QStringLiteral("js/search.js")) + QLatin1Char('\n')
        + readResourceText(QStringLiteral("js/searchrunner.js"));
}

// A page laid out at a width has no scroll bars, so that its lines do not depend on its height.
void setLayoutWidth(QWebPage *page, int width)
{
    if (width <= 0) {
        page->setViewportSize(QSize());
        return;
    }
    page->mainFrame()->setScrollBarPolicy(Qt::Vertical, Qt::ScrollBarAlwaysOff);
    page->mainFrame()->setScrollBarPolicy(Qt::Horizontal, Qt::ScrollBarAlwaysOff);
    page->setViewportSize(QSize(width, 600));
}

// One step of the find: the next hit and its line, read with velmoraHitLine(). A find that
// lands on a selection it already reported (it does so for ever inside a form field) ends the
// page instead of running on.
bool findNextHit(
    QWebPage *page, const QString &text, bool &scriptsLoaded, QSet<QString> &seen, HitLine &hitLine)
{
    if (!page->findText(text))
        return false;
    if (!scriptsLoaded) {
        page->mainFrame()->evaluateJavaScript(pageScripts());
        scriptsLoaded = true;
    }
    const QVariantList hit
        = page->mainFrame()
              ->evaluateJavaScript(QStringLiteral("[velmoraHitLine(), velmoraSelectionKey()]"))
              .toList();
    const QVariantList line = hit.value(0).toList();
    hitLine = {line.value(0).toString(), line.value(1).toInt(), line.value(2).toInt()};
    const QString key = hit.value(1).toString() + QChar(0) + page->selectedText() + QChar(0)
        + hitLine.line + QChar(0) + QString::number(hitLine.before);
    if (seen.contains(key))
        return false;
    seen.insert(key);
    return true;
}

} // namespace

struct SearchRunner::Job
{
    QVector<PageCopy> copies;
    QString text;
    std::unique_ptr<SearchFilter> filter;
    std::unique_ptr<TextMatcher> matcher;
    // Hits are looked for run by run only when no hit can span white space or a block edge.
    bool readRuns = false;
    int width = 0;

    int page = 0;
    int occurrence = 0;
    enum class Phase { NextPage, SharedLines, Find } phase = Phase::NextPage;

    struct Hit
    {
        int run;
        int start;
        int end;
    };
    QVector<Hit> hits;
    int nextHit = 0;

    std::unique_ptr<QWebPage> freshPage;
    bool scriptsLoaded = false;
    QSet<QString> seen;

    QList<SearchResult> found;
};

SearchRunner::SearchRunner(QObject *parent)
    : QObject(parent)
{
    m_sliceTimer.setSingleShot(true);
    m_sliceTimer.setInterval(0);
    connect(&m_sliceTimer, &QTimer::timeout, this, &SearchRunner::runSlice);
}

SearchRunner::~SearchRunner() = default;

void SearchRunner::setLayoutWidth(int pixels)
{
    pixels = qMax(0, pixels);
    if (pixels == m_layoutWidth || isRunning())
        return;
    m_layoutWidth = pixels;
    if (m_sharedPage)
        ::setLayoutWidth(m_sharedPage, m_layoutWidth);
}

// Makes the shared document ready one step at a time, so that the first search to need it, which
// may be the first use of the web engine, does not hold the event loop for all of them at once;
// true once it is ready.
bool SearchRunner::prepareSharedPage()
{
    switch (m_sharedPageSteps) {
    case 0:
        // A plain web page with the defaults a fresh page has: the lines read from it wrap
        // exactly where they wrap in a fresh page of the same width.
        m_sharedPage = new QWebPage(this);
        // Pages are searched as they are shown: cleaned, and able to load nothing.
        m_sharedPage->setNetworkAccessManager(PageNetworkAccessManager::instance());
        ::setLayoutWidth(m_sharedPage, m_layoutWidth);
        break;
    case 1:
        m_sharedPage->mainFrame()->setHtml(QStringLiteral("<html><body></body></html>"), QUrl());
        break;
    case 2:
        m_sharedPage->mainFrame()->evaluateJavaScript(pageScripts());
        m_sharedBody
            = m_sharedPage->mainFrame()->documentElement().findFirst(QStringLiteral("body"));
        break;
    default:
        return true;
    }
    ++m_sharedPageSteps;
    return false;
}

std::unique_ptr<SearchRunner::Job> SearchRunner::makeJob(
    const QList<Page *> &pages, const QString &text)
{
    m_statistics = {};
    auto job = std::make_unique<Job>();
    job->copies.reserve(pages.size());
    for (const Page *page : pages) {
        if (page)
            job->copies.append({page->id(), page->name(), page->content(), page->isLocked()});
    }
    job->text = text;
    job->width = m_layoutWidth;
    if (text.isEmpty()) {
        job->page = job->copies.size(); // the find finds nothing for an empty text
        return job;
    }
    CollationFolding &folding = CollationFolding::forSystemLocale();
    job->filter = std::make_unique<SearchFilter>(folding, text);
    job->matcher = std::make_unique<TextMatcher>(text, QLocale::system().name());
    job->readRuns
        = job->filter->filters() && job->matcher->isValid() && !folding.touchesWhitespace(text);
    return job;
}

// One unit of work at a time (a page loaded, a batch of lines read, one find) until the
// deadline; true when the search is through.
bool SearchRunner::advance(Job &job, const QDeadlineTimer &deadline)
{
    do {
        switch (job.phase) {
        case Job::Phase::NextPage:
            if (job.page >= job.copies.size())
                return true;
            startPage(job);
            break;
        case Job::Phase::SharedLines:
            readSharedLines(job);
            break;
        case Job::Phase::Find:
            findNext(job);
            break;
        }
    } while (!deadline.hasExpired());
    return job.phase == Job::Phase::NextPage && job.page >= job.copies.size();
}

void SearchRunner::startPage(Job &job)
{
    const PageCopy &page = job.copies.at(job.page);
    job.occurrence = 0;
    const SearchFilter::PageCheck check = job.filter->checkPage(page.content);
    if (!check.mayMatch) {
        ++m_statistics.pagesSkipped;
        ++job.page;
        return;
    }
    QVariantMap collected;
    if (check.plain && job.readRuns) {
        if (!prepareSharedPage())
            return; // this page again with the next step
        m_sharedBody.setInnerXml(HtmlSanitizer::clean(page.content));
        ++m_statistics.pagesInSharedDocument;
        collected = m_sharedPage->mainFrame()
                        ->evaluateJavaScript(QStringLiteral("velmoraSearch.collect()"))
                        .toMap();
    }
    if (collected.isEmpty()) {
        // The find goes hit after hit through a page of its own: once a page has run a find,
        // later finds in it no longer match a no-break space in the text to white space.
        ++m_statistics.pagesInFreshPages;
        job.freshPage = std::make_unique<QWebPage>();
        job.freshPage->setNetworkAccessManager(PageNetworkAccessManager::instance());
        ::setLayoutWidth(job.freshPage.get(), job.width);
        job.freshPage->mainFrame()->setHtml(HtmlSanitizer::clean(page.content), QUrl());
        job.scriptsLoaded = false;
        job.seen.clear();
        job.phase = Job::Phase::Find;
        return;
    }

    const QString runsText = collected.value(QStringLiteral("runs")).toString();
    const QStringList runs = runsText.isEmpty() ? QStringList() : runsText.split(QLatin1Char('\n'));
    job.hits.clear();
    job.nextHit = 0;
    for (int r = 0; r < runs.size(); ++r) {
        if (!job.filter->mayMatchText(runs.at(r)))
            continue;
        const QVector<TextMatcher::Match> matches = job.matcher->matches(runs.at(r));
        for (const TextMatcher::Match &match : matches)
            job.hits.append({r, match.start, match.start + match.length});
    }
    job.phase = Job::Phase::SharedLines;
    if (job.hits.isEmpty())
        finishPage(job);
}

// The lines of the next batch of hits of the page in the shared document.
void SearchRunner::readSharedLines(Job &job)
{
    const int end = qMin(job.hits.size(), job.nextHit + linesPerRequest);
    QString request;
    for (int i = job.nextHit; i < end; ++i) {
        const Job::Hit &hit = job.hits.at(i);
        request += QStringLiteral("%1,%2,%3,").arg(hit.run).arg(hit.start).arg(hit.end);
    }
    request.chop(1);
    const QVariantList read
        = m_sharedPage->mainFrame()
              ->evaluateJavaScript(QStringLiteral("velmoraSearch.lines([%1])").arg(request))
              .toList();
    m_statistics.linesFromDocument += end - job.nextHit;
    const PageCopy &page = job.copies.at(job.page);
    for (int k = 0; k < end - job.nextHit; ++k) {
        job.found.append(SearchResult(page.id, page.name, read.value(3 * k).toString(), page.locked,
            read.value(3 * k + 1).toInt(), read.value(3 * k + 2).toInt(), job.occurrence++));
    }
    job.nextHit = end;
    if (job.nextHit >= job.hits.size())
        finishPage(job);
}

void SearchRunner::findNext(Job &job)
{
    HitLine line;
    if (!findNextHit(job.freshPage.get(), job.text, job.scriptsLoaded, job.seen, line)) {
        finishPage(job);
        return;
    }
    const PageCopy &page = job.copies.at(job.page);
    job.found.append(SearchResult(
        page.id, page.name, line.line, page.locked, line.before, line.length, job.occurrence++));
}

void SearchRunner::finishPage(Job &job)
{
    // Every change to the shared document, down to each selection it is given to read a line,
    // posts a queued repaint request to its page that nobody listens to. Left alone they pile up
    // by the hundred thousand in a large search and hold up the event loop long after it.
    if (m_sharedPage)
        QCoreApplication::removePostedEvents(m_sharedPage, QEvent::MetaCall);
    job.freshPage.reset();
    job.hits.clear();
    job.seen.clear();
    job.phase = Job::Phase::NextPage;
    ++job.page;
}

void SearchRunner::start(const QList<Page *> &pages, const QString &text)
{
    cancel();
    m_job = makeJob(pages, text);
    m_sliceTimer.start();
}

void SearchRunner::cancel()
{
    if (!m_job)
        return;
    m_sliceTimer.stop();
    m_job.reset();
    if (m_sharedPage)
        m_sharedBody.setInnerXml(QString());
    emit finished(true);
}

void SearchRunner::runSlice()
{
    if (!m_job)
        return;
    const bool done = advance(*m_job, QDeadlineTimer(sliceMilliseconds));
    const QList<SearchResult> found = std::exchange(m_job->found, {});
    const int pagesDone = m_job->page;
    const int pageCount = m_job->copies.size();
    if (done) {
        m_job.reset();
        if (m_sharedPage)
            m_sharedBody.setInnerXml(QString());
    } else {
        m_sliceTimer.start();
    }
    // Whoever hears these may start another search or cancel this one.
    if (!found.isEmpty())
        emit resultsFound(found);
    if (m_job)
        emit progressed(pagesDone, pageCount);
    if (done)
        emit finished(false);
}

QList<SearchResult> SearchRunner::run(const QList<Page *> &pages, const QString &text)
{
    if (m_job)
        return {};
    std::unique_ptr<Job> job = makeJob(pages, text);
    advance(*job, QDeadlineTimer(QDeadlineTimer::Forever));
    if (m_sharedPage)
        m_sharedBody.setInnerXml(QString());
    return job->found;
}

QList<SearchResult> SearchRunner::runInFreshPages(
    const QList<Page *> &pages, const QString &text, int layoutWidth)
{
    QList<SearchResult> results;
    for (const Page *page : pages) {
        if (!page)
            continue;
        QWebPage webPage;
        webPage.setNetworkAccessManager(PageNetworkAccessManager::instance());
        ::setLayoutWidth(&webPage, layoutWidth);
        webPage.mainFrame()->setHtml(HtmlSanitizer::clean(page->content()), QUrl());
        bool scriptsLoaded = false;
        QSet<QString> seen;
        HitLine line;
        int occurrence = 0;
        while (findNextHit(&webPage, text, scriptsLoaded, seen, line)) {
            results.append(SearchResult(page->id(), page->name(), line.line, page->isLocked(),
                line.before, line.length, occurrence++));
        }
    }
    return results;
}
