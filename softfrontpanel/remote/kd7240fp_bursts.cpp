#include "kd7240fp_bursts.h"

#include "kd7240fp_clientchange.h"

using namespace kd7010fp_scpi;
using kd7240fp::Settings;
using kd7240fp_clientChange::apply;

namespace {

const Range cyclesRange { kd7240fp::minCycles, kd7240fp::maxCycles, 1 };

} // namespace

void kd7240fp_bursts::setState(Call &call)
{
    bool on;
    if (!call.expect(1) || !call.boolean(0, &on))
        return;
    Settings s = model->settings();
    s.common.stopIndex = on ? 1 : 0;
    apply(call, model, s);
}

void kd7240fp_bursts::queryState(Call &call) const
{
    if (call.expect(0))
        call.replyBool(model->settings().common.stopIndex != 0);
}

void kd7240fp_bursts::setCycles(Call &call)
{
    if (!call.expect(1))
        return;
    Settings s = model->settings();
    if (call.isMnemonic(0, "INFinity")) {
        s.common.stopIndex = 0;
    } else {
        int cycles;
        if (!call.integer(0, cyclesRange, &cycles))
            return;
        s.common.cycles = cycles;
    }
    apply(call, model, s);
}

void kd7240fp_bursts::queryCycles(Call &call) const
{
    const kd7240fp::CommonSettings &common = model->settings().common;
    if (call.expectQuery(cyclesRange))
        call.reply(common.stopIndex != 0 ? double(common.cycles) : 9.9e37);
}

void kd7240fp_bursts::setMode(Call &call)
{
    int which;
    if (call.expect(1) && call.choice(0, { "TRIGgered", "GATed" }, &which) && which == 1)
        call.error(-241, "this card has no gate input");
}

void kd7240fp_bursts::setSource(Call &call)
{
    int which;
    if (!call.expect(1) || !call.choice(0, { "IMMediate", "EXTernal", "BUS" }, &which))
        return;
    Settings s = model->settings();
    s.common.startIndex = which == 0 ? 0 : 1;
    if (apply(call, model, s))
        source = which == 0 ? "IMM" : which == 1 ? "EXT" : "BUS";
}

void kd7240fp_bursts::querySource(Call &call) const
{
    if (call.expect(0))
        call.replyText(!model->settings().common.byTrigger() ? QByteArray("IMM")
                : source == "IMM"                            ? QByteArray("EXT")
                                                             : source);
}

void kd7240fp_bursts::trigger(Call &call)
{
    if (!call.expect(0) || !kd7240fp_clientChange::hardwareThere(call, model))
        return;
    model->trigger(kd7240fp_clientChange::remote);
    // A limited burst that waited for it plays its cycles now.
    const kd7240fp::CommonSettings &common = model->sentSettings().common;
    triggered = triggered || (model->running() && common.byTrigger() && common.length() > 0);
}
