#include "model/pagenetworkaccessmanager.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QTimer>

namespace {

// A reply that fails as soon as the event loop runs, without touching any network or file.
class RefusedReply final : public QNetworkReply
{
public:
    RefusedReply(
        QNetworkAccessManager::Operation op, const QNetworkRequest &request, QObject *parent)
        : QNetworkReply(parent)
    {
        setRequest(request);
        setUrl(request.url());
        setOperation(op);
        open(QIODevice::ReadOnly);
        setError(ContentAccessDenied, QStringLiteral("Page content may not load this address"));
        setFinished(true);
        QTimer::singleShot(0, this, [this] {
            emit errorOccurred(ContentAccessDenied);
            emit finished();
        });
    }
    void abort() override { }
    qint64 bytesAvailable() const override { return 0; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
};

PageNetworkAccessManager *sharedManager = nullptr;

void destroySharedManager()
{
    delete sharedManager;
    sharedManager = nullptr;
}

} // namespace

PageNetworkAccessManager *PageNetworkAccessManager::instance()
{
    if (!sharedManager) {
        sharedManager = new PageNetworkAccessManager;
        qAddPostRoutine(destroySharedManager);
    }
    return sharedManager;
}

bool PageNetworkAccessManager::isAllowed(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("qrc") || scheme == QLatin1String("data");
}

QNetworkReply *PageNetworkAccessManager::createRequest(
    Operation op, const QNetworkRequest &request, QIODevice *outgoingData)
{
    if (op == GetOperation && isAllowed(request.url()))
        return QNetworkAccessManager::createRequest(op, request, outgoingData);
    return new RefusedReply(op, request, this);
}
