#include "editor/webpage.h"

#include "model/pagenetworkaccessmanager.h"

#include <QNetworkRequest>
#include <QWebFrame>
#include <QWebSettings>

WebPage::WebPage(QObject *parent)
    : QWebPage(parent)
{
    // The shown page loads nothing but the program's resources and inline pictures.
    setNetworkAccessManager(PageNetworkAccessManager::instance());
    QWebSettings *pageSettings = settings();
    pageSettings->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, false);
    pageSettings->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, false);
    pageSettings->setAttribute(QWebSettings::JavascriptCanOpenWindows, false);
    pageSettings->setAttribute(QWebSettings::JavascriptCanAccessClipboard, false);
    pageSettings->setAttribute(QWebSettings::PluginsEnabled, false);
    pageSettings->setAttribute(QWebSettings::DnsPrefetchEnabled, false);
}

bool WebPage::acceptNavigationRequest(
    QWebFrame *frame, const QNetworkRequest &request, NavigationType type)
{
    if (type == NavigationTypeLinkClicked)
        return QWebPage::acceptNavigationRequest(frame, request, type);
    const QUrl url = request.url();
    return frame == mainFrame() && type == NavigationTypeOther
        && (url.isEmpty() || url.scheme() == QLatin1String("about"));
}

void WebPage::javaScriptConsoleMessage(const QString &, int, const QString &) { }
