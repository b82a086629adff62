#include "search/searchrunner.h"

#include "model/htmlsanitizer.h"
#include "model/page.h"
#include "model/pagenetworkaccessmanager.h"
#include "model/resourcetext.h"
#include "search/collationfolding.h"
#include "search/pagetext.h"
#include "search/searchfilter.h"
#include "search/textmatcher.h"

#include <QDeadlineTimer>
#include <QLocale>
#include <QSet>
#include <QUrl>
#include <QWebFrame>
#include <QWebPage>

namespace {

// How long a slice of a search may hold the event loop, and about how many characters a hit's
// line keeps around it: a row of the results panel at a usual width.
constexpr int sliceMilliseconds = 12;
constexpr int lineLength = 100;

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
    QString hit;
};

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QChar(0xa0);
}

// A text whose only white space is spaces or no-break spaces between its words, which the find
// matches to the collapsed spaces of a page (a no-break space as a space).
bool hasSpacesInside(CollationFolding &folding, const QString &text)
{
    if (text.isEmpty() || isSpace(text.front()) || isSpace(text.back()))
        return false;
    QString word;
    for (int i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isSpace(text.at(i))) {
            word += text.at(i);
        } else if (!word.isEmpty()) {
            if (folding.touchesWhitespace(word))
                return false;
            word.clear();
        }
    }
    return true;
}

QString pageScripts()
{
    return readResourceText(QStringLiteral("js/search.js"));
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
    // A hit inside a form field has no selection in the document; the page still has its text.
    // A hit that ends where a line wraps reads with the space the wrap took.
    QString hitText = line.value(3).toString();
    if (hitText.isEmpty())
        hitText = page->selectedText();
    hitText = hitText.trimmed();
    hitLine = {line.value(0).toString(), line.value(1).toInt(), line.value(2).toInt(), hitText};
    const QString key = hit.value(1).toString() + QChar(0) + hitLine.hit + QChar(0) + hitLine.line
        + QChar(0) + QString::number(hitLine.before);
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
    // Hits are looked for run by run only when no hit can span white space or a block edge,
    // and segment by segment when they can span only spaces.
    bool readRuns = false;
    bool readSegments = false;
    int width = 0;

    int page = 0;
    int occurrence = 0;
    enum class Phase { NextPage, Find } phase = Phase::NextPage;

    std::unique_ptr<QWebPage> freshPage;
    bool scriptsLoaded = false;
    QSet<QString> seen;

    QList<SearchResult> found;
    bool foundAny = false;
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
    if (!isRunning())
        m_layoutWidth = qMax(0, pixels);
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
    const bool readable = job->filter->filters() && job->matcher->isValid();
    job->readRuns = readable && !folding.touchesWhitespace(text);
    job->readSegments = readable && !job->readRuns && hasSpacesInside(folding, text);
    return job;
}

// One unit of work at a time (a page read or loaded, one find) until the deadline; true when
// the search is through.
bool SearchRunner::advance(Job &job, const QDeadlineTimer &deadline)
{
    do {
        switch (job.phase) {
        case Job::Phase::NextPage:
            if (job.page >= job.copies.size())
                return true;
            startPage(job);
            break;
        case Job::Phase::Find:
            findNext(job);
            break;
        }
        // The first hits end the slice, so that they show at once.
        if (!job.foundAny && !job.found.isEmpty()) {
            job.foundAny = true;
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
    if (check.plain && (job.readRuns || job.readSegments)) {
        const PageText text(HtmlSanitizer::clean(page.content));
        // A text with spaces inside is matched in the page's segments, one without in its runs.
        const bool segments = job.readSegments && text.spacesCollapse();
        if (text.isReadable() && (segments || job.readRuns)) {
            ++m_statistics.pagesReadAsText;
            const int count = segments ? text.segmentCount() : text.runCount();
            for (int i = 0; i < count; ++i) {
                // The find reads a no-break space as a space.
                const QString piece = segments
                    ? text.segment(i).replace(QChar(0xa0), QLatin1Char(' '))
                    : text.run(i);
                if (!job.filter->mayMatchText(piece))
                    continue;
                const QVector<TextMatcher::Match> matches = job.matcher->matches(piece);
                for (const TextMatcher::Match &match : matches) {
                    int before = 0;
                    const QString line = segments
                        ? text.segmentLine(i, match.start, match.length, lineLength, &before)
                        : text.line(i, match.start, match.length, lineLength, &before);
                    job.found.append(SearchResult(page.id, page.name, line, page.locked, before,
                        match.length, job.occurrence++));
                }
            }
            finishPage(job);
            return;
        }
    }
    // The find goes hit after hit through a page of its own: once a page has run a find, later
    // finds in it no longer match a no-break space in the text to white space.
    ++m_statistics.pagesInFreshPages;
    job.freshPage = std::make_unique<QWebPage>();
    job.freshPage->setNetworkAccessManager(PageNetworkAccessManager::instance());
    ::setLayoutWidth(job.freshPage.get(), job.width);
    job.freshPage->mainFrame()->setHtml(HtmlSanitizer::clean(page.content), QUrl());
    job.scriptsLoaded = false;
    job.seen.clear();
    job.phase = Job::Phase::Find;
}

void SearchRunner::findNext(Job &job)
{
    HitLine line;
    if (!findNextHit(job.freshPage.get(), job.text, job.scriptsLoaded, job.seen, line)) {
        finishPage(job);
        return;
    }
    const PageCopy &page = job.copies.at(job.page);
    job.found.append(SearchResult(page.id, page.name, line.line, page.locked, line.before,
        line.length, job.occurrence++, line.hit));
}

void SearchRunner::finishPage(Job &job)
{
    job.freshPage.reset();
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
    if (done)
        m_job.reset();
    else
        m_sliceTimer.start();
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
    while (!advance(*job, QDeadlineTimer(QDeadlineTimer::Forever))) { }
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
                line.before, line.length, occurrence++, line.hit));
        }
    }
    return results;
}
