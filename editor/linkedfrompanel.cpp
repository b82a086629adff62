#include "editor/linkedfrompanel.h"

#include "model/page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QUrl>

LinkedFromPanel::LinkedFromPanel(QWidget *parent)
    : QWidget(parent)
    , m_label(new QLabel(this))
    , m_scroll(new QScrollArea(this))
{
    setObjectName(QStringLiteral("LinkedFromPanel"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral(
        "#LinkedFromPanel { background: #f7f7f7; border-top: 1px solid #d8d8d8; }"
        "#LinkedFromPanel QScrollArea, #LinkedFromPanel #linkedFromLabel { background: "
        "transparent; border: none; color: #555555; }"));
    m_label->setObjectName(QStringLiteral("linkedFromLabel"));
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::RichText);
    m_label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    QScrollArea *scroll = m_scroll;
    scroll->setWidget(m_label);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->viewport()->setAutoFillBackground(false);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 4, 10, 4);
    layout->addWidget(scroll);

    connect(m_label, &QLabel::linkActivated, this, [this](const QString &link) {
        const int index = QUrl(link).fragment().toInt();
        if (index >= 0 && index < m_pageIds.size())
            emit pageActivated(m_pageIds.at(index));
    });
}

void LinkedFromPanel::showPages(const QList<Page *> &pages)
{
    m_pageIds.clear();
    if (pages.isEmpty()) {
        m_label->setText(tr("No other page links here."));
        fitHeight();
        return;
    }
    // Names are the user's text, never markup.
    QStringList links;
    for (const Page *page : pages) {
        links << QStringLiteral("<a href=\"#%1\">%2</a>")
                     .arg(m_pageIds.size())
                     .arg(page->name().toHtmlEscaped());
        m_pageIds << page->id();
    }
    m_label->setText(tr("Linked from: %1").arg(links.join(QStringLiteral(" &middot; "))));
    fitHeight();
}

void LinkedFromPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitHeight();
}

void LinkedFromPanel::fitHeight()
{
    const int width = m_scroll->viewport()->width();
    const int needed = width > 0 ? m_label->heightForWidth(width) : -1;
    const int line = m_label->fontMetrics().lineSpacing();
    m_scroll->setFixedHeight(qBound(line + 4, needed < 0 ? line : needed, 4 * line + 4));
}
