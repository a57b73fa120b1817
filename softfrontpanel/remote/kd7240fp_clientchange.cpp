#include "kd7240fp_clientchange.h"

#include "kd7240fp_clienttext.h"
#include "kd7240fp_plantext.h"

namespace kd7240fp_clientChange {

const char *const stopFirst = "stop generation first";

bool apply(kd7010fp_scpi::Call &call, kd7240fp_model *model, const kd7240fp::Settings &settings)
{
    switch (model->change(settings, remote)) {
    case kd7240fp_model::Applied:
        return true;
    case kd7240fp_model::Locked:
        return call.error(-221, stopFirst);
    case kd7240fp_model::NotSent:
        return call.error(-221,
            "not sent: " + kd7240fp_clientText::ofPlan([model] { return kd7240fp::problemText(model->notTaken()); }));
    case kd7240fp_model::NotStopped:
    case kd7240fp_model::Stopped:
        break; // the driver's failure is queued already
    }
    return false;
}

bool hardwareThere(kd7010fp_scpi::Call &call, const kd7240fp_model *model)
{
    // Without a card (demo mode, or one lost) nothing is played, measured
    // or written: said as SCPI's hardware missing.
    if (model->generator()->withCard())
        return true;
    call.status().error(-241, "no card connected");
    return false;
}

} // namespace kd7240fp_clientChange
