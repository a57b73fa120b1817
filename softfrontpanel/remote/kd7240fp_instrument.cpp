#include "kd7240fp_instrument.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "kd7010fp_settingsfile.h"
#include "kd7010fp_typednumber.h"
#include "kd7240fp_clientchange.h"
#include "kd7240fp_clienttext.h"
#include "kd7240fp_played.h"
#include "kd7240fp_setup.h"
#include "kd7240fp_setupfiles.h"
#include "kd7240fp_shapefile.h"

using namespace kd7010fp_scpi;
using kd7240fp::Settings;
using kd7240fp_clientChange::apply;
using kd7240fp_clientChange::channelOf;
using kd7240fp_clientChange::remote;
using kd7240fp_clientText::ascii;

namespace {

// Without a card (demo mode, or one lost) *IDN? says so, as every command
// that would play, measure or write does.
const char *const noCardIdentity = "Keldor Instruments,7240 (no card connected),0,0";

const Range frequencyRange { kd7240fp::minFrequency, kd7240fp::maxFrequency, 1000 };
const Range phaseRange { 0, kd7240fp::maxPhase, 0, 360 };
const Range dutyRange { kd7240fp::minDuty, kd7240fp::maxDuty, 50 };

} // namespace

kd7240fp_instrument::kd7240fp_instrument(
    kd7240fp_model *model, std::function<QByteArray()> identity, QObject *parent)
    : QObject(parent)
    , model(model)
    , identity(std::move(identity))
    , outputs(model)
    , voltage(model)
    , bursts(model)
    , sweeps(model)
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

std::vector<Row> kd7240fp_instrument::rows()
{
    return {
        // --- IEEE 488.2 commands of this card ---
        { "*IDN?", [this](Call &c) { identify(c); } },
        { "*RST", [this](Call &c) { if (c.expect(0)) reset(); } },
        { "*TRG", [this](Call &c) { bursts.trigger(c); } },
        { "CALibration[:ALL]?", [this](Call &c) { calibrate(c); } },

        // --- The waveform ---
        { "[SOURce#]:FUNCtion", [this](Call &c) { outputs.setFunction(c); } },
        { "[SOURce#]:FUNCtion?", [this](Call &c) { outputs.queryFunction(c); } },
        { "[SOURce#]:FREQuency", [this](Call &c) { setFrequency(c); } },
        { "[SOURce#]:FREQuency?", [this](Call &c) { queryFrequency(c); } },
        { "[SOURce#]:FREQuency:EXACt", [this](Call &c) { setExactFrequency(c); } },
        { "[SOURce#]:FREQuency:EXACt?", [this](Call &c) { queryExactFrequency(c); } },
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
        { "[SOURce#]:PHASe", [this](Call &c) { setPhase(c); } },
        { "[SOURce#]:PHASe?", [this](Call &c) { queryPhase(c); } },
        { "[SOURce#]:FUNCtion:SQUare:DCYCle", [this](Call &c) { setDuty(c); } },
        { "[SOURce#]:FUNCtion:SQUare:DCYCle?", [this](Call &c) { queryDuty(c); } },

        // --- Outputs: generation starts with the first and stops with the last ---
        { "OUTPut#[:STATe]", [this](Call &c) { outputs.setOutput(c); } },
        { "OUTPut#[:STATe]?", [this](Call &c) { outputs.queryOutput(c); } },

        // --- Bursts and the trigger ---
        { "[SOURce#]:BURSt:STATe", [this](Call &c) { bursts.setState(c); } },
        { "[SOURce#]:BURSt:STATe?", [this](Call &c) { bursts.queryState(c); } },
        { "[SOURce#]:BURSt:NCYCles", [this](Call &c) { bursts.setCycles(c); } },
        { "[SOURce#]:BURSt:NCYCles?", [this](Call &c) { bursts.queryCycles(c); } },
        { "[SOURce#]:BURSt:MODE", [](Call &c) { kd7240fp_bursts::setMode(c); } },
        { "[SOURce#]:BURSt:MODE?", [](Call &c) { if (c.expect(0)) c.replyText("TRIG"); } },
        { "TRIGger#:SOURce", [this](Call &c) { bursts.setSource(c); } },
        { "TRIGger#:SOURce?", [this](Call &c) { bursts.querySource(c); } },
        { "TRIGger#[:IMMediate]", [this](Call &c) { bursts.trigger(c); } },

        // --- Sweeps: the channel's shape, one sweep per period ---
        { "[SOURce#]:SWEep:STATe", [this](Call &c) { sweeps.setState(c); } },
        { "[SOURce#]:SWEep:STATe?", [this](Call &c) { sweeps.queryState(c); } },
        { "[SOURce#]:SWEep:SPACing", [this](Call &c) { sweeps.setSpacing(c); } },
        { "[SOURce#]:SWEep:SPACing?", [this](Call &c) { sweeps.querySpacing(c); } },
        { "[SOURce#]:SWEep:TIME", [this](Call &c) { sweeps.setTime(c); } },
        { "[SOURce#]:SWEep:TIME?", [this](Call &c) { sweeps.queryTime(c); } },
        { "[SOURce#]:FREQuency:STARt", [this](Call &c) { sweeps.setStart(c); } },
        { "[SOURce#]:FREQuency:STARt?", [this](Call &c) { sweeps.queryStart(c); } },
        { "[SOURce#]:FREQuency:STOP", [this](Call &c) { sweeps.setStop(c); } },
        { "[SOURce#]:FREQuency:STOP?", [this](Call &c) { sweeps.queryStop(c); } },

        // --- Shapes of one's own ---
        { "[SOURce#]:DATA:ARBitrary", [this](Call &c) { shapes.store(c, false); } },
        { "[SOURce#]:DATA:ARBitrary:DAC", [this](Call &c) { shapes.store(c, true); } },
        { "[SOURce#]:DATA:VOLatile:CLEar", [this](Call &c) { shapes.clear(c); } },
        { "[SOURce#]:DATA:VOLatile:CATalog?", [this](Call &c) { shapes.catalogue(c); } },
        { "[SOURce#]:FUNCtion:ARBitrary", [this](Call &c) { chooseShape(c); } },
        { "[SOURce#]:FUNCtion:ARBitrary?", [this](Call &c) { queryShape(c); } },
        { "[SOURce#]:FUNCtion:ARBitrary:SRATe", [this](Call &c) { setSampleRate(c); } },
        { "[SOURce#]:FUNCtion:ARBitrary:SRATe?", [this](Call &c) { querySampleRate(c); } },
        { "FORMat:BORDer", [this](Call &c) { shapes.setByteOrder(c); } },
        { "FORMat:BORDer?", [this](Call &c) { shapes.queryByteOrder(c); } },

        // --- Setups ---
        { "MMEMory:STORe:STATe", [this](Call &c) { storeSetup(c); } },
        { "MMEMory:LOAD:STATe", [this](Call &c) { loadSetup(c); } },
    };
}

void kd7240fp_instrument::identify(Call &call)
{
    if (call.expect(0))
        call.replyText(model->generator()->withCard() ? identity() : QByteArray(noCardIdentity));
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
    bursts.reset();
    shapes.reset();
}

void kd7240fp_instrument::calibrate(Call &call)
{
    if (!call.expect(0))
        return;
    const bool done = kd7240fp_clientChange::hardwareThere(call, model) && model->calibrate(remote);
    call.reply(done ? 0 : 1);
}

void kd7240fp_instrument::setFrequency(Call &call)
{
    double hz;
    if (!call.expect(1) || !call.number(0, Unit::Hertz, frequencyRange, &hz))
        return;
    // One clock for both channels: the common frequency.
    Settings s = model->settings();
    s.common.frequency = int(std::lround(hz));
    for (int k = 0; k < 2; ++k)
        if (!kd7240fp_sweeps::remake(call, s, k))
            return;
    if (apply(call, model, s))
        kd7240fp_played::sayFrequency(call, model, hz);
}

void kd7240fp_instrument::queryFrequency(Call &call) const
{
    if (call.expectQuery(frequencyRange))
        call.reply(kd7240fp_played::frequency(model));
}

void kd7240fp_instrument::setExactFrequency(Call &call)
{
    bool on;
    if (!call.expect(1) || !call.boolean(0, &on))
        return;
    Settings s = model->settings();
    s.common.exactFrequency = on;
    apply(call, model, s);
}

void kd7240fp_instrument::queryExactFrequency(Call &call) const
{
    if (call.expect(0))
        call.replyBool(model->settings().common.exactFrequency);
}

void kd7240fp_instrument::setPhase(Call &call)
{
    double degrees;
    if (!call.expect(1) || !call.number(0, Unit::Degree, phaseRange, &degrees))
        return;
    const int k = channelOf(call);
    Settings s = model->settings();
    s.channel[k].phase = kd7010fp_typedNumber::fitToBox(degrees, kd7240fp::phaseDecimals, 0, kd7240fp::maxPhase, true);
    if (apply(call, model, s))
        kd7240fp_played::say(call, "phase", degrees, kd7240fp_played::phase(model, k), 2, "deg");
}

void kd7240fp_instrument::queryPhase(Call &call) const
{
    if (call.expectQuery(phaseRange))
        call.reply(kd7240fp_played::phase(model, channelOf(call)));
}

void kd7240fp_instrument::setDuty(Call &call)
{
    double duty;
    if (!call.expect(1) || !call.number(0, Unit::Percent, dutyRange, &duty))
        return;
    const int k = channelOf(call);
    Settings s = model->settings();
    s.channel[k].duty
        = kd7010fp_typedNumber::fitToBox(duty, kd7240fp::dutyDecimals, kd7240fp::minDuty, kd7240fp::maxDuty);
    if (apply(call, model, s))
        kd7240fp_played::say(call, "duty", duty, kd7240fp_played::duty(model, k), 2, "%");
}

void kd7240fp_instrument::queryDuty(Call &call) const
{
    if (call.expectQuery(dutyRange))
        call.reply(kd7240fp_played::duty(model, channelOf(call)));
}

void kd7240fp_instrument::chooseShape(Call &call)
{
    QByteArray name;
    if (!call.expect(1) || !call.text(0, &name))
        return;
    name = kd7240fp_shapeStore::nameOf(name);
    const std::vector<double> *shape = shapes.find(name);
    if (!shape)
        return void(call.error(-224, "no shape named " + name));
    Settings s = model->settings();
    kd7240fp::ChannelSettings &ch = s.channel[channelOf(call)];
    // Played as given: -1 to 1 is the amplitude either way.
    ch.shape = *shape;
    ch.shapeName = QString::fromLatin1(name);
    ch.formula.clear();
    ch.sweep = kd7240fp::Sweep();
    apply(call, model, s);
}

void kd7240fp_instrument::queryShape(Call &call) const
{
    if (call.expect(0))
        call.replyString(ascii(model->settings().channel[channelOf(call)].shapeName));
}

void kd7240fp_instrument::setSampleRate(Call &call)
{
    const int k = channelOf(call);
    const int samples = int(model->settings().channel[k].shape.size());
    if (samples < kd7240fp::minShapeSamples)
        return void(call.error(-221, "no shape chosen"));
    double rate;
    if (!call.expect(1) || !call.number(0, Unit::Hertz, rateRange(k), &rate))
        return;
    // The rate is the common frequency times the shape's samples: a whole
    // number of hertz times them, never above the card's clock.
    const int fastest = int(std::floor(kd7240fp::maxRate / samples));
    const int frequency = std::clamp(
        std::min(int(std::lround(rate / samples)), fastest), kd7240fp::minFrequency, kd7240fp::maxFrequency);
    Settings s = model->settings();
    s.common.frequency = frequency;
    if (apply(call, model, s))
        kd7240fp_played::say(call, "sample rate", rate, double(frequency) * samples, 2, "Sa/s");
}

void kd7240fp_instrument::querySampleRate(Call &call) const
{
    const int k = channelOf(call);
    if (call.expectQuery(rateRange(k)))
        call.reply(double(model->settings().common.frequency) * double(model->settings().channel[k].shape.size()));
}

Range kd7240fp_instrument::rateRange(int k) const
{
    // The common frequency times the shape's samples, within the card's clock.
    const double samples = double(model->settings().channel[k].shape.size());
    const double lowest = kd7240fp::minFrequency * samples;
    return { lowest, std::min(kd7240fp::maxRate, kd7240fp::maxFrequency * samples), lowest };
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

void kd7240fp_instrument::storeSetup(Call &call)
{
    const QString path = setupPath(call);
    if (path.isEmpty())
        return;
    QDir().mkpath(setupsFolder());
    QString error;
    if (!kd7240fp::writeSetupFile(path, model->settings(), &error))
        call.error(-250, ascii(error));
}

void kd7240fp_instrument::loadSetup(Call &call)
{
    const QString path = setupPath(call);
    if (path.isEmpty())
        return;
    if (model->running())
        return void(call.error(-221, kd7240fp_clientChange::stopFirst));
    if (!QFileInfo::exists(path))
        return void(call.error(-256, ascii(QFileInfo(path).fileName())));
    const kd7240fp_setupFiles::Opened opened = kd7240fp_setupFiles::open(path, model->range());
    if (!opened.settings)
        return void(call.error(-250, ascii(opened.problem)));
    if (!opened.changes.isEmpty())
        call.status().error(-222, "values brought within this card's range");
    apply(call, model, *opened.settings);
}

void kd7240fp_instrument::burstEnded()
{
    if (!bursts.ended())
        return;
    parser.operationsCompleted();
    emit operationComplete();
}
