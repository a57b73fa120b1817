// Remote control as a LAN instrument: VXI-11 (ONC RPC over TCP), what VISA
// libraries open as TCPIP::host::inst0::INSTR, beside the raw socket.
//
// The core channel takes links to the one device, "inst0". Each link is a
// conversation of its own (kd7010fp_scpi::Conversation) over the one parser
// every transport shares: one error queue, one status byte. device_write
// hands a link its bytes (a message without END waits for the piece with
// END, or its newline); device_read answers with what the link's queries
// replied, END on the reply's last byte, requestSize and the termination
// character respected, and waits, up to its I/O timeout, while the link's
// line waits at *OPC? or *WAI. device_readstb is the status byte (as *STB?,
// message available included), device_trigger is *TRG, device_clear drops
// the link's unread input and output, and device_lock gives one link the
// device: while it holds it, the others' calls are refused (error 11) once
// their lock timeout has passed. The abort channel's device_abort ends a
// call that waits. The interrupt channel is not offered.
//
// Calls are answered on Qt's event loop: a call that must wait holds its
// connection's later calls (each client waits for its reply anyway) while
// the others go on. Nothing runs while the hold says so (the window shows a
// modal box), as on the socket. Memory stays bounded: a record beyond recordLimit closes its
// connection, a connection's calls are read one record at a time, a link's
// replies stop running while more than replyLimit of them wait unread, and
// connections and links are counted.
//
// maxRecvSize, the largest write a client is told it may send in one
// call, is 1024: some clients put END only on a piece of at most 1024
// bytes, so a larger maximum would leave a long write without its END.
#ifndef KD7010FP_VXI11SERVER_H
#define KD7010FP_VXI11SERVER_H

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "kd7010fp_rpc.h"
#include "kd7010fp_scpi.h"
#include "kd7010fp_vxi11.h"

class QTcpServer;
class QTcpSocket;

class kd7010fp_vxi11Server : public QObject
{
    Q_OBJECT

public:
    static constexpr quint32 maxRecvSize = 1024;
    static constexpr qsizetype recordLimit = kd7010fp_scpi::MessageReader::defaultLimit + 1024;
    static constexpr qsizetype replyLimit = qsizetype(8) << 20;
    static constexpr int maxConnections = 16;
    static constexpr int maxLinks = 16;

    // Serves `parser`'s commands (not owned; it outlives the server).
    explicit kd7010fp_vxi11Server(kd7010fp_scpi::Parser *parser, QObject *parent = nullptr);
    ~kd7010fp_vxi11Server() override;

    // While `hold` says so, no command runs (none by default); the server
    // looks again every 50 ms while it holds.
    void setHold(std::function<bool()> hold) { m_hold = std::move(hold); }

    // Listens on `addresses` (by default 127.0.0.1 and ::1), the core
    // channel and the abort channel each on a free port. On failure nothing
    // listens and errorString() says why.
    bool listen(const QList<QHostAddress> &addresses = {});
    // Stops listening and closes every connection.
    void close();
    bool isListening() const { return !m_core.isEmpty(); }
    quint16 serverPort() const; // the core channel's
    quint16 abortPort() const;
    QString errorString() const { return m_error; }

    // The addresses of the clients with core channels open, in the order
    // they came.
    QStringList clientAddresses() const;
    void closeClients();
    // An operation ended: lines waiting at *WAI or *OPC? go on, and reads
    // waiting for their replies with them.
    void resume();

signals:
    void clientsChanged();

private:
    struct Connection;
    struct Link
    {
        Connection *owner;
        kd7010fp_scpi::Conversation conversation;
    };
    enum class Outcome { Answered, Waits };

    QList<QTcpServer *> listenAll(const QList<QHostAddress> &addresses, bool abortChannel, QStringList *problems);
    void accept(QTcpServer *server, bool abortChannel);
    void serve();
    // Serves `c`'s calls until one must wait or none is left.
    void serveConnection(Connection &c);
    Outcome call(Connection &c, const QByteArray &record, QByteArray *reply);
    Outcome coreCall(Connection &c, const kd7010fp_rpc::Call &call, const kd7010fp_vxi11::Arguments &a,
        QByteArray *reply);
    // Whether `link` may act now: the lock held by another link refuses it
    // at once, or after its lock timeout when the call asks to wait.
    std::optional<qint32> lockRefusal(Connection &c, qint32 link, const kd7010fp_vxi11::Arguments &a) const;
    bool held() const;
    void runLinks();
    void drop(Connection *c);
    void destroyLink(qint32 id);
    // Forgets the connections dropped; true when there were any.
    bool removeGone();
    void scheduleDeadlines();

    kd7010fp_scpi::Parser *m_parser;
    QList<QTcpServer *> m_core;
    QList<QTcpServer *> m_abort;
    std::vector<std::unique_ptr<Connection>> m_connections;
    std::map<qint32, std::unique_ptr<Link>> m_links;
    qint32 m_nextLink = 1;
    std::optional<qint32> m_lock; // the link holding the device
    QByteArray m_chunk;
    QTimer m_poll; // a modal window open, or the next deadline
    bool m_serving = false;
    bool m_again = false;
    QString m_error;
    std::function<bool()> m_hold;
};

#endif
