#include "kd7240fp_outputs.h"

#include <algorithm>
#include <iterator>

#include "kd7240fp_clientchange.h"
#include "kd7240fp_clienttext.h"
#include "kd7240fp_plantext.h"

using namespace kd7010fp_scpi;
using kd7240fp::Settings;
using kd7240fp_clientChange::apply;
using kd7240fp_clientChange::channelOf;
using kd7240fp_clientChange::remote;

namespace {

// The functions in the order FUNCtion names them.
constexpr int functions[] = { kd7240fp::waveSine, kd7240fp::waveSquare, kd7240fp::waveSaw, kd7240fp::waveTriangle,
    kd7240fp::waveArbitrary, kd7240fp::waveDc };
const char *const functionNames[] = { "SIN", "SQU", "RAMP", "TRI", "ARB", "DC" };

} // namespace

void kd7240fp_outputs::setFunction(Call &call)
{
    int which;
    if (call.expect(1) && call.choice(0, { "SINusoid", "SQUare", "RAMP", "TRIangle", "ARBitrary", "DC" }, &which))
        changeFunction(call, channelOf(call), functions[which]);
}

void kd7240fp_outputs::queryFunction(Call &call) const
{
    if (!call.expect(0))
        return;
    const int function = model->settings().channel[channelOf(call)].function();
    call.replyText(
        functionNames[std::find(std::begin(functions), std::end(functions), function) - std::begin(functions)]);
}

void kd7240fp_outputs::setOutput(Call &call)
{
    bool turnOn;
    if (call.expect(1) && call.boolean(0, &turnOn))
        switchOutput(call, channelOf(call), turnOn);
}

void kd7240fp_outputs::queryOutput(Call &call) const
{
    if (call.expect(0))
        call.replyBool(on(channelOf(call)));
}

bool kd7240fp_outputs::on(int k) const { return model->generator()->channelActive(k) || model->levelHeld(k); }

bool kd7240fp_outputs::changeFunction(Call &call, int k, int function)
{
    Settings s = model->settings();
    kd7240fp::ChannelSettings &c = s.channel[k];
    if (function == c.function())
        return true;
    if (function == kd7240fp::waveDc && !kd7240fp_clientChange::hardwareThere(call, model))
        return false;
    if (function == kd7240fp::waveArbitrary && c.shape.empty())
        return call.error(-221, "no shape chosen; send one with DATA:ARBitrary and choose it with FUNCtion:ARBitrary");
    const auto choose = [&](kd7240fp::ChannelSettings &ch) {
        // A shape and a modulation exclude each other; a DC level is no waveform.
        if (function == kd7240fp::waveArbitrary)
            ch.modulation.type = kd7240fp::Modulation::None;
        if (function == kd7240fp::waveDc)
            ch.waveType = kd7240fp::waveNone;
        (ch.active() ? ch.waveType : ch.parked) = function;
    };
    if ((c.function() == kd7240fp::waveDc) == (function == kd7240fp::waveDc)) {
        choose(c);
        return apply(call, model, s);
    }
    // Between a waveform and the DC level, which reach the output by other
    // paths (the generated samples, the DAC): an output that is on is turned
    // off with the one and on again with the other. While the other channel
    // is generated the DAC takes nothing, so that is refused before either.
    const bool wasOn = on(k);
    if (wasOn && model->running() && s.channel[1 - k].active())
        return call.error(-221, kd7240fp_clientChange::stopFirst);
    if (wasOn && !switchOutput(call, k, false))
        return false;
    s = model->settings();
    choose(s.channel[k]);
    return apply(call, model, s) && (!wasOn || switchOutput(call, k, true));
}

bool kd7240fp_outputs::switchOutput(Call &call, int k, bool turnOn)
{
    Settings s = model->settings();
    kd7240fp::ChannelSettings &c = s.channel[k];
    if (turnOn) {
        if (on(k))
            return true;
        if (!kd7240fp_clientChange::hardwareThere(call, model))
            return false;
        if (c.function() == kd7240fp::waveDc)
            return hold(call, k, true);
        c.waveType = c.function();
        if (c.waveType == kd7240fp::waveArbitrary && c.shape.empty())
            return call.error(-221, "no shape chosen; send one with DATA:ARBitrary");
        const Settings before = model->settings();
        if (!apply(call, model, s))
            return false;
        if (model->running())
            return true;
        // What the card cannot play is not started, and the output stays off.
        if (!model->plan().playable()) {
            call.status().error(
                -221, kd7240fp_clientText::ofPlan([this] { return kd7240fp::problemText(model->plan()); }));
            model->change(before, remote);
            return false;
        }
        return model->start(remote);
    }
    // A channel turned off is not generated, as when no waveform is chosen
    // in the window; it comes back with its function when turned on.
    if (c.active())
        c.parked = c.waveType;
    c.waveType = kd7240fp::waveNone;
    if (model->running() && !s.anyActive()) {
        model->stop(remote);
        if (model->running())
            return false; // the card refused to stop: said in the queue
    }
    // Nor does its DAC hold anything, a DC level or the operator's value.
    return apply(call, model, s)
        && ((model->dac(k) == 0 && !model->levelHeld(k)) || hold(call, k, false));
}

bool kd7240fp_outputs::hold(Call &call, int k, bool on)
{
    // The DACs take nothing while the card generates; a driver's failure
    // is queued already.
    return model->holdLevel(k, on, remote) || (model->running() && call.error(-221, kd7240fp_clientChange::stopFirst));
}
