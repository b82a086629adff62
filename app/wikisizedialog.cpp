#include "app/wikisizedialog.h"

#include "model/wikidocument.h"
#include "model/wikisizebudget.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const int rowsShown = 20;

} // namespace

WikiSizeDialog::WikiSizeDialog(const WikiDocument &wiki, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("WikiSizeDialog"));
    setStyleSheet(QStringLiteral("#WikiSizeDialog { background-color: #ffffff; }"));
    setWindowTitle(tr("Wiki Size"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *summary = new QLabel(WikiSizeBudget::describe(wiki.currentDocumentSize()), this);
    summary->setObjectName(QStringLiteral("wikiSizeSummary"));

    auto makeList = [this](const char *name, const QStringList &headers,
                        const QVector<WikiSizeBudget::Entry> &entries, bool pictures) {
        auto *list = new QTreeWidget(this);
        list->setObjectName(QLatin1String(name));
        list->setHeaderLabels(headers);
        list->setRootIsDecorated(false);
        for (const WikiSizeBudget::Entry &entry : entries) {
            QStringList texts {entry.pageName};
            if (pictures)
                texts << entry.format.toUpper();
            texts << WikiSizeBudget::formatSize(entry.size);
            auto *row = new QTreeWidgetItem(list, texts);
            row->setData(0, Qt::UserRole, entry.pageId);
            row->setTextAlignment(texts.size() - 1, Qt::AlignRight | Qt::AlignVCenter);
        }
        list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        connect(list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *row) {
            m_chosenPageId = row->data(0, Qt::UserRole).toString();
            accept();
        });
        return list;
    };
    QTreeWidget *pages = makeList("largestPages", {tr("Page"), tr("Size")},
        WikiSizeBudget::largestPages(wiki, rowsShown), false);
    QTreeWidget *pictures
        = makeList("largestPictures", {tr("Picture in page"), tr("Type"), tr("Size")},
            WikiSizeBudget::largestPictures(wiki, rowsShown), true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(new QLabel(tr("Largest pages"), this));
    layout->addWidget(pages);
    layout->addWidget(new QLabel(tr("Largest pictures"), this));
    layout->addWidget(pictures);
    layout->addWidget(buttons);
    resize(460, 560);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}
