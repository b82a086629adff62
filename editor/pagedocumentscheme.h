#pragma once

#include <QByteArray>
#include <QHash>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

// Serves the documents that pages show under an address scheme of the program's own. The web
// engine takes documents set as text through data: addresses, which it limits to 2 MB, while
// a page carries its pictures inline and is often larger. Each document is served under an
// address of its own, given out once, and only while a page shows it; any other address of
// the scheme is answered with an error, never with a file.
class PageDocumentScheme final : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageDocumentScheme)

public:
    static const QByteArray name;

    // Tells the web engine about the scheme. It must run before the QApplication object is
    // made: the engine reads the schemes once, when it starts.
    static void registerScheme();
    static bool isDocumentUrl(const QUrl &url);

    explicit PageDocumentScheme(QObject *parent = nullptr);

    // Serves html from now on under a fresh address, which is returned.
    QUrl addDocument(const QString &html);
    // The address is no longer served.
    void removeDocument(const QUrl &url);

    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    QHash<QUrl, QByteArray> m_documents;
    quint64 m_lastNumber = 0;
};
