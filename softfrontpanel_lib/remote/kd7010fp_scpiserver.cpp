#include "kd7010fp_scpiserver.h"
#include "kd7010fp_tcp.h"

#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

namespace {

// How much of a first line is looked at before it is judged: a request line
// or header of a browser is far shorter.
constexpr qsizetype firstLineLimit = 1024;

} // namespace

struct kd7010fp_scpiServer::Client
{
    explicit Client(QTcpSocket *socket, kd7010fp_scpi::Parser &parser)
        : socket(socket)
        , conversation(parser)
        , address(socket->peerAddress().toString())
    {
    }

    QTcpSocket *socket;
    kd7010fp_scpi::Conversation conversation;
    QString address;
    QByteArray firstLine; // until judged: what came of the first line
    bool judged = false; // the first line is no browser's
    bool gone = false; // closed: removed once nobody serves it
};

kd7010fp_scpiServer::kd7010fp_scpiServer(kd7010fp_scpi::Parser *parser, QObject *parent)
    : QObject(parent)
    , m_parser(parser)
    , m_chunk(64 << 10, Qt::Uninitialized)
{
    m_holdPoll.setInterval(50);
    connect(&m_holdPoll, &QTimer::timeout, this, &kd7010fp_scpiServer::serve);
    m_waitForRoom.setSingleShot(true);
    m_waitForRoom.setInterval(waitForRoomMs);
    connect(&m_waitForRoom, &QTimer::timeout, this, [this] { accept(true); });
}

kd7010fp_scpiServer::~kd7010fp_scpiServer()
{
    for (const auto &client : m_clients)
        client->socket->disconnect(this);
}

bool kd7010fp_scpiServer::listen(quint16 port, const QList<QHostAddress> &addresses)
{
    close();
    const kd7010fp_tcp::Listening bound = kd7010fp_tcp::listen(this, addresses, port);
    m_servers = bound.servers;
    for (QTcpServer *server : std::as_const(m_servers))
        connect(server, &QTcpServer::newConnection, this, [this] { accept(); });
    const QStringList &problems = bound.problems;
    // A loopback the host lacks is no failure; a port taken by another is.
    if (m_servers.isEmpty() || bound.inUse || (!problems.isEmpty() && !addresses.isEmpty())) {
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
    m_waitForRoom.stop();
    closeClients();
    if (was)
        emit listening(false, QString());
}

quint16 kd7010fp_scpiServer::serverPort() const
{
    return m_servers.isEmpty() ? 0 : m_servers.first()->serverPort();
}

QStringList kd7010fp_scpiServer::clientAddresses() const
{
    QStringList addresses;
    for (const auto &client : m_clients)
        if (!client->gone)
            addresses << client->address;
    return addresses;
}

void kd7010fp_scpiServer::closeClients()
{
    const bool any = !clientAddresses().isEmpty();
    for (const auto &client : m_clients)
        drop(client.get());
    if (!m_serving)
        removeGone();
    m_holdPoll.stop();
    if (any)
        emit clientsChanged();
}

void kd7010fp_scpiServer::resume()
{
    serve();
}

bool kd7010fp_scpiServer::looksLikeHttp(QByteArrayView line)
{
    // "POST /path HTTP/1.1", "GET / HTTP/1.0", HTTP/2's "PRI * HTTP/2.0";
    // a header that came first ("Host: 127.0.0.1:5025"). No SCPI message
    // reads so: a header followed by ": " is a syntax error there.
    static const QRegularExpression request(QStringLiteral("^[A-Z]+ \\S+ HTTP/\\d"));
    static const QRegularExpression header(
        QStringLiteral("^(Host|Origin|Referer|User-Agent|Accept|Content-Type|Content-Length|Connection|Upgrade|Cookie|"
                       "Sec-[A-Za-z-]+):"),
        QRegularExpression::CaseInsensitiveOption);
    const QString text = QString::fromLatin1(line.first(std::min(line.size(), firstLineLimit)));
    return request.match(text).hasMatch() || header.match(text).hasMatch();
}

void kd7010fp_scpiServer::accept(bool turnAway)
{
    bool waiting = false;
    for (QTcpServer *server : std::as_const(m_servers)) {
        while (server->hasPendingConnections()) {
            if (int(clientAddresses().size()) < maxClients) {
                admit(server->nextPendingConnection());
                continue;
            }
            if (!turnAway) {
                waiting = true;
                break;
            }
            QTcpSocket *socket = server->nextPendingConnection();
            socket->setParent(this);
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write("-200,\"Execution error; " + QByteArray::number(maxClients)
                + " clients are connected already\"\n");
            socket->disconnectFromHost();
            emit turnedAway(tr("%1 was turned away: %2 clients are connected already.")
                                .arg(socket->peerAddress().toString())
                                .arg(maxClients));
        }
    }
    if (waiting && !m_waitForRoom.isActive())
        m_waitForRoom.start();
    if (!waiting)
        m_waitForRoom.stop();
    serve();
}

void kd7010fp_scpiServer::admit(QTcpSocket *socket)
{
    kd7010fp_tcp::adopt(socket, this);
    m_clients.push_back(std::make_unique<Client>(socket, *m_parser));
    connect(socket, &QTcpSocket::readyRead, this, &kd7010fp_scpiServer::serve);
    // A client that sends and closes at once still has its lines run.
    connect(socket, &QTcpSocket::disconnected, this, &kd7010fp_scpiServer::serve);
    emit clientsChanged();
}

void kd7010fp_scpiServer::serve()
{
    // A command's own event loop brings readyRead again: the loop below
    // goes round once more when it returns.
    if (m_serving) {
        m_again = true;
        return;
    }
    if (held()) {
        if (!m_clients.empty())
            m_holdPoll.start();
        return;
    }
    m_holdPoll.stop();
    {
        const QScopedValueRollback<bool> serving(m_serving, true);
        bool busy = true;
        while (busy || std::exchange(m_again, false)) {
            busy = false;
            // By index: a command may let a new client in meanwhile.
            for (size_t i = 0; i < m_clients.size(); ++i)
                if (!m_clients[i]->gone)
                    busy = serveOne(*m_clients[i]) || busy;
            if (held()) {
                m_holdPoll.start();
                break;
            }
        }
    }
    if (removeGone()) {
        emit clientsChanged();
        // Room for those that wait.
        if (m_waitForRoom.isActive())
            QTimer::singleShot(0, this, [this] { accept(); });
    }
}

bool kd7010fp_scpiServer::removeGone()
{
    const auto gone = std::remove_if(m_clients.begin(), m_clients.end(), [](const auto &client) { return client->gone; });
    const bool any = gone != m_clients.end();
    m_clients.erase(gone, m_clients.end());
    return any;
}

bool kd7010fp_scpiServer::serveOne(Client &client)
{
    QTcpSocket *socket = client.socket;
    bool did = false;
    // Nothing more is read while a whole message waits: what a client sends
    // beyond it waits in the socket, bounded.
    if (!client.conversation.hasInput()) {
        const qint64 read = socket->read(m_chunk.data(), m_chunk.size());
        if (read > 0) {
            did = true;
            const QByteArrayView bytes(m_chunk.constData(), read);
            if (!client.judged) {
                client.firstLine += bytes;
                const qsizetype newline = client.firstLine.indexOf('\n');
                const QByteArrayView line
                    = QByteArrayView(client.firstLine).first(newline < 0 ? client.firstLine.size() : newline);
                if (looksLikeHttp(line)) {
                    emit turnedAway(tr("A web browser's connection from %1 was closed unread: remote control "
                                       "takes SCPI, and a web page must not reach the outputs.")
                                        .arg(client.address));
                    drop(&client);
                    return true;
                }
                // Judged once the first line is whole.
                if (newline < 0 && client.firstLine.size() < firstLineLimit)
                    return true;
                client.judged = true;
                const QByteArray first = std::exchange(client.firstLine, QByteArray());
                client.conversation.append(first);
            } else {
                client.conversation.append(bytes);
            }
        }
    }
    // One message at a time from each client in turn.
    int asked = 0;
    client.conversation.run([this, &asked] { return asked++ > 0 || held(); });
    did = did || asked > 1;
    QByteArray &output = client.conversation.output();
    if (!output.isEmpty()) {
        if (socket->bytesToWrite() > replyLimit) {
            drop(&client);
            return true;
        }
        socket->write(output);
        output.clear();
    }
    // A client that has left is let go once what it sent has run (a line
    // waiting for a burst runs to its end first: its last OUTP OFF counts).
    if (socket->state() != QAbstractSocket::ConnectedState && !client.conversation.hasInput()
        && socket->bytesAvailable() == 0)
        drop(&client);
    return did;
}

void kd7010fp_scpiServer::drop(Client *client)
{
    if (client->gone)
        return;
    client->gone = true;
    QTcpSocket *socket = client->socket;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}
