#pragma once

#include <QWebPage>
#include <QWidget>

class Editor;
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

    void findNext() { step(Next); }
    void findPrevious() { step(Previous); }
    void replace();
    // Replaces every match; returns how many.
    int replaceAll();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum Direction { FromSelectionStart, Next, Previous };

    QWebPage::FindFlags flags() const;
    bool canReplace() const;
    void step(Direction direction);
    // Highlights every match and counts them, leaving the page's selection and scroll as they are.
    void refresh();
    QVariant script(const QString &code);

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
    // Set while the bar itself moves the page's selection.
    bool m_busy = false;
};
