#pragma once

#include "search/searchresult.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class Page;
class QDeadlineTimer;
class QWebEngineView;

// Finds a text in every page of a wiki as the web engine's find finds it in the rendered page,
// with the line of text around each hit. The main
// window's search slot starts a search with the wiki's pages in sidebar order and hands what
// it finds to the results panel as it comes:
//
//     connect(searchRunner, &SearchRunner::resultsFound, resultsWidget, &...::addResults);
//     searchRunner->start(wiki->allPages(), searchTextEdit->text());
//
// A search runs in short slices on the event loop, so the window stays live while it runs and
// the first hits show at once; cancel() or a new start() stops it.
//
// The hits are the same as runInFreshPages() gives, which renders every page in a fresh
// off-screen web page, but the runner skips pages that cannot hold a hit without rendering them
// (see SearchFilter), reads the text of plain pages from their markup (see PageText) and finds
// hits in it with the engine's own comparison (see TextMatcher), word by word or, for a text
// with spaces between its words, across collapsed spaces up to the next block edge, line
// break or picture; the line of such a hit is the text of its block around it.
// Pages with scripts, frames, form fields or styles of their own, and every page of a search
// whose text holds other white space or starts or ends with it, still get a fresh page each,
// searched with the find, with the line the page lays out around each hit. The engine answers
// such a page in its own time: the search waits for it between slices, the window stays live,
// and the hits still come in the pages' order.
class SearchRunner final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchRunner)

public:
    explicit SearchRunner(QObject *parent = nullptr);
    ~SearchRunner() override;

    // Starts a search, stopping the one under way. The pages are copied first, so nothing the
    // program does to them while the search runs changes what is searched.
    void start(const QList<Page *> &pages, const QString &text);
    // Stops the search under way; the hits it reported stay reported.
    void cancel();
    bool isRunning() const { return bool(m_job); }

    // The whole search at once. Pages read as text are searched without returning to the
    // event loop; for a page that needs the web engine it runs the event loop until the engine
    // has answered (see FreshPageFind for the bound), so it is for the command line and tests,
    // never for the window. A call made while a search runs returns nothing and leaves that
    // search alone.
    QList<SearchResult> run(const QList<Page *> &pages, const QString &text);

    // The width at which pages searched in fresh pages are laid out to read the lines of hits;
    // 0, where every word that can stand alone gets a line of its own, until set. Ignored while
    // a search runs.
    void setLayoutWidth(int pixels);
    int layoutWidth() const { return m_layoutWidth; }

    // Every page rendered in a fresh off-screen web page laid out at the given width and
    // searched with the engine's find, hit after hit: the reference the runner's hits equal.
    // The pages are copied at once; done gets the hits once the engine has answered for every
    // page, on the event loop, unless context is gone by then.
    using ResultsCallback = std::function<void(const QList<SearchResult> &)>;
    static void runInFreshPages(const QList<Page *> &pages, const QString &text, int layoutWidth,
        QObject *context, ResultsCallback done);

    // How the last search went about it.
    struct Statistics
    {
        int pagesSkipped = 0;
        int pagesReadAsText = 0;
        int pagesInFreshPages = 0;
    };
    Statistics lastStatistics() const { return m_statistics; }

signals:
    // The hits found since the last report, in order.
    void resultsFound(const QList<SearchResult> &results);
    void progressed(int pagesDone, int pageCount);
    // The search ended, run through or cancelled.
    void finished(bool cancelled);

private:
    struct Job;
    std::unique_ptr<Job> makeJob(const QList<Page *> &pages, const QString &text);
    bool advance(Job &job, const QDeadlineTimer &deadline);
    void startPage(Job &job);
    void finishPage(Job &job);
    void runSlice();

    std::unique_ptr<Job> m_job;
    QTimer m_sliceTimer;
    int m_layoutWidth = 0;
    Statistics m_statistics;
};
