// The panel announced on the network with DNS-SD, through the system's
// Avahi daemon, so that a lab's discovery tools list it beside the bench's
// instruments. Avahi's client library runs on Qt's event loop (its sockets
// and timers are Qt's), never in a thread of its own.
//
// A name another host already announces is replaced by Avahi's alternative
// ("Name #2"). Without the daemon, or in a build without Avahi's library,
// nothing is announced and errorString() says why.
#ifndef KD7010FP_DNSSD_H
#define KD7010FP_DNSSD_H

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

struct AvahiClient;
struct AvahiEntryGroup;

class kd7010fp_dnssd : public QObject
{
    Q_OBJECT

public:
    struct Service
    {
        QByteArray type; // "_scpi-raw._tcp"
        quint16 port;
    };

    explicit kd7010fp_dnssd(QObject *parent = nullptr);
    ~kd7010fp_dnssd() override;

    // Announces `services` under `name`, each with the TXT entries `txt`
    // ("key=value"), on the interface that holds `address` (any address:
    // every interface), in place of what was announced before. The
    // announcement is made once the daemon has taken it: announced().
    void announce(const QString &name, const QList<Service> &services, const QByteArrayList &txt,
        const QHostAddress &address);
    void withdraw();
    // The name announced, Avahi's alternative after a conflict; empty while
    // nothing is.
    QString announcedName() const { return m_announced; }
    QString errorString() const { return m_error; }

signals:
    // Announced, withdrawn, or failed (errorString()).
    void changed();

private:
    void fail(const QString &why);
    void publish();
    void clientState(AvahiClient *client, int state);
    void groupState(int state);

    QString m_name;
    QList<Service> m_services;
    QByteArrayList m_txt;
    QHostAddress m_address;
    QString m_announced;
    QString m_error;
    AvahiClient *m_client = nullptr;
    AvahiEntryGroup *m_group = nullptr;
};

#endif
