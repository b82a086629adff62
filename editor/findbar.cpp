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
#include <QPointer>
#include <QTimer>

namespace {

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
    , m_findAction(makeAction(this, "findAction", tr("Find…"), QKeySequence(Qt::CTRL | Qt::Key_F)))
    , m_replaceAction(
          makeAction(this, "replaceAction", tr("Replace…"), QKeySequence(Qt::CTRL | Qt::Key_H)))
    , m_nextAction(makeAction(this, "findNextAction", tr("Find Next"), QKeySequence(Qt::Key_F3)))
    , m_previousAction(makeAction(
          this, "findPreviousAction", tr("Find Previous"), QKeySequence(Qt::SHIFT | Qt::Key_F3)))
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
    connect(m_findField, &QLineEdit::textEdited, this,
        [this] { step(Editor::FindStep::FromSelectionStart); });
    connect(m_matchCase, &QCheckBox::toggled, this,
        [this] { step(Editor::FindStep::FromSelectionStart); });
    connect(editor, &Editor::selectionChanged, this, [this] {
        if (m_pending == 0)
            m_matchSelected = false;
    });
    // A new page, or an edit, changes what there is to find.
    connect(editor, &Editor::loadFinished, this, [this] {
        m_matchSelected = false;
        if (isVisible())
            refresh();
    });
    connect(editor, &Editor::contentsChanged, this, [this] {
        if (isVisible() && m_pending == 0)
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

bool FindBar::canReplace() const
{
    return m_editor->isEditable();
}

void FindBar::updateReplaceButtons()
{
    const bool enabled = canReplace() && !m_findField->text().isEmpty();
    m_replaceButton->setEnabled(enabled);
    m_replaceAllButton->setEnabled(enabled);
}

int FindBar::request()
{
    ++m_pending;
    return ++m_sequence;
}

bool FindBar::answered(int sequence)
{
    --m_pending;
    return sequence == m_sequence;
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
    // Answers still on their way belong to a bar that is gone.
    ++m_sequence;
    m_editor->clearFindHighlight();
    hide();
    m_editor->setFocus(Qt::OtherFocusReason);
}

void FindBar::step(Editor::FindStep step)
{
    if (!isVisible())
        open(false);
    const QString text = m_findField->text();
    if (text.isEmpty()) {
        refresh();
        return;
    }
    updateReplaceButtons();
    const int sequence = request();
    QPointer<FindBar> bar(this);
    m_editor->findText(text, m_matchCase->isChecked(), step,
        [bar, sequence](bool found, int count, int current) {
            if (!bar)
                return;
            const bool latest = bar->answered(sequence);
            // Answers come in the order asked: each step's says what the selection is now.
            bar->m_matchSelected = found;
            if (latest)
                bar->showCount(count, current);
        });
}

void FindBar::refresh()
{
    const QString text = m_findField->text();
    updateReplaceButtons();
    if (text.isEmpty()) {
        // Also makes the answers for the text before it out of date.
        ++m_sequence;
        m_editor->clearFindHighlight();
        m_count->clear();
        return;
    }
    const int sequence = request();
    QPointer<FindBar> bar(this);
    m_editor->highlightMatches(
        text, m_matchCase->isChecked(), [bar, sequence](int count, int current) {
            if (bar && bar->answered(sequence))
                bar->showCount(count, current);
        });
}

void FindBar::showCount(int count, int current)
{
    const QString total = count >= Editor::maxFindCount ? QStringLiteral("%1+").arg(count)
                                                        : QString::number(count);
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
    // The page itself says whether its selection is a match: the engine tells this side of
    // selection changes late, after the find's own answer. Without one this finds the next.
    const int sequence = request();
    QPointer<FindBar> bar(this);
    m_editor->replaceMatch(m_findField->text(), m_matchCase->isChecked(), m_replaceField->text(),
        [bar, sequence](bool) {
            if (!bar)
                return;
            bar->answered(sequence);
            bar->m_matchSelected = false;
            bar->step(Editor::FindStep::Next);
        });
}

void FindBar::replaceAll()
{
    const QString text = m_findField->text();
    if (!canReplace() || text.isEmpty())
        return;
    const int sequence = request();
    QPointer<FindBar> bar(this);
    m_editor->replaceAll(
        text, m_replaceField->text(), m_matchCase->isChecked(), [bar, sequence](int) {
            if (!bar)
                return;
            bar->m_matchSelected = false;
            if (bar->answered(sequence) && bar->isVisible())
                bar->refresh();
        });
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
