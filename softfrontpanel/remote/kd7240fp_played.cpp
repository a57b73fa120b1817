#include "kd7240fp_played.h"

#include <cmath>

#include "kd7240fp_clienttext.h"

using kd7240fp::Settings;

namespace kd7240fp_played {

namespace {

// A value taken, but not as it was sent: clipped to the card's range by the
// parser, or brought to what the card can play. Either way -222, with what
// plays.
constexpr int adjusted = -222;

double hundredths(double hz) { return std::round(hz * 100) / 100; }

} // namespace

void say(kd7010fp_scpi::Call &call, const QByteArray &what, double sent, double played, int places,
    const QByteArray &unit, const QByteArray &more)
{
    if (std::fabs(played - sent) < 0.5 * std::pow(10.0, -places))
        return;
    call.status().error(
        adjusted, what + " played " + kd7240fp_clientText::decimals(played, places) + ' ' + unit + more);
}

double frequency(const kd7240fp_model *model)
{
    const kd7240fp::Plan &plan = model->plan();
    return plan.timing.ok ? hundredths(plan.timing.played) : model->settings().common.frequency;
}

void sayFrequency(kd7010fp_scpi::Call &call, const kd7240fp_model *model, double sent)
{
    const kd7240fp::Plan &plan = model->plan();
    if (!plan.timing.ok)
        return;
    // Where whole periods in a longer buffer would play what was asked, say so.
    QByteArray exactly;
    if (!plan.exact && !plan.timing.fromShape && !plan.modulated) {
        Settings s = model->settings();
        s.common.exactFrequency = true;
        const kd7240fp::Plan exact = kd7240fp::planFor(s, model->generator()->limits());
        if (exact.exact && hundredths(exact.timing.played) != hundredths(plan.timing.played))
            exactly
                = "; FREQ:EXAC ON plays " + kd7240fp_clientText::decimals(hundredths(exact.timing.played), 2) + " Hz";
    }
    say(call, "frequency", sent, plan.timing.played, 2, "Hz", exactly);
}

double phase(const kd7240fp_model *model, int k)
{
    // A sine's phase is exact; the others move by whole samples, as they
    // would for a channel whose output is off once it is on.
    const kd7240fp::Plan &plan = model->plan();
    const kd7240fp::ChannelSettings &c = model->settings().channel[k];
    if (!plan.timing.ok || (!c.active() && c.function() == kd7240fp::waveSine))
        return c.phase;
    return plan.phasePlayed[k];
}

double duty(const kd7240fp_model *model, int k)
{
    // A square's high part is whole samples of its period.
    const kd7240fp::Plan &plan = model->plan();
    const kd7240fp::ChannelSettings &c = model->settings().channel[k];
    if (c.function() != kd7240fp::waveSquare || c.modulated() || !plan.timing.ok)
        return c.duty;
    return 100.0 * plan.dutyHigh[k] / plan.timing.nSam;
}

kd7240fp::Modulation modulation(const kd7240fp_model *model, int k)
{
    // A channel whose output is off, as it will play once it is on.
    Settings s = model->settings();
    kd7240fp::ChannelSettings &c = s.channel[k];
    const bool on = c.active();
    if (!on)
        c.waveType = c.function() == kd7240fp::waveDc ? kd7240fp::waveNone : c.function();
    if (!c.modulated())
        return c.modulation;
    const kd7240fp::Plan plan = on ? model->plan() : kd7240fp::planFor(s, model->generator()->limits());
    const kd7240fp::ModulationTiming &timing = plan.modulation;
    return plan.modulated && timing.ok && timing.channels[k].modulated ? timing.channels[k].played : c.modulation;
}

} // namespace kd7240fp_played
