#include "app/enterpassworddialog.h"

#include "model/passworddescriptor.h"
#include "widgets/widgetutils.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

namespace {

const int spacing = 10;
const int dialogWidth = 340;

QFont dialogFont()
{
    return QFont(QStringLiteral("Roboto Regular"), 10, QFont::Normal, false);
}

} // namespace

EnterPasswordDialog::EnterPasswordDialog(const QString &hashedPassword, const QString &salt,
    const QString &hint, bool forWiki, bool removal, QWidget *parent)
    : QDialog(parent)
    , m_hashedPassword(hashedPassword)
    , m_salt(salt)
    , m_hint(hint)
    , m_forWiki(forWiki)
    , m_removal(removal)
{
    setObjectName(QStringLiteral("EnterPasswordDialog"));
    setStyleSheet(QStringLiteral("#EnterPasswordDialog { background-color: #ffffff; }"
                                 "#EnterPasswordDialog QLabel#errorLabel { color: #c0392b; }"));
    setWindowTitle(tr("Password Protection"));
    // Qt::Popup added to the dialog type makes a tool window: no taskbar entry of its own.
    setWindowFlags((windowFlags() & ~Qt::WindowContextHelpButtonHint) | Qt::Popup);

    const QString item = m_forWiki ? tr("wiki") : tr("page");
    auto *messageLabel
        = new QLabel(m_removal ? tr("Remove the password from this %1?").arg(item)
                               : tr("This %1 is protected with a password.").arg(item),
            this);
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    messageLabel->setAlignment(Qt::AlignHCenter);
    messageLabel->setFont(dialogFont());

    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordEdit->setPlaceholderText(tr("Password:"));
    m_passwordEdit->setFont(dialogFont());

    m_errorLabel = new QLabel(this);
    m_errorLabel->setObjectName(QStringLiteral("errorLabel"));
    m_errorLabel->setAlignment(Qt::AlignHCenter);
    m_errorLabel->setWordWrap(true);
    m_errorLabel->setFont(dialogFont());

    m_buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttonBox->setObjectName(QStringLiteral("buttonBox"));
    if (m_removal)
        m_buttonBox->button(QDialogButtonBox::Ok)->setText(tr("  Remove Password  "));

    auto *layout = new QVBoxLayout(this);
    layout->addSpacing(spacing);
    layout->addWidget(messageLabel);
    layout->addSpacing(spacing);
    layout->addWidget(m_passwordEdit);
    if (!m_hint.trimmed().isEmpty()) {
        // The hint is shown as stored; it is only escaped so that it reads as typed.
        auto *hintLabel
            = new QLabel(tr("<b>Password Hint: </b>%1").arg(m_hint.toHtmlEscaped()), this);
        hintLabel->setObjectName(QStringLiteral("hintLabel"));
        hintLabel->setTextFormat(Qt::RichText);
        hintLabel->setWordWrap(true);
        hintLabel->setFont(dialogFont());
        hintLabel->setToolTip(m_hint);
        // Kept until the mouse leaves the label.
        hintLabel->setToolTipDuration(std::numeric_limits<int>::max());
        layout->addSpacing(spacing);
        layout->addWidget(hintLabel);
    }
    layout->addSpacing(spacing);
    layout->addWidget(m_errorLabel);
    layout->addSpacing(spacing);
    layout->addWidget(m_buttonBox);

    connect(m_buttonBox, &QDialogButtonBox::accepted, this, &EnterPasswordDialog::onOKClicked);
    connect(m_buttonBox, &QDialogButtonBox::rejected, this, &EnterPasswordDialog::reject);
}

void EnterPasswordDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    activateWindow();
    setFocus();
    m_passwordEdit->setFocus(Qt::OtherFocusReason);
    Gui::fitHeightToWidth(this, dialogWidth);
}

void EnterPasswordDialog::showError(const QString &text)
{
    m_errorLabel->setText(text);
    // The width is fixed: the dialog grows downwards when the message needs more lines.
    if (isVisible())
        Gui::fitHeightToWidth(this, dialogWidth);
}

void EnterPasswordDialog::onOKClicked()
{
    m_errorLabel->clear();
    const QString password = m_passwordEdit->text();
    if (password.isEmpty()) {
        showError(tr("Please enter the password."));
        return;
    }
    if (PasswordDescriptor::checkPassword(password, m_hashedPassword, m_salt)) {
        accept();
        return;
    }
    // Cleared, so that the next attempt is not typed after the wrong one.
    m_passwordEdit->clear();
    m_passwordEdit->setFocus(Qt::OtherFocusReason);
    showError(tr("Invalid password. Please try again."));
}

bool EnterPasswordDialog::confirm(
    const PasswordDescriptor &descriptor, bool forWiki, bool removal, QWidget *parent)
{
    EnterPasswordDialog dialog(descriptor.hashedPassword(), descriptor.salt(),
        descriptor.passwordHint(), forWiki, removal, parent);
    return dialog.exec() == QDialog::Accepted;
}
