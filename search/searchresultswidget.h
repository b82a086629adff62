#pragma once

#include "search/searchresult.h"

#include <QFrame>
#include <QHash>
#include <QList>
#include <QStringList>

class QAction;
class QLabel;
class QProgressBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// The panel under the editor that lists a search's hits grouped by page. A double click on a
// hit, or on the row of a locked page, asks for that page; the hide button asks for the panel
// to go away.
class SearchResultsWidget final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchResultsWidget)

public:
    explicit SearchResultsWidget(QWidget *parent = nullptr);

    // Removes all rows; the count and the groups stay until the next results.
    void clearTree();
    // Writes the count and builds one row per page, in the order the pages were searched, with
    // the lines of its hits under it (none for a locked page).
    void setResults(const QList<SearchResult> &results);

signals:
    void hideButtonClicked();
    void itemSelected(QString pageID);

public slots:
    void onTreeWidgetDoubleClicked(QTreeWidgetItem *item, int column);
    // Shows that a long search is under way and how far it has got; setResults() ends it.
    void showProgress(int pagesDone, int pageCount);

private:
    QLabel *m_countLabel;
    QProgressBar *m_progressBar;
    QAction *m_progressAction = nullptr;
    QToolButton *m_hideButton;
    QTreeWidget *m_tree;
    QHash<QString, QList<SearchResult>> m_groups;
    QStringList m_groupOrder;
};
