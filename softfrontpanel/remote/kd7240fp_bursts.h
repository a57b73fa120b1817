// Bursts and the trigger: a limited number of cycles, started at once or by
// the card's trigger line. A burst a client triggered is an operation that
// *WAI and *OPC? wait for until it has played its cycles.
#ifndef KD7240FP_BURSTS_H
#define KD7240FP_BURSTS_H

#include <QByteArray>
#include <utility>

#include "kd7010fp_scpi.h"
#include "kd7240fp_model.h"

class kd7240fp_bursts
{
public:
    explicit kd7240fp_bursts(kd7240fp_model *model)
        : model(model)
    {
    }

    // BURSt:STATe, BURSt:NCYCles n|INFinity, BURSt:MODE TRIGgered,
    // TRIGger:SOURce IMMediate|EXTernal|BUS, and their queries.
    void setState(kd7010fp_scpi::Call &call);
    void queryState(kd7010fp_scpi::Call &call) const;
    void setCycles(kd7010fp_scpi::Call &call);
    void queryCycles(kd7010fp_scpi::Call &call) const;
    // The card has no gate input: TRIGgered alone.
    static void setMode(kd7010fp_scpi::Call &call);
    void setSource(kd7010fp_scpi::Call &call);
    void querySource(kd7010fp_scpi::Call &call) const;
    // *TRG and TRIGger: pulses the trigger line; a limited burst waiting for
    // it is pending.
    void trigger(kd7010fp_scpi::Call &call);

    // Whether a burst a client triggered is playing its cycles; an output
    // without end never counts.
    bool pending() const { return triggered; }
    // The burst is over: whether one was pending.
    bool ended() { return std::exchange(triggered, false); }
    // *RST: the trigger source IMMediate again.
    void reset() { source = "IMM"; }

private:
    kd7240fp_model *model;
    QByteArray source = "IMM"; // as named: EXTernal and BUS both arm the trigger line
    bool triggered = false;
};

#endif
