#pragma once

#include <QObject>

class Editor;
class QAction;
class QActionGroup;
class QKeySequence;
class QMenu;

// The editor's formatting, edit, link and picture actions, with their shortcuts and the rules
// that enable them. The window's menus, the toolbar's format menu and the editor's context menu
// all show these same objects. The link and picture commands need the wiki and a file dialog:
// the window connects their triggered() signals; every other action acts on the editor here.
class EditorActions final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditorActions)

public:
    EditorActions(Editor *editor, QObject *parent);

    Editor *editor() const { return m_editor; }

    QAction *const boldAction;
    QAction *const italicAction;
    QAction *const underlineAction;
    QAction *const strikethroughAction;
    QAction *const smallerAction;
    QAction *const largerAction;
    // Exclusive, though its actions are not checkable.
    QActionGroup *const alignmentGroup;
    QAction *const alignLeftAction;
    QAction *const alignCenterAction;
    QAction *const alignRightAction;
    QAction *const alignJustifyAction;
    QAction *const undoAction;
    QAction *const redoAction;
    QAction *const cutAction;
    QAction *const copyAction;
    QAction *const pasteAction;
    QAction *const selectAllAction;
    QAction *const createLinkAction;
    QAction *const insertImageAction;
    QAction *const pastePlainTextAction;
    // Block formats, checkable: checked for the format the caret stands in.
    QAction *const heading1Action;
    QAction *const heading2Action;
    QAction *const heading3Action;
    QAction *const normalTextAction;
    QAction *const bulletListAction;
    QAction *const numberedListAction;
    QAction *const checklistAction;
    QAction *const codeBlockAction;
    QAction *const inlineCodeAction;
    QAction *const quoteAction;
    QAction *const horizontalRuleAction;
    QAction *const insertTableAction;
    // Offered by the context menu inside a table.
    QAction *const insertRowAboveAction;
    QAction *const insertRowBelowAction;
    QAction *const insertColumnLeftAction;
    QAction *const insertColumnRightAction;
    QAction *const deleteRowAction;
    QAction *const deleteColumnAction;
    QAction *const deleteTableAction;

    // Bold to Justify, then the block formats and Insert Table, with their separators.
    void addFormatActions(QMenu *menu) const;
    // Inserting and deleting rows and columns, deleting the table.
    void addTableActions(QMenu *menu) const;
    // The Edit menu: Undo to Select All, Insert Image and Create Link, with separators.
    void addEditActions(QMenu *menu) const;

    // The formatting, link and picture actions are enabled exactly when the shown page can be
    // edited; the window decides that.
    void setEditingEnabled(bool enabled);
    // The link action's state and text ("Remove link" inside a link), the formatting actions'
    // states and checks, the edit actions from the engine: whenever the page reports a new
    // formatting state, and before a menu with them opens. Each does nothing while the editor
    // shows no page.
    void updateLinkAction();
    void updateFormatActions();
    void updateEditActions();
    // Undo to Select All from the engine; also whenever the page's text or selection changes.
    void updateEditCommandActions();

public slots:
    void onMakeTextBold();
    void onMakeTextUnderlined();
    void onMakeTextItalic();
    void onMakeTextStrikethrough();
    void onTextAlign(QAction *action);
    void onMakeTextSmaller();
    void onMakeTextLarger();
    // Asks for the rows and columns of a new table and inserts it at the caret.
    void onInsertTable();

private:
    QAction *makeAction(const char *name, const QString &text, const QString &statusTip,
        const QKeySequence &shortcut, QObject *parent = nullptr);

    QList<QAction *> blockFormatActions() const;

    Editor *const m_editor;
};
