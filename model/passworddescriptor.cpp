#include "model/passworddescriptor.h"

#include <QByteArray>
#include <QReadLocker>
#include <QWriteLocker>

#include <crypt.h>
#include <memory>

namespace {

const char *const hashPrefix = "$2a$";
const unsigned long hashCost = 12;
const int settingLength = 29;
const int hashLength = 60;

QString jsonText(const QJsonObject &json, const QString &key)
{
    return json.value(key).toString(QLatin1String(""));
}

} // namespace

PasswordDescriptor::PasswordDescriptor(const QJsonObject &json)
    : m_hashedPassword(jsonText(json, QStringLiteral("hashed_password")))
    , m_salt(jsonText(json, QStringLiteral("salt")))
    , m_passwordHint(jsonText(json, QStringLiteral("password_hint")))
{ }

PasswordDescriptor::PasswordDescriptor(const PasswordDescriptor &other)
    : m_hashedPassword(other.hashedPassword())
    , m_salt(other.salt())
    , m_passwordHint(other.passwordHint())
{ }

PasswordDescriptor &PasswordDescriptor::operator=(const PasswordDescriptor &other)
{
    if (this != &other) {
        setHashedPassword(other.hashedPassword());
        setSalt(other.salt());
        setPasswordHint(other.passwordHint());
    }
    return *this;
}

QString PasswordDescriptor::hashedPassword() const
{
    QReadLocker locker(&m_lock);
    return m_hashedPassword;
}

QString PasswordDescriptor::salt() const
{
    QReadLocker locker(&m_lock);
    return m_salt;
}

QString PasswordDescriptor::passwordHint() const
{
    QReadLocker locker(&m_lock);
    return m_passwordHint;
}

void PasswordDescriptor::setHashedPassword(const QString &hashedPassword)
{
    QWriteLocker locker(&m_lock);
    m_hashedPassword = hashedPassword;
}

void PasswordDescriptor::setSalt(const QString &salt)
{
    QWriteLocker locker(&m_lock);
    m_salt = salt;
}

void PasswordDescriptor::setPasswordHint(const QString &passwordHint)
{
    QWriteLocker locker(&m_lock);
    m_passwordHint = passwordHint;
}

bool PasswordDescriptor::isSet() const
{
    return !hashedPassword().isEmpty();
}

QJsonObject PasswordDescriptor::toJson() const
{
    QReadLocker locker(&m_lock);
    return QJsonObject {
        {QStringLiteral("hashed_password"), m_hashedPassword},
        {QStringLiteral("salt"), m_salt},
        {QStringLiteral("password_hint"), m_passwordHint},
    };
}

QString PasswordDescriptor::generateSalt()
{
    // No random bytes are passed in: libxcrypt then draws the 16 salt bytes from the system's
    // secure source itself. Salts seeded from the clock repeated within a second.
    char setting[CRYPT_GENSALT_OUTPUT_SIZE] = {};
    if (!crypt_gensalt_rn(hashPrefix, hashCost, nullptr, 0, setting, sizeof setting))
        return QString();
    const QString salt = QString::fromLatin1(setting);
    return salt.size() == settingLength ? salt : QString();
}

QString PasswordDescriptor::hashPassword(const QString &password, const QString &salt)
{
    // Only bcrypt settings are hashed: anything else would let libxcrypt fall back to another
    // method (a two-letter text selects DES, which reads only eight characters).
    if (!salt.startsWith(QLatin1String("$2")))
        return QString();
    const QByteArray key = password.toLocal8Bit();
    const QByteArray setting = salt.toLocal8Bit();
    // crypt_data is too large to be kept on the stack comfortably.
    auto data = std::make_unique<crypt_data>();
    const char *hash = crypt_r(key.constData(), setting.constData(), data.get());
    if (!hash)
        return QString();
    // libxcrypt reports failure with a short token starting with '*'; returning that token
    // would let a stored "*0" match every password.
    const QString result = QString::fromLatin1(hash);
    if (result.size() != hashLength || !result.startsWith(QLatin1String("$2")))
        return QString();
    return result;
}

bool PasswordDescriptor::checkPassword(
    const QString &password, const QString &hashedPassword, const QString &salt)
{
    if (password.trimmed().isEmpty() || hashedPassword.trimmed().isEmpty()
        || salt.trimmed().isEmpty())
        return false;
    const QString hash = hashPassword(password, salt);
    return !hash.isEmpty() && hash == hashedPassword;
}
