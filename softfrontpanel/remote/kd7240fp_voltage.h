// The VOLTage commands: a channel's amplitude in the unit a client chose
// (peak to peak, or the RMS of the samples as played), its offset, and the
// top and bottom of its waveform, which are an amplitude and an offset too.
// Amplitude and offset are one pair, as in the window's boxes: each keeps
// within what the other leaves of the card's range.
#ifndef KD7240FP_VOLTAGE_H
#define KD7240FP_VOLTAGE_H

#include "kd7010fp_scpi.h"
#include "kd7240fp_model.h"

class kd7240fp_voltage
{
public:
    explicit kd7240fp_voltage(kd7240fp_model *model)
        : model(model)
    {
    }

    // VOLTage[:AMPLitude], VOLTage:UNIT VPP|VRMS, VOLTage:OFFSet,
    // VOLTage:HIGH, VOLTage:LOW, and their queries.
    void setAmplitude(kd7010fp_scpi::Call &call);
    void queryAmplitude(kd7010fp_scpi::Call &call) const;
    void setUnit(kd7010fp_scpi::Call &call);
    void queryUnit(kd7010fp_scpi::Call &call) const;
    void setOffset(kd7010fp_scpi::Call &call);
    void queryOffset(kd7010fp_scpi::Call &call) const;
    void setLevel(kd7010fp_scpi::Call &call, bool top);
    void queryLevel(kd7010fp_scpi::Call &call, bool top) const;
    // *RST: Vpp on both channels.
    void reset() { rms[0] = rms[1] = false; }

private:
    // The RMS of one volt of amplitude as the channel plays its waveform.
    double rmsPerVolt(int k) const;
    // What the unit is of a volt of amplitude (peak): 2 for Vpp, the RMS as
    // played for Vrms.
    double perVolt(int k) const { return rms[k] ? rmsPerVolt(k) : 2; }
    // What VOLTage, VOLTage:OFFSet, and HIGH (`top`) or LOW take, and give
    // for MIN, MAX and DEF.
    kd7010fp_scpi::Range amplitudeRange(int k) const;
    kd7010fp_scpi::Range offsetRange(int k) const;
    kd7010fp_scpi::Range levelRange(int k, bool top) const;
    bool set(kd7010fp_scpi::Call &call, int k, double amplitude, double offset);
    // -222 with the amplitude that plays, where it is not the one `sent`
    // (in the client's unit).
    void sayAmplitude(kd7010fp_scpi::Call &call, int k, double sent) const;

    kd7240fp_model *model;
    bool rms[2] = {}; // VOLTage:UNIT VRMS
};

#endif
