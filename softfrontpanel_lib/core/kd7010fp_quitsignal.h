// SIGTERM and SIGINT end the event loop instead of the process, so the
// program leaves as it does when its loop ends: what it registered with the
// system (rpcbind, Avahi) is taken back by the destructors. The handler only
// writes a byte to a socket pair; the quit happens on the event loop.
#ifndef KD7010FP_QUITSIGNAL_H
#define KD7010FP_QUITSIGNAL_H

#include <QObject>

class QSocketNotifier;

class kd7010fp_quitSignal : public QObject
{
    Q_OBJECT

public:
    explicit kd7010fp_quitSignal(QObject *parent = nullptr);
    ~kd7010fp_quitSignal() override;

private:
    QSocketNotifier *notifier = nullptr;
};

#endif
