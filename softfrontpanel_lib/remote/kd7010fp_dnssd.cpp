#include "kd7010fp_dnssd.h"

#include <QNetworkInterface>

#ifdef SFP_HAVE_AVAHI

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/strlst.h>
#include <avahi-common/watch.h>

#include <sys/time.h>

// Avahi's poll interface on Qt's event loop: a watch is a pair of socket
// notifiers, a timeout a single-shot timer. Avahi may free a watch or a
// timeout from inside its own callback, so nothing touches one after its
// callback ran, and Qt's objects go with deleteLater().
struct AvahiWatch
{
    int fd;
    AvahiWatchCallback callback;
    void *userdata;
    QSocketNotifier *read;
    QSocketNotifier *write;
    AvahiWatchEvent happened;
};

struct AvahiTimeout
{
    QTimer *timer;
    AvahiTimeoutCallback callback;
    void *userdata;
};

namespace {

void watchUpdate(AvahiWatch *w, AvahiWatchEvent events)
{
    w->read->setEnabled(events & AVAHI_WATCH_IN);
    w->write->setEnabled(events & AVAHI_WATCH_OUT);
}

AvahiWatch *watchNew(const AvahiPoll *, int fd, AvahiWatchEvent events, AvahiWatchCallback callback, void *userdata)
{
    auto *w = new AvahiWatch { fd, callback, userdata, new QSocketNotifier(fd, QSocketNotifier::Read),
        new QSocketNotifier(fd, QSocketNotifier::Write), AvahiWatchEvent(0) };
    const auto fire = [w](AvahiWatchEvent what) {
        w->happened = what;
        w->callback(w, w->fd, what, w->userdata);
    };
    QObject::connect(w->read, &QSocketNotifier::activated, w->read, [fire] { fire(AVAHI_WATCH_IN); });
    QObject::connect(w->write, &QSocketNotifier::activated, w->write, [fire] { fire(AVAHI_WATCH_OUT); });
    watchUpdate(w, events);
    return w;
}

AvahiWatchEvent watchEvents(AvahiWatch *w)
{
    return w->happened;
}

void watchFree(AvahiWatch *w)
{
    for (QSocketNotifier *n : { w->read, w->write }) {
        n->setEnabled(false);
        n->disconnect();
        n->deleteLater();
    }
    delete w;
}

void timeoutUpdate(AvahiTimeout *t, const struct timeval *tv)
{
    if (!tv) {
        t->timer->stop();
        return;
    }
    struct timeval now;
    gettimeofday(&now, nullptr);
    const qint64 ms = (qint64(tv->tv_sec) - now.tv_sec) * 1000 + (qint64(tv->tv_usec) - now.tv_usec) / 1000;
    t->timer->start(int(std::clamp<qint64>(ms, 0, INT_MAX)));
}

AvahiTimeout *timeoutNew(const AvahiPoll *, const struct timeval *tv, AvahiTimeoutCallback callback, void *userdata)
{
    auto *t = new AvahiTimeout { new QTimer, callback, userdata };
    t->timer->setSingleShot(true);
    QObject::connect(t->timer, &QTimer::timeout, t->timer, [t] { t->callback(t, t->userdata); });
    timeoutUpdate(t, tv);
    return t;
}

void timeoutFree(AvahiTimeout *t)
{
    t->timer->stop();
    t->timer->disconnect();
    t->timer->deleteLater();
    delete t;
}

const AvahiPoll qtPoll = { nullptr, watchNew, watchUpdate, watchEvents, watchFree, timeoutNew, timeoutUpdate,
    timeoutFree };

QString avahiError(int error)
{
    return QString::fromUtf8(avahi_strerror(error));
}

} // namespace

kd7010fp_dnssd::kd7010fp_dnssd(QObject *parent)
    : QObject(parent)
{
}

kd7010fp_dnssd::~kd7010fp_dnssd()
{
    withdraw();
}

void kd7010fp_dnssd::announce(const QString &name, const QList<Service> &services, const QByteArrayList &txt,
    const QHostAddress &address)
{
    withdraw();
    m_name = name;
    m_services = services;
    m_txt = txt;
    m_address = address;
    int error = 0;
    // Calls clientState() before it returns, with the daemon's state.
    AvahiClient *client = avahi_client_new(
        &qtPoll, AvahiClientFlags(0),
        [](AvahiClient *c, AvahiClientState state, void *self) { static_cast<kd7010fp_dnssd *>(self)->clientState(c, state); },
        this, &error);
    if (!client) {
        fail(error == AVAHI_ERR_NO_DAEMON ? tr("avahi-daemon is not running") : avahiError(error));
        return;
    }
    m_client = client;
    if (avahi_client_get_state(client) == AVAHI_CLIENT_S_RUNNING && !m_group)
        publish();
}

void kd7010fp_dnssd::withdraw()
{
    const bool was = !m_announced.isEmpty();
    m_announced.clear();
    if (m_client)
        avahi_client_free(m_client); // its entry group with it
    m_client = nullptr;
    m_group = nullptr;
    if (was)
        emit changed();
}

void kd7010fp_dnssd::fail(const QString &why)
{
    m_error = why;
    AvahiClient *client = std::exchange(m_client, nullptr);
    m_group = nullptr;
    m_announced.clear();
    if (client)
        avahi_client_free(client);
    emit changed();
}

void kd7010fp_dnssd::clientState(AvahiClient *client, int state)
{
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        // First, or again after the host's name was settled anew.
        if (m_client && (!m_group || avahi_entry_group_is_empty(m_group)))
            publish();
        break;
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_S_REGISTERING:
        // The host's own name is being settled: withdrawn until it is.
        if (m_group) {
            avahi_entry_group_reset(m_group);
            if (!std::exchange(m_announced, QString()).isEmpty())
                emit changed();
        }
        break;
    case AVAHI_CLIENT_FAILURE:
        if (m_client == client || !m_client)
            fail(avahiError(avahi_client_errno(client)));
        break;
    default:
        break;
    }
}

void kd7010fp_dnssd::publish()
{
    if (!m_group)
        m_group = avahi_entry_group_new(
            m_client,
            [](AvahiEntryGroup *, AvahiEntryGroupState state, void *self) { static_cast<kd7010fp_dnssd *>(self)->groupState(state); },
            this);
    if (!m_group) {
        fail(avahiError(avahi_client_errno(m_client)));
        return;
    }
    AvahiIfIndex interface = AVAHI_IF_UNSPEC;
    AvahiProtocol protocol = AVAHI_PROTO_UNSPEC;
    if (m_address == QHostAddress::AnyIPv4)
        protocol = AVAHI_PROTO_INET;
    else if (m_address != QHostAddress::Any && m_address != QHostAddress::AnyIPv6) {
        protocol = m_address.protocol() == QAbstractSocket::IPv6Protocol ? AVAHI_PROTO_INET6 : AVAHI_PROTO_INET;
        for (const QNetworkInterface &i : QNetworkInterface::allInterfaces())
            for (const QNetworkAddressEntry &entry : i.addressEntries())
                if (entry.ip().isEqual(m_address))
                    interface = i.index();
    }
    AvahiStringList *txt = nullptr;
    for (const QByteArray &entry : m_txt)
        txt = avahi_string_list_add(txt, entry.constData());
    const QByteArray name = m_name.toUtf8();
    int error = 0;
    for (const Service &s : m_services) {
        error = avahi_entry_group_add_service_strlst(m_group, interface, protocol, AvahiPublishFlags(0),
            name.constData(), s.type.constData(), nullptr, nullptr, s.port, txt);
        if (error < 0)
            break;
    }
    avahi_string_list_free(txt);
    if (error == AVAHI_ERR_COLLISION) {
        groupState(AVAHI_ENTRY_GROUP_COLLISION);
        return;
    }
    if (error >= 0)
        error = avahi_entry_group_commit(m_group);
    if (error < 0)
        fail(avahiError(error));
}

void kd7010fp_dnssd::groupState(int state)
{
    switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
        m_error.clear();
        m_announced = m_name;
        emit changed();
        break;
    case AVAHI_ENTRY_GROUP_COLLISION: {
        // Another host has the name: Avahi's next one ("Name #2"), anew.
        char *other = avahi_alternative_service_name(m_name.toUtf8().constData());
        m_name = QString::fromUtf8(other);
        avahi_free(other);
        avahi_entry_group_reset(m_group);
        publish();
        break;
    }
    case AVAHI_ENTRY_GROUP_FAILURE:
        fail(avahiError(avahi_client_errno(m_client)));
        break;
    default:
        break;
    }
}

#else // a build without Avahi's client library

kd7010fp_dnssd::kd7010fp_dnssd(QObject *parent)
    : QObject(parent)
{
}

kd7010fp_dnssd::~kd7010fp_dnssd() = default;

void kd7010fp_dnssd::announce(const QString &, const QList<Service> &, const QByteArrayList &, const QHostAddress &)
{
    m_error = tr("this build has no DNS-SD (Avahi's client library)");
    emit changed();
}

void kd7010fp_dnssd::withdraw() { }

#endif
