#include "sidebar/sidebaritemdelegate.h"

#include "widgets/widgetutils.h"
#include "model/wikiitem.h"
#include "sidebar/sidebartree.h"
#include "sidebar/sidebartreeitem.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTextOption>

namespace {

SidebarTreeItem *rowFor(const QStyleOptionViewItem &option, const QModelIndex &index)
{
    const auto *tree = qobject_cast<const SidebarTree *>(option.widget);
    return tree ? dynamic_cast<SidebarTreeItem *>(tree->itemFromIndex(index)) : nullptr;
}

} // namespace

QString SidebarItemDelegate::BasicPainter::displayName(const QString &name)
{
    // Line feeds go first, so a carriage return before one becomes a blank of its own.
    QString text = name;
    text.replace(QLatin1String("\n"), QLatin1String(" "));
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1String("\r"), QLatin1String(" "));
    text.replace(QLatin1String("\t"), QLatin1String(" "));
    text.remove(QChar(27));
    return text.trimmed().toUpper();
}

SidebarItemDelegate::BasicPainter::Icon SidebarItemDelegate::BasicPainter::loadIcon(
    const QString &name)
{
    const QPixmap pixmap(Gui::imageResourcePath(name, QStringLiteral("png"), true));
    return Icon {pixmap, Gui::logicalPixmapSize(pixmap)};
}

int SidebarItemDelegate::BasicPainter::viewportWidth(const QStyleOptionViewItem &option)
{
    if (const auto *view = qobject_cast<const QAbstractScrollArea *>(option.widget))
        return view->viewport()->width();
    return option.rect.width();
}

QRect SidebarItemDelegate::BasicPainter::contentRect(const QStyleOptionViewItem &option) const
{
    const QRect &rect = option.rect;
    return QRect(QPoint(rect.left() + leftMargin, rect.top() + topMargin),
        QPoint(rect.right() - rightMargin, rect.bottom() - bottomMargin));
}

QRect SidebarItemDelegate::BasicPainter::drawIcon(
    QPainter *painter, const QRect &content, const Icon &icon) const
{
    const int y = int(content.top() + (content.height() - icon.size.height()) * 0.5);
    painter->drawPixmap(
        QRect(QPoint(content.left(), y), icon.size), icon.pixmap, icon.pixmap.rect());
    const int textLeft = content.left() + icon.size.width() - 1 + iconSpacing;
    return QRect(QPoint(textLeft, content.top()), content.bottomRight());
}

void SidebarItemDelegate::BasicPainter::drawLine(
    QPainter *painter, const QRect &rect, const QString &text, const QFont &font) const
{
    const QString elided = QFontMetrics(font).elidedText(text, Qt::ElideRight, rect.width());
    painter->setPen(textPen);
    painter->setFont(font);
    painter->drawText(QRectF(rect), elided, QTextOption());
}

void SidebarItemDelegate::PagePainter::paint(
    QPainter *painter, const QStyleOptionViewItem &option, SidebarTreeItem *row) const
{
    painter->save();
    const QRect content = contentRect(option);
    const QRect text = drawIcon(painter, content, row->isHomePage() ? homeIcon : pageIcon);
    const int nameHeight = QFontMetrics(nameFont).height();
    drawLine(painter, QRect(text.left(), text.top(), text.width(), nameHeight),
        displayName(row->wikiItem()->name()), nameFont);
    drawLine(painter,
        QRect(text.left(), text.top() + nameHeight - 1 + lineGap, text.width(),
            QFontMetrics(previewFont).height()),
        row->preview(), previewFont);
    painter->restore();
}

QSize SidebarItemDelegate::PagePainter::sizeHint(
    const QStyleOptionViewItem &option, SidebarTreeItem *) const
{
    const int lines
        = QFontMetrics(nameFont).height() + QFontMetrics(previewFont).height() + lineGap;
    return QSize(
        viewportWidth(option), qMax(lines, pageIcon.size.height()) + topMargin + bottomMargin);
}

void SidebarItemDelegate::FolderPainter::paint(
    QPainter *painter, const QStyleOptionViewItem &option, SidebarTreeItem *row) const
{
    painter->save();
    const QRect content = contentRect(option);
    const bool open = row->treeWidget() && row->isExpanded();
    const QRect text = drawIcon(painter, content, open ? openIcon : closedIcon);
    const int height = QFontMetrics(nameFont).height();
    const int top = int(content.top() + (content.height() - height) * 0.5);
    drawLine(painter, QRect(text.left(), top, text.width(), height),
        displayName(row->wikiItem()->name()), nameFont);
    painter->restore();
}

QSize SidebarItemDelegate::FolderPainter::sizeHint(
    const QStyleOptionViewItem &option, SidebarTreeItem *) const
{
    return QSize(viewportWidth(option), openIcon.size.height() + topMargin + bottomMargin);
}

SidebarItemDelegate::SidebarItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{ }

const SidebarItemDelegate::BasicPainter *SidebarItemDelegate::painterFor(
    const SidebarTreeItem *row) const
{
    if (row->isFolder())
        return &m_folderPainter;
    return &m_pagePainter;
}

void SidebarItemDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // The rows carry no text or icon, so the style draws only the background and the hover and
    // selection marks that the tree's style sheet sets.
    QStyleOptionViewItem copy(option);
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &copy, painter, option.widget);
    if (SidebarTreeItem *row = rowFor(option, index))
        painterFor(row)->paint(painter, copy, row);
}

QSize SidebarItemDelegate::sizeHint(
    const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (SidebarTreeItem *row = rowFor(option, index))
        return painterFor(row)->sizeHint(option, row);
    return QStyledItemDelegate::sizeHint(option, index);
}
