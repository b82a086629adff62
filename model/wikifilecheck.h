#pragma once

#include <QString>
#include <QtGlobal>

// What reading a wiki file whole found out about it: whether it is sound, and if not, why. The
// file is only ever read: an empty or absent file stays as it is, and a wiki of an earlier
// release is reported, not converted.
class WikiFileCheck
{
public:
    enum Outcome {
        Sound,
        // No file, or one that cannot be opened for reading.
        Unopenable,
        // Bytes that are no wiki of any release.
        Foreign,
        // A wiki file that is damaged or incomplete.
        Damaged,
        // A wiki of an earlier release: only the window reads and converts it.
        EarlierRelease,
    };

    // Reads and checks the file at path: its size, format, digest, compressed payload, the
    // document inside and every item of it.
    static WikiFileCheck run(const QString &path);

    Outcome outcome() const { return m_outcome; }
    bool isSound() const { return m_outcome == Sound; }
    // Why the file is not sound, in words for the user; empty when it is.
    QString problem() const { return m_problem; }

    qint64 fileSize() const { return m_fileSize; }
    // The size of the unpacked document, and the largest a wiki file can hold.
    qint64 documentSize() const { return m_documentSize; }
    static qint64 maxDocumentSize();
    int pageCount() const { return m_pageCount; }
    int folderCount() const { return m_folderCount; }
    bool isPasswordProtected() const { return m_passwordProtected; }

    // The window's words for a file that holds no wiki.
    static QString notAWikiMessage(const QString &path);

private:
    void fail(Outcome outcome, const QString &problem);
    void checkDocument(const QByteArray &documentBytes);

    Outcome m_outcome = Sound;
    QString m_problem;
    qint64 m_fileSize = 0;
    qint64 m_documentSize = 0;
    int m_pageCount = 0;
    int m_folderCount = 0;
    bool m_passwordProtected = false;
};
