#include "editor/webenginepage.h"

#include "editor/pagedocumentscheme.h"
#include "editor/pageprofile.h"
#include "editor/pagerequestinterceptor.h"

#include <QFile>
#include <QWebChannel>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

WebEnginePage::WebEnginePage(PageProfile *profile, QObject *controller, QObject *parent)
    : QWebEnginePage(profile, parent)
    , m_channel(new QWebChannel(this))
    , m_documentScheme(profile->documentScheme())
{
    installBridge(controller);
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
        [this](const QUrl &origin, Feature feature) {
            setFeaturePermission(origin, feature, PermissionDeniedByUser);
        });
}

WebEnginePage::~WebEnginePage()
{
    if (m_documentScheme)
        m_documentScheme->removeDocument(m_documentUrl);
}

void WebEnginePage::setDocument(const QString &html)
{
    if (!m_documentScheme)
        return;
    m_documentScheme->removeDocument(m_documentUrl);
    m_documentUrl = m_documentScheme->addDocument(html);
    load(m_documentUrl);
}

void WebEnginePage::installBridge(QObject *controller)
{
    m_channel->registerObject(QStringLiteral("page"), controller);
    setWebChannel(m_channel, QWebEngineScript::MainWorld);

    // Qt's client side of the channel, from Qt WebChannel's own resources, is run in each
    // document before the document's scripts, so that no <script> element (which the page's
    // policy would have to allow) is needed. Answers come back asynchronously: "page" exists
    // once the channel has said which objects it holds, shortly after the document starts.
    // Without it (a broken Qt installation) the page still shows, only without the bridge.
    QFile client(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!client.open(QIODevice::ReadOnly)) {
        qWarning("Qt WebChannel's qwebchannel.js is missing from its resources");
        return;
    }
    QWebEngineScript bridge;
    bridge.setName(QStringLiteral("velmora-page-bridge"));
    bridge.setInjectionPoint(QWebEngineScript::DocumentCreation);
    bridge.setWorldId(QWebEngineScript::MainWorld);
    bridge.setRunsOnSubFrames(false);
    bridge.setSourceCode(QString::fromUtf8(client.readAll())
        + QStringLiteral("\nnew QWebChannel(qt.webChannelTransport, function (channel) {"
                         " window.page = channel.objects.page; });\n"));
    scripts().insert(bridge);
}

bool WebEnginePage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (type == NavigationTypeLinkClicked) {
        if (isMainFrame)
            emit linkClicked(url);
        return false;
    }
    // setDocument(), setHtml() and load() from the program arrive as typed; whatever the
    // document itself starts (redirects, forms, reloads, history, script or <meta> navigation,
    // frames) does not. Of the document scheme, only the document set last is loaded.
    // The engine does not ask about about:blank, which it loads without any request.
    if (!isMainFrame || type != NavigationTypeTyped)
        return false;
    if (PageDocumentScheme::isDocumentUrl(url))
        return url == m_documentUrl;
    return PageRequestInterceptor::isAllowed(url);
}

void WebEnginePage::javaScriptConsoleMessage(
    JavaScriptConsoleMessageLevel, const QString &, int, const QString &)
{ }
