#pragma once

#include <QMainWindow>

class UpdateChecker;

// The program's one top-level window.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(QWidget *parent = nullptr);

    // Sets the application style sheet and, once per process, registers the shipped fonts.
    static void installApplicationLook();

    // Asks the web site for a newer release and returns at once; see UpdateChecker::check().
    void checkForUpdates(bool verbose);

public slots:
    void onAboutVelmora();

private:
    UpdateChecker *updateChecker = nullptr;
};
