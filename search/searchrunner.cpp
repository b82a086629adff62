#include "search/searchrunner.h"

#include "editor/pagedocumentscheme.h"
#include "editor/pageprofile.h"
#include "model/htmlsanitizer.h"
#include "model/page.h"
#include "model/resourcetext.h"
#include "search/collationfolding.h"
#include "search/pagetext.h"
#include "search/searchfilter.h"
#include "search/textmatcher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLocale>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <vector>

namespace {

// How long a slice of a search may hold the event loop, and about how many characters a hit's
// line keeps around it: a row of the results panel at a usual width.
constexpr int sliceMilliseconds = 12;
constexpr int lineLength = 100;

// The content stays in the page's compact form, shared with the page, until the page's turn.
struct PageCopy
{
    QString id;
    QString name;
    CompactText content;
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

// The profile of the search's pages: the program's own, off the record, through which nothing
// reaches the network or a file. One for the process, made when first needed.
PageProfile *searchProfile()
{
    static QPointer<PageProfile> profile;
    if (!profile)
        profile = new PageProfile(QCoreApplication::instance());
    return profile;
}

// A page that loads only what the search sets in it and keeps quiet about its scripts.
class SearchPage final : public QWebEnginePage
{
public:
    SearchPage(QWebEngineProfile *profile, QObject *parent)
        : QWebEnginePage(profile, parent)
    { }

protected:
    bool acceptNavigationRequest(const QUrl &, NavigationType type, bool isMainFrame) override
    {
        return isMainFrame && type == NavigationTypeTyped;
    }
    void javaScriptConsoleMessage(
        JavaScriptConsoleMessageLevel, const QString &, int, const QString &) override
    { }
};

// One page's content in a fresh off-screen web page, searched with the engine's find hit after
// hit. The engine lays out and finds only in a page that a view shows, so the page has a view of
// its own that never appears on screen, as wide as the lines are to be. The page's own scripts
// do not run; the search's scripts run in a world of their own beside the page.
//
// The find marks its match without selecting it; ending the find turns the match into the
// selection, which velmoraHitLine() reads, and the next find goes on from there. The first
// answer tells how many matches there are; each hit must be the next of them, and a hit already
// reported (the find runs on for ever inside a form field) ends the page too.
//
// Everything is answered on the event loop. onHit is called for each hit in order, then onDone
// once; an answer that comes after the object is gone, or after it gave up, is dropped. An
// engine that stops answering for 30 s ends the page, so that nothing waits for ever.
class FreshPageFind final : public QObject
{
public:
    std::function<void(const HitLine &)> onHit;
    std::function<void()> onDone;

    FreshPageFind(const QString &html, const QString &text, int width)
        : m_text(text)
        , m_view(std::make_unique<QWebEngineView>())
        , m_page(new SearchPage(searchProfile(), m_view.get()))
    {
        QWebEngineSettings *settings = m_page->settings();
        settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        // Without scroll bars a page's lines do not depend on its height.
        settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
        m_view->setPage(m_page);
        m_view->setAttribute(Qt::WA_DontShowOnScreen);
        m_view->resize(qMax(1, width), 600);
        m_view->show();

        m_watchdog.setSingleShot(true);
        m_watchdog.setInterval(30000);
        connect(&m_watchdog, &QTimer::timeout, this, &FreshPageFind::finish);
        m_watchdog.start();
        connect(m_page, &QWebEnginePage::loadFinished, this, &FreshPageFind::loaded);
        // setHtml() goes through a data: address, percent-encoded, which the engine takes up
        // to 2 MB; a larger page is served by the profile under an address of its own.
        const QByteArray utf8 = html.toUtf8();
        if (utf8.size() < 600 * 1024) {
            m_page->setHtml(html, QUrl());
        } else {
            m_document = searchProfile()->documentScheme()->addDocument(html);
            m_page->load(m_document);
        }
    }

    ~FreshPageFind() override
    {
        m_done = true;
        // The view is hidden before it goes: the engine's compositor may otherwise still be
        // drawing for it while it is destroyed (seen as an abort in Qt 6.4). The engine calls
        // back what is still pending while the page goes.
        m_view->hide();
        m_view.reset();
        if (!m_document.isEmpty())
            searchProfile()->documentScheme()->removeDocument(m_document);
    }

private:
    // Runs step on the event loop when the engine answers, unless the find is over by then.
    template<typename Answer>
    std::function<void(const Answer &)> answer(void (FreshPageFind::*step)(const Answer &))
    {
        return [self = QPointer<FreshPageFind>(this), step](const Answer &value) {
            if (self && !self->m_done) {
                self->m_watchdog.start();
                (self.data()->*step)(value);
            }
        };
    }

    void loaded(bool ok)
    {
        // The find finds nothing for an empty text.
        if (!ok || m_text.isEmpty()) {
            finish();
            return;
        }
        m_page->runJavaScript(pageScripts() + QStringLiteral("\nvelmoraUnfocusable();"),
            QWebEngineScript::ApplicationWorld, answer(&FreshPageFind::findNext));
    }

    void findNext(const QVariant & = {})
    {
        m_page->findText(m_text, {}, answer(&FreshPageFind::found));
    }

    void found(const QWebEngineFindTextResult &result)
    {
        if (m_total < 0)
            m_total = result.numberOfMatches();
        if (m_count >= m_total || result.activeMatch() != m_count + 1) {
            finish();
            return;
        }
        // Ends the find, leaving its match selected.
        m_page->findText(QString());
        m_page->runJavaScript(QStringLiteral("[velmoraHitLine(), velmoraSelectionKey()]"),
            QWebEngineScript::ApplicationWorld, answer(&FreshPageFind::read));
    }

    void read(const QVariant &value)
    {
        const QVariantList hit = value.toList();
        const QVariantList line = hit.value(0).toList();
        // A hit inside a form field has no selection in the document; the page still has its
        // text. A hit that ends where a line wraps reads with the space the wrap took.
        QString hitText = line.value(3).toString();
        if (hitText.isEmpty())
            hitText = m_page->selectedText();
        const HitLine hitLine {line.value(0).toString(), line.value(1).toInt(),
            line.value(2).toInt(), hitText.trimmed()};
        const QString key = hit.value(1).toString() + QChar(0) + hitLine.hit + QChar(0)
            + hitLine.line + QChar(0) + QString::number(hitLine.before);
        if (m_seen.contains(key)) {
            finish();
            return;
        }
        m_seen.insert(key);
        ++m_count;
        if (onHit)
            onHit(hitLine);
        if (!m_done)
            findNext();
    }

    void finish()
    {
        if (m_done)
            return;
        m_done = true;
        m_watchdog.stop();
        // Nothing is drawn for the page from now on; it is destroyed later.
        m_view->hide();
        if (onDone)
            onDone();
    }

    const QString m_text;
    std::unique_ptr<QWebEngineView> m_view;
    SearchPage *m_page;
    QUrl m_document;
    QTimer m_watchdog;
    QSet<QString> m_seen;
    int m_total = -1;
    int m_count = 0;
    bool m_done = false;
};

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
    // Find: the page is in the engine's hands, and the search waits for its answer.
    enum class Phase { NextPage, Find } phase = Phase::NextPage;
    // Called when the engine is through with a page.
    std::function<void()> wake;

    std::unique_ptr<FreshPageFind> freshPage;
    // The page the engine was through with last, let go outside its own calls.
    std::unique_ptr<FreshPageFind> spentPage;

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
            job->copies.append(
                {page->id(), page->name(), page->compactContent(), page->isLocked()});
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

// One unit of work at a time (a page read, or a page handed to the engine) until the deadline
// or until the engine has a page; true when the search is through.
bool SearchRunner::advance(Job &job, const QDeadlineTimer &deadline)
{
    job.spentPage.reset();
    do {
        if (job.phase == Job::Phase::Find)
            return false;
        if (job.page >= job.copies.size())
            return true;
        startPage(job);
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
    const QString content = page.content.toString();
    const SearchFilter::PageCheck check = job.filter->checkPage(content);
    if (!check.mayMatch) {
        ++m_statistics.pagesSkipped;
        ++job.page;
        return;
    }
    if (check.plain && (job.readRuns || job.readSegments)) {
        const PageText text(HtmlSanitizer::clean(content));
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
    // The find goes hit after hit through a page of its own: a page that has run a find may
    // match otherwise in later ones.
    ++m_statistics.pagesInFreshPages;
    job.freshPage
        = std::make_unique<FreshPageFind>(HtmlSanitizer::clean(content), job.text, job.width);
    job.freshPage->onHit = [&job](const HitLine &line) {
        const PageCopy &page = job.copies.at(job.page);
        job.found.append(SearchResult(page.id, page.name, line.line, page.locked, line.before,
            line.length, job.occurrence++, line.hit));
    };
    job.freshPage->onDone = [this, &job] {
        finishPage(job);
        if (job.wake)
            job.wake();
    };
    job.phase = Job::Phase::Find;
}

void SearchRunner::finishPage(Job &job)
{
    // Called from the page's own last answer, which must not destroy it.
    job.spentPage = std::move(job.freshPage);
    job.phase = Job::Phase::NextPage;
    ++job.page;
}

void SearchRunner::start(const QList<Page *> &pages, const QString &text)
{
    cancel();
    m_job = makeJob(pages, text);
    m_job->wake = [this] { m_sliceTimer.start(); };
    m_sliceTimer.start();
}

void SearchRunner::cancel()
{
    if (!m_job)
        return;
    m_sliceTimer.stop();
    // The engine's late answers for the page it had go with the page.
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
    else if (m_job->phase != Job::Phase::Find) // else the engine's answer wakes the search
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
    // The wait for a page in the engine's hands is bounded by the page's own watchdog.
    while (!advance(*job, QDeadlineTimer(QDeadlineTimer::Forever))) {
        while (job->phase == Job::Phase::Find)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return job->found;
}

namespace {

// The pages of runInFreshPages(), a few at a time, so that the engine loads one page while it
// finds in another; the hits are put together in the pages' order.
class FreshPagesRun final : public QObject
{
public:
    FreshPagesRun(const QList<Page *> &pages, const QString &text, int width, QObject *context,
        SearchRunner::ResultsCallback done)
        : m_text(text)
        , m_width(width)
        , m_context(context)
        , m_done(std::move(done))
    {
        for (const Page *page : pages) {
            if (page)
                m_pages.append(
                    {page->id(), page->name(), page->compactContent(), page->isLocked()});
        }
        m_finds.resize(m_pages.size());
        m_results.resize(m_pages.size());
        QTimer::singleShot(0, this, &FreshPagesRun::next);
    }

private:
    static constexpr int pagesAtOnce = 4;
    static constexpr int retiredLifeMs = 250;

    ~FreshPagesRun() override { qDeleteAll(m_retired); }

    void next()
    {
        if (m_ending)
            return;
        // Pages the engine is through with go here, outside their own calls.
        for (int i = 0; i < m_started; ++i) {
            if (m_finished.contains(i) && m_finds[i])
                retire(std::move(m_finds[i]));
        }
        if (!m_context || m_finished.size() == m_pages.size()) {
            m_ending = true;
            if (m_retired.isEmpty())
                end();
            return;
        }
        while (m_started < m_pages.size() && m_started - m_finished.size() < pagesAtOnce)
            startPage(m_started++);
    }

    // A finished page's view is hidden already; the engine's compositor may still be drawing
    // for it for a moment, and deleting a view it draws for aborts the process (seen with Qt 6.4
    // on a busy machine). It goes a while later, and the run ends only once all have gone.
    void retire(std::unique_ptr<FreshPageFind> find)
    {
        FreshPageFind *kept = find.release();
        m_retired.insert(kept);
        QTimer::singleShot(retiredLifeMs, this, [this, kept] {
            m_retired.remove(kept);
            delete kept;
            if (m_ending && m_retired.isEmpty())
                end();
        });
    }

    void end()
    {
        if (m_context) {
            QList<SearchResult> all;
            for (const QList<SearchResult> &results : qAsConst(m_results))
                all += results;
            m_done(all);
        }
        deleteLater();
    }

    void startPage(int index)
    {
        const PageCopy &page = m_pages.at(index);
        auto find = std::make_unique<FreshPageFind>(
            HtmlSanitizer::clean(page.content.toString()), m_text, m_width);
        find->onHit = [this, index](const HitLine &line) {
            const PageCopy &page = m_pages.at(index);
            QList<SearchResult> &results = m_results[index];
            results.append(SearchResult(page.id, page.name, line.line, page.locked, line.before,
                line.length, int(results.size()), line.hit));
        };
        find->onDone = [this, index] {
            m_finished.insert(index);
            QTimer::singleShot(0, this, &FreshPagesRun::next);
        };
        m_finds[index] = std::move(find);
    }

    QVector<PageCopy> m_pages;
    const QString m_text;
    const int m_width;
    QPointer<QObject> m_context;
    SearchRunner::ResultsCallback m_done;
    std::vector<std::unique_ptr<FreshPageFind>> m_finds;
    QVector<QList<SearchResult>> m_results;
    QSet<int> m_finished;
    QSet<FreshPageFind *> m_retired;
    int m_started = 0;
    bool m_ending = false;
};

} // namespace

void SearchRunner::runInFreshPages(const QList<Page *> &pages, const QString &text,
    int layoutWidth, QObject *context, ResultsCallback done)
{
    // It deletes itself once through.
    new FreshPagesRun(pages, text, layoutWidth, context, std::move(done));
}
