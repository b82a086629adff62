#pragma once

#include <QPointer>
#include <QWebEnginePage>

class PageDocumentScheme;
class PageProfile;
class QWebChannel;

// The editor's web page on Qt WebEngine. Only the documents the program sets itself are loaded:
// a refresh, a form, a frame or a script in the page never navigates anywhere, and a clicked
// link is reported through linkClicked() instead of followed. Page scripts reach the program
// through one object on a web channel, seen as "page" in the document. Permission requests are
// refused and console messages dropped: the program keeps no log, and a failing script must
// not reach the user.
class WebEnginePage final : public QWebEnginePage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebEnginePage)

public:
    // controller is what page scripts see as "page"; its slots are theirs to call.
    WebEnginePage(PageProfile *profile, QObject *controller, QObject *parent = nullptr);
    ~WebEnginePage() override;

    // Shows html, of any size, in place of the document shown so far. Unlike setHtml(), which
    // goes through a data: address the engine limits to 2 MB, it has the profile serve the
    // document under a fresh address. Scripts and styles of the program's resources load as
    // they do from setHtml().
    void setDocument(const QString &html);
    // The address of the document set last.
    QUrl documentUrl() const { return m_documentUrl; }

signals:
    void linkClicked(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
        int lineNumber, const QString &sourceID) override;

private:
    void installBridge(QObject *controller);

    QWebChannel *m_channel;
    QPointer<PageDocumentScheme> m_documentScheme;
    QUrl m_documentUrl;
};
