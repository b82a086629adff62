#include "model/page.h"

#include "model/htmltext.h"

#include <QReadLocker>
#include <QWriteLocker>

namespace {

const int previewLength = 100;

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
    , m_content(other.compactContent())
    , m_locked(other.isLocked())
    , m_modified(other.isModified())
    , m_passwordDescriptor(other.passwordDescriptor())
{ }

QString Page::content() const
{
    return compactContent().toString();
}

CompactText Page::compactContent() const
{
    QReadLocker locker(&m_pageLock);
    return m_content;
}

void Page::setContent(const QString &content)
{
    // Made outside the lock: readers on other threads need not wait for the conversion.
    CompactText text(content);
    QWriteLocker locker(&m_pageLock);
    m_content = std::move(text);
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
    m_fieldsJson = QJsonObject();
    m_fieldsJsonValid = false;
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

QJsonObject Page::fieldsJson() const
{
    if (!m_fieldsJsonValid) {
        m_fieldsJson = QJsonObject {
            {QStringLiteral("type"), type()},
            {QStringLiteral("id"), id()},
            {QStringLiteral("name"), name()},
            {QStringLiteral("password_descriptor"), m_passwordDescriptor.toJson()},
        };
        m_fieldsJsonValid = true;
    }
    return m_fieldsJson;
}

QJsonObject Page::toJsonWithoutContent(QVector<CompactText> *contents) const
{
    QWriteLocker locker(&m_pageLock);
    contents->append(m_content);
    return fieldsJson();
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
    // Made while the wiki opens rather than by the first save, which would then hold the
    // window up for every page at once.
    QWriteLocker locker(&page->m_pageLock);
    page->fieldsJson();
    return page;
}
