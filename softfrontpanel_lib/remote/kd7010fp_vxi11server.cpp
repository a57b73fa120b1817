#include "kd7010fp_vxi11server.h"
#include "kd7010fp_tcp.h"

#include <QCoreApplication>
#include <QScopedValueRollback>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <climits>

using namespace kd7010fp_vxi11;
namespace rpc = kd7010fp_rpc;

struct kd7010fp_vxi11Server::Connection
{
    Connection(QTcpSocket *socket, bool abortChannel)
        : socket(socket)
        , abortChannel(abortChannel)
    {
    }

    QTcpSocket *socket;
    bool abortChannel;
    rpc::RecordReader records { recordLimit };
    // The call being served; it waits while it cannot be answered yet.
    std::optional<QByteArray> current;
    QElapsedTimer since; // it came
    qint64 wakeIn = -1; // ms until it times out while it waits
    qint32 waitingLink = 0;
    bool aborted = false; // device_abort ended its wait
    bool gone = false;
};

namespace {

// A call refused with `error`, in the shape of the procedure's results.
QByteArray refusal(quint32 procedure, quint32 xid, qint32 error)
{
    switch (procedure) {
    case CreateLink: return createLinkReply(xid, error, 0, 0, 0);
    case DeviceWrite: return writeReply(xid, error, 0);
    case DeviceRead: return readReply(xid, error, 0, {});
    case DeviceReadStb: return readStbReply(xid, error, 0);
    case DeviceDocmd: return docmdReply(xid, error);
    default: return errorReply(xid, error);
    }
}

// IEEE 488.2's message available bit of the status byte.
constexpr quint8 messageAvailable = 0x10;

} // namespace

kd7010fp_vxi11Server::kd7010fp_vxi11Server(kd7010fp_scpi::Parser *parser, QObject *parent)
    : QObject(parent)
    , m_parser(parser)
    , m_chunk(64 << 10, Qt::Uninitialized)
{
    m_poll.setSingleShot(true);
    connect(&m_poll, &QTimer::timeout, this, &kd7010fp_vxi11Server::serve);
}

kd7010fp_vxi11Server::~kd7010fp_vxi11Server()
{
    for (const auto &c : m_connections)
        c->socket->disconnect(this);
}

QList<QTcpServer *> kd7010fp_vxi11Server::listenAll(const QList<QHostAddress> &addresses, bool abortChannel,
    QStringList *problems)
{
    const kd7010fp_tcp::Listening bound = kd7010fp_tcp::listen(this, addresses, 0);
    for (QTcpServer *server : bound.servers)
        connect(server, &QTcpServer::newConnection, this,
            [this, server, abortChannel] { accept(server, abortChannel); });
    *problems << bound.problems;
    return bound.servers;
}

bool kd7010fp_vxi11Server::listen(const QList<QHostAddress> &addresses)
{
    close();
    QStringList problems;
    m_core = listenAll(addresses, false, &problems);
    m_abort = listenAll(addresses, true, &problems);
    // A loopback the host lacks is no failure; an address asked for is.
    if (m_core.isEmpty() || m_abort.isEmpty() || (!problems.isEmpty() && !addresses.isEmpty())) {
        close();
        m_error = tr("VXI-11 cannot listen on %1.").arg(problems.join(QLatin1String("; ")));
        return false;
    }
    m_error.clear();
    return true;
}

void kd7010fp_vxi11Server::close()
{
    qDeleteAll(m_core);
    qDeleteAll(m_abort);
    m_core.clear();
    m_abort.clear();
    closeClients();
}

void kd7010fp_vxi11Server::closeClients()
{
    for (const auto &c : m_connections)
        drop(c.get());
    if (m_serving)
        m_again = true;
    else
        removeGone();
}

quint16 kd7010fp_vxi11Server::serverPort() const
{
    return m_core.isEmpty() ? 0 : m_core.first()->serverPort();
}

quint16 kd7010fp_vxi11Server::abortPort() const
{
    return m_abort.isEmpty() ? 0 : m_abort.first()->serverPort();
}

QStringList kd7010fp_vxi11Server::clientAddresses() const
{
    QStringList addresses;
    for (const auto &c : m_connections)
        if (!c->abortChannel && !c->gone)
            addresses << c->socket->peerAddress().toString();
    return addresses;
}

void kd7010fp_vxi11Server::resume()
{
    serve();
}

void kd7010fp_vxi11Server::accept(QTcpServer *server, bool abortChannel)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        if (m_connections.size() >= size_t(maxConnections)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        kd7010fp_tcp::adopt(socket, this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_connections.push_back(std::make_unique<Connection>(socket, abortChannel));
        Connection *c = m_connections.back().get();
        connect(socket, &QTcpSocket::readyRead, this, &kd7010fp_vxi11Server::serve);
        // A client held back for its unread replies goes on as they leave.
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            if (socket->bytesToWrite() <= replyLimit)
                serve();
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, c] {
            drop(c);
            serve();
        });
        if (!abortChannel)
            emit clientsChanged();
    }
    serve();
}

bool kd7010fp_vxi11Server::held() const
{
    return m_hold && m_hold();
}

void kd7010fp_vxi11Server::runLinks()
{
    const auto hold = [this] { return held(); };
    for (const auto &[id, link] : m_links)
        if (link->conversation.output().size() < replyLimit && !hold())
            link->conversation.run(hold);
}

void kd7010fp_vxi11Server::serve()
{
    // A command's own event loop brings readyRead again: the loop below
    // goes on once it returns.
    if (m_serving) {
        m_again = true;
        return;
    }
    QScopedValueRollback<bool> serving(m_serving, true);
    do {
        m_again = false;
        runLinks();
        // Accepting within a command's event loop may add connections.
        for (size_t i = 0; i < m_connections.size(); ++i)
            serveConnection(*m_connections[i]);
    } while (m_again || removeGone());
    scheduleDeadlines();
}

void kd7010fp_vxi11Server::serveConnection(Connection &c)
{
    while (!c.gone) {
        // A client that reads no replies gets no more until it does.
        if (c.socket->bytesToWrite() > replyLimit)
            return;
        if (!c.current) {
            QByteArray record;
            if (!c.records.next(&record)) {
                const qint64 read = c.socket->read(m_chunk.data(), m_chunk.size());
                if (read <= 0)
                    return;
                if (!c.records.append(QByteArrayView(m_chunk.constData(), read))) {
                    drop(&c);
                    return;
                }
                continue;
            }
            c.current = std::move(record);
            c.since.start();
            c.aborted = false;
        }
        QByteArray reply;
        if (call(c, *c.current, &reply) == Outcome::Waits)
            return;
        c.current.reset();
        c.wakeIn = -1;
        // Sent now rather than on the next turn of the event loop: the
        // client waits for it before its next call.
        if (!reply.isEmpty()) {
            c.socket->write(reply);
            c.socket->flush();
        }
        // What it did (an unlock, a run) may let a waiting call go on.
        m_again = true;
    }
}

kd7010fp_vxi11Server::Outcome kd7010fp_vxi11Server::call(Connection &c, const QByteArray &record, QByteArray *reply)
{
    rpc::Call call;
    switch (rpc::readCall(record, &call, reply)) {
    case rpc::Received::Ignored:
    case rpc::Received::Refused:
        return Outcome::Answered;
    case rpc::Received::Call:
        break;
    }
    const quint32 program = c.abortChannel ? quint32(AbortProgram) : quint32(CoreProgram);
    Arguments a;
    if (call.program != program)
        *reply = rpc::reply(call.xid, rpc::ProgramUnavailable);
    else if (call.version != Version)
        *reply = rpc::reply(call.xid, rpc::ProgramMismatch, Version, Version);
    else if (call.procedure == 0) // the null procedure: a client's ping
        *reply = rpc::reply(call.xid, rpc::Success);
    else if (!readArguments(program, call.procedure, call.arguments, quint32(recordLimit), &a))
        *reply = rpc::reply(call.xid, rpc::GarbageArguments);
    else if (!c.abortChannel)
        return coreCall(c, call, a, reply);
    else if (call.procedure != DeviceAbort)
        *reply = rpc::reply(call.xid, rpc::ProcedureUnavailable);
    else if (const auto link = m_links.find(a.link); link == m_links.end())
        *reply = errorReply(call.xid, InvalidLink);
    else {
        // The link's call that waits (a read at *OPC?, a lock) ends now.
        Connection *owner = link->second->owner;
        if (owner->current && owner->wakeIn >= 0 && owner->waitingLink == a.link)
            owner->aborted = true;
        *reply = errorReply(call.xid, NoError);
    }
    return Outcome::Answered;
}

std::optional<qint32> kd7010fp_vxi11Server::lockRefusal(Connection &c, qint32 link, const Arguments &a) const
{
    if (!m_lock || *m_lock == link)
        return std::nullopt;
    if ((a.flags & WaitLock) && !c.since.hasExpired(a.lockTimeout)) {
        c.wakeIn = std::max<qint64>(0, qint64(a.lockTimeout) - c.since.elapsed());
        return std::nullopt;
    }
    return LockedByAnotherLink;
}

kd7010fp_vxi11Server::Outcome kd7010fp_vxi11Server::coreCall(Connection &c, const rpc::Call &call,
    const Arguments &a, QByteArray *reply)
{
    const quint32 xid = call.xid;
    const quint32 procedure = call.procedure;
    // Waits until `timeout` (ms) has passed since the call came, then is
    // refused with `error`.
    const auto waitOr = [&](quint32 timeout, qint32 error) {
        if (c.since.hasExpired(timeout)) {
            *reply = refusal(procedure, xid, error);
            return Outcome::Answered;
        }
        c.wakeIn = std::max<qint64>(0, qint64(timeout) - c.since.elapsed());
        c.waitingLink = a.link;
        return Outcome::Waits;
    };
    if (c.aborted) {
        *reply = refusal(procedure, xid, Aborted);
        return Outcome::Answered;
    }

    switch (procedure) {
    case CreateLink: {
        if (a.data.compare(QByteArrayView("inst0"), Qt::CaseInsensitive) != 0) {
            *reply = refusal(procedure, xid, DeviceNotAccessible);
            return Outcome::Answered;
        }
        if (m_links.size() >= size_t(maxLinks)) {
            *reply = refusal(procedure, xid, OutOfResources);
            return Outcome::Answered;
        }
        if (a.lockDevice && m_lock)
            return waitOr(a.lockTimeout, LockedByAnotherLink);
        const qint32 id = m_nextLink++;
        m_links.emplace(id, new Link { &c, kd7010fp_scpi::Conversation(*m_parser) });
        if (a.lockDevice)
            m_lock = id;
        *reply = createLinkReply(xid, NoError, id, abortPort(), maxRecvSize);
        return Outcome::Answered;
    }
    case DeviceEnableSrq:
    case CreateInterruptChannel:
    case DestroyInterruptChannel:
    case DeviceDocmd:
        *reply = refusal(procedure, xid, OperationNotSupported);
        return Outcome::Answered;
    case DeviceWrite:
    case DeviceRead:
    case DeviceReadStb:
    case DeviceTrigger:
    case DeviceClear:
    case DeviceRemote:
    case DeviceLocal:
    case DeviceLock:
    case DeviceUnlock:
    case DestroyLink:
        break;
    default:
        *reply = rpc::reply(xid, rpc::ProcedureUnavailable);
        return Outcome::Answered;
    }

    const auto found = m_links.find(a.link);
    if (found == m_links.end() || found->second->owner != &c) {
        *reply = refusal(procedure, xid, InvalidLink);
        return Outcome::Answered;
    }
    kd7010fp_scpi::Conversation &conversation = found->second->conversation;
    const auto answer = [&](qint32 error) {
        *reply = refusal(procedure, xid, error);
        return Outcome::Answered;
    };

    if (procedure == DeviceUnlock) {
        if (m_lock != a.link)
            return answer(NoLockHeld);
        m_lock.reset();
        return answer(NoError);
    }
    if (procedure == DestroyLink) {
        destroyLink(a.link);
        return answer(NoError);
    }
    c.wakeIn = -1;
    if (const auto refused = lockRefusal(c, a.link, a))
        return answer(*refused);
    if (c.wakeIn >= 0) { // the lock may be given back before the lock timeout
        c.waitingLink = a.link;
        return Outcome::Waits;
    }

    switch (procedure) {
    case DeviceLock:
        m_lock = a.link;
        return answer(NoError);
    case DeviceWrite:
        runLinks();
        // Messages that cannot run yet (a box is open, a line waits at *WAI,
        // replies wait unread) hold further writes back once they fill what
        // a socket client may have waiting, as a full input buffer would.
        if (conversation.hasInput() && conversation.buffered() > kd7010fp_tcp::readBufferSize)
            return waitOr(a.ioTimeout, IoTimeout);
        conversation.append(a.data, a.flags & End);
        runLinks();
        *reply = writeReply(xid, NoError, quint32(a.data.size()));
        return Outcome::Answered;
    case DeviceRead: {
        runLinks();
        QByteArray &output = conversation.output();
        if (output.isEmpty()) {
            if (conversation.hasInput())
                return waitOr(a.ioTimeout, IoTimeout);
            // Nothing was asked: IEEE 488.2's unterminated query.
            m_parser->status().error(-420);
            return answer(IoTimeout);
        }
        qsizetype size = std::min<qsizetype>(output.size(), a.requestSize);
        qint32 reason = 0;
        if (a.flags & TermCharSet) {
            const qsizetype at = QByteArrayView(output).first(size).indexOf(a.termChar);
            if (at >= 0) {
                size = at + 1;
                reason |= TermChar;
            }
        }
        // The replies end with the output: END on its last byte.
        if (size == output.size())
            reason |= EndOfMessage;
        if (size == qsizetype(a.requestSize))
            reason |= RequestCount;
        *reply = readReply(xid, NoError, reason, QByteArrayView(output).first(size));
        output.remove(0, size);
        return Outcome::Answered;
    }
    case DeviceReadStb:
        runLinks();
        *reply = readStbReply(xid, NoError,
            m_parser->status().statusByte() | (conversation.output().isEmpty() ? 0 : messageAvailable));
        return Outcome::Answered;
    case DeviceTrigger: {
        // Group execute trigger: after what the link sent before it.
        runLinks();
        if (held() || conversation.hasInput())
            return waitOr(a.ioTimeout, IoTimeout);
        m_parser->execute("*TRG");
        return answer(NoError);
    }
    case DeviceClear:
        conversation.clear();
        return answer(NoError);
    default: // device_remote, device_local: this device has no front panel to lock out
        return answer(NoError);
    }
}

void kd7010fp_vxi11Server::destroyLink(qint32 id)
{
    if (m_lock == id)
        m_lock.reset();
    m_links.erase(id);
}

void kd7010fp_vxi11Server::drop(Connection *c)
{
    if (c->gone)
        return;
    c->gone = true;
    // Its links go with it once nothing runs them (removeGone()); the lock
    // one of them held is free now.
    for (const auto &[id, link] : m_links)
        if (link->owner == c && m_lock == id)
            m_lock.reset();
    c->socket->disconnect(this);
    c->socket->abort();
    c->socket->deleteLater();
}

bool kd7010fp_vxi11Server::removeGone()
{
    // Asked, and their links erased, before the connections go: remove_if
    // frees those it moves over and leaves pointers moved from behind.
    const bool core = std::any_of(m_connections.begin(), m_connections.end(),
        [](const auto &c) { return c->gone && !c->abortChannel; });
    for (auto i = m_links.begin(); i != m_links.end();)
        i = i->second->owner->gone ? m_links.erase(i) : std::next(i);
    const auto gone = std::remove_if(m_connections.begin(), m_connections.end(), [](const auto &c) { return c->gone; });
    if (gone == m_connections.end())
        return false;
    m_connections.erase(gone, m_connections.end());
    if (core)
        emit clientsChanged();
    return true;
}

void kd7010fp_vxi11Server::scheduleDeadlines()
{
    qint64 next = -1;
    for (const auto &c : m_connections)
        if (c->current && c->wakeIn >= 0)
            next = next < 0 ? c->wakeIn : std::min(next, c->wakeIn);
    // While a modal window is open, what waits to run is looked at again.
    if (held()) {
        const bool pending = std::any_of(m_links.begin(), m_links.end(),
                                 [](const auto &l) { return l.second->conversation.hasInput(); })
            || next >= 0;
        if (pending)
            next = next < 0 ? 50 : std::min<qint64>(next, 50);
    }
    if (next < 0)
        m_poll.stop();
    else
        m_poll.start(int(std::min<qint64>(next, INT_MAX)));
}
