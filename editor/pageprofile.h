#pragma once

#include <QWebEngineProfile>

class PageDocumentScheme;
class PageRequestInterceptor;

// The web engine profile of every page that shows page content. It is off the record: cache,
// cookies, storage and visited links live in memory only and end with the process. Nothing
// the engine could do by itself calls out (spell checking, prefetching, icons, hyperlink
// auditing), and each request passes the interceptor, which lets through only the program's
// resources, data: addresses and the documents the profile's pages show, which it serves itself.
class PageProfile final : public QWebEngineProfile
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageProfile)

public:
    explicit PageProfile(QObject *parent = nullptr);

    PageRequestInterceptor *interceptor() const { return m_interceptor; }
    PageDocumentScheme *documentScheme() const { return m_documentScheme; }

private:
    PageRequestInterceptor *m_interceptor;
    PageDocumentScheme *m_documentScheme;
};
