#include "search/searchhitdelegate.h"

#include "search/searchresult.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

SearchHitDelegate::SearchHitDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{ }

void SearchHitDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const SearchResult hit = index.data(Qt::UserRole).value<SearchResult>();
    if (!index.parent().isValid() || hit.hitLength() == 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &background, widget)
                               .adjusted(2, 0, -2, 0);
    // Line breaks and tabs in a line read from a page show as spaces.
    QString text = hit.text();
    for (QChar &c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\t') || c == QChar::LineSeparator)
            c = QLatin1Char(' ');
    }
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextLayout layout(text, background.font);
    layout.setFormats({{hit.hitStart(), hit.hitLength(), bold}});
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(textOption);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1e6);
    layout.endLayout();

    painter->save();
    painter->setClipRect(textRect);
    painter->setPen(background.palette.color(
        option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    // A hit beyond the row's right edge is brought into view.
    qreal shift = 0;
    if (line.isValid()) {
        const qreal hitEnd = line.cursorToX(hit.hitStart() + hit.hitLength());
        if (hitEnd > textRect.width())
            shift = hitEnd - textRect.width() + textRect.width() / 4.0;
    }
    const qreal y = textRect.top() + (textRect.height() - (line.isValid() ? line.height() : 0)) / 2;
    layout.draw(painter, QPointF(textRect.left() - shift, y));
    painter->restore();
}
