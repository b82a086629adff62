#pragma once

#include <QMainWindow>

class Page;
class UpdateChecker;
class WikiDocument;

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
    void onExportPageAsHTML();
    void onExportPageAsText();
    void onExportWikiAsHTML();
    void onExportWikiAsText();

private:
    QString askForSaveFileName(
        const QString &caption, const QString &filter, const QString &extension);
    QString askForDirectory();
    void exportWiki(bool asHtml);

    UpdateChecker *updateChecker = nullptr;
    // The open wiki and the page it shows; null while none is open.
    WikiDocument *wiki = nullptr;
    Page *currentPage = nullptr;
};
