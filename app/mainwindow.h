#pragma once

#include <QMainWindow>
#include <QUrl>

class QDropEvent;

class Folder;
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
    void onAboutVelmora();
    void onExportPageAsHTML();
    void onExportPageAsText();
    void onExportWikiAsHTML();
    void onExportWikiAsText();
    // The sidebar's reports of the row the user made current.
    void slotOnPageSelectionChanged(Page *previousPage, Page *newPage);
    void slotOnFolderSelected(Folder *folder);

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
