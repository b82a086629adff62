#include "search/searchtextedit.h"

#include "widgets/widgetutils.h"

#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>

SearchTextEdit::SearchTextEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_runButton(new QPushButton(this))
{
    m_runButton->setIcon(
        QIcon(Gui::imageResourcePath(QStringLiteral("search"), QStringLiteral("png"), true)));
    m_runButton->setText(QString());
    m_runButton->setToolTip(tr("Click to start a search"));
    m_runButton->setObjectName(QStringLiteral("SearchTextEditRunBtn"));
    m_runButton->setStyleSheet(
        QStringLiteral("#SearchTextEditRunBtn { background: none; border: none; }"));
    // The box's text cursor would otherwise show over the button.
    m_runButton->setCursor(Qt::ArrowCursor);

    setObjectName(QStringLiteral("SearchTextEdit"));
    setStyleSheet(QStringLiteral(
        "#SearchTextEdit { background: #FFFFFF; border: 1px solid #9ba7b0; border-radius: 20px; "
        "margin: 10px, 10px, 10px, 10px; color: #3f4256; } "
        "#SearchTextEdit:focus { border: 2px solid #2783ca; }"));
    setFont(QFont(QStringLiteral("Montserrat"), 13, QFont::Normal, false));
    setTextMargins(m_runButton->sizeHint().width(), 0, 0, 0);
    setPlaceholderText(tr("Search"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Room for a few words: a narrower window takes the width from the sidebar instead.
    setMinimumWidth(180);
    setAttribute(Qt::WA_MacShowFocusRect, false);

    connect(m_runButton, &QPushButton::clicked, this, &SearchTextEdit::runSearch);
}

void SearchTextEdit::resizeEvent(QResizeEvent *event)
{
    const int h = event->size().height();
    const int s = qMin(h, 36);
    m_runButton->setGeometry(0, int((h - s) * 0.5), s, s);
    setTextMargins(m_runButton->width() + 5, 0, 0, 0);
    QLineEdit::resizeEvent(event);
}

void SearchTextEdit::keyPressEvent(QKeyEvent *event)
{
    // Only the main Return key: the keypad's Enter arrives as Qt::Key_Enter.
    if (event->key() == Qt::Key_Return) {
        event->accept();
        emit runSearch();
    }
    QLineEdit::keyPressEvent(event);
}
