#include "app/aboutdialog.h"

#include "app/productinfo.h"
#include "widgets/widgetutils.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *makeLabel(
    const QString &objectName, const QString &text, int pointSize, int weight, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setFont(QFont(QStringLiteral("Montserrat"), pointSize, weight));
    label->adjustSize();
    return label;
}

} // namespace

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDialog"));
    setStyleSheet(QStringLiteral("#AboutDialog { background-color: #ffffff; }"
                                 "#AboutDialog QLabel { color: #323232; }"));
    setWindowTitle(tr("About Velmora"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setWindowFlags(windowFlags() | Qt::Tool);

    auto *logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("aboutLogo"));
    // The double-size picture on a high-density screen, marked as such so that it is laid out
    // at the plain picture's size and drawn with every pixel it has.
    const qreal ratio = Gui::mainWindowDevicePixelRatio();
    QPixmap picture(
        Gui::imageResourcePath(QStringLiteral("logo"), QStringLiteral("png"), true, ratio));
    picture.setDevicePixelRatio(ratio > 1.0 ? 2.0 : 1.0);
    logo->setPixmap(picture);
    logo->setMargin(10);
    logo->adjustSize();

    const QString host = QLatin1String(productHost);
    QLabel *name
        = makeLabel(QStringLiteral("aboutName"), QStringLiteral("Velmora"), 18, QFont::Bold, this);
    QLabel *version = makeLabel(QStringLiteral("aboutVersion"),
        tr("Version %1").arg(QLatin1String(productVersion)), 10, QFont::Normal, this);
    QLabel *web = makeLabel(QStringLiteral("aboutWebSite"),
        QStringLiteral("<a href=\"https://%1\">%1</a>").arg(host), 10, QFont::Bold, this);
    web->setTextFormat(Qt::RichText);
    web->setTextInteractionFlags(
        Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    web->setOpenExternalLinks(true);
    QLabel *contact = makeLabel(
        QStringLiteral("aboutContact"), QLatin1String(supportAddress), 10, QFont::Normal, this);
    contact->setTextFormat(Qt::PlainText);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("aboutButtons"));
    buttons->button(QDialogButtonBox::Ok)->setText(tr("  Check for Updates  "));

    auto *text = new QVBoxLayout;
    text->addWidget(name, 0, Qt::AlignHCenter);
    text->addWidget(version, 0, Qt::AlignHCenter);
    text->addSpacing(20);
    text->addWidget(web, 0, Qt::AlignHCenter);
    text->addWidget(contact, 0, Qt::AlignHCenter);
    text->addStretch();
    text->setContentsMargins(20, 30, 20, 0);

    auto *row = new QHBoxLayout;
    row->addWidget(logo);
    row->addLayout(text);
    row->addStretch();

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(row);
    outer->addWidget(buttons);
    setFixedSize(350, 280);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}
