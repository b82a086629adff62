#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class Page;
class QLabel;
class QScrollArea;

// The strip under the page that names the pages linking to it, each name a link that opens
// that page. The window fills it whenever a page is shown.
class LinkedFromPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinkedFromPanel)

public:
    explicit LinkedFromPanel(QWidget *parent);

    // Lists the pages, in the order given; their names are read now.
    void showPages(const QList<Page *> &pages);

signals:
    void pageActivated(const QString &pageId);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // As tall as the names need, up to four lines; more scroll.
    void fitHeight();

    QLabel *m_label;
    QScrollArea *m_scroll;
    // The listed pages; each link names its page by its place here.
    QStringList m_pageIds;
};
