#pragma once

#include <QMainWindow>
#include <QUrl>

class QDropEvent;

// The program's one top-level window.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(QWidget *parent = nullptr);

    // Sets the application style sheet and, once per process, registers the shipped fonts.
    static void installApplicationLook();

    // Bring the link and formatting actions up to date before a menu that shows them opens.
    void updateLinkAction();
    void updateFormatActions();

signals:
    // Every link the editor hands over, as it arrived.
    void linkClicked(QUrl url);

public slots:
    void onLinkClicked(QUrl url);
    // True when the window took the drop itself; otherwise the editor's engine handles it.
    bool onEditorReceivedDropEvent(QDropEvent *event);
    void onHideSearchResults();
};
