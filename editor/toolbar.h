#pragma once

#include <QWidget>

#include <memory>

class EditorActions;
class ImageButton;
class QMenu;
class SearchTextEdit;

// The strip above the editor: back, forward, the formatting menu, link/unlink and delete page
// on the left, the search box on the right. The window connects the buttons and decides when
// back, forward and delete are enabled; the format and link buttons follow the editor's
// formatting and link actions. All of them start disabled.
class Toolbar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Toolbar)

public:
    // mainWindow is the toolbar's parent; actions are the editor's, shown in the format menu.
    Toolbar(QWidget *mainWindow, EditorActions *actions);
    ~Toolbar() override;

    ImageButton *backButton;
    ImageButton *forwardButton;
    ImageButton *formatButton;
    ImageButton *linkUnlinkButton;
    ImageButton *deletePageButton;
    // Holds the search box's place in the layout until the search box exists.
    SearchTextEdit *searchEdit;

    // Opens the formatting menu at the pointer, with the formatting actions brought up to date
    // first. Does nothing while the editor shows no page.
    void showFormatMenu();

private:
    void buildFormatMenu();

    EditorActions *const editorActions;
    // Made without a parent so that it is a menu of its own, not one styled by the toolbar.
    std::unique_ptr<QMenu> formatMenu;
};
