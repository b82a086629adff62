#include "editor/editoractions.h"

#include "editor/editor.h"
#include "editor/inserttabledialog.h"
#include "model/page.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

EditorActions::EditorActions(Editor *editor, QObject *parent)
    : QObject(parent)
    , boldAction(makeAction(
          "boldAction", tr("Bold"), tr("Make text bold"), QKeySequence(Qt::CTRL | Qt::Key_B)))
    , italicAction(makeAction(
          "italicAction", tr("Italic"), tr("Make text italic"), QKeySequence(Qt::CTRL | Qt::Key_I)))
    , underlineAction(makeAction("underlineAction", tr("Underline"), tr("Underline the text"),
          QKeySequence(Qt::CTRL | Qt::Key_U)))
    , strikethroughAction(makeAction("strikethroughAction", tr("Strikethrough"),
          tr("Apply strikethrough to the text"), QKeySequence(Qt::CTRL | Qt::Key_K)))
    , smallerAction(makeAction("smallerAction", tr("Smaller"), tr("Decrease the size of the text"),
          QKeySequence(Qt::CTRL | Qt::Key_Minus)))
    , largerAction(makeAction("largerAction", tr("Larger"), tr("Increase the size of the text"),
          QKeySequence(Qt::CTRL | Qt::Key_Plus)))
    , alignmentGroup(new QActionGroup(this))
    , alignLeftAction(makeAction("alignLeftAction", tr("Left"), tr("Left-align the text"),
          QKeySequence(Qt::CTRL | Qt::Key_BraceLeft), alignmentGroup))
    , alignCenterAction(makeAction("alignCenterAction", tr("Center"), tr("Center-align the text"),
          QKeySequence(Qt::CTRL | Qt::Key_Bar), alignmentGroup))
    , alignRightAction(makeAction("alignRightAction", tr("Right"), tr("Right-align the text"),
          QKeySequence(Qt::CTRL | Qt::Key_BraceRight), alignmentGroup))
    , alignJustifyAction(makeAction("alignJustifyAction", tr("Justify"),
          tr("Justify-align the text"), QKeySequence(), alignmentGroup))
    , undoAction(makeAction("undoAction", tr("Undo"), tr("Undo last editor action"),
          QKeySequence(Qt::CTRL | Qt::Key_Z)))
    , redoAction(makeAction("redoAction", tr("Redo"), tr("Redo last editor action"),
          QKeySequence(Qt::CTRL | Qt::Key_Y)))
    , cutAction(makeAction(
          "cutAction", tr("Cut"), tr("Cut text segment"), QKeySequence(Qt::CTRL | Qt::Key_X)))
    , copyAction(makeAction("copyAction", tr("Copy"), tr("Copy text segment to clipboard"),
          QKeySequence(Qt::CTRL | Qt::Key_C)))
    , pasteAction(makeAction("pasteAction", tr("Paste"), tr("Paste data from clipboard"),
          QKeySequence(Qt::CTRL | Qt::Key_V)))
    , selectAllAction(makeAction("selectAllAction", tr("Select All"),
          tr("Select all editor contents"), QKeySequence(Qt::CTRL | Qt::Key_A)))
    , createLinkAction(makeAction("createLinkAction", tr("Create Link"),
          tr("Create a link to another page in this wiki"), QKeySequence(Qt::CTRL | Qt::Key_L)))
    , insertImageAction(makeAction("insertImageAction", tr("Insert Image"),
          tr("Insert an image into this page"), QKeySequence()))
    , pastePlainTextAction(makeAction("pastePlainTextAction", tr("Paste as Plain Text"),
          tr("Paste the clipboard's text without its formatting"),
          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)))
    , heading1Action(makeAction("heading1Action", tr("Heading 1"), tr("Make a main heading"),
          QKeySequence(Qt::CTRL | Qt::Key_1)))
    , heading2Action(makeAction("heading2Action", tr("Heading 2"), tr("Make a section heading"),
          QKeySequence(Qt::CTRL | Qt::Key_2)))
    , heading3Action(makeAction("heading3Action", tr("Heading 3"),
          tr("Make a subsection heading"), QKeySequence(Qt::CTRL | Qt::Key_3)))
    , normalTextAction(makeAction("normalTextAction", tr("Normal Text"),
          tr("Make the lines normal text"), QKeySequence(Qt::CTRL | Qt::Key_0)))
    , bulletListAction(makeAction("bulletListAction", tr("Bulleted List"),
          tr("Make a bulleted list"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_8)))
    , numberedListAction(makeAction("numberedListAction", tr("Numbered List"),
          tr("Make a numbered list"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_7)))
    , checklistAction(makeAction("checklistAction", tr("Checklist"),
          tr("Make a list of items to check off"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_9)))
    , codeBlockAction(makeAction("codeBlockAction", tr("Code Block"),
          tr("Make a block of code in a fixed-width font"),
          QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C)))
    , inlineCodeAction(makeAction("inlineCodeAction", tr("Inline Code"),
          tr("Mark the text as code"), QKeySequence(Qt::CTRL | Qt::Key_QuoteLeft)))
    , quoteAction(makeAction("quoteAction", tr("Quote"), tr("Make a quotation"),
          QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Q)))
    , horizontalRuleAction(makeAction("horizontalRuleAction", tr("Horizontal Rule"),
          tr("Insert a horizontal line"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_R)))
    , insertTableAction(makeAction("insertTableAction", tr("Insert Table…"),
          tr("Insert a table into this page"), QKeySequence()))
    , insertRowAboveAction(makeAction("insertRowAboveAction", tr("Insert Row Above"),
          tr("Insert a row above this one"), QKeySequence()))
    , insertRowBelowAction(makeAction("insertRowBelowAction", tr("Insert Row Below"),
          tr("Insert a row below this one"), QKeySequence()))
    , insertColumnLeftAction(makeAction("insertColumnLeftAction", tr("Insert Column Left"),
          tr("Insert a column left of this one"), QKeySequence()))
    , insertColumnRightAction(makeAction("insertColumnRightAction", tr("Insert Column Right"),
          tr("Insert a column right of this one"), QKeySequence()))
    , deleteRowAction(makeAction(
          "deleteRowAction", tr("Delete Row"), tr("Delete this row"), QKeySequence()))
    , deleteColumnAction(makeAction(
          "deleteColumnAction", tr("Delete Column"), tr("Delete this column"), QKeySequence()))
    , deleteTableAction(makeAction(
          "deleteTableAction", tr("Delete Table"), tr("Delete this table"), QKeySequence()))
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
    connect(pastePlainTextAction, &QAction::triggered, editor, &Editor::pastePlainText);

    for (QAction *action : blockFormatActions())
        action->setCheckable(true);
    const QList<QPair<QAction *, QString>> blocks = {{heading1Action, QStringLiteral("h1")},
        {heading2Action, QStringLiteral("h2")}, {heading3Action, QStringLiteral("h3")},
        {normalTextAction, QStringLiteral("p")}, {codeBlockAction, QStringLiteral("pre")},
        {quoteAction, QStringLiteral("blockquote")}};
    for (const auto &block : blocks) {
        connect(block.first, &QAction::triggered, editor,
            [editor, tag = block.second] { editor->toggleBlockFormat(tag); });
    }
    const QList<QPair<QAction *, QString>> lists = {{bulletListAction, QStringLiteral("ul")},
        {numberedListAction, QStringLiteral("ol")},
        {checklistAction, QStringLiteral("checklist")}};
    for (const auto &list : lists) {
        connect(list.first, &QAction::triggered, editor,
            [editor, kind = list.second] { editor->toggleList(kind); });
    }
    connect(inlineCodeAction, &QAction::triggered, editor, &Editor::toggleInlineCode);
    connect(horizontalRuleAction, &QAction::triggered, editor, &Editor::insertHorizontalRule);
    connect(insertTableAction, &QAction::triggered, this, &EditorActions::onInsertTable);
    const QList<QPair<QAction *, QString>> tableCommands
        = {{insertRowAboveAction, QStringLiteral("insertRowAbove")},
            {insertRowBelowAction, QStringLiteral("insertRowBelow")},
            {insertColumnLeftAction, QStringLiteral("insertColumnLeft")},
            {insertColumnRightAction, QStringLiteral("insertColumnRight")},
            {deleteRowAction, QStringLiteral("deleteRow")},
            {deleteColumnAction, QStringLiteral("deleteColumn")},
            {deleteTableAction, QStringLiteral("deleteTable")}};
    for (const auto &command : tableCommands) {
        connect(command.first, &QAction::triggered, editor,
            [editor, name = command.second] { editor->tableCommand(name); });
    }
    // A shortcut works only while its action is enabled: the undo, redo and clipboard actions
    // follow the editor as it changes, not only when the menu opens.
    connect(editor, &Editor::selectionChanged, this,
        &EditorActions::updateEditCommandActions);
    connect(editor, &Editor::contentsChanged, this,
        &EditorActions::updateEditCommandActions);
    connect(editor, &Editor::editCommandsChanged, this,
        &EditorActions::updateEditCommandActions);
    // Something copied in another program makes Paste work at once.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
        &EditorActions::updateEditCommandActions);
    // The checks follow the caret: the page reports what it stands in as it moves.
    connect(editor, &Editor::formatStateChanged, this, [this] {
        updateFormatActions();
        updateLinkAction();
    });
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
    menu->addSeparator();
    menu->addActions({heading1Action, heading2Action, heading3Action, normalTextAction});
    menu->addSeparator();
    menu->addActions({bulletListAction, numberedListAction, checklistAction});
    menu->addSeparator();
    menu->addActions({codeBlockAction, inlineCodeAction, quoteAction});
    menu->addSeparator();
    menu->addActions({horizontalRuleAction, insertTableAction});
}

void EditorActions::addTableActions(QMenu *menu) const
{
    menu->addActions({insertRowAboveAction, insertRowBelowAction, insertColumnLeftAction,
        insertColumnRightAction});
    menu->addSeparator();
    menu->addActions({deleteRowAction, deleteColumnAction, deleteTableAction});
}

QList<QAction *> EditorActions::blockFormatActions() const
{
    return {heading1Action, heading2Action, heading3Action, normalTextAction, bulletListAction,
        numberedListAction, checklistAction, codeBlockAction, inlineCodeAction, quoteAction};
}

void EditorActions::addEditActions(QMenu *menu) const
{
    menu->addActions({undoAction, redoAction});
    menu->addSeparator();
    menu->addActions({cutAction, copyAction, pasteAction, pastePlainTextAction});
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
             alignCenterAction, alignRightAction, alignJustifyAction, pastePlainTextAction,
             horizontalRuleAction, insertTableAction, insertRowAboveAction, insertRowBelowAction,
             insertColumnLeftAction, insertColumnRightAction, deleteRowAction,
             deleteColumnAction, deleteTableAction})
        action->setEnabled(enabled);
    for (QAction *action : blockFormatActions())
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
    for (QAction *action : blockFormatActions())
        action->setEnabled(unlocked);
    for (QAction *action : {horizontalRuleAction, insertTableAction})
        action->setEnabled(unlocked);
    const QVariantMap state = m_editor->blockFormatState();
    const QString block = state.value(QStringLiteral("block")).toString();
    const QString list = state.value(QStringLiteral("list")).toString();
    heading1Action->setChecked(block == QLatin1String("h1"));
    heading2Action->setChecked(block == QLatin1String("h2"));
    heading3Action->setChecked(block == QLatin1String("h3"));
    codeBlockAction->setChecked(block == QLatin1String("pre"));
    quoteAction->setChecked(block == QLatin1String("blockquote"));
    normalTextAction->setChecked(block.isEmpty() && list.isEmpty());
    bulletListAction->setChecked(list == QLatin1String("ul"));
    numberedListAction->setChecked(list == QLatin1String("ol"));
    checklistAction->setChecked(list == QLatin1String("checklist"));
    inlineCodeAction->setChecked(state.value(QStringLiteral("code")).toBool());
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

void EditorActions::onInsertTable()
{
    InsertTableDialog dialog(m_editor);
    if (dialog.exec() == QDialog::Accepted)
        m_editor->insertTable(dialog.rows(), dialog.columns());
}
