#include "app/updatechecker.h"

#include "app/networkaccessmanager.h"
#include "app/productinfo.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace {

QUrl &defaultUrl()
{
    // VELMORA_UPDATE_URL points every copy at another server, as the tests do with a closed
    // port on this machine for the copies of the program they start.
    static QUrl url(qEnvironmentVariableIsSet("VELMORA_UPDATE_URL")
            ? qEnvironmentVariable("VELMORA_UPDATE_URL")
            : QStringLiteral("https://%1").arg(QLatin1String(productHost)));
    return url;
}

// The answer is "1" or "0"; anything much longer is no answer and is not read on.
const qint64 maxReplyBytes = 1024;

// The product web site, where the new release is offered.
QUrl siteUrl()
{
    return QUrl(QStringLiteral("https://%1").arg(QLatin1String(productHost)));
}

// Runs an information box with the buttons given; true when the first one was pressed.
bool runInformationBox(QWidget *parent, const QString &title, const QString &text,
    const QString &acceptText, const QString &rejectText)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::NoButton, parent,
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    QPushButton *accept = nullptr;
    if (!acceptText.isEmpty())
        accept = box.addButton(acceptText, QMessageBox::AcceptRole);
    box.addButton(rejectText, QMessageBox::RejectRole);
    box.exec();
    return accept && box.clickedButton() == accept;
}

} // namespace

UpdateChecker::UpdateChecker(QWidget *window)
    : QObject(window)
    , m_window(window)
    , m_serverUrl(defaultUrl())
{ }

QUrl UpdateChecker::defaultServerUrl()
{
    return defaultUrl();
}

void UpdateChecker::setDefaultServerUrl(const QUrl &url)
{
    defaultUrl() = url;
}

void UpdateChecker::setServerUrl(const QUrl &url)
{
    m_serverUrl = url;
}

QUrl UpdateChecker::requestUrl() const
{
    QUrl url = m_serverUrl;
    url.setPath(QStringLiteral("/checkforupdates/windows/%1").arg(QLatin1String(productVersion)));
    return url;
}

void UpdateChecker::setTimeout(int milliseconds)
{
    m_timeout = milliseconds;
}

void UpdateChecker::check(bool verbose)
{
    QNetworkReply *reply = NetworkAccessManager::instance()->get(QNetworkRequest(requestUrl()));
    // Owned here, so that a window closed during a check takes its request with it.
    reply->setParent(this);
    // A server that takes the connection and never answers would otherwise hold the request
    // open for good; aborting ends it as a failed one.
    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, reply, &QNetworkReply::abort);
    timer->start(m_timeout);
    // The reply is held in memory: a server that streams without end is cut off at once.
    reply->setReadBufferSize(maxReplyBytes + 1);
    connect(reply, &QNetworkReply::readyRead, reply, [reply] {
        if (reply->bytesAvailable() > maxReplyBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, verbose] {
        reply->deleteLater();
        showAnswer(reply, verbose);
        emit checkFinished();
    });
}

void UpdateChecker::showAnswer(QNetworkReply *reply, bool verbose)
{
    if (reply->error() != QNetworkReply::NoError) {
        if (verbose) {
            runInformationBox(m_window, tr("Error connecting to server."),
                tr("Unable to connect to server to check for updates. Please try "
                   "again later."),
                QString(), tr("OK"));
        }
        return;
    }
    if (reply->readAll() == "1") {
        showUpdateAvailable();
    } else if (verbose) {
        runInformationBox(m_window, tr("No new updates"),
            tr("You are already running the latest version of Velmora."), QString(), tr("OK"));
    }
}

void UpdateChecker::showUpdateAvailable()
{
    const QString host = QLatin1String(productHost);
    const QString text = tr("A new version of Velmora is available.") + QStringLiteral("\n\n")
        + tr("Please visit %1 to download the latest version.").arg(host);
    if (runInformationBox(m_window, tr("An update is available!"), text,
            QStringLiteral("  ") + tr("Go to %1").arg(host) + QStringLiteral("  "), tr("Cancel")))
        QDesktopServices::openUrl(siteUrl());
}
