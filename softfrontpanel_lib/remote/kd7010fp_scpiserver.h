// Remote control over TCP sockets: SCPI lines from a lab's scripts (a socket
// resource of VISA, nc in a shell), several clients at once.
//
// Each client has a conversation of its own (kd7010fp_scpi::Conversation):
// what it sent and was not yet run, and the replies it has not read. All of
// them speak to the one parser, so they share one error queue and one status
// byte, as the clients of one bench instrument do. Whole messages run one at
// a time, taken in turn from the clients that have one; half a line never
// runs. While the hold says so nothing is run: the window holds remote
// commands while it shows a modal box, so a box's own event loop never runs
// one; running resumes when it closes. A line waiting at *WAI or *OPC?
// holds its own client alone, until resume() is called.
//
// A connection whose first line is a web browser's (an HTTP request line or
// header) is closed unread: a web page the operator has open could otherwise
// post commands to the port. Beyond maxClients a newcomer waits for a client
// to leave (a script that opens as the last one closes is served); one that
// still finds no room after waitForRoomMs is told
//     -200,"Execution error; N clients are connected already"
// and closed. Sockets use TCP keep-alive, so a client whose host vanished is
// dropped within about two minutes.
//
// Memory stays bounded whatever a client does: the socket buffers at most
// kd7010fp_tcp::readBufferSize of what was sent, the reader refuses a message beyond its
// limit (-363), and a client that sends queries but never reads their
// replies is dropped when, a reply being due, more than replyLimit of
// earlier replies still wait for it. 8 MiB holds several replies of a whole
// shape, so a client that reads late is not dropped for it.
#ifndef KD7010FP_SCPISERVER_H
#define KD7010FP_SCPISERVER_H

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "kd7010fp_scpi.h"

class QTcpServer;
class QTcpSocket;

class kd7010fp_scpiServer : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 defaultPort = 5025;
    static constexpr int maxClients = 8;
    static constexpr int waitForRoomMs = 1000;
    static constexpr qint64 replyLimit = qint64(8) << 20;

    // Serves `parser`'s commands (not owned; it outlives the server).
    explicit kd7010fp_scpiServer(kd7010fp_scpi::Parser *parser, QObject *parent = nullptr);
    ~kd7010fp_scpiServer() override;

    // While `hold` says so, no command runs (none by default); the server
    // looks again every 50 ms while it holds.
    void setHold(std::function<bool()> hold) { m_hold = std::move(hold); }

    // Listens on `addresses`, by default 127.0.0.1 and ::1 (a host without
    // IPv6 is served on the first alone); port 0 takes a free port. On
    // failure nothing listens and errorString() says why.
    bool listen(quint16 port = defaultPort, const QList<QHostAddress> &addresses = {});
    // Stops listening and closes every client.
    void close();
    bool isListening() const { return !m_servers.isEmpty(); }
    quint16 serverPort() const;
    QString errorString() const { return m_error; }

    // The connected clients' addresses, in the order they came.
    QStringList clientAddresses() const;
    int clientCount() const { return int(m_clients.size()); }
    // Closes every client's connection (the operator's choice); listening goes on.
    void closeClients();
    // An operation ended: lines waiting at *WAI or *OPC? go on.
    void resume();

    // Whether `line` (a connection's first line, or as much of it as came)
    // is a web browser's: an HTTP request line or header.
    static bool looksLikeHttp(QByteArrayView line);

signals:
    void clientsChanged();
    // `problem` says why the port could not be opened, when it could not.
    void listening(bool on, const QString &problem);
    // A connection was closed unserved, and why (a web page's, one too many).
    void turnedAway(const QString &why);

private:
    struct Client;

    // Takes the connections waiting while there is room; `turnAway`: the
    // others are refused.
    void accept(bool turnAway = false);
    void admit(QTcpSocket *socket);
    // Runs what the clients sent, a whole message from each in turn, until
    // nothing more can run now.
    void serve();
    // Reads what `client` sent and runs one of its messages; true when it
    // did something.
    bool serveOne(Client &client);
    void drop(Client *client);
    // Forgets the clients dropped; true when there were any.
    bool removeGone();
    bool held() const { return m_hold && m_hold(); }

    kd7010fp_scpi::Parser *m_parser;
    QList<QTcpServer *> m_servers;
    std::vector<std::unique_ptr<Client>> m_clients;
    QByteArray m_chunk;
    QTimer m_holdPoll;
    QTimer m_waitForRoom;
    bool m_serving = false;
    bool m_again = false; // asked to serve while serving
    QString m_error;
    std::function<bool()> m_hold;
};

#endif
