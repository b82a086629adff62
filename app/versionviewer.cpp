#include "app/versionviewer.h"

#include "model/page.h"
#include "model/wikiversions.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QVBoxLayout>

VersionViewer::VersionViewer(const QString &versionPath, const QString &title, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("VersionViewer"));
    setStyleSheet(QStringLiteral("#VersionViewer { background-color: #ffffff; }"));
    setWindowTitle(title);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    bool ok = false;
    m_pages = WikiVersions::readPages(versionPath, &ok);

    auto *splitter = new QSplitter(this);
    m_pageList = new QListWidget(splitter);
    m_pageList->setObjectName(QStringLiteral("versionPageList"));
    for (const Page *page : qAsConst(m_pages))
        m_pageList->addItem(page->name());
    m_view = new QTextBrowser(splitter);
    m_view->setObjectName(QStringLiteral("versionPageView"));
    m_view->setOpenLinks(false);
    splitter->addWidget(m_pageList);
    splitter->addWidget(m_view);
    splitter->setStretchFactor(1, 3);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_copyButton = buttons->addButton(tr("Copy Page"), QDialogButtonBox::ActionRole);
    m_copyButton->setObjectName(QStringLiteral("copyPageButton"));
    m_copyButton->setToolTip(tr("Copy this page's content, to paste it into a page"));

    auto *layout = new QVBoxLayout(this);
    if (!ok) {
        auto *error = new QLabel(tr("This version could not be read as a wiki."), this);
        error->setObjectName(QStringLiteral("versionReadError"));
        layout->addWidget(error);
    }
    layout->addWidget(splitter);
    layout->addWidget(buttons);
    resize(760, 520);

    connect(m_pageList, &QListWidget::currentRowChanged, this, &VersionViewer::showPage);
    connect(m_copyButton, &QPushButton::clicked, this, &VersionViewer::copyPage);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (!m_pages.isEmpty())
        m_pageList->setCurrentRow(0);
    else
        m_copyButton->setEnabled(false);
}

VersionViewer::~VersionViewer()
{
    qDeleteAll(m_pages);
}

void VersionViewer::showPage(int row)
{
    const Page *page = m_pages.value(row);
    if (!page)
        return;
    // The password gate holds here as in the wiki itself.
    const bool locked = page->isLocked();
    if (locked)
        m_view->setPlainText(tr("This page is protected by a password."));
    else
        m_view->setHtml(page->content());
    m_copyButton->setEnabled(!locked);
}

void VersionViewer::copyPage()
{
    const Page *page = m_pages.value(m_pageList->currentRow());
    if (!page || page->isLocked())
        return;
    auto *mime = new QMimeData;
    mime->setHtml(page->content());
    mime->setText(m_view->toPlainText());
    QApplication::clipboard()->setMimeData(mime);
}
