#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QReadWriteLock>
#include <QString>

// The bcrypt hash, salt and clear-text hint that protect a wiki or a page. The password itself
// is never kept; a descriptor with an empty hash means "no password".
class PasswordDescriptor
{
public:
    PasswordDescriptor() = default;
    // Missing or non-string values read as empty texts.
    explicit PasswordDescriptor(const QJsonObject &json);
    PasswordDescriptor(const PasswordDescriptor &other);
    PasswordDescriptor &operator=(const PasswordDescriptor &other);
    ~PasswordDescriptor() = default;

    QString hashedPassword() const;
    QString salt() const;
    QString passwordHint() const;
    void setHashedPassword(const QString &hashedPassword);
    void setSalt(const QString &salt);
    void setPasswordHint(const QString &passwordHint);

    bool isSet() const;
    QJsonObject toJson() const;

    // A new bcrypt setting text ("$2a$12$" and 22 salt characters), or "" when none can be made.
    static QString generateSalt();
    // The 60-character bcrypt hash of password under salt, or "" when salt is not a bcrypt
    // setting or bcrypt fails.
    static QString hashPassword(const QString &password, const QString &salt);
    // Whether password hashes to hashedPassword under salt. Blank passwords, hashes and salts
    // never match.
    static bool checkPassword(
        const QString &password, const QString &hashedPassword, const QString &salt);

private:
    QString m_hashedPassword {QLatin1String("")};
    QString m_salt {QLatin1String("")};
    QString m_passwordHint {QLatin1String("")};
    mutable QReadWriteLock m_lock;
};

Q_DECLARE_METATYPE(PasswordDescriptor)
