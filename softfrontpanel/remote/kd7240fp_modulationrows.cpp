#include "kd7240fp_modulationrows.h"

#include <algorithm>
#include <array>

#include "kd7240fp_clientchange.h"
#include "kd7240fp_played.h"

using namespace kd7010fp_scpi;
using kd7240fp::Modulation;
using kd7240fp_clientChange::channelOf;

void kd7240fp_modulationRows::addTo(Parser &parser)
{
    for (const auto &[type, name] : { std::pair { Modulation::AM, "AM" }, { Modulation::FM, "FM" },
             { Modulation::PM, "PM" }, { Modulation::FSK, "FSKey" }, { Modulation::PWM, "PWM" } })
        parser.add(rows(type, name));
    patterns.clear();
}

std::vector<Row> kd7240fp_modulationRows::rows(Modulation::Type type, const QByteArray &name)
{
    const QByteArray head = "[SOURce#]:" + name;
    std::vector<Row> rows = {
        { pattern(head + ":STATe"), [this, type](Call &c) { setState(c, type); } },
        { pattern(head + ":STATe?"), [this, type](Call &c) { queryState(c, type); } },
        { pattern(head + ":SOURce"), [](Call &c) { setSource(c); } },
        { pattern(head + ":SOURce?"), [](Call &c) { if (c.expect(0)) c.replyText("INT"); } },
        { pattern(head + ":INTernal:FUNCtion"), [this](Call &c) { setShape(c); } },
        { pattern(head + ":INTernal:FUNCtion?"), [this](Call &c) { queryShape(c); } },
    };
    // A value and its query.
    const auto value = [&](const char *node, double Modulation::*field, Unit unit, Range range) {
        rows.push_back({ pattern(head + node), [=](Call &c) { setValue(c, field, unit, range); } });
        rows.push_back({ pattern(head + node + '?'), [=](Call &c) { queryValue(c, field, range); } });
    };
    const Range frequencyRange { kd7240fp::minModulationFrequency, kd7240fp::maxModulationFrequency, 100 };
    const Range rateRange { kd7240fp::minModulationFrequency, kd7240fp::maxModulationFrequency, 10 };
    const Range hopRange { kd7240fp::minHop, kd7240fp::maxHop, 100 };
    if (type == Modulation::FSK) {
        value(":FREQuency", &Modulation::hop, Unit::Hertz, hopRange);
        value(":INTernal:RATE", &Modulation::rate, Unit::Hertz, rateRange);
        return rows;
    }
    value(":INTernal:FREQuency", &Modulation::frequency, Unit::Hertz, frequencyRange);
    switch (type) {
    case Modulation::AM:
        value(":DEPTh", &Modulation::depth, Unit::Percent, { 0, kd7240fp::maxDepth, 100 });
        break;
    case Modulation::FM:
        value(":DEViation", &Modulation::deviation, Unit::Hertz, { 0, kd7240fp::maxDeviation, 100 });
        break;
    case Modulation::PM:
        value(":DEViation", &Modulation::phaseDeviation, Unit::Degree, { 0, kd7240fp::maxPhaseDeviation, 180 });
        break;
    case Modulation::PWM:
        value(":DEViation:DCYCle", &Modulation::dutyDeviation, Unit::Percent, { 0, kd7240fp::maxDutyDeviation, 10 });
        break;
    default:
        break;
    }
    return rows;
}

void kd7240fp_modulationRows::setState(Call &call, Modulation::Type type)
{
    bool on;
    if (!call.expect(1) || !call.boolean(0, &on))
        return;
    if (on && model->settings().channel[channelOf(call)].function() == kd7240fp::waveArbitrary)
        return void(call.error(-221, "a shape is not modulated; choose a standard function first"));
    change(call, [&](Modulation &m) {
        if (on)
            m.type = type;
        else if (m.type == type)
            m.type = Modulation::None;
    });
}

void kd7240fp_modulationRows::queryState(Call &call, Modulation::Type type) const
{
    if (call.expect(0))
        call.replyBool(model->settings().channel[channelOf(call)].modulation.type == type);
}

void kd7240fp_modulationRows::setSource(Call &call)
{
    int which;
    if (call.expect(1) && call.choice(0, { "INTernal", "EXTernal" }, &which) && which == 1)
        call.error(-241, "this card has no modulation input");
}

void kd7240fp_modulationRows::setShape(Call &call)
{
    int which;
    if (call.expect(1) && call.choice(0, { "SINusoid", "SQUare", "TRIangle", "RAMP" }, &which))
        change(call, [&](Modulation &m) {
            m.shape = std::array { kd7240fp::waveSine, kd7240fp::waveSquare, kd7240fp::waveTriangle,
                kd7240fp::waveSaw }[size_t(which)];
        });
}

void kd7240fp_modulationRows::queryShape(Call &call) const
{
    if (!call.expect(0))
        return;
    const int shape = model->settings().channel[channelOf(call)].modulation.shape;
    call.replyText(std::array { "", "SIN", "SQU", "RAMP", "TRI" }[size_t(std::clamp(shape, 1, 4))]);
}

void kd7240fp_modulationRows::setValue(Call &call, double Modulation::*field, Unit unit, const Range &range)
{
    double v;
    if (call.expect(1) && call.number(0, unit, range, &v))
        change(
            call, [&](Modulation &m) { m.*field = kd7240fp::fitModulation(field, v, range.minimum, range.maximum); },
            field, v);
}

void kd7240fp_modulationRows::queryValue(Call &call, double Modulation::*field, const Range &range) const
{
    // What plays: a frequency, rate or hop the buffer moved.
    if (call.expectQuery(range))
        call.reply(kd7240fp_played::modulation(model, channelOf(call)).*field);
}

bool kd7240fp_modulationRows::change(
    Call &call, const std::function<void(Modulation &)> &edit, double Modulation::*sentField, double sent)
{
    const int k = channelOf(call);
    kd7240fp::Settings s = model->settings();
    const Modulation before = s.channel[k].modulation;
    Modulation &set = s.channel[k].modulation;
    edit(set);
    if (!kd7240fp_clientChange::apply(call, model, s))
        return false;
    // A value this command set that plays otherwise (the box's decimals, a
    // buffer that moved it) is said.
    static const struct
    {
        double Modulation::*field;
        const char *what;
        const char *unit;
    } values[] = { { &Modulation::frequency, "modulation frequency", "Hz" }, { &Modulation::depth, "depth", "%" },
        { &Modulation::deviation, "deviation", "Hz" }, { &Modulation::phaseDeviation, "deviation", "deg" },
        { &Modulation::hop, "hop frequency", "Hz" }, { &Modulation::rate, "rate", "Hz" },
        { &Modulation::dutyDeviation, "duty deviation", "%" } };
    const Modulation played = kd7240fp_played::modulation(model, k);
    for (const auto &v : values)
        if (v.field == sentField)
            kd7240fp_played::say(call, v.what, sent, played.*v.field, 3, v.unit);
        else if (set.*v.field != before.*v.field)
            kd7240fp_played::say(call, v.what, set.*v.field, played.*v.field, 3, v.unit);
    return true;
}
