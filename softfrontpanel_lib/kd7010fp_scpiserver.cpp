#include "kd7010fp_scpiserver.h"

#include <QApplication>
#include <QScopedValueRollback>
#include <QTcpServer>
#include <QTcpSocket>

kd7010fp_scpiServer::kd7010fp_scpiServer(QObject *parent)
    : QObject(parent)
    , m_chunk(64 << 10, Qt::Uninitialized)
{
    m_modalPoll.setInterval(50);
    connect(&m_modalPoll, &QTimer::timeout, this, &kd7010fp_scpiServer::serve);
}

kd7010fp_scpiServer::~kd7010fp_scpiServer()
{
    if (m_client)
        m_client->disconnect(this);
}

void kd7010fp_scpiServer::setExecutor(Executor executor)
{
    m_executor = std::move(executor);
}

bool kd7010fp_scpiServer::listen(quint16 port, const QList<QHostAddress> &addresses)
{
    close();
    const QList<QHostAddress> wanted
        = addresses.isEmpty() ? QList<QHostAddress> { QHostAddress::LocalHost, QHostAddress::LocalHostIPv6 } : addresses;
    QStringList problems;
    bool inUse = false;
    for (const QHostAddress &address : wanted) {
        auto *server = new QTcpServer(this);
        if (server->listen(address, port)) {
            // Port 0: the others take the port the first was given.
            port = server->serverPort();
            connect(server, &QTcpServer::newConnection, this, [this, server] { accept(server); });
            m_servers.append(server);
            continue;
        }
        inUse = inUse || server->serverError() == QAbstractSocket::AddressInUseError;
        problems << tr("%1 port %2: %3").arg(address.toString()).arg(port).arg(server->errorString());
        delete server;
    }
    // A loopback the host lacks is no failure; a port taken by another is.
    if (m_servers.isEmpty() || inUse || (!problems.isEmpty() && !addresses.isEmpty())) {
        qDeleteAll(m_servers);
        m_servers.clear();
        m_error = tr("Remote control cannot listen on %1.").arg(problems.join(QLatin1String("; ")));
        emit listening(false, m_error);
        return false;
    }
    m_error.clear();
    emit listening(true, QString());
    return true;
}

void kd7010fp_scpiServer::close()
{
    const bool was = isListening();
    qDeleteAll(m_servers);
    m_servers.clear();
    dropClient();
    if (was)
        emit listening(false, QString());
}

quint16 kd7010fp_scpiServer::serverPort() const
{
    return m_servers.isEmpty() ? 0 : m_servers.first()->serverPort();
}

QString kd7010fp_scpiServer::clientAddress() const
{
    return m_client ? m_client->peerAddress().toString() : QString();
}

void kd7010fp_scpiServer::accept(QTcpServer *server)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        socket->setParent(this);
        if (m_client) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write("-200,\"Execution error; another client is connected\"\n");
            socket->disconnectFromHost();
            continue;
        }
        m_client = socket;
        m_reader.clear();
        // What waits in the socket is bounded too: beyond it the client's
        // sending waits.
        socket->setReadBufferSize(readBufferSize);
        connect(socket, &QTcpSocket::readyRead, this, &kd7010fp_scpiServer::serve);
        // A client that sends and closes at once still has its lines run.
        connect(socket, &QTcpSocket::disconnected, this, &kd7010fp_scpiServer::serve);
        emit clientChanged(clientAddress());
        serve();
    }
}

bool kd7010fp_scpiServer::modalOpen()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) && QApplication::activeModalWidget();
}

// Runs the client's whole messages and reads on while none is left, until a
// modal window opens or the client has nothing more.
void kd7010fp_scpiServer::serve()
{
    // An executor's own event loop brings readyRead again: the loop below
    // goes on once it returns.
    if (m_serving || !m_client)
        return;
    if (modalOpen()) {
        m_modalPoll.start();
        return;
    }
    m_modalPoll.stop();
    QScopedValueRollback<bool> serving(m_serving, true);
    QTcpSocket *client = m_client;
    while (m_client == client) {
        QByteArray message;
        const auto got = m_reader.next(&message);
        if (got == kd7010fp_scpi::MessageReader::Nothing) {
            const qint64 read = client->read(m_chunk.data(), m_chunk.size());
            if (read <= 0)
                break;
            m_reader.append(QByteArrayView(m_chunk.constData(), read));
            continue;
        }
        if (got == kd7010fp_scpi::MessageReader::Overrun) {
            emit inputOverrun();
            continue;
        }
        const QByteArray reply = m_executor ? m_executor(message) : QByteArray();
        if (m_client != client)
            return;
        if (!reply.isEmpty()) {
            if (client->bytesToWrite() > replyLimit) {
                dropClient();
                return;
            }
            client->write(reply);
        }
        if (modalOpen()) {
            m_modalPoll.start();
            return;
        }
    }
    if (m_client == client && client->state() != QAbstractSocket::ConnectedState)
        dropClient();
}

void kd7010fp_scpiServer::dropClient()
{
    if (!m_client)
        return;
    QTcpSocket *client = m_client;
    m_client = nullptr;
    client->disconnect(this);
    client->abort();
    client->deleteLater();
    m_reader.clear();
    m_modalPoll.stop();
    emit clientChanged(QString());
}
