#include "editor/webpage.h"

#include "model/pagenetworkaccessmanager.h"

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

void WebPage::javaScriptConsoleMessage(const QString &, int, const QString &) { }
