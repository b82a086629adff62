#pragma once

#include <QByteArray>
#include <QString>

// A text kept in as few bytes as it allows: one a character when every character is Latin-1,
// as almost all page markup is (pictures are base64), and UTF-16 otherwise. It cannot be
// changed, only replaced, and copies share their bytes, so a copy taken under a lock can be
// read on any thread afterwards.
class CompactText final
{
public:
    CompactText() = default;
    explicit CompactText(const QString &text);

    // A new string each time: callers that keep it should keep this object instead.
    QString toString() const;
    qsizetype size() const { return m_latin1Form ? m_latin1.size() : m_utf16.size(); }
    bool isEmpty() const { return size() == 0; }
    // Whether every character is Latin-1, which decides how a wiki file stores the text.
    bool isLatin1() const { return m_latin1Form; }

    // Copies of one text compare by their bytes' address, without reading them.
    bool operator==(const CompactText &other) const;
    bool operator!=(const CompactText &other) const { return !(*this == other); }

private:
    QByteArray m_latin1;
    QString m_utf16;
    bool m_latin1Form = true;
};
