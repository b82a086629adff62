#include "app/instancechannel.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

// A path and its line break; a longer message is no path this program sent.
const qint64 maxMessageSize = 64 * 1024;
// The running copy's answer once it has the path.
const char acknowledgement = '1';

} // namespace

InstanceChannel::InstanceChannel(QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
            readFrom(socket);
        }
    });
}

QString InstanceChannel::socketPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/velmora.socket");
}

bool InstanceChannel::listen()
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Called only by the holder of the single-instance lock, so a socket already there was left
    // by a copy that is gone.
    QLocalServer::removeServer(socketPath());
    return m_server->listen(socketPath());
}

void InstanceChannel::readFrom(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > maxMessageSize)
            socket->abort();
        return;
    }
    const QString path = QString::fromUtf8(socket->readLine()).chopped(1);
    socket->write(&acknowledgement, 1);
    socket->disconnectFromServer();
    if (!path.isEmpty())
        emit fileReceived(path);
}

bool InstanceChannel::handOver(const QString &path, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(QFileInfo(path).absoluteFilePath().toUtf8() + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == acknowledgement;
}
