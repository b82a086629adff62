#include "model/page.h"

#include "model/htmltext.h"

#include <QReadLocker>
#include <QWriteLocker>

namespace {

const int previewLength = 100;

bool isText(const QJsonValue &value)
{
    return value.type() == QJsonValue::String;
}

// Whether json holds exactly the fields, of exactly the types, that toJson() writes, so that the
// object read from the file can serve as the page's JSON unchanged.
bool isCanonicalPage(const QJsonObject &json)
{
    if (json.size() != 5 || json.value(QLatin1String("type")).toString() != QLatin1String("page")
        || !isText(json.value(QLatin1String("id"))) || !isText(json.value(QLatin1String("name")))
        || !isText(json.value(QLatin1String("content"))))
        return false;
    const QJsonValue descriptor = json.value(QLatin1String("password_descriptor"));
    if (!descriptor.isObject())
        return false;
    const QJsonObject fields = descriptor.toObject();
    return fields.size() == 3 && isText(fields.value(QLatin1String("hashed_password")))
        && isText(fields.value(QLatin1String("salt")))
        && isText(fields.value(QLatin1String("password_hint")));
}

} // namespace

Page::Page()
    : Page(QLatin1String(""), QLatin1String(""), QLatin1String(""))
{ }

Page::Page(const QString &id, const QString &name, const QString &content)
    : WikiItem(QStringLiteral("page"), id, name)
    , m_content(content)
{ }

Page::Page(const QString &id, const QString &name)
    : Page(id, name, QLatin1String(""))
{
    setDefaultContent();
}

Page::Page(const Page &other)
    : WikiItem(other)
    , m_content(other.content())
    , m_locked(other.isLocked())
    , m_modified(other.isModified())
    , m_passwordDescriptor(other.passwordDescriptor())
{ }

QString Page::content() const
{
    QReadLocker locker(&m_pageLock);
    return m_content;
}

void Page::setContent(const QString &content)
{
    QWriteLocker locker(&m_pageLock);
    m_content = content;
    dropJson();
}

PasswordDescriptor &Page::passwordDescriptor()
{
    // The caller may change the descriptor through the reference.
    QWriteLocker locker(&m_pageLock);
    dropJson();
    return m_passwordDescriptor;
}

void Page::dropJson() const
{
    m_json = QJsonObject();
    m_jsonValid = false;
}

void Page::jsonChanged()
{
    QWriteLocker locker(&m_pageLock);
    dropJson();
}

bool Page::isLocked() const
{
    QReadLocker locker(&m_pageLock);
    return m_locked;
}

bool Page::isUnlocked() const
{
    return !isLocked();
}

void Page::setLocked(bool locked)
{
    QWriteLocker locker(&m_pageLock);
    m_locked = locked;
}

bool Page::isModified() const
{
    QReadLocker locker(&m_pageLock);
    return m_modified;
}

void Page::setModified(bool modified)
{
    QWriteLocker locker(&m_pageLock);
    m_modified = modified;
}

void Page::setPasswordDescriptor(const PasswordDescriptor &descriptor)
{
    QWriteLocker locker(&m_pageLock);
    m_passwordDescriptor = descriptor;
    dropJson();
}

bool Page::isHomePage() const
{
    QReadLocker locker(&m_pageLock);
    return id() == QLatin1String("1");
}

bool Page::setPassword(const QString &password, const QString &hint)
{
    if (password.trimmed().isEmpty())
        return false;
    QWriteLocker locker(&m_pageLock);
    const QString salt = PasswordDescriptor::generateSalt();
    const QString hash = PasswordDescriptor::hashPassword(password, salt);
    // Without a hash the page would read as unprotected on the next start yet stay locked now.
    if (hash.isEmpty())
        return false;
    m_passwordDescriptor.setSalt(salt);
    m_passwordDescriptor.setHashedPassword(hash);
    m_passwordDescriptor.setPasswordHint(hint);
    m_locked = true;
    dropJson();
    return true;
}

void Page::removePassword()
{
    QWriteLocker locker(&m_pageLock);
    m_passwordDescriptor = PasswordDescriptor();
    m_locked = false;
    dropJson();
}

QString Page::plainTextPreview() const
{
    if (isLocked())
        return QStringLiteral("* PASSWORD PROTECTED *");
    return htmlTextStart(content(), previewLength);
}

void Page::setDefaultContent()
{
    // The name is plain text while the content is HTML: a name such as "<Draft>" must read as
    // typed, not vanish as an unknown element.
    const QString content = isHomePage()
        ? QStringLiteral("Welcome to Velmora. This is your new home page.")
        : QStringLiteral("This is a page about '%1'").arg(name().toHtmlEscaped());
    setContent(content);
}

QJsonObject Page::toJson() const
{
    QWriteLocker locker(&m_pageLock);
    if (!m_jsonValid) {
        m_json = QJsonObject {
            {QStringLiteral("type"), type()},
            {QStringLiteral("id"), id()},
            {QStringLiteral("name"), name()},
            {QStringLiteral("content"), m_content},
            {QStringLiteral("password_descriptor"), m_passwordDescriptor.toJson()},
        };
        m_jsonValid = true;
    }
    return m_json;
}

Page *Page::createHomePage()
{
    return new Page(QStringLiteral("1"), QStringLiteral("Home Page"));
}

Page *Page::fromJson(const QJsonObject &json)
{
    auto *page = new Page();
    page->setId(jsonText(json, QStringLiteral("id")));
    page->setName(jsonText(json, QStringLiteral("name")));
    page->setContent(jsonText(json, QStringLiteral("content")));
    page->setPasswordDescriptor(
        PasswordDescriptor(json.value(QStringLiteral("password_descriptor")).toObject()));
    page->setLocked(qAsConst(*page).passwordDescriptor().isSet());
    // What this program wrote is kept as it was read, so that the first save after opening
    // copies no page; anything else is made into the written form now rather than then.
    if (isCanonicalPage(json)) {
        page->m_json = json;
        page->m_jsonValid = true;
    } else {
        page->toJson();
    }
    return page;
}
