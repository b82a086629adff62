#pragma once

#include "editor/editor.h"

#include <QWidget>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

// The bar over the page that finds text in it and replaces it. Matches are found, selected and
// highlighted by the web engine's own find, so they are the same the wiki search counts; the
// page's markup is never touched for it. Replace All is one step for Undo.
//
// The engine answers later: the bar keeps its count and its notion of the selected match right
// when answers arrive after the user has moved on, and shows only the answer to its latest
// request.
//
// Its actions (Find, Replace, Find Next, Find Previous) answer their keys while the page or the
// bar has focus; the window also shows them in its Edit menu.
class FindBar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FindBar)

public:
    FindBar(Editor *editor, QWidget *parent);

    void addActionsTo(QMenu *menu) const;

    // Shows the bar with the replace row or without, the find field focused and filled with
    // the page's selection when that is a short piece of one line.
    void open(bool withReplace);
    // Hides the bar, takes the highlights away and gives the page the focus.
    void close();

    void findNext() { step(Editor::FindStep::Next); }
    void findPrevious() { step(Editor::FindStep::Previous); }
    void replace();
    void replaceAll();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool canReplace() const;
    void updateReplaceButtons();
    void step(Editor::FindStep step);
    // Highlights every match and counts them, leaving the page's selection and scroll as they are.
    void refresh();
    // Starts a request to the engine: answers to earlier ones are then out of date.
    int request();
    // Takes the answer to the request numbered sequence; false when a later one was made since.
    bool answered(int sequence);
    void showCount(int count, int current);

    Editor *m_editor;
    QLineEdit *m_findField;
    QLineEdit *m_replaceField;
    QCheckBox *m_matchCase;
    QLabel *m_count;
    QPushButton *m_replaceButton;
    QPushButton *m_replaceAllButton;
    QLabel *m_replaceLabel;
    QAction *m_findAction;
    QAction *m_replaceAction;
    QAction *m_nextAction;
    QAction *m_previousAction;
    QTimer *m_refreshTimer;
    // The page's selection is the match the last step found: Replace replaces it.
    bool m_matchSelected = false;
    // Requests whose answer has not arrived: the selection moves and the edits meanwhile are
    // the bar's own.
    int m_pending = 0;
    // The number of the latest request; only its answer is shown.
    int m_sequence = 0;
};
