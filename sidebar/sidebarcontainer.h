#pragma once

#include <QWidget>

// The column on the left of the main window: the sidebar's toolbar above the
// sidebar itself.
class SidebarContainer final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SidebarContainer)

public:
    SidebarContainer(QWidget *upper, QWidget *lower, QWidget *parent = nullptr);
};
