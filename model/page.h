#pragma once

#include "model/compacttext.h"
#include "model/passworddescriptor.h"
#include "model/wikiitem.h"

#include <QList>
#include <QMetaType>

// One page of a wiki: its HTML fragment, its password, and two flags that live only while the
// wiki is open (locked until unlocked, modified since the last save).
class Page final : public WikiItem
{
public:
    Page();
    // Leaves the content as given (pages read from older wiki files).
    Page(const QString &id, const QString &name, const QString &content);
    // A new page: the content becomes the default text for it.
    Page(const QString &id, const QString &name);
    // Needed by the metatype system; the copy has its own locks.
    Page(const Page &other);

    // Made from the stored form at each call: to keep it, keep compactContent() instead.
    QString content() const;
    // The content as the page stores it, sharing its bytes.
    CompactText compactContent() const;
    void setContent(const QString &content);
    bool isLocked() const;
    bool isUnlocked() const;
    void setLocked(bool locked);
    bool isModified() const;
    void setModified(bool modified);

    // The page's own descriptor, reached without the page lock. The page cannot see a change
    // made through the reference, so taking it renews the page's fields at the next save.
    PasswordDescriptor &passwordDescriptor();
    const PasswordDescriptor &passwordDescriptor() const { return m_passwordDescriptor; }
    void setPasswordDescriptor(const PasswordDescriptor &descriptor);

    bool isHomePage() const;

    // Hashes password under a new salt, keeps the hint and locks the page. Returns false and
    // leaves the page as it was when the password is blank or no hash could be made: a blank
    // password could never be entered again.
    bool setPassword(const QString &password, const QString &hint);
    void removePassword();

    // The sidebar's second line: the start of the page's text, white space folded, at most 100
    // characters, or a notice when the page is locked.
    QString plainTextPreview() const;
    void setDefaultContent();

    QJsonObject toJsonWithoutContent(QVector<CompactText> *contents) const override;

    static Page *createHomePage();
    // Locked exactly when the stored descriptor holds a hash; "type" is not read.
    static Page *fromJson(const QJsonObject &json);

protected:
    void jsonChanged() override;

private:
    // The page lock is held for writing.
    void dropJson() const;
    // Every field but the content, kept between calls so that a snapshot of an unchanged page
    // makes nothing new. The page lock is held for writing.
    QJsonObject fieldsJson() const;

    // The one copy of the page's text in the program: one byte a character for Latin-1 text.
    CompactText m_content {QString(QLatin1String(""))};
    bool m_locked = false;
    bool m_modified = false;
    PasswordDescriptor m_passwordDescriptor;
    mutable QJsonObject m_fieldsJson;
    mutable bool m_fieldsJsonValid = false;
    mutable QReadWriteLock m_pageLock;
};

Q_DECLARE_METATYPE(Page)
Q_DECLARE_METATYPE(Page *)
Q_DECLARE_METATYPE(QList<Page> *)
