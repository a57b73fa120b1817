// Remote control as the window offers it: the panel's SCPI instrument on the
// model, the servers that bring it its clients' commands (the raw socket,
// and VXI-11 registered with rpcbind), its DNS-SD announcement when it
// listens beyond this computer, the
// window's Remote control box (remembered beside the address history), the
// status line that says "Remote" with the clients' addresses, and the button
// that closes their connections. Off until asked for; on, whoever reaches
// the port controls the card's outputs.
#ifndef KD7240FP_REMOTE_H
#define KD7240FP_REMOTE_H

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class kd7010fp_dnssd;
class kd7010fp_rpcbind;
class kd7010fp_scpiServer;
class kd7010fp_vxi11Server;
class kd7240fp_instrument;
class kd7240fp_model;

class kd7240fp_remote : public QObject
{
    Q_OBJECT

public:
    // Follows `box` (on as it was left at the last run), tells the clients
    // and their troubles in `label`, and closes their connections when
    // `closeButton` is pressed (shown while there are any).
    kd7240fp_remote(kd7240fp_model *model, std::function<QByteArray()> identity, QCheckBox *box, QLabel *label,
        QPushButton *closeButton, QObject *parent = nullptr);
    ~kd7240fp_remote() override;

    // On for this run (the command line) on `port` at `addresses` (none:
    // this computer only, 127.0.0.1 and ::1), not remembered; false, with
    // the reason in errorString(), when the port cannot be opened.
    bool start(quint16 port, const QList<QHostAddress> &addresses = {});
    bool isOn() const;
    quint16 port() const;
    QString errorString() const;
    // The card changed: announced again under its identity.
    void identityChanged();

    kd7240fp_instrument *instrument;
    kd7010fp_scpiServer *server;
    kd7010fp_vxi11Server *vxi11;

private:
    void switchTo(bool on);
    void startLan();
    void announce();
    void showClient();

    QCheckBox *box;
    QLabel *label;
    QPushButton *closeButton;
    quint16 port_ = 5025;
    QList<QHostAddress> addresses;
    QString failure; // what a client's last command could not do, or why one was turned away
    int clients = 0; // connected when last told
    std::function<QByteArray()> identity;
    std::unique_ptr<kd7010fp_rpcbind> rpcbind;
    kd7010fp_dnssd *dnssd;
    QString vxi11Problem; // why VXI-11 is off or cannot be found
    QString dnssdProblem; // why nothing is announced
    QByteArray announced; // the identity announced
};

#endif
