#pragma once

#include <QFont>
#include <QPen>
#include <QPixmap>
#include <QStyledItemDelegate>

class SidebarTreeItem;

// Draws every row of the sidebar tree on top of the background, hover and selection marks that
// the tree's style sheet gives it: a folder row shows its icon and name, a page row its icon, its
// name and a one-line preview of its text. Names are shown in capitals. Every page row has one
// height and every folder row another, whatever their texts.
class SidebarItemDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SidebarItemDelegate)

public:
    // What page and folder rows share: margins, the text colour and the drawing of icons and
    // one-line texts.
    class BasicPainter
    {
    public:
        virtual ~BasicPainter() = default;
        virtual void paint(
            QPainter *painter, const QStyleOptionViewItem &option, SidebarTreeItem *row) const = 0;
        virtual QSize sizeHint(const QStyleOptionViewItem &option, SidebarTreeItem *row) const = 0;

        // The name on one line, without control characters, trimmed and in capitals.
        static QString displayName(const QString &name);

    protected:
        // A picture with the size it is laid out at, which is half its pixel size when the
        // double-resolution form was loaded.
        struct Icon
        {
            QPixmap pixmap;
            QSize size;
        };
        static Icon loadIcon(const QString &name);
        static int viewportWidth(const QStyleOptionViewItem &option);

        // The row's rectangle less the margins.
        QRect contentRect(const QStyleOptionViewItem &option) const;
        // Draws the icon at the left of content, centred in its height, and returns the
        // rectangle left for text to its right.
        QRect drawIcon(QPainter *painter, const QRect &content, const Icon &icon) const;
        // Draws text from the top left of rect, cut with an ellipsis to the rectangle's width.
        void drawLine(
            QPainter *painter, const QRect &rect, const QString &text, const QFont &font) const;

        int leftMargin = 10;
        int topMargin = 20;
        int rightMargin = 10;
        int bottomMargin = 20;
        int iconSpacing = 10;
        QPen textPen {QColor(QStringLiteral("#dad6d6"))};
    };

    class PagePainter final : public BasicPainter
    {
    public:
        void paint(QPainter *painter, const QStyleOptionViewItem &option,
            SidebarTreeItem *row) const override;
        QSize sizeHint(const QStyleOptionViewItem &option, SidebarTreeItem *row) const override;

    private:
        Icon pageIcon = loadIcon(QStringLiteral("page_icon"));
        Icon homeIcon = loadIcon(QStringLiteral("home_icon"));
        QFont nameFont {QStringLiteral("Montserrat"), 12};
        QFont previewFont {QStringLiteral("Montserrat"), 11};
        int lineGap = 4;
    };

    class FolderPainter final : public BasicPainter
    {
    public:
        void paint(QPainter *painter, const QStyleOptionViewItem &option,
            SidebarTreeItem *row) const override;
        QSize sizeHint(const QStyleOptionViewItem &option, SidebarTreeItem *row) const override;

    private:
        Icon closedIcon = loadIcon(QStringLiteral("folder_collapsed_icon"));
        Icon openIcon = loadIcon(QStringLiteral("folder_expanded_icon"));
        QFont nameFont {QStringLiteral("Montserrat"), 12};
    };

    explicit SidebarItemDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    const BasicPainter *painterFor(const SidebarTreeItem *row) const;

    FolderPainter m_folderPainter;
    PagePainter m_pagePainter;
};
