#pragma once

#include "search/searchresult.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QTimer>

class QAction;
class QLabel;
class QProgressBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// The panel under the editor that lists a search's hits grouped by page, as they are found.
// Each hit's row shows its line with the hit in bold. A double click on a hit asks for that
// page and that hit, a double click on the row of a locked page for the page; Enter on a row
// does the same as a double click. The hide button asks for the panel to go away.
class SearchResultsWidget final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchResultsWidget)

public:
    explicit SearchResultsWidget(QWidget *parent = nullptr);

    // Removes all rows; the count and the groups stay until the next results.
    void clearTree();
    // A search for text begins: no rows, and the header says it is running.
    void beginResults(const QString &text);
    // One row per page, in the order the pages were searched, with the lines of its hits
    // under it (none for a locked page); hits of a page already shown join its row.
    void addResults(const QList<SearchResult> &results);
    // The search ended; the header gives the count of what was found.
    void finishResults(bool cancelled);
    // The three above at once.
    void setResults(const QList<SearchResult> &results);
    bool isSearching() const { return m_searching; }

signals:
    void hideButtonClicked();
    void itemSelected(QString pageID);
    // A hit was double-clicked: the occurrence-th hit of text in that page.
    void hitSelected(const QString &pageID, const QString &text, int occurrence);

public slots:
    void onTreeWidgetDoubleClicked(QTreeWidgetItem *item, int column);
    // Shows how far the running search has got.
    void showProgress(int pagesDone, int pageCount);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void insertPending();
    void insertResults(const QList<SearchResult> &results);
    void updateCount();

    QLabel *m_countLabel;
    QProgressBar *m_progressBar;
    QAction *m_progressAction = nullptr;
    QToolButton *m_hideButton;
    QTreeWidget *m_tree;
    QHash<QString, QTreeWidgetItem *> m_groups;
    // Hits waiting to join the tree, when the last went in, and the timer that brings them in.
    QList<SearchResult> m_pending;
    QElapsedTimer m_insertTimer;
    QTimer m_insertLater;
    QString m_searchText;
    int m_matchCount = 0;
    bool m_searching = false;
    bool m_cancelled = false;
};
