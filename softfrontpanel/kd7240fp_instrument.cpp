#include "kd7240fp_instrument.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>

#include "kd7010fp_fcenteraddress.h"
#include "kd7010fp_typednumber.h"
#include "kd7240fp_plantext.h"
#include "kd7240fp_setup.h"
#include "kd7240fp_setuploader.h"
#include "kd7240fp_shapefile.h"
#include "kd7240fp_synthesis.h"

using namespace kd7010fp_scpi;
using kd7240fp::Modulation;
using kd7240fp::Settings;

namespace {

constexpr kd7240fp_model::Origin remote = kd7240fp_model::Remote;
// What a generating card cannot take: SCPI's settings conflict.
const char *const stopFirst = "stop generation first";

// The waveform types in the order FUNCtion names them; DC last, a function
// of no waveform type.
constexpr int waveTypes[] = { kd7240fp::waveSine, kd7240fp::waveSquare, kd7240fp::waveSaw, kd7240fp::waveTriangle,
    kd7240fp::waveArbitrary };
constexpr int dcFunction = -1;
const char *const functionNames[] = { "SIN", "SQU", "RAMP", "TRI", "ARB", "DC" };

// SCPI's own numbers: plain C digits, whatever the operator's locale.
QByteArray plain(double value) { return QByteArray::number(value, 'g', 12); }

QByteArray shapeName(const QByteArray &typed) { return typed.trimmed().toUpper(); }

bool validShapeName(const QByteArray &name)
{
    if (name.isEmpty() || name.size() > 40)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// The values of a block, in its byte order, as they are: whether all lie
// within +-full.
template <typename T> bool decode(const char *bytes, bool littleEndian, std::vector<double> *values, double full)
{
    bool inRange = true;
    double *out = values->data();
    const size_t count = values->size();
    for (size_t i = 0; i < count; ++i, bytes += sizeof(T)) {
        const double v = littleEndian ? qFromLittleEndian<T>(bytes) : qFromBigEndian<T>(bytes);
        out[i] = v;
        inRange &= std::fabs(v) <= full; // false for a NaN too
    }
    return inRange;
}

} // namespace

kd7240fp_instrument::kd7240fp_instrument(
    kd7240fp_model *model, std::function<QByteArray()> identity, QObject *parent)
    : QObject(parent)
    , model(model)
    , identity(std::move(identity))
    , parser(2)
{
    parser.add(commonRows());
    parser.add(rows());
    for (const auto &[type, name] : { std::pair { Modulation::AM, "AM" }, { Modulation::FM, "FM" },
             { Modulation::PM, "PM" }, { Modulation::FSK, "FSKey" }, { Modulation::PWM, "PWM" } })
        parser.add(modulationRows(type, name));
    patterns.clear();
    // What went wrong in a client's command goes to its error queue, and
    // to the window's status; the operator's own troubles stay in boxes.
    connect(model, &kd7240fp_model::callReported, this,
        [this](ViStatus status, const QString &callText, const QString &message, kd7240fp_model::Origin origin) {
            if (origin != remote)
                return;
            const QString what = status < 0 ? tr("%1 failed: %2").arg(callText, message) : tr("Warning: %1").arg(message);
            if (status < 0)
                parser.status().error(-240, what.toLatin1());
            emit failed(what);
        });
    connect(model, &kd7240fp_model::refused, this, [this](const QString &why, kd7240fp_model::Origin origin) {
        if (origin != remote)
            return;
        parser.status().error(-221, why.toUtf8());
        emit failed(why);
    });
}

QByteArray kd7240fp_instrument::execute(QByteArrayView message) { return parser.execute(message); }

QString kd7240fp_instrument::setupsFolder()
{
    return QFileInfo(kd7010fp_fcEnterAddress::settingsFilePath()).dir().filePath(QStringLiteral("Setups"));
}

bool kd7240fp_instrument::apply(Call &call, const Settings &settings)
{
    if (!model->lockedReason(settings, remote).isEmpty())
        return call.error(-221, stopFirst);
    switch (model->change(settings, remote)) {
    case kd7240fp_model::Applied:
        return true;
    case kd7240fp_model::Locked:
        return call.error(-221, stopFirst);
    case kd7240fp_model::NotSent:
        return call.error(-221, "not sent: " + kd7240fp::problemText(model->plan()).toUtf8());
    case kd7240fp_model::NotStopped:
    case kd7240fp_model::Stopped:
        break; // the driver's failure is queued already
    }
    return false;
}

int kd7240fp_instrument::function(int k) const
{
    if (channel[k].dc)
        return dcFunction;
    const int type = model->settings().channel[k].waveType;
    return type != kd7240fp::waveNone ? type : channel[k].parked;
}

double kd7240fp_instrument::rmsPerVolt(int k) const
{
    // The samples as played, at one volt and no offset: a triangle of ten
    // samples falls short of its nominal RMS, a shape has its own.
    Settings one = model->settings();
    kd7240fp::ChannelSettings &c = one.channel[k];
    c.waveType = function(k) == dcFunction ? kd7240fp::waveSine : function(k);
    c.amplitude = 1;
    c.offset = 0;
    std::vector<double> room;
    const kd7240fp::Plan plan = kd7240fp::planFor(one, kd7240fp::Limits { -2, 2 }, [&room](int count) {
        room.resize(size_t(count));
        return room.data();
    });
    return plan.samples[k] && plan.rms[k] > 0 ? plan.rms[k] : 1 / std::sqrt(2.0);
}

bool kd7240fp_instrument::setFunction(Call &call, int k, int waveType)
{
    Settings s = model->settings();
    kd7240fp::ChannelSettings &c = s.channel[k];
    if (waveType == dcFunction) {
        // A constant value on the card's DACs: the Write Channel path, which
        // a generating card does not take.
        if (model->running())
            return call.error(-221, stopFirst);
        if (c.active())
            channel[k].parked = c.waveType;
        c.waveType = kd7240fp::waveNone;
        if (!apply(call, s))
            return false;
        channel[k].dc = true;
        model->setDacs(k == 0 ? c.offset : model->dac(0), k == 1 ? c.offset : model->dac(1), remote);
        return true;
    }
    if (waveType == kd7240fp::waveArbitrary && c.shape.empty())
        return call.error(-221, "no shape chosen; send one with DATA:ARBitrary and choose it with FUNCtion:ARBitrary");
    channel[k].dc = false;
    channel[k].sweep = channel[k].sweep && waveType == kd7240fp::waveArbitrary;
    // A shape and a modulation exclude each other.
    if (waveType == kd7240fp::waveArbitrary)
        c.modulation.type = Modulation::None;
    if (c.active())
        c.waveType = waveType;
    else
        channel[k].parked = waveType;
    return apply(call, s);
}

bool kd7240fp_instrument::setOutput(Call &call, int k, bool on)
{
    if (channel[k].dc)
        return call.error(-221, "the channel holds a DC value; choose a function first");
    Settings s = model->settings();
    kd7240fp::ChannelSettings &c = s.channel[k];
    if (on) {
        if (!c.active())
            c.waveType = channel[k].parked;
        if (c.waveType == kd7240fp::waveArbitrary && c.shape.empty())
            return call.error(-221, "no shape chosen; send one with DATA:ARBitrary");
        if (!apply(call, s))
            return false;
        return model->running() || model->start(remote);
    }
    // A channel turned off is not generated, as when no waveform is chosen
    // in the window; it comes back with its function when turned on.
    if (c.active())
        channel[k].parked = c.waveType;
    c.waveType = kd7240fp::waveNone;
    if (model->running() && !s.anyActive()) {
        model->stop(remote);
        if (model->running())
            return false; // the card refused to stop: said in the queue
    }
    return apply(call, s);
}

bool kd7240fp_instrument::setVoltage(Call &call, int k, double amplitude, double offset)
{
    const kd7240fp::CardRange &range = model->range();
    Settings s = model->settings();
    kd7240fp::ChannelSettings &c = s.channel[k];
    c.offset = kd7010fp_typedNumber::fitToBox(offset, kd7240fp::voltDecimals, range.offsets.low, range.offsets.high);
    // Amplitude and offset are one pair, as the window fits them: what is
    // taken plays.
    const double most = kd7240fp::mostAmplitude(c.offset, range.offsets, range.maxAmplitude);
    c.amplitude = kd7010fp_typedNumber::fitToBox(amplitude, kd7240fp::voltDecimals, 0, range.maxAmplitude);
    if (c.amplitude > most) {
        call.status().error(-222, "amplitude brought down to " + plain(2 * most) + " Vpp to fit beside the offset");
        c.amplitude = most;
    }
    if (channel[k].dc) {
        if (model->running())
            return call.error(-221, stopFirst);
        if (!apply(call, s))
            return false;
        model->setDacs(k == 0 ? c.offset : model->dac(0), k == 1 ? c.offset : model->dac(1), remote);
        return true;
    }
    return apply(call, s);
}

bool kd7240fp_instrument::makeSweep(Call &call, Settings &s, int k)
{
    // One sweep over one period of the common frequency, with samples
    // enough for ten a period at its top, as the Sweep dialog asks.
    const int frequency = s.common.frequency;
    const Channel &sweep = channel[k];
    const double top = std::max(sweep.sweepStart, sweep.sweepStop);
    const int most = std::min(kd7240fp::mostShapeSamples(frequency), kd7240fp::maxShapeSamples);
    const kd7240fp::Timing timing = kd7240fp::timingFor(frequency);
    const int needed = int(std::ceil(top * kd7240fp::exactMinSamplesPerPeriod / frequency));
    const int samples = std::clamp(std::max(timing.ok ? timing.nSam : 1000, needed), kd7240fp::minShapeSamples, most);
    if (needed > most)
        return call.error(-221,
            "the sweep reaches " + plain(top) + " Hz; at " + QByteArray::number(frequency)
                + " Hz it may reach " + plain(double(frequency) * most / kd7240fp::exactMinSamplesPerPeriod)
                + " Hz: lower FREQuency:STOP or raise the frequency");
    kd7240fp::ChannelSettings &c = s.channel[k];
    c.shape = kd7240fp::sweepShape(sweep.sweepStart, sweep.sweepStop, sweep.sweepLog, samples, frequency);
    c.modulation.type = Modulation::None;
    c.sweep = { sweep.sweepStart, sweep.sweepStop, sweep.sweepLog, frequency };
    c.shapeName.clear();
    c.formula.clear();
    if (c.active())
        c.waveType = kd7240fp::waveArbitrary;
    else
        channel[k].parked = kd7240fp::waveArbitrary;
    return true;
}

bool kd7240fp_instrument::storeShape(Call &call, bool dacUnits)
{
    QByteArray name;
    if (!call.expect(2, INT_MAX) || !call.text(0, &name))
        return false;
    name = shapeName(name);
    if (!validShapeName(name))
        return call.error(-224, "a shape's name is 1 to 40 letters; digits or _");
    const double full = dacUnits ? 32767 : 1;
    // Read into the room the last shape replaced: a client sending its
    // shape again and again costs no allocation.
    std::vector<double> &values = room;
    QByteArrayView block;
    // One value after the name is a block: no shape has a single sample, and
    // a lone number is answered once (-104), not again for its length.
    if (call.count() == 2) {
        if (!call.block(1, &block))
            return false;
        // IEEE 488.2 block: float32 (-1 to 1) or int16 (DAC units), in the
        // byte order FORMat:BORDer names, big-endian (NORMal) by default.
        const int width = dacUnits ? 2 : 4;
        if (block.size() % width != 0)
            return call.error(-161, "the block holds no whole number of values");
        values.resize(size_t(block.size() / width));
        // Read in a loop of its own, which the compiler keeps free of
        // branches; what is beyond the full scale, or no number at all, is
        // looked for only when the loop saw some.
        const bool inRange = dacUnits ? decode<qint16>(block.data(), swapped, &values, full)
                                      : decode<float>(block.data(), swapped, &values, full);
        if (!inRange) {
            bool clipped = false;
            for (size_t i = 0; i < values.size(); ++i) {
                double &v = values[i];
                if (!std::isfinite(v))
                    return call.error(-224, "value " + QByteArray::number(qulonglong(i)) + " is not finite");
                clipped = clipped || std::fabs(v) > full;
                v = std::clamp(v, -full, full);
            }
            if (clipped)
                call.status().error(-222, "values beyond the full scale were clipped");
        }
    } else if (!call.numbers(1, Unit::None, Range { -full, full, 0 }, &values)) {
        return false;
    }
    if (dacUnits)
        for (double &v : values)
            v /= full;
    if (int(values.size()) > kd7240fp::maxShapeSamples)
        return call.error(-223, "a shape holds at most " + QByteArray::number(kd7240fp::maxShapeSamples) + " samples");
    if (int(values.size()) < kd7240fp::minShapeSamples)
        return call.error(-224, "a shape holds at least " + QByteArray::number(kd7240fp::minShapeSamples) + " samples");
    if (kd7240fp::playsNothing(values))
        return call.error(-224, "every value is 0: there is nothing to play");
    std::swap(shapes[name], values);
    return true;
}

bool kd7240fp_instrument::changeModulation(Call &call, const std::function<void(Modulation &)> &edit)
{
    Settings s = model->settings();
    edit(s.channel[channelOf(call)].modulation);
    return apply(call, s);
}

std::vector<Row> kd7240fp_instrument::modulationRows(Modulation::Type type, const QByteArray &name)
{
    const QByteArray head = "[SOURce#]:" + name;
    const auto modulation = [this](Call &c) { return model->settings().channel[channelOf(c)].modulation; };
    // A value of this kind of modulation, in `unit` within `range`, rounded
    // as the dialog's box for it rounds.
    const auto value = [this](double Modulation::*field, Unit unit, Range range) {
        return [this, field, unit, range](Call &c) {
            double v;
            if (c.expect(1) && c.number(0, unit, range, &v))
                changeModulation(c, [&](Modulation &m) {
                    m.*field = kd7240fp::fitModulation(field, v, range.minimum, range.maximum);
                });
        };
    };
    const auto query = [modulation](double Modulation::*field) {
        return [modulation, field](Call &c) {
            if (c.expect(0))
                c.reply(modulation(c).*field);
        };
    };
    std::vector<Row> rows = {
        { pattern(head + ":STATe"),
            [this, type](Call &c) {
                bool on;
                if (!c.expect(1) || !c.boolean(0, &on))
                    return;
                if (on && model->settings().channel[channelOf(c)].waveType == kd7240fp::waveArbitrary)
                    return void(c.error(-221, "a shape is not modulated; choose a standard function first"));
                changeModulation(c, [&](Modulation &m) {
                    if (on)
                        m.type = type;
                    else if (m.type == type)
                        m.type = Modulation::None;
                });
            } },
        { pattern(head + ":STATe?"), [modulation, type](Call &c) { if (c.expect(0)) c.replyBool(modulation(c).type == type); } },
        { pattern(head + ":SOURce"),
            [](Call &c) {
                int which;
                if (c.expect(1) && c.choice(0, { "INTernal", "EXTernal" }, &which) && which == 1)
                    c.error(-241, "this card has no modulation input");
            } },
        { pattern(head + ":SOURce?"), [](Call &c) { if (c.expect(0)) c.replyText("INT"); } },
        { pattern(head + ":INTernal:FUNCtion"),
            [this](Call &c) {
                int which;
                if (c.expect(1) && c.choice(0, { "SINusoid", "SQUare", "TRIangle", "RAMP" }, &which))
                    changeModulation(c, [&](Modulation &m) {
                        m.shape = std::array { kd7240fp::waveSine, kd7240fp::waveSquare, kd7240fp::waveTriangle, kd7240fp::waveSaw }[size_t(which)];
                    });
            } },
        { pattern(head + ":INTernal:FUNCtion?"),
            [modulation](Call &c) {
                if (c.expect(0))
                    c.replyText(std::array { "", "SIN", "SQU", "RAMP", "TRI" }[size_t(std::clamp(modulation(c).shape, 1, 4))]);
            } },
    };
    if (type == Modulation::FSK) {
        rows.push_back({ pattern(head + ":FREQuency"), value(&Modulation::hop, Unit::Hertz, { kd7240fp::minHop, kd7240fp::maxHop, 100 }) });
        rows.push_back({ pattern(head + ":FREQuency?"), query(&Modulation::hop) });
        rows.push_back({ pattern(head + ":INTernal:RATE"),
            value(&Modulation::rate, Unit::Hertz, { kd7240fp::minModulationFrequency, kd7240fp::maxModulationFrequency, 10 }) });
        rows.push_back({ pattern(head + ":INTernal:RATE?"), query(&Modulation::rate) });
        return rows;
    }
    rows.push_back({ pattern(head + ":INTernal:FREQuency"),
        value(&Modulation::frequency, Unit::Hertz, { kd7240fp::minModulationFrequency, kd7240fp::maxModulationFrequency, 100 }) });
    rows.push_back({ pattern(head + ":INTernal:FREQuency?"), query(&Modulation::frequency) });
    switch (type) {
    case Modulation::AM:
        rows.push_back({ pattern(head + ":DEPTh"), value(&Modulation::depth, Unit::Percent, { 0, kd7240fp::maxDepth, 100 }) });
        rows.push_back({ pattern(head + ":DEPTh?"), query(&Modulation::depth) });
        break;
    case Modulation::FM:
        rows.push_back({ pattern(head + ":DEViation"), value(&Modulation::deviation, Unit::Hertz, { 0, kd7240fp::maxDeviation, 100 }) });
        rows.push_back({ pattern(head + ":DEViation?"), query(&Modulation::deviation) });
        break;
    case Modulation::PM:
        rows.push_back({ pattern(head + ":DEViation"), value(&Modulation::phaseDeviation, Unit::Degree, { 0, kd7240fp::maxPhaseDeviation, 180 }) });
        rows.push_back({ pattern(head + ":DEViation?"), query(&Modulation::phaseDeviation) });
        break;
    case Modulation::PWM:
        rows.push_back({ pattern(head + ":DEViation:DCYCle"), value(&Modulation::dutyDeviation, Unit::Percent, { 0, kd7240fp::maxDutyDeviation, 10 }) });
        rows.push_back({ pattern(head + ":DEViation:DCYCle?"), query(&Modulation::dutyDeviation) });
        break;
    default:
        break;
    }
    return rows;
}

void kd7240fp_instrument::reset()
{
    // Generation stopped, the panel's default settings, outputs off; the
    // card is neither reset nor written.
    if (model->running())
        model->stop(remote);
    Settings defaults;
    const kd7240fp::CardRange &range = model->range();
    for (kd7240fp::ChannelSettings &c : defaults.channel)
        c.offset = kd7010fp_typedNumber::fitToBox(
            (range.card.low + range.card.high) * 0.5, kd7240fp::voltDecimals, range.offsets.low, range.offsets.high);
    model->change(defaults, remote);
    channel[0] = channel[1] = Channel();
    swapped = false;
}

std::vector<Row> kd7240fp_instrument::rows()
{
    const auto settings = [this] { return model->settings(); };
    return {
        // --- IEEE 488.2 commands of this card ---
        { "*IDN?", [this](Call &c) { if (c.expect(0)) c.replyText(identity()); } },
        { "*RST", [this](Call &c) { if (c.expect(0)) reset(); } },
        { "*TRG", [this](Call &c) { if (c.expect(0)) model->trigger(remote); } },
        { "CALibration[:ALL]?",
            [this](Call &c) {
                if (!c.expect(0))
                    return;
                const int before = c.status().errors().count();
                model->calibrate(remote);
                c.reply(c.status().errors().count() > before ? 1 : 0);
            } },

        // --- The waveform ---
        { "[SOURce#]:FUNCtion",
            [this](Call &c) {
                int which;
                if (c.expect(1) && c.choice(0, { "SINusoid", "SQUare", "RAMP", "TRIangle", "ARBitrary", "DC" }, &which))
                    setFunction(c, channelOf(c), which == 5 ? dcFunction : waveTypes[which]);
            } },
        { "[SOURce#]:FUNCtion?",
            [this](Call &c) {
                if (!c.expect(0))
                    return;
                const int type = function(channelOf(c));
                c.replyText(functionNames[type == dcFunction ? 5 : int(std::find(std::begin(waveTypes), std::end(waveTypes), type) - std::begin(waveTypes))]);
            } },
        { "[SOURce#]:FREQuency",
            [this, settings](Call &c) {
                double hz;
                if (!c.expect(1) || !c.number(0, Unit::Hertz, Range { kd7240fp::minFrequency, kd7240fp::maxFrequency, 1000 }, &hz))
                    return;
                // One clock for both channels: the common frequency.
                Settings s = settings();
                s.common.frequency = int(std::lround(hz));
                for (int k = 0; k < 2; ++k)
                    if (channel[k].sweep && !makeSweep(c, s, k))
                        return;
                apply(c, s);
            } },
        { "[SOURce#]:FREQuency?", [settings](Call &c) { if (c.expect(0)) c.reply(double(settings().common.frequency)); } },
        { "[SOURce#]:FREQuency:EXACt",
            [this, settings](Call &c) {
                bool on;
                if (!c.expect(1) || !c.boolean(0, &on))
                    return;
                Settings s = settings();
                s.common.exactFrequency = on;
                apply(c, s);
            } },
        { "[SOURce#]:FREQuency:EXACt?", [settings](Call &c) { if (c.expect(0)) c.replyBool(settings().common.exactFrequency); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate][:AMPLitude]",
            [this, settings](Call &c) {
                const int k = channelOf(c);
                const kd7240fp::ChannelSettings ch = settings().channel[k];
                const double most = kd7240fp::mostAmplitude(ch.offset, model->range().offsets, model->range().maxAmplitude);
                const double perVolt = channel[k].rms ? rmsPerVolt(k) : 2;
                double value;
                if (c.expect(1) && c.number(0, Unit::Volt, Range { 0, most * perVolt, 0 }, &value))
                    setVoltage(c, k, value / perVolt, ch.offset);
            } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate][:AMPLitude]?",
            [this, settings](Call &c) {
                const int k = channelOf(c);
                if (c.expect(0))
                    c.reply(settings().channel[k].amplitude * (channel[k].rms ? rmsPerVolt(k) : 2));
            } },
        { "[SOURce#]:VOLTage:UNIT",
            [this](Call &c) {
                int which;
                if (c.expect(1) && c.choice(0, { "VPP", "VRMS" }, &which))
                    channel[channelOf(c)].rms = which == 1;
            } },
        { "[SOURce#]:VOLTage:UNIT?", [this](Call &c) { if (c.expect(0)) c.replyText(channel[channelOf(c)].rms ? "VRMS" : "VPP"); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:OFFSet",
            [this, settings](Call &c) {
                const kd7240fp::Limits &offsets = model->range().offsets;
                double offset;
                if (c.expect(1) && c.number(0, Unit::Volt, Range { offsets.low, offsets.high, (offsets.low + offsets.high) / 2 }, &offset))
                    setVoltage(c, channelOf(c), settings().channel[channelOf(c)].amplitude, offset);
            } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:OFFSet?", [settings](Call &c) { if (c.expect(0)) c.reply(settings().channel[c.suffix(0) - 1].offset); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:HIGH",
            [this, settings](Call &c) {
                const int k = channelOf(c);
                const kd7240fp::ChannelSettings ch = settings().channel[k];
                const double low = ch.offset - ch.amplitude;
                double high;
                if (c.expect(1) && c.number(0, Unit::Volt, Range { low, model->range().offsets.high, low }, &high))
                    setVoltage(c, k, (high - low) / 2, (high + low) / 2);
            } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:HIGH?",
            [settings](Call &c) {
                const kd7240fp::ChannelSettings ch = settings().channel[c.suffix(0) - 1];
                if (c.expect(0))
                    c.reply(ch.offset + ch.amplitude);
            } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:LOW",
            [this, settings](Call &c) {
                const int k = channelOf(c);
                const kd7240fp::ChannelSettings ch = settings().channel[k];
                const double high = ch.offset + ch.amplitude;
                double low;
                if (c.expect(1) && c.number(0, Unit::Volt, Range { model->range().offsets.low, high, high }, &low))
                    setVoltage(c, k, (high - low) / 2, (high + low) / 2);
            } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate]:LOW?",
            [settings](Call &c) {
                const kd7240fp::ChannelSettings ch = settings().channel[c.suffix(0) - 1];
                if (c.expect(0))
                    c.reply(ch.offset - ch.amplitude);
            } },
        { "[SOURce#]:PHASe",
            [this, settings](Call &c) {
                double degrees;
                if (!c.expect(1) || !c.number(0, Unit::Degree, Range { 0, kd7240fp::maxPhase, 0, 360 }, &degrees))
                    return;
                Settings s = settings();
                s.channel[channelOf(c)].phase = kd7010fp_typedNumber::fitToBox(degrees, kd7240fp::phaseDecimals, 0, kd7240fp::maxPhase, true);
                apply(c, s);
            } },
        { "[SOURce#]:PHASe?", [settings](Call &c) { if (c.expect(0)) c.reply(settings().channel[c.suffix(0) - 1].phase); } },
        { "[SOURce#]:FUNCtion:SQUare:DCYCle",
            [this, settings](Call &c) {
                double duty;
                if (!c.expect(1) || !c.number(0, Unit::Percent, Range { kd7240fp::minDuty, kd7240fp::maxDuty, 50 }, &duty))
                    return;
                Settings s = settings();
                s.channel[channelOf(c)].duty = kd7010fp_typedNumber::fitToBox(duty, kd7240fp::dutyDecimals, kd7240fp::minDuty, kd7240fp::maxDuty);
                apply(c, s);
            } },
        { "[SOURce#]:FUNCtion:SQUare:DCYCle?", [settings](Call &c) { if (c.expect(0)) c.reply(settings().channel[c.suffix(0) - 1].duty); } },

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
                    c.replyBool(model->generator()->channelActive(channelOf(c)));
            } },

        // --- Bursts and the trigger ---
        { "[SOURce#]:BURSt:STATe",
            [this, settings](Call &c) {
                bool on;
                if (!c.expect(1) || !c.boolean(0, &on))
                    return;
                Settings s = settings();
                s.common.stopIndex = on ? 1 : 0;
                apply(c, s);
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
                    if (!c.integer(0, Range { kd7240fp::minCycles, kd7240fp::maxCycles, 1 }, &cycles))
                        return;
                    s.common.cycles = cycles;
                }
                apply(c, s);
            } },
        { "[SOURce#]:BURSt:NCYCles?",
            [settings](Call &c) {
                if (c.expect(0))
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
                if (apply(c, s))
                    channel[0].triggerSource = channel[1].triggerSource = QByteArray(which == 0 ? "IMM" : which == 1 ? "EXT" : "BUS");
            } },
        { "TRIGger#:SOURce?",
            [this, settings](Call &c) {
                if (c.expect(0))
                    c.replyText(!settings().common.byTrigger() ? QByteArray("IMM")
                            : channel[0].triggerSource == "IMM" ? QByteArray("EXT")
                                                               : channel[0].triggerSource);
            } },
        { "TRIGger#[:IMMediate]", [this](Call &c) { if (c.expect(0)) model->trigger(remote); } },

        // --- Sweeps: the channel's shape, one sweep per period ---
        { "[SOURce#]:SWEep:STATe",
            [this, settings](Call &c) {
                bool on;
                if (!c.expect(1) || !c.boolean(0, &on))
                    return;
                const int k = channelOf(c);
                Settings s = settings();
                if (on) {
                    if (!makeSweep(c, s, k))
                        return;
                } else if (channel[k].sweep) {
                    kd7240fp::ChannelSettings &ch = s.channel[k];
                    ch.sweep = kd7240fp::Sweep();
                    if (ch.waveType == kd7240fp::waveArbitrary)
                        ch.waveType = kd7240fp::waveSine;
                    else if (channel[k].parked == kd7240fp::waveArbitrary)
                        channel[k].parked = kd7240fp::waveSine;
                }
                if (apply(c, s))
                    channel[k].sweep = on;
            } },
        { "[SOURce#]:SWEep:STATe?", [this](Call &c) { if (c.expect(0)) c.replyBool(channel[channelOf(c)].sweep); } },
        { "[SOURce#]:SWEep:SPACing",
            [this, settings](Call &c) {
                int which;
                if (!c.expect(1) || !c.choice(0, { "LINear", "LOGarithmic" }, &which))
                    return;
                const int k = channelOf(c);
                channel[k].sweepLog = which == 1;
                Settings s = settings();
                if (channel[k].sweep && makeSweep(c, s, k))
                    apply(c, s);
            } },
        { "[SOURce#]:SWEep:SPACing?", [this](Call &c) { if (c.expect(0)) c.replyText(channel[channelOf(c)].sweepLog ? "LOG" : "LIN"); } },
        { "[SOURce#]:SWEep:TIME",
            [this, settings](Call &c) {
                double seconds;
                if (!c.expect(1) || !c.number(0, Unit::Second, Range { 1.0 / kd7240fp::maxFrequency, 1, 1e-3 }, &seconds))
                    return;
                // A sweep lasts one period of the common frequency: 1/n s.
                const int frequency = std::clamp(int(std::lround(1 / seconds)), kd7240fp::minFrequency, kd7240fp::maxFrequency);
                if (std::fabs(1.0 / frequency - seconds) > 1e-9 * seconds)
                    c.status().error(-222, "value clipped to 1/" + QByteArray::number(frequency) + " s");
                Settings s = settings();
                s.common.frequency = frequency;
                for (int k = 0; k < 2; ++k)
                    if (channel[k].sweep && !makeSweep(c, s, k))
                        return;
                apply(c, s);
            } },
        { "[SOURce#]:SWEep:TIME?", [settings](Call &c) { if (c.expect(0)) c.reply(1.0 / settings().common.frequency); } },
        { "[SOURce#]:FREQuency:STARt",
            [this, settings](Call &c) {
                double hz;
                const int k = channelOf(c);
                if (!c.expect(1) || !c.number(0, Unit::Hertz, Range { kd7240fp::minSweepFrequency, kd7240fp::maxRate, 100 }, &hz))
                    return;
                channel[k].sweepStart = kd7010fp_typedNumber::fitToBox(hz, kd7240fp::sweepDecimals, kd7240fp::minSweepFrequency, kd7240fp::maxRate);
                Settings s = settings();
                if (channel[k].sweep && makeSweep(c, s, k))
                    apply(c, s);
            } },
        { "[SOURce#]:FREQuency:STARt?", [this](Call &c) { if (c.expect(0)) c.reply(channel[channelOf(c)].sweepStart); } },
        { "[SOURce#]:FREQuency:STOP",
            [this, settings](Call &c) {
                double hz;
                const int k = channelOf(c);
                if (!c.expect(1) || !c.number(0, Unit::Hertz, Range { kd7240fp::minSweepFrequency, kd7240fp::maxRate, 1000 }, &hz))
                    return;
                channel[k].sweepStop = kd7010fp_typedNumber::fitToBox(hz, kd7240fp::sweepDecimals, kd7240fp::minSweepFrequency, kd7240fp::maxRate);
                Settings s = settings();
                if (channel[k].sweep && makeSweep(c, s, k))
                    apply(c, s);
            } },
        { "[SOURce#]:FREQuency:STOP?", [this](Call &c) { if (c.expect(0)) c.reply(channel[channelOf(c)].sweepStop); } },

        // --- Shapes of one's own ---
        { "[SOURce#]:DATA:ARBitrary", [this](Call &c) { storeShape(c, false); } },
        { "[SOURce#]:DATA:ARBitrary:DAC", [this](Call &c) { storeShape(c, true); } },
        { "[SOURce#]:DATA:VOLatile:CLEar",
            [this](Call &c) {
                if (!c.expect(0))
                    return;
                shapes.clear();
                room = {};
            } },
        { "[SOURce#]:DATA:VOLatile:CATalog?",
            [this](Call &c) {
                if (!c.expect(0))
                    return;
                if (shapes.empty())
                    c.replyString("");
                for (const auto &[name, samples] : shapes)
                    c.replyString(name);
            } },
        { "[SOURce#]:FUNCtion:ARBitrary",
            [this, settings](Call &c) {
                QByteArray name;
                if (!c.expect(1) || !c.text(0, &name))
                    return;
                name = shapeName(name);
                const auto found = shapes.find(name);
                if (found == shapes.end())
                    return void(c.error(-224, "no shape named " + name));
                const int k = channelOf(c);
                Settings s = settings();
                kd7240fp::ChannelSettings &ch = s.channel[k];
                // Played as given: -1 to 1 is the amplitude either way.
                ch.shape = found->second;
                ch.shapeName = QString::fromLatin1(name);
                ch.formula.clear();
                ch.sweep = kd7240fp::Sweep();
                if (apply(c, s)) {
                    channel[k].arb = name;
                    channel[k].sweep = false;
                }
            } },
        { "[SOURce#]:FUNCtion:ARBitrary?", [this](Call &c) { if (c.expect(0)) c.replyString(channel[channelOf(c)].arb); } },
        { "[SOURce#]:FUNCtion:ARBitrary:SRATe",
            [this, settings](Call &c) {
                const int k = channelOf(c);
                const int samples = int(settings().channel[k].shape.size());
                if (samples < kd7240fp::minShapeSamples)
                    return void(c.error(-221, "no shape chosen"));
                double rate;
                const double lowest = double(kd7240fp::minFrequency) * samples;
                const double highest = std::min(kd7240fp::maxRate, double(kd7240fp::maxFrequency) * samples);
                if (!c.expect(1) || !c.number(0, Unit::Hertz, Range { lowest, highest, lowest }, &rate))
                    return;
                // The rate is the common frequency times the shape's samples:
                // a whole number of hertz times them.
                const int frequency = std::clamp(int(std::lround(rate / samples)), kd7240fp::minFrequency, kd7240fp::maxFrequency);
                if (double(frequency) * samples != rate)
                    c.status().error(-222, "value clipped to " + plain(double(frequency) * samples));
                Settings s = settings();
                s.common.frequency = frequency;
                apply(c, s);
            } },
        { "[SOURce#]:FUNCtion:ARBitrary:SRATe?",
            [settings](Call &c) {
                if (c.expect(0))
                    c.reply(double(settings().common.frequency) * double(settings().channel[c.suffix(0) - 1].shape.size()));
            } },
        { "FORMat:BORDer",
            [this](Call &c) {
                int which;
                if (c.expect(1) && c.choice(0, { "NORMal", "SWAPped" }, &which))
                    swapped = which == 1;
            } },
        { "FORMat:BORDer?", [this](Call &c) { if (c.expect(0)) c.replyText(swapped ? "SWAP" : "NORM"); } },

        // --- Setups ---
        { "MMEMory:STORe:STATe",
            [this, settings](Call &c) {
                QByteArray name;
                if (!c.expect(1) || !c.text(0, &name))
                    return;
                if (name.isEmpty() || name.contains('/') || name.contains('\\') || name.contains(".."))
                    return void(c.error(-257, "a setup's name holds no folder"));
                QDir().mkpath(setupsFolder());
                QString path = QDir(setupsFolder()).filePath(QString::fromUtf8(name));
                if (QFileInfo(path).suffix().isEmpty())
                    path += QStringLiteral(".kd7240");
                QString error;
                if (!kd7240fp::writeSetupFile(path, settings(), &error))
                    c.error(-250, error.toUtf8());
            } },
        { "MMEMory:LOAD:STATe",
            [this](Call &c) {
                QByteArray name;
                if (!c.expect(1) || !c.text(0, &name))
                    return;
                if (name.isEmpty() || name.contains('/') || name.contains('\\') || name.contains(".."))
                    return void(c.error(-257, "a setup's name holds no folder"));
                if (model->running())
                    return void(c.error(-221, stopFirst));
                QString path = QDir(setupsFolder()).filePath(QString::fromUtf8(name));
                if (QFileInfo(path).suffix().isEmpty())
                    path += QStringLiteral(".kd7240");
                if (!QFileInfo::exists(path))
                    return void(c.error(-256, name));
                const kd7240fp_setupLoader::Opened opened = kd7240fp_setupLoader::open(path, model->range());
                if (!opened.settings)
                    return void(c.error(-250, opened.problem.toUtf8()));
                if (!opened.changes.isEmpty())
                    c.status().error(-222, "values brought within this card's range");
                apply(c, *opened.settings);
            } },
    };
}
