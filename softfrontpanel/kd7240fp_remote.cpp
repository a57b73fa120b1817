#include "kd7240fp_remote.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "kd7010fp_livelabel.h"
#include "kd7010fp_scpiserver.h"
#include "kd7240fp_instrument.h"
#include "kd7240fp_remembered.h"

namespace {
const QString rememberedKey = QStringLiteral("7240/RemoteControl");
}

kd7240fp_remote::kd7240fp_remote(kd7240fp_model *model, std::function<QByteArray()> identity, QCheckBox *box,
    QLabel *label, QPushButton *closeButton, QObject *parent)
    : QObject(parent)
    , instrument(new kd7240fp_instrument(model, std::move(identity), this))
    , server(new kd7010fp_scpiServer(instrument->scpi(), this))
    , box(box)
    , label(label)
    , closeButton(closeButton)
{
    // A newcomer starts with a clean slate; one leaving keeps what was said
    // (why a browser's connection was closed, say).
    connect(server, &kd7010fp_scpiServer::clientsChanged, this, [this] {
        if (server->clientCount() > clients)
            failure.clear();
        clients = server->clientCount();
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
    server->close();
    if (on && !server->listen(port_, addresses)) {
        // The box says what is true: off, and why.
        box->setChecked(false);
        kd7010fp_showLiveText(label, tr("Remote control is off: %1").arg(server->errorString()));
        label->show();
        return;
    }
    showClient();
}

void kd7240fp_remote::showClient()
{
    const QStringList clients = server->clientAddresses();
    closeButton->setVisible(!clients.isEmpty());
    closeButton->setText(clients.size() > 1 ? tr("Close %n Connections", nullptr, int(clients.size()))
                                            : tr("Close Connection"));
    if (clients.isEmpty() && failure.isEmpty()) {
        label->hide();
        return;
    }
    // Short lines, as the status box is narrow; the whole in the tool tip.
    const QString who = clients.isEmpty() ? tr("Remote: no client")
        : clients.size() == 1            ? tr("Remote: %1").arg(clients.first())
                                         : tr("Remote: %n clients", nullptr, int(clients.size()));
    const QString said = failure.isEmpty()
        ? QString()
        : QLatin1Char('\n') + label->fontMetrics().elidedText(failure, Qt::ElideRight, 180);
    QStringList told;
    if (clients.size() > 1)
        told << tr("Clients: %1").arg(clients.join(QLatin1String(", ")));
    if (!failure.isEmpty())
        told << failure;
    const QString explanation = told.join(QLatin1Char('\n'));
    label->setToolTip(explanation);
    kd7010fp_showLiveText(label, who + said, explanation);
    label->show();
}

bool kd7240fp_remote::isOn() const { return server->isListening(); }

quint16 kd7240fp_remote::port() const { return server->serverPort(); }

QString kd7240fp_remote::errorString() const { return server->errorString(); }
