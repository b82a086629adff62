#include "editor/findbar.h"

#include "editor/editor.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QUndoStack>
#include <QWebFrame>

namespace {

// Counting stops here; the bar then says "1000+".
const int maxCounted = 1000;
// A bound for Replace All, far above any page a person writes.
const int maxReplaced = 100000;

QAction *makeAction(QWidget *owner, const char *name, const QString &text, const QKeySequence &key)
{
    auto *action = new QAction(text, owner);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    return action;
}

} // namespace

FindBar::FindBar(Editor *editor, QWidget *parent)
    : QWidget(parent)
    , m_editor(editor)
    , m_findField(new QLineEdit(this))
    , m_replaceField(new QLineEdit(this))
    , m_matchCase(new QCheckBox(tr("Match case"), this))
    , m_count(new QLabel(this))
    , m_replaceButton(new QPushButton(tr("Replace"), this))
    , m_replaceAllButton(new QPushButton(tr("Replace All"), this))
    , m_replaceLabel(new QLabel(tr("Replace with:"), this))
    , m_findAction(makeAction(this, "findAction", tr("Find…"), QKeySequence(Qt::CTRL + Qt::Key_F)))
    , m_replaceAction(
          makeAction(this, "replaceAction", tr("Replace…"), QKeySequence(Qt::CTRL + Qt::Key_H)))
    , m_nextAction(makeAction(this, "findNextAction", tr("Find Next"), QKeySequence(Qt::Key_F3)))
    , m_previousAction(makeAction(
          this, "findPreviousAction", tr("Find Previous"), QKeySequence(Qt::SHIFT + Qt::Key_F3)))
    , m_refreshTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("FindBar"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(
        QStringLiteral("#FindBar { background: #f3f3f3; border-bottom: 1px solid #d0d0d0; }"
                       "#FindBar QLabel#findCount { color: #555555; }"));
    m_findField->setObjectName(QStringLiteral("findField"));
    m_findField->setPlaceholderText(tr("Find in page"));
    m_findField->setClearButtonEnabled(true);
    m_replaceField->setObjectName(QStringLiteral("replaceField"));
    m_matchCase->setObjectName(QStringLiteral("matchCase"));
    m_count->setObjectName(QStringLiteral("findCount"));
    m_count->setMinimumWidth(
        m_count->fontMetrics().horizontalAdvance(QStringLiteral("999 of 1000+")));
    m_replaceButton->setObjectName(QStringLiteral("replaceButton"));
    m_replaceAllButton->setObjectName(QStringLiteral("replaceAllButton"));
    auto *previous = new QPushButton(tr("Previous"), this);
    auto *next = new QPushButton(tr("Next"), this);
    auto *closeButton = new QPushButton(tr("Close"), this);
    for (QPushButton *button : {previous, next, closeButton, m_replaceButton, m_replaceAllButton}) {
        button->setFocusPolicy(Qt::TabFocus);
        button->setAutoDefault(false);
    }

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setVerticalSpacing(4);
    layout->addWidget(new QLabel(tr("Find:"), this), 0, 0);
    layout->addWidget(m_findField, 0, 1);
    layout->addWidget(previous, 0, 2);
    layout->addWidget(next, 0, 3);
    layout->addWidget(m_matchCase, 0, 4);
    layout->addWidget(m_count, 0, 5);
    layout->addWidget(closeButton, 0, 6);
    layout->addWidget(m_replaceLabel, 1, 0);
    layout->addWidget(m_replaceField, 1, 1);
    layout->addWidget(m_replaceButton, 1, 2);
    layout->addWidget(m_replaceAllButton, 1, 3);
    layout->setColumnStretch(1, 1);

    // The keys work in the page and in the bar.
    for (QAction *action : {m_findAction, m_replaceAction, m_nextAction, m_previousAction}) {
        addAction(action);
        editor->addAction(action);
    }
    m_findField->installEventFilter(this);
    m_replaceField->installEventFilter(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(300);

    connect(m_findAction, &QAction::triggered, this, [this] { open(false); });
    connect(m_replaceAction, &QAction::triggered, this, [this] { open(true); });
    connect(m_nextAction, &QAction::triggered, this, &FindBar::findNext);
    connect(m_previousAction, &QAction::triggered, this, &FindBar::findPrevious);
    connect(next, &QPushButton::clicked, this, &FindBar::findNext);
    connect(previous, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(closeButton, &QPushButton::clicked, this, &FindBar::close);
    connect(m_replaceButton, &QPushButton::clicked, this, &FindBar::replace);
    connect(m_replaceAllButton, &QPushButton::clicked, this, &FindBar::replaceAll);
    connect(m_findField, &QLineEdit::textEdited, this, [this] { step(FromSelectionStart); });
    connect(m_matchCase, &QCheckBox::toggled, this, [this] { step(FromSelectionStart); });
    connect(editor, &Editor::selectionChanged, this, [this] {
        if (!m_busy)
            m_matchSelected = false;
    });
    // A new page, or an edit, changes what there is to find.
    connect(editor, &Editor::loadFinished, this, [this] {
        m_matchSelected = false;
        if (isVisible())
            refresh();
    });
    connect(editor, &Editor::contentsChanged, this, [this] {
        if (isVisible() && !m_busy)
            m_refreshTimer->start();
    });
    connect(m_refreshTimer, &QTimer::timeout, this, [this] {
        if (isVisible())
            refresh();
    });
    hide();
}

void FindBar::addActionsTo(QMenu *menu) const
{
    menu->addActions({m_findAction, m_replaceAction, m_nextAction, m_previousAction});
}

QWebPage::FindFlags FindBar::flags() const
{
    return m_matchCase->isChecked() ? QWebPage::FindCaseSensitively : QWebPage::FindFlags();
}

bool FindBar::canReplace() const
{
    return m_editor->currentPage() && m_editor->page()->isContentEditable();
}

QVariant FindBar::script(const QString &code)
{
    return m_editor->page()->mainFrame()->evaluateJavaScript(code);
}

void FindBar::open(bool withReplace)
{
    const QString selected = m_editor->selectedText();
    if (!selected.isEmpty() && selected.size() <= 100 && !selected.contains(QLatin1Char('\n'))
        && !selected.contains(QChar::ParagraphSeparator))
        m_findField->setText(selected);
    const bool replacing = withReplace && canReplace();
    for (QWidget *widget :
        {static_cast<QWidget *>(m_replaceLabel), static_cast<QWidget *>(m_replaceField),
            static_cast<QWidget *>(m_replaceButton), static_cast<QWidget *>(m_replaceAllButton)})
        widget->setVisible(replacing);
    show();
    QLineEdit *field = replacing && !m_findField->text().isEmpty() ? m_replaceField : m_findField;
    field->setFocus(Qt::ShortcutFocusReason);
    field->selectAll();
    refresh();
}

void FindBar::close()
{
    m_refreshTimer->stop();
    m_editor->page()->findText(QString(), QWebPage::HighlightAllOccurrences);
    hide();
    m_editor->setFocus(Qt::OtherFocusReason);
}

void FindBar::step(Direction direction)
{
    if (!isVisible())
        open(false);
    const QString text = m_findField->text();
    if (text.isEmpty()) {
        refresh();
        return;
    }
    m_busy = true;
    QWebPage::FindFlags options = flags() | QWebPage::FindWrapsAroundDocument;
    if (direction == Previous)
        options |= QWebPage::FindBackward;
    // As the text grows, the match found so far grows with it rather than moving on.
    if (direction == FromSelectionStart)
        script(QStringLiteral("collapseSelectionToStart()"));
    m_matchSelected = m_editor->page()->findText(text, options);
    m_busy = false;
    refresh();
}

void FindBar::refresh()
{
    const QString text = m_findField->text();
    QWebPage *page = m_editor->page();
    page->findText(QString(), QWebPage::HighlightAllOccurrences);
    m_replaceButton->setEnabled(canReplace() && !text.isEmpty());
    m_replaceAllButton->setEnabled(canReplace() && !text.isEmpty());
    if (text.isEmpty()) {
        m_count->clear();
        return;
    }
    page->findText(text, flags() | QWebPage::HighlightAllOccurrences);

    // The engine's find has no count: it steps from the top through every match, each time
    // noting whether it is the selected one, and the selection and scroll are put back.
    m_busy = true;
    const QPoint scroll = page->mainFrame()->scrollPosition();
    script(QStringLiteral("findSaveSelection()"));
    int count = 0;
    int current = 0;
    while (count < maxCounted && page->findText(text, flags())) {
        ++count;
        if (current == 0 && script(QStringLiteral("findAtSavedSelection()")).toBool())
            current = count;
    }
    const bool more = count == maxCounted;
    script(QStringLiteral("findRestoreSelection()"));
    page->mainFrame()->setScrollPosition(scroll);
    m_busy = false;

    const QString total = more ? QStringLiteral("%1+").arg(count) : QString::number(count);
    if (count == 0)
        m_count->setText(tr("No matches"));
    else if (current > 0 && m_matchSelected)
        m_count->setText(tr("%1 of %2").arg(current).arg(total));
    else
        m_count->setText(tr("%1 matches").arg(total));
}

void FindBar::replace()
{
    if (!canReplace() || m_findField->text().isEmpty())
        return;
    if (m_matchSelected && !m_editor->selectedText().isEmpty()) {
        const QString replacement = m_replaceField->text();
        m_busy = true;
        if (replacement.isEmpty())
            m_editor->execCommand(QStringLiteral("delete"), QString());
        else
            m_editor->execCommand(QStringLiteral("insertText"), replacement);
        m_busy = false;
    }
    step(Next);
}

int FindBar::replaceAll()
{
    const QString text = m_findField->text();
    if (!canReplace() || text.isEmpty())
        return 0;
    const QString replacement = m_replaceField->text();
    QWebPage *page = m_editor->page();
    // Each replacement is one of the engine's edits; gathered into one macro on the page's
    // undo stack, they are undone together. The page takes the result in one commit.
    m_busy = true;
    m_editor->disconnectSignals();
    script(QStringLiteral("window.getSelection().removeAllRanges()"));
    QUndoStack *undoStack = page->undoStack();
    if (undoStack)
        undoStack->beginMacro(tr("Replace All"));
    int replaced = 0;
    while (replaced < maxReplaced && page->findText(text, flags())) {
        if (replacement.isEmpty())
            m_editor->execCommand(QStringLiteral("delete"), QString());
        else
            m_editor->execCommand(QStringLiteral("insertText"), replacement);
        ++replaced;
    }
    if (undoStack)
        undoStack->endMacro();
    // Setting the selection anew ends the engine's typing step, so that what is typed next is
    // an edit of its own and not part of the macro.
    script(QStringLiteral("findSettleSelection()"));
    m_editor->connectSignals();
    m_busy = false;
    m_matchSelected = false;
    if (replaced > 0)
        m_editor->updatePageContent();
    refresh();
    return replaced;
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (watched == m_replaceField)
            replace();
        else if (key->modifiers() & Qt::ShiftModifier)
            findPrevious();
        else
            findNext();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
