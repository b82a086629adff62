#pragma once

#include <QWidget>

class ImageButton;
class QLabel;

// The strip above the sidebar: the logo, the open wiki's title and the new-page button. A title
// too long for the strip is cut with an ellipsis; its tooltip keeps it whole.
class SidebarToolbar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SidebarToolbar)

public:
    explicit SidebarToolbar(QWidget *parent = nullptr);

    void setTitle(const QString &title);

    // Public so that the main window can connect its clicked() signal.
    ImageButton *newPageButton = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elideTitle();

    QLabel *titleLabel = nullptr;
    int titleLeftPadding = 10;
    int titleRightPadding = 10;
};
