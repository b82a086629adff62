#pragma once

#include <QList>
#include <QMutex>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

// Every request the web engine makes for a shown page passes here. Only the program's own
// resources (qrc:), data: addresses, the program's documents and about:blank go through; anything
// else (the web, local files, sockets, other schemes) is blocked before it leaves the engine.
class PageRequestInterceptor final : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageRequestInterceptor)

public:
    explicit PageRequestInterceptor(QObject *parent = nullptr);

    static bool isAllowed(const QUrl &url);
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
    // The addresses blocked so far, oldest first.
    QList<QUrl> blockedUrls() const;

signals:
    void requestBlocked(const QUrl &url);

private:
    mutable QMutex m_mutex;
    QList<QUrl> m_blocked;
};
