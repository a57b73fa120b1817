// The panel's one connection to its card: the link (a card, demo mode, or a
// card lost when it did not open again), the driver session, and the
// descriptor and function-card numbers it was opened on. The only place that
// opens, reopens and closes the session; whoever shows or uses the card
// follows connectionChanged.
#ifndef KD7010FP_CONNECTION_H
#define KD7010FP_CONNECTION_H

#include <QList>
#include <QObject>
#include <QString>

#include "kd7010fp_genfc.h"
#include "visa.h"

class kd7010fp_connection : public QObject
{
    Q_OBJECT

public:
    enum Link {
        Card, // a session is open
        Demo, // no hardware: no session, and none wanted
        Lost, // the card did not open again: no session; the next reopen tries again
    };
    Q_ENUM(Link)

    explicit kd7010fp_connection(kd7010fp_genFC *card, QObject *parent = nullptr);
    // Closes the session, if one is open.
    ~kd7010fp_connection() override;

    Link link() const { return link_; }
    bool withCard() const { return link_ == Card; }
    // 0 unless a card is open.
    ViSession session() const { return session_; }
    // What the card was opened on; empty in demo mode.
    QString descriptor() const { return descriptor_; }
    QList<int> fcNumbers() const { return numbers_; }

    // Takes what the connection flow chose: a session it opened on
    // `descriptor` and `numbers`, or demo mode. A session held before is
    // closed (unless it is the same).
    void adopt(ViSession session, const QString &descriptor, const QList<int> &numbers, bool demo);
    // Closes the session and opens the same card again (with `reset`: into
    // its power-on state). A card that does not open leaves the link Lost;
    // a lost card is tried again; demo mode has nothing to open. Returns the
    // open call's status.
    ViStatus reopen(bool reset);

signals:
    void connectionChanged();

private:
    void closeSession();

    kd7010fp_genFC *card; // not owned
    Link link_ = Demo;
    ViSession session_ = 0;
    QString descriptor_;
    QList<int> numbers_;
};

#endif
