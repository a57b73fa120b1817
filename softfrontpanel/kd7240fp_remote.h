// Remote control as the window offers it: the panel's SCPI instrument on the
// model, the socket server that brings it one client's commands, the window's
// Remote control box (remembered beside the address history) and the status
// line that says "Remote" with the client's address. Off until asked for; on,
// whoever reaches the port controls the card's outputs.
#ifndef KD7240FP_REMOTE_H
#define KD7240FP_REMOTE_H

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QCheckBox;
class QLabel;
class kd7010fp_scpiServer;
class kd7240fp_instrument;
class kd7240fp_model;

class kd7240fp_remote : public QObject
{
    Q_OBJECT

public:
    // Follows `box` (on as it was left at the last run) and tells the client
    // and its troubles in `label`.
    kd7240fp_remote(kd7240fp_model *model, std::function<QByteArray()> identity, QCheckBox *box, QLabel *label,
        QObject *parent = nullptr);

    // On for this run (the command line) on `port` at `addresses` (none:
    // this computer only, 127.0.0.1 and ::1), not remembered; false, with
    // the reason in errorString(), when the port cannot be opened.
    bool start(quint16 port, const QList<QHostAddress> &addresses = {});
    bool isOn() const;
    quint16 port() const;
    QString errorString() const;

    kd7240fp_instrument *instrument;
    kd7010fp_scpiServer *server;

private:
    void switchTo(bool on);
    void showClient();

    QCheckBox *box;
    QLabel *label;
    quint16 port_ = 5025;
    QList<QHostAddress> addresses;
    QString failure; // what the client's last command could not do
};

#endif
