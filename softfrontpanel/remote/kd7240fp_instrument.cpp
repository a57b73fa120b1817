#include "kd7240fp_instrument.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "kd7010fp_settingsfile.h"
#include "kd7010fp_typednumber.h"
#include "kd7240fp_clientchange.h"
#include "kd7240fp_clienttext.h"
#include "kd7240fp_played.h"
#include "kd7240fp_plantext.h"
#include "kd7240fp_setup.h"
#include "kd7240fp_setupfiles.h"
#include "kd7240fp_shapefile.h"
#include "kd7240fp_synthesis.h"

using namespace kd7010fp_scpi;
using kd7240fp::Modulation;
using kd7240fp::Settings;
using kd7240fp_clientChange::apply;
using kd7240fp_clientChange::channelOf;
using kd7240fp_clientChange::remote;
using kd7240fp_clientText::ascii;

namespace {

// Without a card (demo mode, or one lost) *IDN? says so, as every command
// that would play, measure or write does.
const char *const noCardIdentity = "Keldor Instruments,7240 (no card connected),0,0";

// The functions in the order FUNCtion names them.
constexpr int functions[] = { kd7240fp::waveSine, kd7240fp::waveSquare, kd7240fp::waveSaw, kd7240fp::waveTriangle,
    kd7240fp::waveArbitrary, kd7240fp::waveDc };
const char *const functionNames[] = { "SIN", "SQU", "RAMP", "TRI", "ARB", "DC" };

// Whether the channel plays a sweep: its function is its shape, made from one.
bool sweeping(const kd7240fp::ChannelSettings &c) { return c.function() == kd7240fp::waveArbitrary && c.sweep.isSweep(); }

const Range frequencyRange { kd7240fp::minFrequency, kd7240fp::maxFrequency, 1000 };
const Range phaseRange { 0, kd7240fp::maxPhase, 0, 360 };
const Range dutyRange { kd7240fp::minDuty, kd7240fp::maxDuty, 50 };
const Range cyclesRange { kd7240fp::minCycles, kd7240fp::maxCycles, 1 };
const Range sweepTimeRange { 1.0 / kd7240fp::maxFrequency, 1, 1e-3 };
const Range sweepStartRange { kd7240fp::minSweepFrequency, kd7240fp::maxRate, 100 };
const Range sweepStopRange { kd7240fp::minSweepFrequency, kd7240fp::maxRate, 1000 };

} // namespace

kd7240fp_instrument::kd7240fp_instrument(
    kd7240fp_model *model, std::function<QByteArray()> identity, QObject *parent)
    : QObject(parent)
    , model(model)
    , identity(std::move(identity))
    , voltage(model)
    , modulation(model)
    , parser(2)
{
    parser.add(commonRows());
    parser.add(rows());
    modulation.addTo(parser);
    // What went wrong in a client's command goes to its error queue, and
    // to the window's status; the operator's own troubles stay in boxes.
    connect(model, &kd7240fp_model::callReported, this,
        [this](ViStatus status, const QString &callText, const QString &message, kd7240fp_model::Origin origin) {
            if (origin != remote)
                return;
            const QString what = status < 0 ? tr("%1 failed: %2").arg(callText, message) : tr("Warning: %1").arg(message);
            if (status < 0)
                parser.status().error(-240, ascii(what));
            emit failed(what);
        });
    // A triggered burst has played its cycles when the card no longer
    // reports it running (nor paused), or generation ended.
    parser.setBusy([this] { return operationPending(); });
    connect(model->generator(), &kd7240fp_generator::burstRead, this, [this](int state) {
        if (state != 1 && state != 3)
            burstEnded();
    });
    connect(model, &kd7240fp_model::stateChanged, this, [this] {
        if (!this->model->running())
            burstEnded();
    });
    connect(model, &kd7240fp_model::refused, this, [this](const QString &why, kd7240fp_model::Origin origin) {
        if (origin != remote)
            return;
        parser.status().error(-221, ascii(why));
        emit failed(why);
    });
}

QByteArray kd7240fp_instrument::execute(QByteArrayView message) { return parser.execute(message); }

void kd7240fp_instrument::burstEnded()
{
    if (!std::exchange(triggered, false))
        return;
    parser.operationsCompleted();
    emit operationComplete();
}

QString kd7240fp_instrument::setupsFolder()
{
    return kd7010fp_settingsFile::beside(QStringLiteral("Setups"));
}

QString kd7240fp_instrument::setupPath(Call &call)
{
    QByteArray name;
    if (!call.expect(1) || !call.text(0, &name))
        return QString();
    if (name.isEmpty() || name.contains('/') || name.contains('\\') || name.contains("..")) {
        call.error(-257, "a setup's name holds no folder");
        return QString();
    }
    QString path = QDir(setupsFolder()).filePath(QString::fromUtf8(name));
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".kd7240");
    return path;
}

bool kd7240fp_instrument::outputOn(int k) const
{
    return model->generator()->channelActive(k) || model->levelHeld(k);
}

bool kd7240fp_instrument::setFunction(Call &call, int k, int function)
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
            ch.modulation.type = Modulation::None;
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
    // off with the one and on again with the other.
    const bool on = outputOn(k);
    if (on && !setOutput(call, k, false))
        return false;
    s = model->settings();
    choose(s.channel[k]);
    return apply(call, model, s) && (!on || setOutput(call, k, true));
}

bool kd7240fp_instrument::setOutput(Call &call, int k, bool on)
{
    Settings s = model->settings();
    kd7240fp::ChannelSettings &c = s.channel[k];
    if (on) {
        if (outputOn(k))
            return true;
        if (!kd7240fp_clientChange::hardwareThere(call, model))
            return false;
        if (c.function() == kd7240fp::waveDc) {
            if (model->running())
                return call.error(-221, kd7240fp_clientChange::stopFirst);
            return model->holdLevel(k, true, remote);
        }
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
            call.status().error(-221, kd7240fp_clientText::ofPlan([this] { return kd7240fp::problemText(model->plan()); }));
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
    return apply(call, model, s) && ((model->dac(k) == 0 && !model->levelHeld(k)) || model->holdLevel(k, false, remote));
}

bool kd7240fp_instrument::makeSweep(Call &call, Settings &s, int k)
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
    const int most = std::min(kd7240fp::mostShapeSamples(frequency), kd7240fp::maxShapeSamples);
    const kd7240fp::Timing timing = kd7240fp::timingFor(frequency);
    const int needed = int(std::ceil(top * kd7240fp::exactMinSamplesPerPeriod / frequency));
    const int samples = std::clamp(std::max(timing.ok ? timing.nSam : 1000, needed), kd7240fp::minShapeSamples, most);
    std::vector<double> shape = kd7240fp::sweepShape(sweep.start, sweep.stop, sweep.logarithmic, samples, frequency);
    switch (kd7240fp::sweepProblem(sweep, shape)) {
    case kd7240fp::SweepProblem::TooFewAtTop:
        return call.error(-221,
            "the sweep reaches " + kd7240fp_clientText::plain(top) + " Hz; at " + QByteArray::number(frequency)
                + " Hz it may reach " + kd7240fp_clientText::plain(double(frequency) * most / kd7240fp::exactMinSamplesPerPeriod)
                + " Hz: lower FREQuency:STOP or raise the frequency");
    case kd7240fp::SweepProblem::ZeroButRounding:
        return call.error(-221, "every sample is 0 but for rounding: the samples fall on whole cycles of the sweep");
    case kd7240fp::SweepProblem::None:
        break;
    }
    c.shape = std::move(shape);
    c.modulation.type = Modulation::None;
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

bool kd7240fp_instrument::remakeSweep(Call &call, Settings &s, int k)
{
    // The sweep that plays, whoever made it, is the one made again.
    kd7240fp::ChannelSettings &c = s.channel[k];
    if (!sweeping(c))
        return true;
    c.sweepWhenOn = { c.sweep.start, c.sweep.stop, c.sweep.logarithmic, 0 };
    return makeSweep(call, s, k);
}

kd7240fp::Sweep kd7240fp_instrument::sweepOf(int k) const
{
    const kd7240fp::ChannelSettings &c = model->settings().channel[k];
    kd7240fp::Sweep sweep = sweeping(c) ? c.sweep : c.sweepWhenOn;
    if (sweeping(c) || sweep.frequency == 0)
        sweep.frequency = model->settings().common.frequency;
    return sweep;
}

void kd7240fp_instrument::changeSweep(Call &call, int k, const std::function<void(kd7240fp::Sweep &)> &edit)
{
    Settings s = model->settings();
    kd7240fp::ChannelSettings &c = s.channel[k];
    const bool playing = sweeping(c);
    if (playing)
        c.sweepWhenOn = { c.sweep.start, c.sweep.stop, c.sweep.logarithmic, 0 };
    edit(c.sweepWhenOn);
    if (!playing || makeSweep(call, s, k))
        apply(call, model, s);
}

Range kd7240fp_instrument::rateRange(int k) const
{
    // The common frequency times the shape's samples, within the card's clock.
    const double samples = double(model->settings().channel[k].shape.size());
    const double lowest = kd7240fp::minFrequency * samples;
    return { lowest, std::min(kd7240fp::maxRate, kd7240fp::maxFrequency * samples), lowest };
}

void kd7240fp_instrument::trigger(Call &call)
{
    if (!kd7240fp_clientChange::hardwareThere(call, model))
        return;
    model->trigger(remote);
    // A limited burst that waited for it plays its cycles now.
    const kd7240fp::CommonSettings &common = model->sentSettings().common;
    triggered = triggered || (model->running() && common.byTrigger() && common.length() > 0);
}

void kd7240fp_instrument::reset()
{
    // Generation stopped, the panel's default settings, outputs off, 0 V on
    // both DACs; the card itself is not reset.
    if (model->running())
        model->stop(remote);
    model->setDacs(0, 0, remote);
    Settings defaults;
    const kd7240fp::CardRange &range = model->range();
    for (kd7240fp::ChannelSettings &c : defaults.channel)
        c.offset = range.defaultOffset;
    model->change(defaults, remote);
    voltage.reset();
    triggerSource = "IMM";
    shapes.reset();
}

std::vector<Row> kd7240fp_instrument::rows()
{
    const auto settings = [this] { return model->settings(); };
    return {
        // --- IEEE 488.2 commands of this card ---
        { "*IDN?",
            [this](Call &c) {
                if (c.expect(0))
                    c.replyText(model->generator()->withCard() ? identity() : QByteArray(noCardIdentity));
            } },
        { "*RST", [this](Call &c) { if (c.expect(0)) reset(); } },
        { "*TRG", [this](Call &c) { if (c.expect(0)) trigger(c); } },
        { "CALibration[:ALL]?",
            [this](Call &c) {
                if (!c.expect(0))
                    return;
                const bool done = kd7240fp_clientChange::hardwareThere(c, model) && model->calibrate(remote);
                c.reply(done ? 0 : 1);
            } },

        // --- The waveform ---
        { "[SOURce#]:FUNCtion",
            [this](Call &c) {
                int which;
                if (c.expect(1) && c.choice(0, { "SINusoid", "SQUare", "RAMP", "TRIangle", "ARBitrary", "DC" }, &which))
                    setFunction(c, channelOf(c), functions[which]);
            } },
        { "[SOURce#]:FUNCtion?",
            [settings](Call &c) {
                if (!c.expect(0))
                    return;
                const int function = settings().channel[c.suffix(0) - 1].function();
                c.replyText(functionNames[std::find(std::begin(functions), std::end(functions), function) - std::begin(functions)]);
            } },
        { "[SOURce#]:FREQuency",
            [this, settings](Call &c) {
                double hz;
                if (!c.expect(1) || !c.number(0, Unit::Hertz, frequencyRange, &hz))
                    return;
                // One clock for both channels: the common frequency.
                Settings s = settings();
                s.common.frequency = int(std::lround(hz));
                for (int k = 0; k < 2; ++k)
                    if (!remakeSweep(c, s, k))
                        return;
                if (apply(c, model, s))
                    kd7240fp_played::sayFrequency(c, model, hz);
            } },
        { "[SOURce#]:FREQuency?", [this](Call &c) { if (c.expectQuery(frequencyRange)) c.reply(kd7240fp_played::frequency(model)); } },
        { "[SOURce#]:FREQuency:EXACt",
            [this, settings](Call &c) {
                bool on;
                if (!c.expect(1) || !c.boolean(0, &on))
                    return;
                Settings s = settings();
                s.common.exactFrequency = on;
                apply(c, model, s);
            } },
        { "[SOURce#]:FREQuency:EXACt?", [settings](Call &c) { if (c.expect(0)) c.replyBool(settings().common.exactFrequency); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate][:AMPLitude]", [this](Call &c) { voltage.setAmplitude(c); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate][:AMPLitude]?", [this](Call &c) { voltage.queryAmplitude(c); } },
        { "[SOURce#]:VOLTage:UNIT", [this](Call &c) { voltage.setUnit(c); } },
        { "[SOURce#]:VOLTage:UNIT?", [this](Call &c) { voltage.queryUnit(c); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:OFFSet", [this](Call &c) { voltage.setOffset(c); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:OFFSet?", [this](Call &c) { voltage.queryOffset(c); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:HIGH", [this](Call &c) { voltage.setLevel(c, true); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:HIGH?", [this](Call &c) { voltage.queryLevel(c, true); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:LOW", [this](Call &c) { voltage.setLevel(c, false); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:LOW?", [this](Call &c) { voltage.queryLevel(c, false); } },
        { "[SOURce#]:PHASe",
            [this, settings](Call &c) {
                double degrees;
                if (!c.expect(1) || !c.number(0, Unit::Degree, phaseRange, &degrees))
                    return;
                const int k = channelOf(c);
                Settings s = settings();
                s.channel[k].phase = kd7010fp_typedNumber::fitToBox(degrees, kd7240fp::phaseDecimals, 0, kd7240fp::maxPhase, true);
                if (apply(c, model, s))
                    kd7240fp_played::say(c, "phase", degrees, kd7240fp_played::phase(model, k), 2, "deg");
            } },
        { "[SOURce#]:PHASe?", [this](Call &c) { if (c.expectQuery(phaseRange)) c.reply(kd7240fp_played::phase(model, channelOf(c))); } },
        { "[SOURce#]:FUNCtion:SQUare:DCYCle",
            [this, settings](Call &c) {
                double duty;
                if (!c.expect(1) || !c.number(0, Unit::Percent, dutyRange, &duty))
                    return;
                const int k = channelOf(c);
                Settings s = settings();
                s.channel[k].duty = kd7010fp_typedNumber::fitToBox(duty, kd7240fp::dutyDecimals, kd7240fp::minDuty, kd7240fp::maxDuty);
                if (apply(c, model, s))
                    kd7240fp_played::say(c, "duty", duty, kd7240fp_played::duty(model, k), 2, "%");
            } },
        { "[SOURce#]:FUNCtion:SQUare:DCYCle?", [this](Call &c) { if (c.expectQuery(dutyRange)) c.reply(kd7240fp_played::duty(model, channelOf(c))); } },

        // --- Outputs: generation starts with the first and stops with the last ---
        { "OUTPut#[:STATe]",
            [this](Call &c) {
                bool on;
                if (c.expect(1) && c.boolean(0, &on))
                    setOutput(c, channelOf(c), on);
            } },
        { "OUTPut#[:STATe]?",
            [this](Call &c) {
                if (c.expect(0))
                    c.replyBool(outputOn(channelOf(c)));
            } },

        // --- Bursts and the trigger ---
        { "[SOURce#]:BURSt:STATe",
            [this, settings](Call &c) {
                bool on;
                if (!c.expect(1) || !c.boolean(0, &on))
                    return;
                Settings s = settings();
                s.common.stopIndex = on ? 1 : 0;
                apply(c, model, s);
            } },
        { "[SOURce#]:BURSt:STATe?", [settings](Call &c) { if (c.expect(0)) c.replyBool(settings().common.stopIndex != 0); } },
        { "[SOURce#]:BURSt:NCYCles",
            [this, settings](Call &c) {
                if (!c.expect(1))
                    return;
                Settings s = settings();
                if (c.isMnemonic(0, "INFinity")) {
                    s.common.stopIndex = 0;
                } else {
                    int cycles;
                    if (!c.integer(0, cyclesRange, &cycles))
                        return;
                    s.common.cycles = cycles;
                }
                apply(c, model, s);
            } },
        { "[SOURce#]:BURSt:NCYCles?",
            [settings](Call &c) {
                if (c.expectQuery(cyclesRange))
                    c.reply(settings().common.stopIndex != 0 ? double(settings().common.cycles) : 9.9e37);
            } },
        { "[SOURce#]:BURSt:MODE",
            [](Call &c) {
                int which;
                if (c.expect(1) && c.choice(0, { "TRIGgered", "GATed" }, &which) && which == 1)
                    c.error(-241, "this card has no gate input");
            } },
        { "[SOURce#]:BURSt:MODE?", [](Call &c) { if (c.expect(0)) c.replyText("TRIG"); } },
        { "TRIGger#:SOURce",
            [this, settings](Call &c) {
                int which;
                if (!c.expect(1) || !c.choice(0, { "IMMediate", "EXTernal", "BUS" }, &which))
                    return;
                Settings s = settings();
                s.common.startIndex = which == 0 ? 0 : 1;
                if (apply(c, model, s))
                    triggerSource = which == 0 ? "IMM" : which == 1 ? "EXT" : "BUS";
            } },
        { "TRIGger#:SOURce?",
            [this, settings](Call &c) {
                if (c.expect(0))
                    c.replyText(!settings().common.byTrigger() ? QByteArray("IMM")
                            : triggerSource == "IMM" ? QByteArray("EXT")
                                                     : triggerSource);
            } },
        { "TRIGger#[:IMMediate]", [this](Call &c) { if (c.expect(0)) trigger(c); } },

        // --- Sweeps: the channel's shape, one sweep per period ---
        { "[SOURce#]:SWEep:STATe",
            [this, settings](Call &c) {
                bool on;
                if (!c.expect(1) || !c.boolean(0, &on))
                    return;
                const int k = channelOf(c);
                Settings s = settings();
                kd7240fp::ChannelSettings &ch = s.channel[k];
                if (on == sweeping(ch))
                    return;
                if (on) {
                    if (!makeSweep(c, s, k))
                        return;
                } else {
                    // The sweep is kept for the next SWEep:STATe ON; the channel plays a sine.
                    ch.sweepWhenOn = { ch.sweep.start, ch.sweep.stop, ch.sweep.logarithmic, 0 };
                    ch.sweep = kd7240fp::Sweep();
                    (ch.active() ? ch.waveType : ch.parked) = kd7240fp::waveSine;
                }
                apply(c, model, s);
            } },
        { "[SOURce#]:SWEep:STATe?", [settings](Call &c) { if (c.expect(0)) c.replyBool(sweeping(settings().channel[c.suffix(0) - 1])); } },
        { "[SOURce#]:SWEep:SPACing",
            [this](Call &c) {
                int which;
                if (c.expect(1) && c.choice(0, { "LINear", "LOGarithmic" }, &which))
                    changeSweep(c, channelOf(c), [&](kd7240fp::Sweep &sweep) { sweep.logarithmic = which == 1; });
            } },
        { "[SOURce#]:SWEep:SPACing?", [this](Call &c) { if (c.expect(0)) c.replyText(sweepOf(channelOf(c)).logarithmic ? "LOG" : "LIN"); } },
        { "[SOURce#]:SWEep:TIME",
            [this, settings](Call &c) {
                double seconds;
                if (!c.expect(1) || !c.number(0, Unit::Second, sweepTimeRange, &seconds))
                    return;
                // A sweep lasts one period of the common frequency: 1/n s.
                const int frequency = std::clamp(int(std::lround(1 / seconds)), kd7240fp::minFrequency, kd7240fp::maxFrequency);
                const int k = channelOf(c);
                Settings s = settings();
                // A channel that plays no sweep keeps it for SWEep:STATe ON;
                // the frequency set stays.
                if (!sweeping(s.channel[k])) {
                    s.channel[k].sweepWhenOn.frequency = frequency;
                } else {
                    s.common.frequency = frequency;
                    for (int j = 0; j < 2; ++j)
                        if (!remakeSweep(c, s, j))
                            return;
                }
                if (apply(c, model, s))
                    kd7240fp_played::say(c, "sweep time", seconds, 1.0 / frequency, 9, "s");
            } },
        { "[SOURce#]:SWEep:TIME?", [this](Call &c) { if (c.expectQuery(sweepTimeRange)) c.reply(1.0 / sweepOf(channelOf(c)).frequency); } },
        { "[SOURce#]:FREQuency:STARt",
            [this](Call &c) {
                double hz;
                if (c.expect(1) && c.number(0, Unit::Hertz, sweepStartRange, &hz))
                    changeSweep(c, channelOf(c), [&](kd7240fp::Sweep &sweep) {
                        sweep.start = kd7010fp_typedNumber::fitToBox(hz, kd7240fp::sweepDecimals, kd7240fp::minSweepFrequency, kd7240fp::maxRate);
                    });
            } },
        { "[SOURce#]:FREQuency:STARt?", [this](Call &c) { if (c.expectQuery(sweepStartRange)) c.reply(sweepOf(channelOf(c)).start); } },
        { "[SOURce#]:FREQuency:STOP",
            [this](Call &c) {
                double hz;
                if (c.expect(1) && c.number(0, Unit::Hertz, sweepStopRange, &hz))
                    changeSweep(c, channelOf(c), [&](kd7240fp::Sweep &sweep) {
                        sweep.stop = kd7010fp_typedNumber::fitToBox(hz, kd7240fp::sweepDecimals, kd7240fp::minSweepFrequency, kd7240fp::maxRate);
                    });
            } },
        { "[SOURce#]:FREQuency:STOP?", [this](Call &c) { if (c.expectQuery(sweepStopRange)) c.reply(sweepOf(channelOf(c)).stop); } },

        // --- Shapes of one's own ---
        { "[SOURce#]:DATA:ARBitrary", [this](Call &c) { shapes.store(c, false); } },
        { "[SOURce#]:DATA:ARBitrary:DAC", [this](Call &c) { shapes.store(c, true); } },
        { "[SOURce#]:DATA:VOLatile:CLEar", [this](Call &c) { shapes.clear(c); } },
        { "[SOURce#]:DATA:VOLatile:CATalog?", [this](Call &c) { shapes.catalogue(c); } },
        { "[SOURce#]:FUNCtion:ARBitrary",
            [this, settings](Call &c) {
                QByteArray name;
                if (!c.expect(1) || !c.text(0, &name))
                    return;
                name = kd7240fp_shapeStore::nameOf(name);
                const std::vector<double> *shape = shapes.find(name);
                if (!shape)
                    return void(c.error(-224, "no shape named " + name));
                const int k = channelOf(c);
                Settings s = settings();
                kd7240fp::ChannelSettings &ch = s.channel[k];
                // Played as given: -1 to 1 is the amplitude either way.
                ch.shape = *shape;
                ch.shapeName = QString::fromLatin1(name);
                ch.formula.clear();
                ch.sweep = kd7240fp::Sweep();
                apply(c, model, s);
            } },
        { "[SOURce#]:FUNCtion:ARBitrary?",
            [settings](Call &c) {
                if (c.expect(0))
                    c.replyString(ascii(settings().channel[c.suffix(0) - 1].shapeName));
            } },
        { "[SOURce#]:FUNCtion:ARBitrary:SRATe",
            [this, settings](Call &c) {
                const int k = channelOf(c);
                const int samples = int(settings().channel[k].shape.size());
                if (samples < kd7240fp::minShapeSamples)
                    return void(c.error(-221, "no shape chosen"));
                double rate;
                if (!c.expect(1) || !c.number(0, Unit::Hertz, rateRange(k), &rate))
                    return;
                // The rate is the common frequency times the shape's samples:
                // a whole number of hertz times them.
                const int frequency = std::clamp(int(std::lround(rate / samples)), kd7240fp::minFrequency, kd7240fp::maxFrequency);
                Settings s = settings();
                s.common.frequency = frequency;
                if (apply(c, model, s))
                    kd7240fp_played::say(c, "sample rate", rate, double(frequency) * samples, 2, "Sa/s");
            } },
        { "[SOURce#]:FUNCtion:ARBitrary:SRATe?",
            [this, settings](Call &c) {
                const int k = channelOf(c);
                if (c.expectQuery(rateRange(k)))
                    c.reply(double(settings().common.frequency) * double(settings().channel[k].shape.size()));
            } },
        { "FORMat:BORDer", [this](Call &c) { shapes.setByteOrder(c); } },
        { "FORMat:BORDer?", [this](Call &c) { shapes.queryByteOrder(c); } },

        // --- Setups ---
        { "MMEMory:STORe:STATe",
            [this, settings](Call &c) {
                const QString path = setupPath(c);
                if (path.isEmpty())
                    return;
                QDir().mkpath(setupsFolder());
                QString error;
                if (!kd7240fp::writeSetupFile(path, settings(), &error))
                    c.error(-250, ascii(error));
            } },
        { "MMEMory:LOAD:STATe",
            [this](Call &c) {
                const QString path = setupPath(c);
                if (path.isEmpty())
                    return;
                if (model->running())
                    return void(c.error(-221, kd7240fp_clientChange::stopFirst));
                if (!QFileInfo::exists(path))
                    return void(c.error(-256, ascii(QFileInfo(path).fileName())));
                const kd7240fp_setupFiles::Opened opened = kd7240fp_setupFiles::open(path, model->range());
                if (!opened.settings)
                    return void(c.error(-250, ascii(opened.problem)));
                if (!opened.changes.isEmpty())
                    c.status().error(-222, "values brought within this card's range");
                apply(c, model, *opened.settings);
            } },
    };
}
