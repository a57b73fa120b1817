#include "kd7240fp_remote.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "kd7010fp_dnssd.h"
#include "kd7010fp_livelabel.h"
#include "kd7010fp_rpcbind.h"
#include "kd7010fp_scpiserver.h"
#include "kd7010fp_vxi11.h"
#include "kd7010fp_vxi11server.h"
#include "kd7240fp_instrument.h"
#include "kd7240fp_remembered.h"

namespace {
const QString rememberedKey = QStringLiteral("7240/RemoteControl");
}

kd7240fp_remote::kd7240fp_remote(kd7240fp_model *model, std::function<QByteArray()> identity, QCheckBox *box,
    QLabel *label, QPushButton *closeButton, QObject *parent)
    : QObject(parent)
    , instrument(new kd7240fp_instrument(model, identity, this))
    , server(new kd7010fp_scpiServer(instrument->scpi(), this))
    , vxi11(new kd7010fp_vxi11Server(instrument->scpi(), this))
    , box(box)
    , label(label)
    , closeButton(closeButton)
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
        showClient();
    });
    connect(vxi11, &kd7010fp_vxi11Server::clientsChanged, this, &kd7240fp_remote::showClient);
    // A triggered burst has played its cycles: lines waiting at *WAI or
    // *OPC? go on, on either transport.
    connect(instrument, &kd7240fp_instrument::operationComplete, server, &kd7010fp_scpiServer::resume);
    connect(instrument, &kd7240fp_instrument::operationComplete, vxi11, &kd7010fp_vxi11Server::resume);
    connect(dnssd, &kd7010fp_dnssd::changed, this, [this] {
        dnssdProblem = dnssd->errorString().isEmpty() ? QString() : tr("DNS-SD needs avahi-daemon: %1").arg(dnssd->errorString());
        showClient();
    });
    connect(server, &kd7010fp_scpiServer::turnedAway, this, [this](const QString &why) {
        failure = why;
        showClient();
    });
    connect(instrument, &kd7240fp_instrument::failed, this, [this](const QString &what) {
        failure = what;
        showClient();
    });
    closeButton->setToolTip(tr("Closes every remote client's connection; remote control stays on for new ones"));
    closeButton->setWhatsThis(closeButton->toolTip());
    connect(closeButton, &QPushButton::clicked, server, &kd7010fp_scpiServer::closeClients);
    connect(closeButton, &QPushButton::clicked, vxi11, &kd7010fp_vxi11Server::closeClients);
    // The operator's choice is remembered; a run started with --remote is not.
    connect(box, &QCheckBox::clicked, this, [this](bool on) {
        kd7240fp::remember(rememberedKey, on);
        switchTo(on);
    });
    label->hide();
    closeButton->hide();
    if (kd7240fp::remembered(rememberedKey).toBool()) {
        box->setChecked(true);
        switchTo(true);
    }
}

// The registration and the announcement are taken back before the servers go.
kd7240fp_remote::~kd7240fp_remote()
{
    dnssd->withdraw();
    rpcbind->unset();
}

bool kd7240fp_remote::start(quint16 port, const QList<QHostAddress> &addresses)
{
    port_ = port;
    this->addresses = addresses;
    box->setChecked(true);
    switchTo(true);
    return isOn();
}

void kd7240fp_remote::switchTo(bool on)
{
    dnssd->withdraw();
    rpcbind->unset();
    vxi11->close();
    server->close();
    vxi11Problem.clear();
    dnssdProblem.clear();
    announced.clear();
    if (on && !server->listen(port_, addresses)) {
        // The box says what is true: off, and why.
        box->setChecked(false);
        kd7010fp_showLiveText(label, tr("Remote control is off: %1").arg(server->errorString()));
        label->show();
        return;
    }
    if (on)
        startLan();
    showClient();
}

// VXI-11 beside the socket, where it listens; a VXI-11 that cannot be had
// leaves the socket as it is and says why.
void kd7240fp_remote::startLan()
{
    if (!vxi11->listen(addresses)) {
        vxi11Problem = vxi11->errorString();
        return;
    }
    if (!rpcbind->set(vxi11->serverPort()))
        vxi11Problem = tr("VXI-11 needs rpcbind: %1").arg(rpcbind->errorString());
    announce();
}

// Announced only where others can reach it: on loopback nobody else could
// open what was found.
void kd7240fp_remote::announce()
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

void kd7240fp_remote::identityChanged()
{
    if (announced.isEmpty() || identity() == announced)
        return;
    dnssd->withdraw();
    announce();
}

void kd7240fp_remote::showClient()
{
    const QStringList clients = server->clientAddresses() + vxi11->clientAddresses();
    closeButton->setVisible(!clients.isEmpty());
    closeButton->setText(clients.size() > 1 ? tr("Close %n Connections", nullptr, int(clients.size()))
                                            : tr("Close Connection"));
    // What VXI-11 and DNS-SD lack is said beside the failure, the socket
    // being on all the same.
    QStringList notes;
    for (const QString &note : { failure, vxi11Problem, dnssdProblem })
        if (!note.isEmpty())
            notes << note;
    const QString troubles = notes.join(QLatin1Char('\n'));
    if (clients.isEmpty() && troubles.isEmpty()) {
        label->hide();
        return;
    }
    // Short lines, as the status box is narrow; the whole in the tool tip.
    const QString who = clients.isEmpty() ? tr("Remote: no client")
        : clients.size() == 1            ? tr("Remote: %1").arg(clients.first())
                                         : tr("Remote: %n clients", nullptr, int(clients.size()));
    const QString said = troubles.isEmpty()
        ? QString()
        : QLatin1Char('\n') + label->fontMetrics().elidedText(troubles, Qt::ElideRight, 180);
    QStringList told;
    if (clients.size() > 1)
        told << tr("Clients: %1").arg(clients.join(QLatin1String(", ")));
    if (!troubles.isEmpty())
        told << troubles;
    const QString explanation = told.join(QLatin1Char('\n'));
    label->setToolTip(explanation);
    kd7010fp_showLiveText(label, who + said, explanation);
    label->show();
}

bool kd7240fp_remote::isOn() const { return server->isListening(); }

quint16 kd7240fp_remote::port() const { return server->serverPort(); }

QString kd7240fp_remote::errorString() const { return server->errorString(); }
