#pragma once

#include <QWidget>

#include <memory>

class ImageButton;
class MainWindow;
class QMenu;
class SearchTextEdit;

// The strip above the editor: back, forward, the formatting menu, link/unlink and delete page
// on the left, the search box on the right. The main window connects the buttons and decides
// when each is enabled; all of them start disabled.
class Toolbar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Toolbar)

public:
    explicit Toolbar(MainWindow *mainWindow);
    ~Toolbar() override;

    ImageButton *backButton;
    ImageButton *forwardButton;
    ImageButton *formatButton;
    ImageButton *linkUnlinkButton;
    ImageButton *deletePageButton;
    // Holds the search box's place in the layout until the search box exists.
    SearchTextEdit *searchEdit;

    // Opens the formatting menu at the pointer, with the main window's formatting actions
    // brought up to date first. Does nothing while no page is shown.
    void showFormatMenu();

    // The object names of the main window's actions that the formatting menu shows, in menu
    // order; an empty name stands for a separator. Actions the window lacks are left out.
    static const QStringList formatActionNames;

private:
    void buildFormatMenu();

    MainWindow *mainWindow;
    // Made without a parent so that it is a menu of its own, not one styled by the toolbar.
    std::unique_ptr<QMenu> formatMenu;
};
