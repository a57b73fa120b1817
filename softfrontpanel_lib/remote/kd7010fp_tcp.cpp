#include "kd7010fp_tcp.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace kd7010fp_tcp {

Listening listen(QObject *parent, const QList<QHostAddress> &addresses, quint16 port)
{
    const QList<QHostAddress> wanted
        = addresses.isEmpty() ? QList<QHostAddress> { QHostAddress::LocalHost, QHostAddress::LocalHostIPv6 } : addresses;
    Listening result;
    for (const QHostAddress &address : wanted) {
        auto *server = new QTcpServer(parent);
        if (server->listen(address, port)) {
            port = server->serverPort();
            result.servers.append(server);
            continue;
        }
        result.inUse = result.inUse || server->serverError() == QAbstractSocket::AddressInUseError;
        result.problems << QCoreApplication::translate("kd7010fp_tcp", "%1 port %2: %3")
                               .arg(address.toString())
                               .arg(port)
                               .arg(server->errorString());
        delete server;
    }
    return result;
}

void adopt(QTcpSocket *socket, QObject *parent)
{
    socket->setParent(parent);
    socket->setReadBufferSize(readBufferSize);
    // Probed after a minute of silence, every 10 s, given up after 6
    // unanswered probes.
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const int fd = int(socket->socketDescriptor());
    const int idle = 60, interval = 10, count = 6;
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
#endif
}

} // namespace kd7010fp_tcp
