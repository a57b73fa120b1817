#include "kd7240fp_remote.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "kd7010fp_livelabel.h"
#include "kd7240fp_remembered.h"
#include "kd7240fp_remotecontrol.h"

namespace {
const QString rememberedKey = QStringLiteral("7240/RemoteControl");
}

kd7240fp_remote::kd7240fp_remote(kd7240fp_model *model, std::function<QByteArray()> identity, QCheckBox *box,
    QLabel *label, QPushButton *closeButton, QObject *parent)
    : QObject(parent)
    , control(new kd7240fp_remoteControl(model, std::move(identity), this))
    , box(box)
    , label(label)
    , closeButton(closeButton)
{
    // A message box's own event loop never runs a remote command.
    control->setHold([] { return QApplication::activeModalWidget() != nullptr; });
    connect(control, &kd7240fp_remoteControl::changed, this, &kd7240fp_remote::showClients);
    closeButton->setToolTip(tr("Closes every remote client's connection; remote control stays on for new ones"));
    closeButton->setWhatsThis(closeButton->toolTip());
    connect(closeButton, &QPushButton::clicked, control, &kd7240fp_remoteControl::closeClients);
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
    control->stop();
    if (on && !control->start(port_, addresses)) {
        // The box says what is true: off, and why.
        box->setChecked(false);
        kd7010fp_showLiveText(label, tr("Remote control is off: %1").arg(control->errorString()));
        label->show();
        return;
    }
    showClients();
}

void kd7240fp_remote::identityChanged() { control->identityChanged(); }

void kd7240fp_remote::showClients()
{
    const QStringList clients = control->clientAddresses();
    closeButton->setVisible(!clients.isEmpty());
    closeButton->setText(clients.size() > 1 ? tr("Close %n Connections", nullptr, int(clients.size()))
                                            : tr("Close Connection"));
    // What VXI-11 and DNS-SD lack is said beside a client's failure, the
    // socket being on all the same.
    const QString troubles = control->troubles().join(QLatin1Char('\n'));
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

bool kd7240fp_remote::isOn() const { return control->isOn(); }

quint16 kd7240fp_remote::port() const { return control->port(); }

QString kd7240fp_remote::errorString() const { return control->errorString(); }
