#pragma once

#include <QStyledItemDelegate>

// Paints a search hit's row: its line on one line, the hit itself in bold. Rows without a hit
// (the page rows) are painted as usual.
class SearchHitDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchHitDelegate)

public:
    explicit SearchHitDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
};
