#include "app/versionsdialog.h"

#include "app/versionviewer.h"
#include "model/wikisizebudget.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

VersionsDialog::VersionsDialog(const QVector<WikiVersion> &versions, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("VersionsDialog"));
    setStyleSheet(QStringLiteral("#VersionsDialog { background-color: #ffffff; }"));
    setWindowTitle(tr("Restore From Backup"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *intro = new QLabel(versions.isEmpty()
            ? tr("No earlier versions of this wiki have been kept yet.")
            : tr("Earlier versions of this wiki. Restoring one keeps the wiki as it is now as "
                 "a version first."),
        this);
    intro->setObjectName(QStringLiteral("versionsIntro"));
    intro->setWordWrap(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("versionList"));
    m_list->setHeaderLabels({tr("Date"), tr("Time"), tr("Size")});
    m_list->setRootIsDecorated(false);
    const QLocale locale;
    for (const WikiVersion &version : versions) {
        auto *row = new QTreeWidgetItem(m_list,
            {locale.toString(version.saved.date(), QLocale::ShortFormat),
                locale.toString(version.saved.time(), QStringLiteral("HH:mm:ss")),
                WikiSizeBudget::formatSize(version.size)});
        row->setData(0, Qt::UserRole, version.filePath);
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("versionButtons"));
    m_viewButton = buttons->addButton(tr("View…"), QDialogButtonBox::ActionRole);
    m_viewButton->setObjectName(QStringLiteral("viewVersionButton"));
    m_restoreButton = buttons->addButton(tr("Restore"), QDialogButtonBox::AcceptRole);
    m_restoreButton->setObjectName(QStringLiteral("restoreVersionButton"));
    m_viewButton->setEnabled(!versions.isEmpty());
    m_restoreButton->setEnabled(!versions.isEmpty());

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(420, 320);

    connect(m_viewButton, &QPushButton::clicked, this, &VersionsDialog::viewSelected);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &VersionsDialog::viewSelected);
    connect(m_restoreButton, &QPushButton::clicked, this, [this] {
        m_chosen = selectedPath();
        if (!m_chosen.isEmpty())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString VersionsDialog::selectedPath() const
{
    const QTreeWidgetItem *row = m_list->currentItem();
    return row ? row->data(0, Qt::UserRole).toString() : QString();
}

void VersionsDialog::viewSelected()
{
    const QTreeWidgetItem *row = m_list->currentItem();
    if (!row)
        return;
    VersionViewer viewer(
        selectedPath(), tr("Version of %1 %2").arg(row->text(0), row->text(1)), this);
    viewer.exec();
}
