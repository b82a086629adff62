#include "editor/pictureinliner.h"

#include "model/htmlsanitizer.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

PictureInliner::PictureInliner(const QString &html, QObject *parent)
    : QObject(parent)
    , m_html(html)
    , m_network(new QNetworkAccessManager(this))
{ }

void PictureInliner::start()
{
    const QStringList addresses = HtmlSanitizer::remotePictureAddresses(m_html);
    m_pending = addresses.size();
    if (m_pending == 0) {
        emit finished(m_html);
        return;
    }
    for (const QString &address : addresses) {
        QNetworkRequest request {QUrl(address)};
        request.setAttribute(
            QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        QNetworkReply *reply = m_network->get(request);
        auto *timer = new QTimer(reply);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, reply, &QNetworkReply::abort);
        timer->start(timeoutMilliseconds);
        // A reply past the limit is given up as soon as it gets there, not read to its end.
        connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received) {
            if (received > maxPictureBytes)
                reply->abort();
        });
        connect(reply, &QNetworkReply::finished, this,
            [this, reply, address] { onReplyFinished(reply, address); });
    }
}

void PictureInliner::onReplyFinished(QNetworkReply *reply, const QString &address)
{
    reply->deleteLater();
    if (reply->error() == QNetworkReply::NoError && reply->bytesAvailable() <= maxPictureBytes) {
        QByteArray bytes = reply->readAll();
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer);
        const QByteArray format = reader.format();
        // Only what reads as a picture is kept, in the form inserted pictures have.
        if (!format.isEmpty() && reader.canRead()) {
            m_inlined.insert(address,
                QStringLiteral("data:image/%1;base64,%2")
                    .arg(QString::fromLatin1(format), QString::fromLatin1(bytes.toBase64())));
        }
    }
    if (--m_pending == 0)
        emit finished(HtmlSanitizer::inlinePictures(m_html, m_inlined));
}
