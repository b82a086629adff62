#pragma once

#include "search/searchresult.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QWebElement>

class Page;
class QWebPage;
class SearchFilter;
class TextMatcher;

// Finds a text in every page of a wiki as the web engine's find finds it in the rendered page,
// with the line of text around each hit. The main window's search slot calls run() with the
// wiki's pages in sidebar order and hands the list to the results panel:
//
//     resultsWidget->clearTree();
//     resultsWidget->show();
//     resultsWidget->setResults(searchRunner->run(wiki->allPages(), searchTextEdit->text()));
//
// and connects progressed() to the panel's showProgress().
//
// run() gives the same list as runInFreshPages(), which renders every page in a fresh
// off-screen web page, but skips pages that cannot hold a hit without rendering them (see
// SearchFilter), loads plain pages into one reused document, and finds hits in the text it
// reads from there with the engine's own comparison (see TextMatcher), asking the document
// only for the lines around them. Pages with scripts, frames, form fields or styles of their
// own still get a fresh page each.
class SearchRunner final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchRunner)

public:
    explicit SearchRunner(QObject *parent = nullptr);
    ~SearchRunner() override;

    // The pages are copied when the search starts, so nothing the program does to them while
    // the search shows its progress changes what is searched. A call made while a search runs
    // returns nothing and leaves that search alone.
    QList<SearchResult> run(const QList<Page *> &pages, const QString &text);
    bool isRunning() const { return m_running; }

    // How long a search runs before it reports progress, sets a busy cursor and lets the window
    // repaint (user input waits until the search ends).
    void setProgressDelay(int milliseconds) { m_progressDelay = milliseconds; }

    // Every page rendered in a fresh off-screen web page and searched with the engine's find,
    // hit after hit.
    static QList<SearchResult> runInFreshPages(const QList<Page *> &pages, const QString &text);

    // How the last run() went about it.
    struct Statistics
    {
        int pagesSkipped = 0;
        int pagesInSharedDocument = 0;
        int pagesInFreshPages = 0;
        int pagesSearchedByFind = 0;
        int linesFromDocument = 0;
        int linesRemembered = 0;
    };
    Statistics lastStatistics() const { return m_statistics; }

signals:
    void progressed(int pagesDone, int pageCount);

private:
    struct Pass;
    QStringList searchSharedDocument(const QString &content, Pass &pass);
    QWebPage *sharedPage();

    QWebPage *m_sharedPage = nullptr;
    QWebElement m_sharedBody;
    bool m_running = false;
    int m_progressDelay = 500;
    Statistics m_statistics;
};
