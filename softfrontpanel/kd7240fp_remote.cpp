#include "kd7240fp_remote.h"

#include <QCheckBox>
#include <QLabel>

#include "kd7010fp_livelabel.h"
#include "kd7010fp_scpiserver.h"
#include "kd7240fp_instrument.h"
#include "kd7240fp_remembered.h"

namespace {
const QString rememberedKey = QStringLiteral("7240/RemoteControl");
}

kd7240fp_remote::kd7240fp_remote(kd7240fp_model *model, std::function<QByteArray()> identity, QCheckBox *box,
    QLabel *label, QObject *parent)
    : QObject(parent)
    , instrument(new kd7240fp_instrument(model, std::move(identity), this))
    , server(new kd7010fp_scpiServer(this))
    , box(box)
    , label(label)
{
    server->setExecutor([this](const QByteArray &message) { return instrument->execute(message); });
    connect(server, &kd7010fp_scpiServer::inputOverrun, this, [this] { instrument->status().error(-363); });
    connect(server, &kd7010fp_scpiServer::clientChanged, this, [this] {
        failure.clear();
        showClient();
    });
    connect(instrument, &kd7240fp_instrument::failed, this, [this](const QString &what) {
        failure = what;
        showClient();
    });
    // The operator's choice is remembered; a run started with --remote is not.
    connect(box, &QCheckBox::clicked, this, [this](bool on) {
        kd7240fp::remember(rememberedKey, on);
        switchTo(on);
    });
    label->hide();
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
    const QString address = server->clientAddress();
    if (address.isEmpty()) {
        label->hide();
        return;
    }
    const QString said = failure.isEmpty()
        ? QString()
        : QLatin1Char('\n') + label->fontMetrics().elidedText(failure, Qt::ElideRight, 180);
    label->setToolTip(failure);
    kd7010fp_showLiveText(label, tr("Remote: %1").arg(address) + said, failure);
    label->show();
}

bool kd7240fp_remote::isOn() const { return server->isListening(); }

quint16 kd7240fp_remote::port() const { return server->serverPort(); }

QString kd7240fp_remote::errorString() const { return server->errorString(); }
