#include "kd7240fp_remote.h"

#include "kd7010fp_scpiserver.h"
#include "kd7240fp_instrument.h"

kd7240fp_remote::kd7240fp_remote(kd7240fp_model *model, std::function<QByteArray()> identity, QObject *parent)
    : QObject(parent)
    , instrument(new kd7240fp_instrument(model, std::move(identity), this))
    , server(new kd7010fp_scpiServer(this))
{
    server->setExecutor([this](const QByteArray &message) { return instrument->execute(message); });
    connect(server, &kd7010fp_scpiServer::inputOverrun, this, [this] { instrument->status().error(-363); });
    connect(server, &kd7010fp_scpiServer::clientChanged, this, &kd7240fp_remote::clientChanged);
    connect(instrument, &kd7240fp_instrument::failed, this, &kd7240fp_remote::failed);
}

bool kd7240fp_remote::start(quint16 port, const QList<QHostAddress> &addresses)
{
    server->close();
    return server->listen(port, addresses);
}

void kd7240fp_remote::stop() { server->close(); }

bool kd7240fp_remote::isOn() const { return server->isListening(); }

quint16 kd7240fp_remote::port() const { return server->serverPort(); }

QString kd7240fp_remote::errorString() const { return server->errorString(); }
