#pragma once

#include <QDialog>
#include <QString>

class PasswordDescriptor;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Asks for the existing password of a wiki or a page, to unlock it or to confirm that its
// protection is removed. Accepts only when the typed password matches the stored hash.
class EnterPasswordDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EnterPasswordDialog)

public:
    EnterPasswordDialog(const QString &hashedPassword, const QString &salt, const QString &hint,
        bool forWiki, bool removal, QWidget *parent = nullptr);

    // Runs the dialog for the password of descriptor; true when the right one was typed.
    static bool confirm(
        const PasswordDescriptor &descriptor, bool forWiki, bool removal, QWidget *parent);

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void onOKClicked();

private:
    void showError(const QString &text);
    const QString m_hashedPassword;
    const QString m_salt;
    const QString m_hint;
    const bool m_forWiki;
    const bool m_removal;
    QLabel *m_errorLabel = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QDialogButtonBox *m_buttonBox = nullptr;
};
