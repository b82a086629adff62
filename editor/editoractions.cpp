#include "editor/editoractions.h"

#include "editor/editor.h"
#include "model/page.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

EditorActions::EditorActions(Editor *editor, QObject *parent)
    : QObject(parent)
    , boldAction(makeAction(
          "boldAction", tr("Bold"), tr("Make text bold"), QKeySequence(Qt::CTRL + Qt::Key_B)))
    , italicAction(makeAction(
          "italicAction", tr("Italic"), tr("Make text italic"), QKeySequence(Qt::CTRL + Qt::Key_I)))
    , underlineAction(makeAction("underlineAction", tr("Underline"), tr("Underline the text"),
          QKeySequence(Qt::CTRL + Qt::Key_U)))
    , strikethroughAction(makeAction("strikethroughAction", tr("Strikethrough"),
          tr("Apply strikethrough to the text"), QKeySequence(Qt::CTRL + Qt::Key_K)))
    , smallerAction(makeAction("smallerAction", tr("Smaller"), tr("Decrease the size of the text"),
          QKeySequence(Qt::CTRL + Qt::Key_Minus)))
    , largerAction(makeAction("largerAction", tr("Larger"), tr("Increase the size of the text"),
          QKeySequence(Qt::CTRL + Qt::Key_Plus)))
    , alignmentGroup(new QActionGroup(this))
    , alignLeftAction(makeAction("alignLeftAction", tr("Left"), tr("Left-align the text"),
          QKeySequence(Qt::CTRL + Qt::Key_BraceLeft), alignmentGroup))
    , alignCenterAction(makeAction("alignCenterAction", tr("Center"), tr("Center-align the text"),
          QKeySequence(Qt::CTRL + Qt::Key_Bar), alignmentGroup))
    , alignRightAction(makeAction("alignRightAction", tr("Right"), tr("Right-align the text"),
          QKeySequence(Qt::CTRL + Qt::Key_BraceRight), alignmentGroup))
    , alignJustifyAction(makeAction("alignJustifyAction", tr("Justify"),
          tr("Justify-align the text"), QKeySequence(), alignmentGroup))
    , undoAction(makeAction("undoAction", tr("Undo"), tr("Undo last editor action"),
          QKeySequence(Qt::CTRL + Qt::Key_Z)))
    , redoAction(makeAction("redoAction", tr("Redo"), tr("Redo last editor action"),
          QKeySequence(Qt::CTRL + Qt::Key_Y)))
    , cutAction(makeAction(
          "cutAction", tr("Cut"), tr("Cut text segment"), QKeySequence(Qt::CTRL + Qt::Key_X)))
    , copyAction(makeAction("copyAction", tr("Copy"), tr("Copy text segment to clipboard"),
          QKeySequence(Qt::CTRL + Qt::Key_C)))
    , pasteAction(makeAction("pasteAction", tr("Paste"), tr("Paste data from clipboard"),
          QKeySequence(Qt::CTRL + Qt::Key_V)))
    , selectAllAction(makeAction("selectAllAction", tr("Select All"),
          tr("Select all editor contents"), QKeySequence(Qt::CTRL + Qt::Key_A)))
    , createLinkAction(makeAction("createLinkAction", tr("Create Link"),
          tr("Create a link to another page in this wiki"), QKeySequence(Qt::CTRL + Qt::Key_L)))
    , insertImageAction(makeAction("insertImageAction", tr("Insert Image"),
          tr("Insert an image into this page"), QKeySequence()))
    , m_editor(editor)
{
    for (QAction *action : {boldAction, italicAction, underlineAction, strikethroughAction})
        action->setCheckable(true);
    alignmentGroup->setExclusive(true);

    connect(boldAction, &QAction::triggered, this, &EditorActions::onMakeTextBold);
    connect(italicAction, &QAction::triggered, this, &EditorActions::onMakeTextItalic);
    connect(underlineAction, &QAction::triggered, this, &EditorActions::onMakeTextUnderlined);
    connect(
        strikethroughAction, &QAction::triggered, this, &EditorActions::onMakeTextStrikethrough);
    connect(smallerAction, &QAction::triggered, this, &EditorActions::onMakeTextSmaller);
    connect(largerAction, &QAction::triggered, this, &EditorActions::onMakeTextLarger);
    connect(alignmentGroup, &QActionGroup::triggered, this, &EditorActions::onTextAlign);
    connect(undoAction, &QAction::triggered, editor, &Editor::undo);
    connect(redoAction, &QAction::triggered, editor, &Editor::redo);
    connect(cutAction, &QAction::triggered, editor, &Editor::cut);
    connect(copyAction, &QAction::triggered, editor, &Editor::copy);
    connect(pasteAction, &QAction::triggered, editor, &Editor::paste);
    connect(selectAllAction, &QAction::triggered, editor, &Editor::selectAll);
    // A shortcut works only while its action is enabled: the undo, redo and clipboard actions
    // follow the editor as it changes, not only when the menu opens.
    connect(editor->page(), &QWebPage::selectionChanged, this,
        &EditorActions::updateEditCommandActions);
    connect(editor->page(), &QWebPage::contentsChanged, this,
        &EditorActions::updateEditCommandActions);
}

QAction *EditorActions::makeAction(const char *name, const QString &text, const QString &statusTip,
    const QKeySequence &shortcut, QObject *parent)
{
    auto *action = new QAction(text, parent ? parent : this);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(statusTip);
    action->setShortcut(shortcut);
    action->setEnabled(false);
    return action;
}

void EditorActions::addFormatActions(QMenu *menu) const
{
    menu->addActions({boldAction, italicAction, underlineAction});
    menu->addSeparator();
    menu->addAction(strikethroughAction);
    menu->addSeparator();
    menu->addActions({smallerAction, largerAction});
    menu->addSeparator();
    menu->addActions(alignmentGroup->actions());
}

void EditorActions::addEditActions(QMenu *menu) const
{
    menu->addActions({undoAction, redoAction});
    menu->addSeparator();
    menu->addActions({cutAction, copyAction, pasteAction});
    menu->addSeparator();
    menu->addAction(selectAllAction);
    menu->addSeparator();
    menu->addAction(insertImageAction);
    menu->addSeparator();
    menu->addAction(createLinkAction);
}

void EditorActions::setEditingEnabled(bool enabled)
{
    for (QAction *action : {boldAction, italicAction, underlineAction, strikethroughAction,
             largerAction, smallerAction, createLinkAction, insertImageAction, alignLeftAction,
             alignCenterAction, alignRightAction, alignJustifyAction})
        action->setEnabled(enabled);
}

void EditorActions::updateLinkAction()
{
    Page *page = m_editor->currentPage();
    if (!page)
        return;
    createLinkAction->setEnabled(page->isUnlocked());
    if (!m_editor->currentLinkUrl().isEmpty()) {
        createLinkAction->setText(tr("Remove link"));
        createLinkAction->setStatusTip(tr("Remove the current link"));
    } else {
        createLinkAction->setText(tr("Create Link"));
        createLinkAction->setStatusTip(tr("Create a link to another page in this wiki"));
    }
}

void EditorActions::updateFormatActions()
{
    Page *page = m_editor->currentPage();
    if (!page)
        return;
    const bool unlocked = page->isUnlocked();
    for (QAction *action : {boldAction, italicAction, underlineAction, strikethroughAction,
             largerAction, smallerAction, alignLeftAction, alignRightAction, alignCenterAction,
             alignJustifyAction})
        action->setEnabled(unlocked);
    boldAction->setChecked(m_editor->isBold());
    italicAction->setChecked(m_editor->isItalic());
    underlineAction->setChecked(m_editor->isUnderlined());
    strikethroughAction->setChecked(m_editor->isStrikethrough());
}

void EditorActions::updateEditActions()
{
    updateEditCommandActions();
    updateLinkAction();
}

void EditorActions::updateEditCommandActions()
{
    undoAction->setEnabled(m_editor->canUndo());
    redoAction->setEnabled(m_editor->canRedo());
    cutAction->setEnabled(m_editor->canCut());
    copyAction->setEnabled(m_editor->canCopy());
    pasteAction->setEnabled(m_editor->canPaste());
    selectAllAction->setEnabled(m_editor->canSelectAll());
}

void EditorActions::onMakeTextBold()
{
    m_editor->toggleBold();
}

void EditorActions::onMakeTextUnderlined()
{
    m_editor->toggleUnderline();
}

void EditorActions::onMakeTextItalic()
{
    m_editor->toggleItalic();
}

void EditorActions::onMakeTextStrikethrough()
{
    m_editor->toggleStrikethrough();
}

void EditorActions::onTextAlign(QAction *action)
{
    if (action == alignLeftAction)
        m_editor->alignLeft();
    else if (action == alignRightAction)
        m_editor->alignRight();
    else if (action == alignCenterAction)
        m_editor->alignCenter();
    else if (action == alignJustifyAction)
        m_editor->alignJustify();
}

void EditorActions::onMakeTextSmaller()
{
    m_editor->changeFontSize(-4);
}

void EditorActions::onMakeTextLarger()
{
    m_editor->changeFontSize(4);
}
