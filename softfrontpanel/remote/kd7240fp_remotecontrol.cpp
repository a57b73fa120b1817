#include "kd7240fp_remotecontrol.h"

#include <algorithm>

#include "kd7010fp_dnssd.h"
#include "kd7010fp_rpcbind.h"
#include "kd7010fp_scpiserver.h"
#include "kd7010fp_vxi11.h"
#include "kd7010fp_vxi11server.h"
#include "kd7240fp_instrument.h"

kd7240fp_remoteControl::kd7240fp_remoteControl(
    kd7240fp_model *model, std::function<QByteArray()> identity, QObject *parent)
    : QObject(parent)
    , instrument(new kd7240fp_instrument(model, identity, this))
    , server(new kd7010fp_scpiServer(instrument->scpi(), this))
    , vxi11(new kd7010fp_vxi11Server(instrument->scpi(), this))
    , identity(std::move(identity))
    , rpcbind(std::make_unique<kd7010fp_rpcbind>(kd7010fp_vxi11::CoreProgram, kd7010fp_vxi11::Version))
    , dnssd(new kd7010fp_dnssd(this))
{
    // A newcomer starts with a clean slate; one leaving keeps what was said
    // (why a browser's connection was closed, say).
    connect(server, &kd7010fp_scpiServer::clientsChanged, this, [this] {
        if (server->clientCount() > clients)
            failure.clear();
        clients = server->clientCount();
        emit changed();
    });
    connect(vxi11, &kd7010fp_vxi11Server::clientsChanged, this, &kd7240fp_remoteControl::changed);
    // A triggered burst has played its cycles: lines waiting at *WAI or
    // *OPC? go on, on either transport.
    connect(instrument, &kd7240fp_instrument::operationComplete, server, &kd7010fp_scpiServer::resume);
    connect(instrument, &kd7240fp_instrument::operationComplete, vxi11, &kd7010fp_vxi11Server::resume);
    connect(dnssd, &kd7010fp_dnssd::changed, this, [this] {
        dnssdProblem = dnssd->errorString().isEmpty() ? QString()
                                                      : tr("DNS-SD needs avahi-daemon: %1").arg(dnssd->errorString());
        emit changed();
    });
    connect(server, &kd7010fp_scpiServer::turnedAway, this, [this](const QString &why) {
        failure = why;
        emit changed();
    });
    connect(instrument, &kd7240fp_instrument::failed, this, [this](const QString &what) {
        failure = what;
        emit changed();
    });
}

// The registration and the announcement are taken back before the servers go.
kd7240fp_remoteControl::~kd7240fp_remoteControl()
{
    dnssd->withdraw();
    rpcbind->unset();
}

bool kd7240fp_remoteControl::start(quint16 port, const QList<QHostAddress> &addresses)
{
    stop();
    this->addresses = addresses;
    if (!server->listen(port, addresses))
        return false;
    startLan();
    emit changed();
    return true;
}

void kd7240fp_remoteControl::stop()
{
    dnssd->withdraw();
    rpcbind->unset();
    vxi11->close();
    server->close();
    vxi11Problem.clear();
    dnssdProblem.clear();
    announced.clear();
}

// VXI-11 beside the socket, where it listens; a VXI-11 that cannot be had
// leaves the socket as it is, announced all the same, and says why.
void kd7240fp_remoteControl::startLan()
{
    if (!vxi11->listen(addresses))
        vxi11Problem = vxi11->errorString();
    else if (!rpcbind->set(vxi11->serverPort()))
        vxi11Problem = tr("VXI-11 needs rpcbind: %1").arg(rpcbind->errorString());
    announce();
}

// Announced only where others can reach it: on loopback nobody else could
// open what was found.
void kd7240fp_remoteControl::announce()
{
    const bool beyondLoopback
        = std::any_of(addresses.begin(), addresses.end(), [](const QHostAddress &a) { return !a.isLoopback(); });
    if (!beyondLoopback || !server->isListening())
        return;
    announced = identity();
    // *IDN?'s fields: maker, model, serial number, revision.
    const QList<QByteArray> fields = announced.split(',');
    const QByteArrayList txt { "txtvers=1", "Manufacturer=" + fields.value(0), "Model=" + fields.value(1),
        "SerialNumber=" + fields.value(2), "FirmwareVersion=" + fields.value(3) };
    const QString name = QStringLiteral("%1 %2 (%3)").arg(QString::fromLatin1(fields.value(0)),
        QString::fromLatin1(fields.value(1)), QString::fromLatin1(fields.value(2)));
    QList<kd7010fp_dnssd::Service> services { { "_scpi-raw._tcp", server->serverPort() } };
    // VXI-11 clients find the core channel through the portmapper.
    if (vxi11->isListening() && rpcbind->isSet())
        services.append({ "_vxi-11._tcp", 111 });
    dnssd->announce(name, services, txt, addresses.first());
}

void kd7240fp_remoteControl::identityChanged()
{
    if (announced.isEmpty() || identity() == announced)
        return;
    dnssd->withdraw();
    announce();
}

void kd7240fp_remoteControl::setHold(const std::function<bool()> &hold)
{
    server->setHold(hold);
    vxi11->setHold(hold);
}

QStringList kd7240fp_remoteControl::clientAddresses() const
{
    return server->clientAddresses() + vxi11->clientAddresses();
}

void kd7240fp_remoteControl::closeClients()
{
    server->closeClients();
    vxi11->closeClients();
}

QStringList kd7240fp_remoteControl::troubles() const
{
    QStringList notes;
    for (const QString &note : { failure, vxi11Problem, dnssdProblem })
        if (!note.isEmpty())
            notes << note;
    return notes;
}

bool kd7240fp_remoteControl::isOn() const { return server->isListening(); }

quint16 kd7240fp_remoteControl::port() const { return server->serverPort(); }

QString kd7240fp_remoteControl::errorString() const { return server->errorString(); }
