#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches the web pictures of pasted or dropped markup once, at the user's paste or drop, and
// hands the markup back with those pictures stored inline as data: addresses. A picture that
// fails, is not a picture, takes longer than the time-out or is larger than the limit is left
// out. This is the only way page content reaches the network.
class PictureInliner final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PictureInliner)

public:
    PictureInliner(const QString &html, QObject *parent);

    static constexpr int timeoutMilliseconds = 15000;
    static constexpr qint64 maxPictureBytes = 20 * 1024 * 1024;

    // Starts the fetches; finished() may be emitted before this returns when there are none.
    void start();

signals:
    void finished(const QString &html);

private:
    void onReplyFinished(QNetworkReply *reply, const QString &address);

    QString m_html;
    QNetworkAccessManager *m_network;
    QHash<QString, QString> m_inlined;
    int m_pending = 0;
};
