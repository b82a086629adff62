#pragma once

#include <QNetworkAccessManager>

// The process's one network access manager, made on first use and destroyed when the
// application object goes away.
class NetworkAccessManager final : public QNetworkAccessManager
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkAccessManager)

public:
    static NetworkAccessManager *instance();

private:
    NetworkAccessManager() = default;
};
