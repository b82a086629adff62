#include "search/searchresultswidget.h"

#include "search/searchhitdelegate.h"
#include "widgets/widgetutils.h"

#include <QAction>
#include <QHash>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int manyRows = 2000;
constexpr qint64 insertIntervalMilliseconds = 200;
// The most rows one insertion takes while a search runs; a fast search gathers tens of thousands
// between two insertions, and making their items at once would hold the window.
constexpr int rowsPerInsertion = 1500;

} // namespace

SearchResultsWidget::SearchResultsWidget(QWidget *parent)
    : QFrame(parent)
    , m_countLabel(new QLabel(this))
    , m_progressBar(new QProgressBar(this))
    , m_hideButton(new QToolButton(this))
    , m_tree(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("SearchResultsWidget"));
    setStyleSheet(QStringLiteral("#SearchResultsWidget { border: none; }"));

    QVBoxLayout *layout = Gui::makeVBoxLayout(this);

    auto *toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("SearchResultsWidgetToolBar"));
    toolBar->setStyleSheet(QStringLiteral("#SearchResultsWidgetToolBar { padding: 2px; }"));
    toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    auto *gap = new QWidget(toolBar);
    gap->setFixedSize(4, 1);

    m_countLabel->setObjectName(QStringLiteral("SearchResultsWidgetResultCountLbl"));
    m_countLabel->setFont(QFont(QStringLiteral("Montserrat"), 10, QFont::Normal, false));
    m_countLabel->setStyleSheet(
        QStringLiteral("#SearchResultsWidgetResultCountLbl { color: #FFFFFF; }"));

    m_progressBar->setObjectName(QStringLiteral("SearchResultsWidgetProgress"));
    m_progressBar->setStyleSheet(QStringLiteral(
        "#SearchResultsWidgetProgress { background: #8d9296; border: none; border-radius: 3px; "
        "max-height: 6px; min-width: 120px; max-width: 160px; margin-left: 10px; } "
        "#SearchResultsWidgetProgress::chunk { background: #2783ca; border-radius: 3px; }"));
    m_progressBar->setTextVisible(false);

    auto *stretch = new QWidget(toolBar);
    stretch->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    m_hideButton->setObjectName(QStringLiteral("hide-btn"));
    m_hideButton->setStyleSheet(QStringLiteral("#hide-btn { border: none; }"));
    m_hideButton->setIcon(
        QIcon(Gui::imageResourcePath(QStringLiteral("hide"), QStringLiteral("png"), true)));
    m_hideButton->setText(tr("Hide"));
    m_hideButton->setToolTip(tr("Click to hide"));
    m_hideButton->setFixedSize(16, 16);

    toolBar->addWidget(gap);
    toolBar->addWidget(m_countLabel);
    // Shown only while a long search runs.
    m_progressAction = toolBar->addWidget(m_progressBar);
    m_progressAction->setVisible(false);
    toolBar->addWidget(stretch);
    toolBar->addWidget(m_hideButton);

    m_tree->setFont(QFont(QStringLiteral("Montserrat"), 10, QFont::Normal, false));
    m_tree->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setAlternatingRowColors(false);
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setExpandsOnDoubleClick(true);
    m_tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_tree->setAnimated(true);
    m_tree->setFocusPolicy(Qt::StrongFocus);
    m_tree->installEventFilter(this);
    setFocusProxy(m_tree);
    m_tree->setObjectName(QStringLiteral("SearchWidgetTree"));
    m_tree->setItemDelegate(new SearchHitDelegate(m_tree));
    m_tree->setUniformRowHeights(true);
    m_tree->setStyleSheet(
        QStringLiteral("#SearchWidgetTree { background: #FFFFFF; border: 2px solid #FFFFFF; } "
                       "#SearchWidgetTree:focus { border: 2px solid #03a2f3; } "
                       "#SearchWidgetTree:item { padding: 2 0px; }"));

    layout->addWidget(toolBar);
    layout->addWidget(m_tree);

    m_insertLater.setSingleShot(true);
    connect(&m_insertLater, &QTimer::timeout, this, &SearchResultsWidget::insertPending);
    connect(m_hideButton, &QToolButton::clicked, this, &SearchResultsWidget::hideButtonClicked);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this,
        &SearchResultsWidget::onTreeWidgetDoubleClicked);
}

bool SearchResultsWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_tree->currentItem()) {
            onTreeWidgetDoubleClicked(m_tree->currentItem(), 0);
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void SearchResultsWidget::clearTree()
{
    m_pending.clear();
    m_insertLater.stop();
    m_insertTimer.invalidate();
    m_tree->clear();
    m_groups.clear();
}

void SearchResultsWidget::beginResults(const QString &text)
{
    clearTree();
    m_searchText = text;
    m_matchCount = 0;
    m_searching = true;
    m_cancelled = false;
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(0);
    m_progressAction->setVisible(true);
    updateCount();
}

void SearchResultsWidget::showProgress(int pagesDone, int pageCount)
{
    m_progressBar->setRange(0, qMax(pageCount, 1));
    m_progressBar->setValue(pagesDone);
}

void SearchResultsWidget::finishResults(bool cancelled)
{
    m_searching = false;
    insertPending();
    m_cancelled = cancelled;
    m_progressAction->setVisible(false);
    updateCount();
}

void SearchResultsWidget::setResults(const QList<SearchResult> &results)
{
    beginResults(m_searchText);
    addResults(results);
    finishResults(false);
}

void SearchResultsWidget::updateCount()
{
    QString text;
    if (m_matchCount == 0 && !m_searching) {
        text = QStringLiteral("No matches found");
    } else {
        text = (m_matchCount == 1 ? QStringLiteral("1 match")
                                  : QStringLiteral("%1 matches").arg(m_matchCount))
            + (m_groups.size() == 1 ? QStringLiteral(" in 1 page")
                                    : QStringLiteral(" in %1 pages").arg(m_groups.size()));
    }
    if (m_searching)
        text += QStringLiteral(", searching\u2026");
    else if (m_cancelled)
        text += QStringLiteral(", search stopped");
    m_countLabel->setText(text);
}

void SearchResultsWidget::addResults(const QList<SearchResult> &results)
{
    m_pending += results;
    // The view lays out all its rows again after each insertion, which takes a while once a
    // common word has found thousands: from then on, rows go in at once when none went in for
    // a while, and are otherwise gathered for a moment.
    if (m_matchCount < manyRows || !m_insertTimer.isValid()
        || m_insertTimer.hasExpired(insertIntervalMilliseconds))
        insertPending();
    else if (!m_insertLater.isActive())
        m_insertLater.start(int(insertIntervalMilliseconds - m_insertTimer.elapsed()));
}

void SearchResultsWidget::insertPending()
{
    m_insertLater.stop();
    m_insertTimer.start();
    QList<SearchResult> batch = std::exchange(m_pending, {});
    if (m_searching && batch.size() > rowsPerInsertion) {
        m_pending = batch.mid(rowsPerInsertion);
        batch.erase(batch.begin() + rowsPerInsertion, batch.end());
        m_insertLater.start(0);
    }
    insertResults(batch);
}

void SearchResultsWidget::insertResults(const QList<SearchResult> &results)
{
    // The rows of a batch go in with one insertion per page rather than one per hit: the view
    // lays out all its rows again after each insertion, tens of thousands of them for a common
    // word.
    QTreeWidgetItem *row = nullptr;
    QString rowKey;
    QList<QTreeWidgetItem *> touched;
    QList<QTreeWidgetItem *> newRows;
    QHash<QTreeWidgetItem *, QList<QTreeWidgetItem *>> newLines;
    for (const SearchResult &result : results) {
        const QString key = result.pageName().toUpper();
        if (!row || key != rowKey) {
            row = m_groups.value(key);
            rowKey = key;
            if (!row) {
                row = new QTreeWidgetItem;
                row->setData(0, Qt::UserRole, QVariant::fromValue(result));
                row->setData(0, Qt::UserRole + 1, 0);
                m_groups.insert(key, row);
                newRows.append(row);
            }
            if (!touched.contains(row))
                touched.append(row);
        }
        row->setData(0, Qt::UserRole + 1, row->data(0, Qt::UserRole + 1).toInt() + 1);
        ++m_matchCount;
        if (row->data(0, Qt::UserRole).value<SearchResult>().isLocked())
            continue;
        auto *line = new QTreeWidgetItem;
        line->setText(0, result.text());
        line->setData(0, Qt::UserRole, QVariant::fromValue(result));
        newLines[row].append(line);
    }
    for (QTreeWidgetItem *group : qAsConst(touched)) {
        group->addChildren(newLines.value(group));
        const SearchResult first = group->data(0, Qt::UserRole).value<SearchResult>();
        group->setText(0,
            QStringLiteral("%1 (%2)%3")
                .arg(first.pageName().toUpper())
                .arg(group->data(0, Qt::UserRole + 1).toInt())
                .arg(first.isLocked() ? QStringLiteral(" - PASSWORD PROTECTED") : QString()));
    }
    m_tree->addTopLevelItems(newRows);
    // Pages open without the unfolding animation, which would draw every new page's rows once
    // more.
    const bool animated = m_tree->isAnimated();
    m_tree->setAnimated(false);
    for (QTreeWidgetItem *group : qAsConst(newRows))
        group->setExpanded(true);
    m_tree->setAnimated(animated);
    updateCount();
}

void SearchResultsWidget::onTreeWidgetDoubleClicked(QTreeWidgetItem *item, int)
{
    if (!item)
        return;
    const SearchResult result = item->data(0, Qt::UserRole).value<SearchResult>();
    // A double click on an ordinary page row only opens or closes it.
    if (item->parent() || result.isLocked())
        emit itemSelected(result.pageID());
    if (item->parent() && !result.isLocked())
        emit hitSelected(result.pageID(), m_searchText, result.occurrence());
}
