// The SWEep commands. A channel's sweep is its shape, made as the Sweep
// dialog makes it: one sweep over one period of the common frequency, so
// SWEep:TIME is a frequency too. A channel that plays no sweep keeps what a
// client sets for SWEep:STATe ON.
#ifndef KD7240FP_SWEEPS_H
#define KD7240FP_SWEEPS_H

#include <functional>

#include "kd7010fp_scpi.h"
#include "kd7240fp_model.h"

class kd7240fp_sweeps
{
public:
    explicit kd7240fp_sweeps(kd7240fp_model *model)
        : model(model)
    {
    }

    // SWEep:STATe, SWEep:SPACing LINear|LOGarithmic, SWEep:TIME,
    // FREQuency:STARt, FREQuency:STOP, and their queries.
    void setState(kd7010fp_scpi::Call &call);
    void queryState(kd7010fp_scpi::Call &call) const;
    void setSpacing(kd7010fp_scpi::Call &call);
    void querySpacing(kd7010fp_scpi::Call &call) const;
    void setTime(kd7010fp_scpi::Call &call);
    void queryTime(kd7010fp_scpi::Call &call) const;
    void setStart(kd7010fp_scpi::Call &call);
    void queryStart(kd7010fp_scpi::Call &call) const;
    void setStop(kd7010fp_scpi::Call &call);
    void queryStop(kd7010fp_scpi::Call &call) const;

    // The channel's sweep made again at the common frequency of `settings`,
    // when it plays one.
    static bool remake(kd7010fp_scpi::Call &call, kd7240fp::Settings &settings, int k);

private:
    // The channel's shape made from its sweepWhenOn at the common frequency
    // (the sweep's own, when SWEep:TIME set one); its function becomes the
    // shape.
    static bool make(kd7010fp_scpi::Call &call, kd7240fp::Settings &settings, int k);
    // The sweep channel `k` plays, or makes when its SWEep:STATe goes on,
    // with the frequency it lasts a period of.
    kd7240fp::Sweep sweepOf(int k) const;
    // Changes the sweep channel `k` makes by `edit`, and plays it when the
    // channel plays a sweep.
    void change(kd7010fp_scpi::Call &call, int k, const std::function<void(kd7240fp::Sweep &)> &edit);
    void setEnd(kd7010fp_scpi::Call &call, double kd7240fp::Sweep::*end, const kd7010fp_scpi::Range &range);
    void queryEnd(kd7010fp_scpi::Call &call, double kd7240fp::Sweep::*end, const kd7010fp_scpi::Range &range) const;

    kd7240fp_model *model;
};

#endif
