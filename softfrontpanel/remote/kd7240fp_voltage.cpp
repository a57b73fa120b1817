#include "kd7240fp_voltage.h"

#include <algorithm>
#include <cmath>

#include "kd7010fp_typednumber.h"
#include "kd7240fp_clientchange.h"
#include "kd7240fp_played.h"
#include "kd7240fp_setup.h"

using namespace kd7010fp_scpi;
using kd7240fp::Settings;
using kd7240fp_clientChange::channelOf;

namespace {

// The top or bottom of a channel's waveform.
double level(const kd7240fp::ChannelSettings &c, bool top)
{
    return top ? c.offset + c.amplitude : c.offset - c.amplitude;
}

} // namespace

void kd7240fp_voltage::setAmplitude(Call &call)
{
    const int k = channelOf(call);
    const double unit = perVolt(k);
    double value;
    if (call.expect(1) && call.number(0, Unit::Volt, amplitudeRange(k), &value)
        && set(call, k, value / unit, model->settings().channel[k].offset))
        sayAmplitude(call, k, value);
}

void kd7240fp_voltage::sayAmplitude(Call &call, int k, double sent) const
{
    const double unit = perVolt(k);
    kd7240fp_played::say(
        call, "amplitude", sent, model->settings().channel[k].amplitude * unit, 4, rms[k] ? "Vrms" : "Vpp");
}

void kd7240fp_voltage::queryAmplitude(Call &call) const
{
    const int k = channelOf(call);
    if (call.expectQuery(amplitudeRange(k)))
        call.reply(model->settings().channel[k].amplitude * perVolt(k));
}

void kd7240fp_voltage::setUnit(Call &call)
{
    int which;
    if (call.expect(1) && call.choice(0, { "VPP", "VRMS" }, &which))
        rms[channelOf(call)] = which == 1;
}

void kd7240fp_voltage::queryUnit(Call &call) const
{
    if (call.expect(0))
        call.replyText(rms[channelOf(call)] ? "VRMS" : "VPP");
}

void kd7240fp_voltage::setOffset(Call &call)
{
    const int k = channelOf(call);
    double offset;
    if (call.expect(1) && call.number(0, Unit::Volt, offsetRange(k), &offset)
        && set(call, k, model->settings().channel[k].amplitude, offset))
        kd7240fp_played::say(call, "offset", offset, model->settings().channel[k].offset, 2, "V");
}

void kd7240fp_voltage::queryOffset(Call &call) const
{
    const int k = channelOf(call);
    if (call.expectQuery(offsetRange(k)))
        call.reply(model->settings().channel[k].offset);
}

void kd7240fp_voltage::setLevel(Call &call, bool top)
{
    // The other level stays where it is.
    const int k = channelOf(call);
    const double other = level(model->settings().channel[k], !top);
    double value;
    if (call.expect(1) && call.number(0, Unit::Volt, levelRange(k, top), &value)
        && set(call, k, top ? (value - other) / 2 : (other - value) / 2, (value + other) / 2))
        kd7240fp_played::say(
            call, top ? "high level" : "low level", value, level(model->settings().channel[k], top), 2, "V");
}

void kd7240fp_voltage::queryLevel(Call &call, bool top) const
{
    const int k = channelOf(call);
    if (call.expectQuery(levelRange(k, top)))
        call.reply(level(model->settings().channel[k], top));
}

double kd7240fp_voltage::rmsPerVolt(int k) const
{
    // The samples as played, at one volt and no offset: a triangle of ten
    // samples falls short of its nominal RMS, a shape has its own.
    Settings one = model->settings();
    kd7240fp::ChannelSettings &c = one.channel[k];
    c.waveType = c.function() == kd7240fp::waveDc ? kd7240fp::waveSine : c.function();
    c.amplitude = 1;
    c.offset = 0;
    std::vector<double> room;
    const auto measured = [&room](const Settings &settings) {
        return kd7240fp::planFor(settings, kd7240fp::Limits { -2, 2 }, [&room](int count) {
            room.resize(size_t(count));
            return room.data();
        });
    };
    kd7240fp::Plan plan = measured(one);
    // The other channel may stop the plan (a shape too fast, a modulation
    // that fits no buffer): the channel alone then.
    if (!plan.samples[k]) {
        one.channel[1 - k] = kd7240fp::ChannelSettings();
        plan = measured(one);
    }
    return plan.samples[k] && plan.rms[k] > 0 ? plan.rms[k] : 1 / std::sqrt(2.0);
}

Range kd7240fp_voltage::amplitudeRange(int k) const
{
    const kd7240fp::CardRange &range = model->range();
    const double most = kd7240fp::mostAmplitude(model->settings().channel[k].offset, range.offsets, range.maxAmplitude);
    return { 0, most * perVolt(k), 0 };
}

Range kd7240fp_voltage::offsetRange(int k) const
{
    // Beside the amplitude, as the amplitude is beside the offset: both
    // peaks stay within the card. A DC level has the whole range.
    const kd7240fp::CardRange &range = model->range();
    const kd7240fp::ChannelSettings &c = model->settings().channel[k];
    const double room = c.function() == kd7240fp::waveDc ? 0 : c.amplitude;
    const double low = range.offsets.low + room, high = range.offsets.high - room;
    return { low, high, std::clamp(range.defaultOffset, low, high) };
}

Range kd7240fp_voltage::levelRange(int k, bool top) const
{
    // From the other level to the card's end.
    const double other = level(model->settings().channel[k], !top);
    const kd7240fp::Limits &offsets = model->range().offsets;
    return top ? Range { other, offsets.high, other } : Range { offsets.low, other, other };
}

bool kd7240fp_voltage::set(Call &call, int k, double amplitude, double offset)
{
    const kd7240fp::CardRange &range = model->range();
    Settings s = model->settings();
    kd7240fp::ChannelSettings &c = s.channel[k];
    c.offset = kd7010fp_typedNumber::fitToBox(offset, kd7240fp::voltDecimals, range.offsets.low, range.offsets.high);
    // What is taken plays, to the boxes' decimals (what that makes of them
    // the caller says).
    const double most = kd7240fp::mostAmplitude(c.offset, range.offsets, range.maxAmplitude);
    const double asked = kd7010fp_typedNumber::fitToBox(amplitude, kd7240fp::voltDecimals, 0, range.maxAmplitude);
    c.amplitude = std::min(asked, most);
    if (!kd7240fp_clientChange::apply(call, model, s))
        return false;
    // An offset (a DC level's, which has the card's whole range) that
    // leaves less room than the amplitude had brings the amplitude down.
    if (c.amplitude < asked)
        sayAmplitude(call, k, asked * perVolt(k));
    return true;
}
