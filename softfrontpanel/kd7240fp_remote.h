// Remote control as the window offers it: the panel's SCPI instrument on the
// model, and the socket server that brings it one client's commands. Off
// until asked for; on, whoever reaches the port controls the card's outputs.
#ifndef KD7240FP_REMOTE_H
#define KD7240FP_REMOTE_H

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class kd7010fp_scpiServer;
class kd7240fp_instrument;
class kd7240fp_model;

class kd7240fp_remote : public QObject
{
    Q_OBJECT

public:
    kd7240fp_remote(kd7240fp_model *model, std::function<QByteArray()> identity, QObject *parent = nullptr);

    // Listens on `port` at `addresses` (none: this computer only, 127.0.0.1
    // and ::1); false with the reason in errorString().
    bool start(quint16 port, const QList<QHostAddress> &addresses = {});
    void stop();
    bool isOn() const;
    quint16 port() const;
    QString errorString() const;

    kd7240fp_instrument *instrument;
    kd7010fp_scpiServer *server;

signals:
    // The client's address while one is connected, empty when none is.
    void clientChanged(const QString &address);
    // What went wrong in a client's command.
    void failed(const QString &what);
};

#endif
