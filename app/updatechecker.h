#pragma once

#include <QObject>
#include <QUrl>

class QNetworkReply;
class QWidget;

// Asks the product web site whether a newer release exists and tells the user. A check never
// waits: it sends its request and returns, and the answer is shown when it arrives, or dropped
// when none came within the time-out.
class UpdateChecker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateChecker)

public:
    // Message boxes are shown over window, which owns the checker.
    explicit UpdateChecker(QWidget *window);

    // The site new checkers ask: "https://velmora.halvane.net", unless the environment variable
    // VELMORA_UPDATE_URL or a test names another server.
    static QUrl defaultServerUrl();
    static void setDefaultServerUrl(const QUrl &url);
    void setServerUrl(const QUrl &url);
    // The request of a check: the server, then "/checkforupdates/windows/" and the version.
    QUrl requestUrl() const;
    void setTimeout(int milliseconds);

    // An answer of exactly "1" shows the update box whether verbose or not. Any other answer
    // shows "No new updates", and a failed or timed-out request an error box, only when verbose
    // (the check the user asked for from the About box).
    void check(bool verbose);

signals:
    // After the answer of a check was shown and its box closed, or was dropped.
    void checkFinished();

private:
    void showAnswer(QNetworkReply *reply, bool verbose);
    void showUpdateAvailable();

    QWidget *m_window;
    QUrl m_serverUrl;
    int m_timeout = 5000;
};
