#include "editor/toolbar.h"

#include "app/mainwindow.h"
#include "app/widgetutils.h"
#include "editor/editor.h"
#include "editor/imagebutton.h"
#include "search/searchtextedit.h"

#include <QAction>
#include <QCursor>
#include <QHBoxLayout>
#include <QMenu>

const QStringList Toolbar::formatActionNames = {
    QStringLiteral("boldAction"),
    QStringLiteral("italicAction"),
    QStringLiteral("underlineAction"),
    QString(),
    QStringLiteral("strikethroughAction"),
    QString(),
    QStringLiteral("smallerAction"),
    QStringLiteral("largerAction"),
    QString(),
    QStringLiteral("alignLeftAction"),
    QStringLiteral("alignCenterAction"),
    QStringLiteral("alignRightAction"),
    QStringLiteral("alignJustifyAction"),
};

Toolbar::Toolbar(MainWindow *mainWindow)
    : QWidget(mainWindow)
    , backButton(new ImageButton(this, QStringLiteral("back_icon")))
    , forwardButton(new ImageButton(this, QStringLiteral("forward_icon")))
    , formatButton(new ImageButton(this, QStringLiteral("format_icon")))
    , linkUnlinkButton(new ImageButton(this, QStringLiteral("link_unlink_icon")))
    , deletePageButton(new ImageButton(this, QStringLiteral("delete_page_icon")))
    , searchEdit(new SearchTextEdit(this))
    , mainWindow(mainWindow)
{
    setFixedHeight(62);
    setObjectName(QStringLiteral("Toolbar"));
    setStyleSheet(QStringLiteral("#Toolbar { background: #a2adb6; border: none; "
                                 "border-bottom: 2px solid #8d9296; }"));
    // A plain widget subclass draws no style-sheet background without this.
    setAttribute(Qt::WA_StyledBackground);
    setContentsMargins(0, 0, 0, 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    backButton->setStatusTip(tr("Return to the previous page."));
    forwardButton->setStatusTip(tr("Go to the next page."));
    formatButton->setStatusTip(tr("Change formatting."));
    linkUnlinkButton->setStatusTip(QStringLiteral("Create/remove link."));
    deletePageButton->setStatusTip(QStringLiteral("Delete this page."));
    for (ImageButton *button :
        {backButton, forwardButton, formatButton, linkUnlinkButton, deletePageButton})
        button->setEnabled(false);


    QHBoxLayout *outer = makeHBoxLayout(this);
    outer->setContentsMargins(5, 0, 5, 0);
    outer->setSpacing(40);

    auto *left = new QHBoxLayout;
    left->setSpacing(20);
    left->addSpacing(10);
    left->addWidget(backButton, 0, Qt::AlignVCenter);
    left->addWidget(forwardButton, 0, Qt::AlignVCenter);
    left->addSpacing(30);
    left->addWidget(formatButton, 0, Qt::AlignVCenter);
    left->addWidget(linkUnlinkButton, 0, Qt::AlignVCenter);
    left->addWidget(deletePageButton, 0, Qt::AlignVCenter);
    left->addStretch();

    auto *right = new QHBoxLayout;
    right->addWidget(searchEdit);
    right->addSpacing(10);

    outer->addLayout(left);
    outer->addLayout(right);

    buildFormatMenu();
}

Toolbar::~Toolbar() = default;

void Toolbar::buildFormatMenu()
{
    formatMenu = std::make_unique<QMenu>();
    formatMenu->setObjectName(QStringLiteral("ToolbarFormatMenu"));
    formatMenu->setStyleSheet(QStringLiteral("#ToolbarFormatMenu { border: 0px; }"));
    for (const QString &name : formatActionNames) {
        if (name.isEmpty())
            formatMenu->addSeparator();
        else if (QAction *action = mainWindow->findChild<QAction *>(name))
            formatMenu->addAction(action);
    }
}

void Toolbar::showFormatMenu()
{
    const auto *editor = mainWindow->findChild<Editor *>();
    if (!editor || !editor->currentPage())
        return;
    mainWindow->updateLinkAction();
    mainWindow->updateFormatActions();
    formatMenu->exec(QCursor::pos());
}
