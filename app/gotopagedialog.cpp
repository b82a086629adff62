#include "app/gotopagedialog.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

GoToPageDialog::GoToPageDialog(const QList<QPair<QString, QString>> &pages, QWidget *parent)
    : QDialog(parent)
    , m_pages(pages)
{
    setObjectName(QStringLiteral("GoToPageDialog"));
    setStyleSheet(QStringLiteral("#GoToPageDialog { background-color: #ffffff; }"
                                 "#GoToPageDialog QListWidget:focus, "
                                 "#GoToPageDialog QLineEdit:focus { border: 2px solid #03a2f3; }"));
    setWindowTitle(tr("Go to Page"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *label = new QLabel(tr("&Page name:"), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("goToPageEdit"));
    m_edit->setPlaceholderText(tr("Type part of a page name"));
    label->setBuddy(m_edit);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("goToPageList"));
    m_list->setUniformItemSizes(true);
    m_list->setMinimumSize(320, 240);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addWidget(m_list);

    m_edit->installEventFilter(this);
    connect(m_edit, &QLineEdit::textChanged, this, &GoToPageDialog::filter);
    connect(m_edit, &QLineEdit::returnPressed, this, &GoToPageDialog::choose);
    connect(m_list, &QListWidget::itemActivated, this, &GoToPageDialog::choose);
    filter(QString());
}

void GoToPageDialog::filter(const QString &text)
{
    const QString wanted = text.trimmed();
    QList<QPair<QString, QString>> starting;
    QList<QPair<QString, QString>> containing;
    for (const auto &page : m_pages) {
        if (page.second.startsWith(wanted, Qt::CaseInsensitive))
            starting << page;
        else if (page.second.contains(wanted, Qt::CaseInsensitive))
            containing << page;
    }
    m_list->clear();
    for (const auto &page : starting + containing) {
        auto *item = new QListWidgetItem(page.second, m_list);
        item->setData(Qt::UserRole, page.first);
    }
    m_list->setCurrentRow(m_list->count() > 0 ? 0 : -1);
}

void GoToPageDialog::choose()
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item)
        return;
    m_chosenId = item->data(Qt::UserRole).toString();
    accept();
}

bool GoToPageDialog::eventFilter(QObject *watched, QEvent *event)
{
    // The arrows and page keys move through the list while the caret stays in the field.
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(m_list, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
