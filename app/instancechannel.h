#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The local socket through which a second copy of the program, started with a wiki while one
// runs, hands that wiki to the running copy. The socket lives in the per-user runtime folder
// and only its user may connect to it. The running copy listens; the second copy sends the
// wiki's absolute path and leaves.
class InstanceChannel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InstanceChannel)

public:
    explicit InstanceChannel(QObject *parent = nullptr);

    // "velmora.socket" in the per-user runtime folder.
    static QString socketPath();

    // Starts listening. Whoever holds the single-instance lock may take over a socket that a
    // crashed copy left behind. False when the socket cannot be made.
    bool listen();

    // Hands path to the running copy and waits, at most timeoutMs, until it has taken it.
    // Needs a QCoreApplication. False when no copy listens or it did not answer.
    static bool handOver(const QString &path, int timeoutMs = 3000);

signals:
    // A second copy asked for the wiki at path to be opened.
    void fileReceived(const QString &path);

private:
    void readFrom(QLocalSocket *socket);

    QLocalServer *m_server;
};
