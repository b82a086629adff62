#include "sidebar/sidebartoolbar.h"

#include "widgets/widgetutils.h"
#include "widgets/imagebutton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// The picture at the size it is laid out at, sharp when its double-resolution form was loaded.
QPixmap loadPicture(const QString &name)
{
    QPixmap pixmap(Gui::imageResourcePath(name, QStringLiteral("png"), true));
    const QSize size = Gui::logicalPixmapSize(pixmap);
    if (!size.isEmpty())
        pixmap.setDevicePixelRatio(qreal(pixmap.width()) / size.width());
    return pixmap;
}

QHBoxLayout *makeRow(int topMargin)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, topMargin, 0, 0);
    row->addSpacing(0);
    return row;
}

} // namespace

SidebarToolbar::SidebarToolbar(QWidget *parent)
    : QWidget(parent)
{
    setFixedHeight(62);
    setObjectName(QStringLiteral("SidebarToolbar"));
    setStyleSheet(QStringLiteral("#SidebarToolbar { background: #3f4256; }"));
    // A QWidget subclass draws no style sheet background unless asked to.
    setAttribute(Qt::WA_StyledBackground);
    setContentsMargins(0, 0, 0, 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto *outer = new QVBoxLayout;
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addSpacing(0);
    QHBoxLayout *logoRow = makeRow(0);

    auto *logo = new QLabel(this);
    logo->setPixmap(loadPicture(QStringLiteral("pages_logo")));
    logo->setFixedSize(68, 60);

    QHBoxLayout *titleRow = makeRow(12);
    titleLabel = new QLabel(this);
    titleLabel->setWordWrap(false);
    titleLabel->setFont(QFont(QStringLiteral("Montserrat"), 10));
    titleLabel->setObjectName(QStringLiteral("SidebarToolbarTitleLbl"));
    titleLabel->setStyleSheet(
        QStringLiteral("#SidebarToolbarTitleLbl {color: #ffffff;background: transparent;"
                       "border-bottom: 0px;padding-left: %1px;padding-right: %2px;"
                       "padding-top: 0px;}")
            .arg(titleLeftPadding)
            .arg(titleRightPadding));

    newPageButton = new ImageButton(this, QStringLiteral("new_page_icon"));
    newPageButton->setStatusTip(tr("Create a new page in this wiki"));

    titleRow->addWidget(titleLabel);
    titleRow->addWidget(newPageButton);
    titleRow->addSpacing(10);
    logoRow->addWidget(logo);
    logoRow->addLayout(titleRow);
    outer->addLayout(logoRow);

    auto *border = new QWidget(this);
    border->setObjectName(QStringLiteral("SidebarToolbarBottomBorderWidget"));
    border->setStyleSheet(
        QStringLiteral("#SidebarToolbarBottomBorderWidget { background: #323446; }"));
    auto *borderRow = new QHBoxLayout(border);
    borderRow->setContentsMargins(0, 0, 0, 0);
    borderRow->addSpacing(0);
    auto *borderLine = new QLabel(border);
    borderLine->setPixmap(loadPicture(QStringLiteral("pages_logo_bottom_border")));
    borderLine->setFixedSize(68, 2);
    borderLine->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    borderRow->addWidget(borderLine, 0, Qt::AlignLeft);
    outer->addWidget(border);
    setLayout(outer);
}

void SidebarToolbar::setTitle(const QString &title)
{
    titleLabel->setText(title);
    titleLabel->setToolTip(title);
    // The column has a fixed width, so no resize may ever come to cut a long title. Before the
    // toolbar is shown its width means nothing, and the first resize cuts it.
    if (isVisible()) {
        layout()->activate();
        elideTitle();
    }
}

void SidebarToolbar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    elideTitle();
}

void SidebarToolbar::elideTitle()
{
    Gui::elideLabel(titleLabel, titleLeftPadding + titleRightPadding);
}
