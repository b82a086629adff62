#include "editor/pagerequestinterceptor.h"

#include "editor/pagedocumentscheme.h"

#include <QMutexLocker>

namespace {

// The blocked list is for showing what a page tried; a page that keeps trying must not make
// it grow without end.
constexpr int blockedRecordLimit = 1000;

} // namespace

PageRequestInterceptor::PageRequestInterceptor(QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent)
{ }

bool PageRequestInterceptor::isAllowed(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    // The document scheme serves only the documents shown and refuses every other address.
    if (scheme == QLatin1String("qrc") || scheme == QLatin1String("data")
        || PageDocumentScheme::isDocumentUrl(url))
        return true;
    return scheme == QLatin1String("about") && url.path() == QLatin1String("blank");
}

void PageRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QUrl url = info.requestUrl();
    if (isAllowed(url))
        return;
    info.block(true);
    {
        // The engine may ask from a thread of its own.
        QMutexLocker locker(&m_mutex);
        if (m_blocked.size() < blockedRecordLimit)
            m_blocked.append(url);
    }
    emit requestBlocked(url);
}

QList<QUrl> PageRequestInterceptor::blockedUrls() const
{
    QMutexLocker locker(&m_mutex);
    return m_blocked;
}
