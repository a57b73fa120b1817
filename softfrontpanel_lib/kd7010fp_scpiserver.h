// Remote control over a TCP socket: SCPI lines from a lab's scripts (a
// socket resource of VISA, nc in a shell), one client at a time.
//
// What the client sends is cut into messages (kd7010fp_scpi::MessageReader)
// and each whole message is handed to the executor, whose reply line goes
// back in one piece; half a line never runs. While any modal window is open
// nothing is read, so a message box's own event loop never runs a remote
// command; reading resumes when it closes. A second client is told
//     -200,"Execution error; another client is connected"
// and closed; the first goes on.
//
// Memory stays bounded whatever a client does: the socket buffers at most
// readBufferSize of what was sent, the reader refuses a message beyond its
// limit (inputOverrun()), and a client that sends queries but never reads
// their replies is dropped when, a reply being due, more than replyLimit of
// earlier replies still wait for it. 8 MiB holds several replies of a whole
// shape, so a client that reads late is not dropped for it.
#ifndef KD7010FP_SCPISERVER_H
#define KD7010FP_SCPISERVER_H

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

#include "kd7010fp_scpi.h"

class QTcpServer;
class QTcpSocket;

class kd7010fp_scpiServer : public QObject
{
    Q_OBJECT

public:
    // Takes one message; returns its reply line ("\n" included) or nothing.
    using Executor = std::function<QByteArray(const QByteArray &message)>;

    static constexpr quint16 defaultPort = 5025;
    static constexpr qint64 replyLimit = qint64(8) << 20;
    static constexpr qint64 readBufferSize = qint64(256) << 10;

    explicit kd7010fp_scpiServer(QObject *parent = nullptr);
    ~kd7010fp_scpiServer() override;

    void setExecutor(Executor executor);

    // Listens on `addresses`, by default 127.0.0.1 and ::1 (a host without
    // IPv6 is served on the first alone); port 0 takes a free port. On
    // failure nothing listens and errorString() says why.
    bool listen(quint16 port = defaultPort, const QList<QHostAddress> &addresses = {});
    void close();
    bool isListening() const { return !m_servers.isEmpty(); }
    quint16 serverPort() const;
    QString errorString() const { return m_error; }
    // The connected client's address, empty when there is none.
    QString clientAddress() const;

signals:
    void clientChanged(const QString &address);
    // `problem` says why the port could not be opened, when it could not.
    void listening(bool on, const QString &problem);
    // A message beyond the reader's limit was refused.
    void inputOverrun();

private:
    void accept(QTcpServer *server);
    void serve();
    void dropClient();
    static bool modalOpen();

    Executor m_executor;
    QList<QTcpServer *> m_servers;
    QPointer<QTcpSocket> m_client;
    kd7010fp_scpi::MessageReader m_reader;
    QByteArray m_chunk;
    QTimer m_modalPoll;
    bool m_serving = false;
    QString m_error;
};

#endif
