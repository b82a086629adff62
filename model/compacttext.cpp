#include "model/compacttext.h"

#include <QStringView>

CompactText::CompactText(const QString &text)
    : m_latin1Form(QtPrivate::isLatin1(QStringView(text)))
{
    if (m_latin1Form)
        m_latin1 = text.toLatin1();
    else
        m_utf16 = text;
    // Text built up piece by piece may hold room to grow, which a kept copy need not.
    if (m_utf16.capacity() > m_utf16.size())
        m_utf16.squeeze();
}

QString CompactText::toString() const
{
    if (!m_latin1Form)
        return m_utf16;
    // Never null: an empty content is an empty text.
    if (m_latin1.isEmpty())
        return QString(QLatin1String(""));
    return QString::fromLatin1(m_latin1);
}

bool CompactText::operator==(const CompactText &other) const
{
    if (m_latin1Form != other.m_latin1Form)
        return false;
    if (m_latin1Form) {
        return m_latin1.size() == other.m_latin1.size()
            && (m_latin1.constData() == other.m_latin1.constData() || m_latin1 == other.m_latin1);
    }
    return m_utf16.size() == other.m_utf16.size()
        && (m_utf16.constData() == other.m_utf16.constData() || m_utf16 == other.m_utf16);
}
