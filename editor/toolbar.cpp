#include "editor/toolbar.h"

#include "editor/editor.h"
#include "editor/editoractions.h"
#include "search/searchtextedit.h"
#include "widgets/imagebutton.h"
#include "widgets/widgetutils.h"

#include <QAction>
#include <QCursor>
#include <QHBoxLayout>
#include <QMenu>

Toolbar::Toolbar(QWidget *mainWindow, EditorActions *actions)
    : QWidget(mainWindow)
    , backButton(new ImageButton(this, QStringLiteral("back_icon")))
    , forwardButton(new ImageButton(this, QStringLiteral("forward_icon")))
    , formatButton(new ImageButton(this, QStringLiteral("format_icon")))
    , linkUnlinkButton(new ImageButton(this, QStringLiteral("link_unlink_icon")))
    , deletePageButton(new ImageButton(this, QStringLiteral("delete_page_icon")))
    , searchEdit(new SearchTextEdit(this))
    , editorActions(actions)
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

    QHBoxLayout *outer = Gui::makeHBoxLayout(this);
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
    connect(actions->boldAction, &QAction::changed, formatButton,
        [this] { formatButton->setEnabled(editorActions->boldAction->isEnabled()); });
    connect(actions->createLinkAction, &QAction::changed, linkUnlinkButton,
        [this] { linkUnlinkButton->setEnabled(editorActions->createLinkAction->isEnabled()); });
}

Toolbar::~Toolbar() = default;

void Toolbar::buildFormatMenu()
{
    formatMenu = std::make_unique<QMenu>();
    formatMenu->setObjectName(QStringLiteral("ToolbarFormatMenu"));
    formatMenu->setStyleSheet(QStringLiteral("#ToolbarFormatMenu { border: 0px; }"));
    editorActions->addFormatActions(formatMenu.get());
}

void Toolbar::showFormatMenu()
{
    if (!editorActions->editor()->currentPage())
        return;
    editorActions->updateLinkAction();
    editorActions->updateFormatActions();
    formatMenu->exec(QCursor::pos());
}
