#include "editor/pageprofile.h"

#include "editor/pagedocumentscheme.h"
#include "editor/pagerequestinterceptor.h"

#include <QWebEngineCookieStore>
#include <QWebEngineSettings>

PageProfile::PageProfile(QObject *parent)
    // A profile made without a storage name is off the record.
    : QWebEngineProfile(parent)
    , m_interceptor(new PageRequestInterceptor(this))
    , m_documentScheme(new PageDocumentScheme(this))
{
    installUrlSchemeHandler(PageDocumentScheme::name, m_documentScheme);
    setHttpCacheType(MemoryHttpCache);
    setPersistentCookiesPolicy(NoPersistentCookies);
    setSpellCheckEnabled(false);
    setUrlRequestInterceptor(m_interceptor);
    // Shown pages have no business with cookies, even in memory.
    cookieStore()->setCookieFilter(
        [](const QWebEngineCookieStore::FilterRequest &) { return false; });

    QWebEngineSettings *pageSettings = settings();
    const QList<QWebEngineSettings::WebAttribute> off = {
        QWebEngineSettings::LocalContentCanAccessRemoteUrls,
        QWebEngineSettings::LocalContentCanAccessFileUrls,
        QWebEngineSettings::JavascriptCanOpenWindows,
        QWebEngineSettings::JavascriptCanAccessClipboard,
        QWebEngineSettings::JavascriptCanPaste,
        QWebEngineSettings::AllowWindowActivationFromJavaScript,
        QWebEngineSettings::LocalStorageEnabled,
        QWebEngineSettings::PluginsEnabled,
        QWebEngineSettings::PdfViewerEnabled,
        QWebEngineSettings::DnsPrefetchEnabled,
        QWebEngineSettings::HyperlinkAuditingEnabled,
        QWebEngineSettings::AutoLoadIconsForPage,
        QWebEngineSettings::TouchIconsEnabled,
        QWebEngineSettings::AllowRunningInsecureContent,
        QWebEngineSettings::AllowGeolocationOnInsecureOrigins,
        QWebEngineSettings::ScreenCaptureEnabled,
        QWebEngineSettings::FullScreenSupportEnabled,
        QWebEngineSettings::NavigateOnDropEnabled,
        // A refused address would otherwise show the engine's own error document.
        QWebEngineSettings::ErrorPageEnabled,
    };
    for (QWebEngineSettings::WebAttribute attribute : off)
        pageSettings->setAttribute(attribute, false);
    // WebRTC would otherwise tell the page the machine's local addresses.
    pageSettings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
}
