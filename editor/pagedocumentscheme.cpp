#include "editor/pagedocumentscheme.h"

#include <QBuffer>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

const QByteArray PageDocumentScheme::name = QByteArrayLiteral("velmora-document");

void PageDocumentScheme::registerScheme()
{
    QWebEngineUrlScheme scheme(name);
    // Addresses are a number and nothing else: no host, and so no origin documents could share.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Secure: the document is a secure context, as the program's qrc: resources it loads are,
    // and plain http: content mixed into it is refused. Local: no web content may load or link
    // to it, and the document counts as local content, whose requests for the web the profile's
    // settings stop inside the engine. Without local access it cannot load file: addresses, and
    // without CORS no script can read another address of the scheme.
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

bool PageDocumentScheme::isDocumentUrl(const QUrl &url)
{
    return url.scheme().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

PageDocumentScheme::PageDocumentScheme(QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
{ }

QUrl PageDocumentScheme::addDocument(const QString &html)
{
    // A new address for every document, so that the engine never shows an earlier one it kept.
    QUrl url;
    url.setScheme(QString::fromLatin1(name));
    url.setPath(QString::number(++m_lastNumber));
    m_documents.insert(url, html.toUtf8());
    return url;
}

void PageDocumentScheme::removeDocument(const QUrl &url)
{
    m_documents.remove(url);
}

void PageDocumentScheme::requestStarted(QWebEngineUrlRequestJob *job)
{
    const auto document = m_documents.constFind(job->requestUrl());
    if (document == m_documents.constEnd()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // The engine reads the buffer after this returns; it goes with the job.
    auto *buffer = new QBuffer(job);
    buffer->setData(*document);
    buffer->open(QIODevice::ReadOnly);
    job->reply(QByteArrayLiteral("text/html;charset=utf-8"), buffer);
}
