#include "app/runninginstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace lumivox {

namespace {

constexpr char kKnock = 'A';

} // namespace

RunningInstance::RunningInstance(const QString &key, QObject *parent)
    : QObject(parent),
      m_name(QStringLiteral("lumivox-")
             + QString::fromLatin1(
                 QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(24)))
{
}

RunningInstance::~RunningInstance() = default;

bool RunningInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A door left by a program that was killed would refuse the name.
    QLocalServer::removeServer(m_name);
    if (!m_server->listen(m_name))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(kKnock)) {
                    socket->write(&kKnock, 1);
                    socket->flush();
                    Q_EMIT activationRequested();
                }
            });
        }
    });
    return true;
}

bool RunningInstance::knock(int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(&kKnock, 1);
    return socket.waitForBytesWritten(timeoutMs) && socket.waitForReadyRead(timeoutMs);
}

} // namespace lumivox
