#include "search/searchresultswidget.h"

#include "widgets/widgetutils.h"

#include <QAction>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

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
    m_tree->setFocusPolicy(Qt::NoFocus);
    m_tree->setObjectName(QStringLiteral("SearchWidgetTree"));
    m_tree->setStyleSheet(QStringLiteral(
        "#SearchWidgetTree { background: #FFFFFF; } #SearchWidgetTree:item { padding: 2 0px; }"));

    layout->addWidget(toolBar);
    layout->addWidget(m_tree);

    connect(m_hideButton, &QToolButton::clicked, this, &SearchResultsWidget::hideButtonClicked);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this,
        &SearchResultsWidget::onTreeWidgetDoubleClicked);
}

void SearchResultsWidget::clearTree()
{
    m_tree->clear();
}

void SearchResultsWidget::showProgress(int pagesDone, int pageCount)
{
    m_countLabel->setText(tr("Searching\u2026"));
    m_progressBar->setRange(0, qMax(pageCount, 1));
    m_progressBar->setValue(pagesDone);
    m_progressAction->setVisible(true);
}

void SearchResultsWidget::setResults(const QList<SearchResult> &results)
{
    const int count = results.size();
    if (count == 0)
        m_countLabel->setText(QStringLiteral("No matches found"));
    else if (count == 1)
        m_countLabel->setText(QStringLiteral("1 match found"));
    else
        m_countLabel->setText(QStringLiteral("%1 matches found").arg(count));
    m_progressAction->setVisible(false);

    m_groups.clear();
    m_groupOrder.clear();
    for (const SearchResult &result : results) {
        const QString key = result.pageName().toUpper();
        auto group = m_groups.find(key);
        if (group == m_groups.end()) {
            group = m_groups.insert(key, {});
            m_groupOrder.append(key);
        }
        group->append(result);
    }

    m_tree->clear();
    for (const QString &key : qAsConst(m_groupOrder)) {
        const QList<SearchResult> &hits = m_groups.value(key);
        const SearchResult &first = hits.first();
        auto *row = new QTreeWidgetItem(m_tree);
        row->setText(0,
            QStringLiteral("%1 (%2)%3")
                .arg(key)
                .arg(hits.size())
                .arg(first.isLocked() ? QStringLiteral(" - PASSWORD PROTECTED") : QString()));
        row->setData(0, Qt::UserRole, QVariant::fromValue(first));
        if (first.isLocked())
            continue;
        for (const SearchResult &hit : hits) {
            auto *line = new QTreeWidgetItem(row);
            line->setText(0, hit.text());
            line->setData(0, Qt::UserRole, QVariant::fromValue(hit));
        }
    }
}

void SearchResultsWidget::onTreeWidgetDoubleClicked(QTreeWidgetItem *item, int)
{
    if (!item)
        return;
    const SearchResult result = item->data(0, Qt::UserRole).value<SearchResult>();
    // A double click on an ordinary page row only opens or closes it.
    if (item->parent() || result.isLocked())
        emit itemSelected(result.pageID());
}
