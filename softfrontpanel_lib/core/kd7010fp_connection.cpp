#include "kd7010fp_connection.h"

kd7010fp_connection::kd7010fp_connection(kd7010fp_genFC *card, QObject *parent)
    : QObject(parent)
    , card(card)
{
}

kd7010fp_connection::~kd7010fp_connection() { closeSession(); }

void kd7010fp_connection::closeSession()
{
    // The close call's result changes nothing: the session is given up either way.
    if (link_ == Card)
        card->closeCard(session_);
    session_ = 0;
}

void kd7010fp_connection::adopt(ViSession session, const QString &descriptor, const QList<int> &numbers, bool demo)
{
    if (link_ != Card || session_ != session || demo)
        closeSession();
    link_ = demo ? Demo : Card;
    session_ = demo ? 0 : session;
    descriptor_ = demo ? QString() : descriptor;
    numbers_ = numbers;
    emit connectionChanged();
}

ViStatus kd7010fp_connection::reopen(bool reset)
{
    if (link_ == Demo)
        return VI_SUCCESS;
    closeSession();
    quint16 numbers[256] = {};
    for (int i = 0; i < numbers_.size() && i < 256; ++i)
        numbers[i] = quint16(numbers_[i]);
    const QByteArray descriptor = descriptor_.toLatin1();
    ViSession opened = 0;
    const ViStatus status = card->initCard(descriptor.constData(), numbers, 1, reset ? 1 : 0, &opened);
    if (status == VI_SUCCESS) {
        session_ = opened;
        link_ = Card;
    } else {
        // Nothing to talk to: no session is kept, so nothing calls the
        // driver with a dead one.
        if (opened != 0)
            card->closeCard(opened);
        link_ = Lost;
    }
    emit connectionChanged();
    return status;
}
