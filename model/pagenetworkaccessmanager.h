#pragma once

#include <QNetworkAccessManager>

// The network access of every web page that shows or reads page content: the program's own
// resources (qrc:) and data: addresses are served, every other request is refused at once, so
// that no page can reach the network or the local files. Pictures from elsewhere show as broken.
class PageNetworkAccessManager final : public QNetworkAccessManager
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageNetworkAccessManager)

public:
    // One per process, made on first use and destroyed with the application object.
    static PageNetworkAccessManager *instance();
    static bool isAllowed(const QUrl &url);

protected:
    QNetworkReply *createRequest(
        Operation op, const QNetworkRequest &request, QIODevice *outgoingData) override;

private:
    PageNetworkAccessManager() = default;
};
