#include "sidebar/sidebarcontainer.h"

#include "widgets/widgetutils.h"

#include <QVBoxLayout>

SidebarContainer::SidebarContainer(QWidget *upper, QWidget *lower, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("SidebarContainer"));
    setStyleSheet(QStringLiteral("#SidebarContainer { background: #2b2937; }"));
    // A QWidget subclass draws no style sheet background unless asked to.
    setAttribute(Qt::WA_StyledBackground);
    // The window's splitter sets the width; below this the toolbar's title and button crowd.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    setMinimumWidth(170);

    QVBoxLayout *layout = Gui::makeVBoxLayout(this);
    layout->addWidget(upper);
    layout->addWidget(lower);
}
