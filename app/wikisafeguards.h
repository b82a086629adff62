#pragma once

#include <QObject>
#include <QSet>
#include <QString>

class Editor;
class ImageFile;
class QLabel;
class QStatusBar;
class QWidget;
class WikiDocument;

// What keeps the open wiki from being lost or filled up by surprise, on the window's side: the
// answer to a file changed outside the program, the note about a vanished file, the wiki's size
// in the status bar with its warning, the questions and checks before a picture or a paste goes
// into a page, and the Restore From Backup and Wiki Size commands.
//
// Whatever would replace the open wiki is asked of the window through reopenRequested(), queued
// when it follows a save, so that no caller up the stack is left holding the items of a wiki that
// is gone.
class WikiSafeguards final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WikiSafeguards)

public:
    WikiSafeguards(QWidget *window, Editor *editor, QStatusBar *statusBar);

    // The wiki just opened, or null: applies the version setting and shows its size.
    void setWiki(WikiDocument *wiki);
    // After each save: settles a file changed outside, tells once of one that had vanished,
    // shows the size and warns once when the wiki is nearly full. Returns whether what was in
    // memory is now safe on disk.
    bool afterSave(bool saved);

    // Asks about a large picture, checks that it fits and inserts it at the caret.
    void insertPicture(const ImageFile &picture);
    // Before a paste into the editor: true when it was taken care of here (refused because it
    // would not fit, or a picture from the clipboard inserted).
    bool interceptPaste();

    void showVersions();
    void showSizes();

signals:
    void reopenRequested(const QString &path, bool checkPassword);
    void pageRequested(const QString &pageId);

private:
    void resolveOutsideChange();
    void reopenLater(const QString &path, bool checkPassword);
    void showSize();
    bool fits(qint64 insertedCharacters, bool latin1);

    QWidget *m_window;
    Editor *m_editor;
    QLabel *m_sizeLabel;
    WikiDocument *m_wiki = nullptr;
    bool m_resolving = false;
    bool m_lastSaveFailed = false;
    QSet<QString> m_vanishReported;
    QSet<QString> m_sizeWarned;
};
