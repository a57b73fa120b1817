// What the socket server and the VXI-11 server do alike with TCP: listen on
// a set of addresses with one port, and take a client's connection.
#ifndef KD7010FP_TCP_H
#define KD7010FP_TCP_H

#include <QHostAddress>
#include <QList>
#include <QStringList>

class QObject;
class QTcpServer;
class QTcpSocket;

namespace kd7010fp_tcp {

// What waits unread in one client's socket: beyond it the client's sending
// waits.
constexpr qint64 readBufferSize = qint64(256) << 10;

struct Listening
{
    QList<QTcpServer *> servers; // children of the parent given
    QStringList problems; // "address port N: why", one for each address refused
    bool inUse = false; // one was refused because another program has the port
};

// Servers on `port` (0: one the system picks) at each address, both
// loopbacks when none is given; the addresses after the first take the
// port the first was given.
Listening listen(QObject *parent, const QList<QHostAddress> &addresses, quint16 port);

// A client's socket taken as a child of `parent`: its unread bytes bounded
// by readBufferSize, and kept alive so that a vanished host is dropped
// within two minutes.
void adopt(QTcpSocket *socket, QObject *parent);

} // namespace kd7010fp_tcp

#endif
