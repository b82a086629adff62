#include "app/createpassworddialog.h"

#include "widgets/widgetutils.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const int spacing = 10;
const int dialogWidth = 340;

QFont dialogFont()
{
    return QFont(QStringLiteral("Roboto Regular"), 10, QFont::Normal, false);
}

} // namespace

CreatePasswordDialog::CreatePasswordDialog(bool forWiki, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CreatePasswordDialog"));
    setStyleSheet(QStringLiteral("#CreatePasswordDialog { background-color: #ffffff; }"
                                 "#CreatePasswordDialog QLabel#errorLabel { color: #c0392b; }"));
    setWindowTitle(tr("Password Protection"));
    // Qt::Popup added to the dialog type makes a tool window: no taskbar entry of its own.
    setWindowFlags((windowFlags() & ~Qt::WindowContextHelpButtonHint) | Qt::Popup);

    auto *messageLabel = new QLabel(
        tr("Lock this %1 with a password.").arg(forWiki ? tr("wiki") : tr("page")), this);
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    messageLabel->setAlignment(Qt::AlignHCenter);

    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordEdit->setPlaceholderText(tr("Password:"));

    m_confirmEdit = new QLineEdit(this);
    m_confirmEdit->setObjectName(QStringLiteral("confirmEdit"));
    m_confirmEdit->setEchoMode(QLineEdit::Password);
    m_confirmEdit->setPlaceholderText(tr("Confirm Password:"));

    m_hintEdit = new QLineEdit(this);
    m_hintEdit->setObjectName(QStringLiteral("hintEdit"));
    m_hintEdit->setPlaceholderText(tr("Password Hint:"));

    auto *warningLabel = new QLabel(tr("<b>Warning: </b> Please remember your password! There is "
                                       "no way to recover a forgotten password."),
        this);
    warningLabel->setObjectName(QStringLiteral("warningLabel"));
    warningLabel->setTextFormat(Qt::RichText);
    warningLabel->setWordWrap(true);

    m_errorLabel = new QLabel(this);
    m_errorLabel->setObjectName(QStringLiteral("errorLabel"));
    m_errorLabel->setAlignment(Qt::AlignHCenter);
    m_errorLabel->setWordWrap(true);

    m_buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttonBox->setObjectName(QStringLiteral("buttonBox"));
    m_buttonBox->button(QDialogButtonBox::Ok)->setText(tr("  Set Password  "));

    for (QWidget *widget : std::initializer_list<QWidget *> {
             messageLabel, m_passwordEdit, m_confirmEdit, m_hintEdit, warningLabel, m_errorLabel})
        widget->setFont(dialogFont());

    auto *layout = new QVBoxLayout(this);
    layout->addSpacing(spacing);
    layout->addWidget(messageLabel);
    layout->addSpacing(spacing);
    layout->addWidget(m_passwordEdit);
    layout->addWidget(m_confirmEdit);
    layout->addSpacing(spacing);
    layout->addWidget(m_hintEdit);
    layout->addSpacing(spacing);
    layout->addWidget(warningLabel);
    layout->addSpacing(spacing);
    layout->addWidget(m_errorLabel);
    layout->addSpacing(spacing);
    layout->addWidget(m_buttonBox);

    connect(m_buttonBox, &QDialogButtonBox::accepted, this, &CreatePasswordDialog::onOKClicked);
    connect(m_buttonBox, &QDialogButtonBox::rejected, this, &CreatePasswordDialog::reject);
}

void CreatePasswordDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    activateWindow();
    setFocus();
    m_passwordEdit->setFocus(Qt::OtherFocusReason);
    Gui::fitHeightToWidth(this, dialogWidth);
}

void CreatePasswordDialog::showError(const QString &text)
{
    m_errorLabel->setText(text);
    // The width is fixed: the dialog grows downwards when the message needs more lines.
    if (isVisible())
        Gui::fitHeightToWidth(this, dialogWidth);
}

void CreatePasswordDialog::onOKClicked()
{
    m_password = QLatin1String("");
    m_hint = QLatin1String("");
    m_errorLabel->clear();

    // Passwords are taken as typed: spaces around them count.
    const QString password = m_passwordEdit->text();
    const QString confirmation = m_confirmEdit->text();
    // A password of spaces only is refused too: it could never be entered to unlock again.
    if (password.trimmed().isEmpty() || confirmation.isEmpty()) {
        showError(tr("Please enter and confirm a password."));
        return;
    }
    if (password != confirmation) {
        showError(tr("Password confirmation does not match the password."));
        return;
    }
    // The stored hash reads no further than 72 bytes and stops at a NUL: what came after would
    // not count, and another ending would open the lock too.
    if (password.contains(QChar(0))) {
        showError(tr("The password cannot contain a NUL character."));
        return;
    }
    if (password.toUtf8().size() > maxPasswordBytes) {
        showError(tr("The password is too long: only its first 72 bytes (UTF-8) would "
                     "count. Please choose a shorter one."));
        return;
    }
    m_password = password;
    m_hint = m_hintEdit->text().trimmed();
    accept();
}
