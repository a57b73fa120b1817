#include "kd7240fp_sweeps.h"

#include <algorithm>
#include <cmath>

#include "kd7010fp_typednumber.h"
#include "kd7240fp_clientchange.h"
#include "kd7240fp_clienttext.h"
#include "kd7240fp_played.h"
#include "kd7240fp_shapefile.h"
#include "kd7240fp_synthesis.h"

using namespace kd7010fp_scpi;
using kd7240fp::Settings;
using kd7240fp_clientChange::channelOf;

namespace {

const Range timeRange { 1.0 / kd7240fp::maxFrequency, 1, 1e-3 };
const Range startRange { kd7240fp::minSweepFrequency, kd7240fp::maxRate, 100 };
const Range stopRange { kd7240fp::minSweepFrequency, kd7240fp::maxRate, 1000 };

// Whether the channel plays a sweep: its function is its shape, made from one.
bool sweeping(const kd7240fp::ChannelSettings &c)
{
    return c.function() == kd7240fp::waveArbitrary && c.sweep.isSweep();
}

} // namespace

void kd7240fp_sweeps::setState(Call &call)
{
    bool on;
    if (!call.expect(1) || !call.boolean(0, &on))
        return;
    const int k = channelOf(call);
    Settings s = model->settings();
    kd7240fp::ChannelSettings &ch = s.channel[k];
    if (on == sweeping(ch))
        return;
    if (on) {
        if (!make(call, s, k))
            return;
    } else {
        // The sweep is kept for the next SWEep:STATe ON; the channel plays a sine.
        ch.sweepWhenOn = { ch.sweep.start, ch.sweep.stop, ch.sweep.logarithmic, 0 };
        ch.sweep = kd7240fp::Sweep();
        (ch.active() ? ch.waveType : ch.parked) = kd7240fp::waveSine;
    }
    kd7240fp_clientChange::apply(call, model, s);
}

void kd7240fp_sweeps::queryState(Call &call) const
{
    if (call.expect(0))
        call.replyBool(sweeping(model->settings().channel[channelOf(call)]));
}

void kd7240fp_sweeps::setSpacing(Call &call)
{
    int which;
    if (call.expect(1) && call.choice(0, { "LINear", "LOGarithmic" }, &which))
        change(call, channelOf(call), [&](kd7240fp::Sweep &sweep) { sweep.logarithmic = which == 1; });
}

void kd7240fp_sweeps::querySpacing(Call &call) const
{
    if (call.expect(0))
        call.replyText(sweepOf(channelOf(call)).logarithmic ? "LOG" : "LIN");
}

void kd7240fp_sweeps::setTime(Call &call)
{
    double seconds;
    if (!call.expect(1) || !call.number(0, Unit::Second, timeRange, &seconds))
        return;
    // A sweep lasts one period of the common frequency: 1/n s.
    const int frequency = std::clamp(int(std::lround(1 / seconds)), kd7240fp::minFrequency, kd7240fp::maxFrequency);
    const int k = channelOf(call);
    Settings s = model->settings();
    // A channel that plays no sweep keeps it for SWEep:STATe ON; the
    // frequency set stays.
    if (!sweeping(s.channel[k])) {
        s.channel[k].sweepWhenOn.frequency = frequency;
    } else {
        s.common.frequency = frequency;
        for (int j = 0; j < 2; ++j)
            if (!remake(call, s, j))
                return;
    }
    if (kd7240fp_clientChange::apply(call, model, s))
        kd7240fp_played::say(call, "sweep time", seconds, 1.0 / frequency, 9, "s");
}

void kd7240fp_sweeps::queryTime(Call &call) const
{
    if (call.expectQuery(timeRange))
        call.reply(1.0 / sweepOf(channelOf(call)).frequency);
}

void kd7240fp_sweeps::setStart(Call &call) { setEnd(call, &kd7240fp::Sweep::start, startRange); }

void kd7240fp_sweeps::queryStart(Call &call) const { queryEnd(call, &kd7240fp::Sweep::start, startRange); }

void kd7240fp_sweeps::setStop(Call &call) { setEnd(call, &kd7240fp::Sweep::stop, stopRange); }

void kd7240fp_sweeps::queryStop(Call &call) const { queryEnd(call, &kd7240fp::Sweep::stop, stopRange); }

void kd7240fp_sweeps::setEnd(Call &call, double kd7240fp::Sweep::*end, const Range &range)
{
    double hz;
    if (call.expect(1) && call.number(0, Unit::Hertz, range, &hz))
        change(call, channelOf(call), [&](kd7240fp::Sweep &sweep) {
            sweep.*end = kd7010fp_typedNumber::fitToBox(
                hz, kd7240fp::sweepDecimals, kd7240fp::minSweepFrequency, kd7240fp::maxRate);
        });
}

void kd7240fp_sweeps::queryEnd(Call &call, double kd7240fp::Sweep::*end, const Range &range) const
{
    if (call.expectQuery(range))
        call.reply(sweepOf(channelOf(call)).*end);
}

bool kd7240fp_sweeps::make(Call &call, Settings &s, int k)
{
    // One sweep over one period of the common frequency, with samples
    // enough for ten a period at its top, as the Sweep dialog asks.
    kd7240fp::ChannelSettings &c = s.channel[k];
    kd7240fp::Sweep sweep = c.sweepWhenOn;
    if (sweep.frequency > 0)
        s.common.frequency = sweep.frequency;
    sweep.frequency = s.common.frequency;
    const int frequency = sweep.frequency;
    const double top = std::max(sweep.start, sweep.stop);
    const kd7240fp::SweepRoom room = kd7240fp::sweepRoom(top, frequency);
    const int samples
        = std::clamp(std::max(kd7240fp::newShapeSamples(frequency), room.needed), kd7240fp::minShapeSamples, room.most);
    std::vector<double> shape = kd7240fp::sweepShape(sweep.start, sweep.stop, sweep.logarithmic, samples, frequency);
    switch (kd7240fp::sweepProblem(sweep, shape)) {
    case kd7240fp::SweepProblem::TooFewAtTop:
        return call.error(-221,
            "the sweep reaches " + kd7240fp_clientText::plain(top) + " Hz; at " + QByteArray::number(frequency)
                + " Hz it may reach "
                + kd7240fp_clientText::plain(room.highest)
                + " Hz: lower FREQuency:STOP or raise the frequency");
    case kd7240fp::SweepProblem::ZeroButRounding:
        return call.error(-221, "every sample is 0 but for rounding: the samples fall on whole cycles of the sweep");
    case kd7240fp::SweepProblem::None:
        break;
    }
    c.shape = std::move(shape);
    c.modulation.type = kd7240fp::Modulation::None;
    c.sweep = sweep;
    c.sweepWhenOn.frequency = 0; // the sweep lasts a period of the frequency set from now on
    c.shapeName.clear();
    c.formula.clear();
    if (c.active())
        c.waveType = kd7240fp::waveArbitrary;
    else
        c.parked = kd7240fp::waveArbitrary;
    return true;
}

bool kd7240fp_sweeps::remake(Call &call, Settings &s, int k)
{
    // The sweep that plays, whoever made it, is the one made again.
    kd7240fp::ChannelSettings &c = s.channel[k];
    if (!sweeping(c))
        return true;
    c.sweepWhenOn = { c.sweep.start, c.sweep.stop, c.sweep.logarithmic, 0 };
    return make(call, s, k);
}

kd7240fp::Sweep kd7240fp_sweeps::sweepOf(int k) const
{
    const kd7240fp::ChannelSettings &c = model->settings().channel[k];
    kd7240fp::Sweep sweep = sweeping(c) ? c.sweep : c.sweepWhenOn;
    if (sweeping(c) || sweep.frequency == 0)
        sweep.frequency = model->settings().common.frequency;
    return sweep;
}

void kd7240fp_sweeps::change(Call &call, int k, const std::function<void(kd7240fp::Sweep &)> &edit)
{
    Settings s = model->settings();
    kd7240fp::ChannelSettings &c = s.channel[k];
    const bool playing = sweeping(c);
    if (playing)
        c.sweepWhenOn = { c.sweep.start, c.sweep.stop, c.sweep.logarithmic, 0 };
    edit(c.sweepWhenOn);
    if (!playing || make(call, s, k))
        kd7240fp_clientChange::apply(call, model, s);
}
