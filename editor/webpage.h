#pragma once

#include <QWebPage>

// The editor's web page. Messages that page scripts write to the console are dropped: the
// program keeps no log, and a failing script must not reach the user.
class WebPage final : public QWebPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebPage)

public:
    explicit WebPage(QObject *parent = nullptr);

protected:
    // Only the documents the editor sets itself are loaded: a refresh, a form or a frame in
    // the page never navigates anywhere, and clicked links go to the window.
    bool acceptNavigationRequest(
        QWebFrame *frame, const QNetworkRequest &request, NavigationType type) override;
    void javaScriptConsoleMessage(
        const QString &message, int lineNumber, const QString &sourceID) override;
};
