// Remote control without its widgets: the panel's SCPI instrument on the
// model, the servers that bring it their clients' commands (the raw socket,
// and VXI-11 registered with rpcbind), and its DNS-SD announcement when it
// listens beyond this computer. Off until started; on, whoever reaches the
// ports controls the card's outputs. The window's box, status line and
// button (kd7240fp_remote) follow it.
#ifndef KD7240FP_REMOTECONTROL_H
#define KD7240FP_REMOTECONTROL_H

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class kd7010fp_dnssd;
class kd7010fp_rpcbind;
class kd7010fp_scpiServer;
class kd7010fp_vxi11Server;
class kd7240fp_instrument;
class kd7240fp_model;

class kd7240fp_remoteControl : public QObject
{
    Q_OBJECT

public:
    // `identity` is *IDN?'s answer, announced with DNS-SD too.
    kd7240fp_remoteControl(kd7240fp_model *model, std::function<QByteArray()> identity, QObject *parent = nullptr);
    ~kd7240fp_remoteControl() override;

    // Listens on `port` (the socket) at `addresses` (none: this computer
    // only, 127.0.0.1 and ::1), with VXI-11 beside it; false, with the
    // reason in errorString(), when the socket's port cannot be opened.
    bool start(quint16 port, const QList<QHostAddress> &addresses = {});
    void stop();
    bool isOn() const;
    quint16 port() const;
    QString errorString() const;
    // While `hold` says so, no command runs (the window shows a modal box).
    void setHold(const std::function<bool()> &hold);
    // The card changed: announced again under its identity.
    void identityChanged();

    // Every transport's clients, by address.
    QStringList clientAddresses() const;
    void closeClients();
    // What a client's last command could not do, why one was turned away,
    // what VXI-11 and DNS-SD lack: the socket works all the same.
    QStringList troubles() const;

    kd7240fp_instrument *instrument;
    kd7010fp_scpiServer *server;
    kd7010fp_vxi11Server *vxi11;

signals:
    // The clients or the troubles changed.
    void changed();

private:
    void startLan();
    void announce();

    std::function<QByteArray()> identity;
    std::unique_ptr<kd7010fp_rpcbind> rpcbind;
    kd7010fp_dnssd *dnssd;
    QList<QHostAddress> addresses;
    QString failure; // what a client's last command could not do, or why one was turned away
    int clients = 0; // socket clients when last told
    QString vxi11Problem; // why VXI-11 is off or cannot be found
    QString dnssdProblem; // why nothing is announced
    QByteArray announced; // the identity announced
};

#endif
