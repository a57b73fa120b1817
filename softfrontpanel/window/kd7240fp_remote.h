// Remote control as the window offers it: the Remote control box under
// Reset Device (remembered beside the address history), the status line
// that says "Remote" with the clients' addresses and what went wrong, and
// the button that closes their connections. The servers and the command
// table are kd7240fp_remoteControl's; nothing runs there while the window
// shows a modal box.
#ifndef KD7240FP_REMOTE_H
#define KD7240FP_REMOTE_H

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class kd7240fp_model;
class kd7240fp_remoteControl;

class kd7240fp_remote : public QObject
{
    Q_OBJECT

public:
    // Follows `box` (on as it was left at the last run), tells the clients
    // and their troubles in `label`, and closes their connections when
    // `closeButton` is pressed (shown while there are any).
    kd7240fp_remote(kd7240fp_model *model, std::function<QByteArray()> identity, QCheckBox *box, QLabel *label,
        QPushButton *closeButton, QObject *parent = nullptr);

    // On for this run (the command line) on `port` at `addresses` (none:
    // this computer only, 127.0.0.1 and ::1), not remembered; false, with
    // the reason in errorString(), when the port cannot be opened.
    bool start(quint16 port, const QList<QHostAddress> &addresses = {});
    bool isOn() const;
    quint16 port() const;
    QString errorString() const;
    // The card changed: announced again under its identity.
    void identityChanged();

    kd7240fp_remoteControl *control;

private:
    void switchTo(bool on);
    void showClients();

    QCheckBox *box;
    QLabel *label;
    QPushButton *closeButton;
    quint16 port_ = 5025;
    QList<QHostAddress> addresses;
};

#endif
