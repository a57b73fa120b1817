// A channel's function and output, which decide between the paths that reach
// its connector: the generated samples of a waveform, the DAC holding a DC
// level, or neither. Generation starts with the first output turned on and
// stops with the last one turned off.
#ifndef KD7240FP_OUTPUTS_H
#define KD7240FP_OUTPUTS_H

#include "kd7010fp_scpi.h"
#include "kd7240fp_model.h"

class kd7240fp_outputs
{
public:
    explicit kd7240fp_outputs(kd7240fp_model *model)
        : model(model)
    {
    }

    // FUNCtion SINusoid|SQUare|RAMP|TRIangle|ARBitrary|DC, OUTPut ON|OFF,
    // and their queries.
    void setFunction(kd7010fp_scpi::Call &call);
    void queryFunction(kd7010fp_scpi::Call &call) const;
    void setOutput(kd7010fp_scpi::Call &call);
    void queryOutput(kd7010fp_scpi::Call &call) const;

private:
    // Whether channel k's output is on: it is generated, or holds its DC level.
    bool on(int k) const;
    bool changeFunction(kd7010fp_scpi::Call &call, int k, int function);
    bool switchOutput(kd7010fp_scpi::Call &call, int k, bool turnOn);
    // Channel k's DC level put on its DAC, or 0 V there; -221 while the card generates.
    bool hold(kd7010fp_scpi::Call &call, int k, bool on);

    kd7240fp_model *model;
};

#endif
