#pragma once

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Asks for a new password, twice, and a hint, to protect a wiki or a page.
class CreatePasswordDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CreatePasswordDialog)

public:
    explicit CreatePasswordDialog(bool forWiki, QWidget *parent = nullptr);

    // The most a password may take in UTF-8: the hash reads no further.
    static constexpr int maxPasswordBytes = 72;

    // The accepted password as typed and the trimmed hint; both "" until the dialog accepts.
    QString password() const { return m_password; }
    QString hint() const { return m_hint; }

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void onOKClicked();

private:
    void showError(const QString &text);
    QString m_password {QLatin1String("")};
    QString m_hint {QLatin1String("")};
    QLabel *m_errorLabel = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QLineEdit *m_confirmEdit = nullptr;
    QLineEdit *m_hintEdit = nullptr;
    QDialogButtonBox *m_buttonBox = nullptr;
};
