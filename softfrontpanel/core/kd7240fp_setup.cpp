#include "kd7240fp_setup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSet>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

#include "kd7010fp_typednumber.h"
#include "kd7240fp_shapefile.h"

namespace kd7240fp {

namespace {

QString tr(const char *text) { return QCoreApplication::translate("kd7240fp_setup", text); }

const QString setupTag = QStringLiteral("Vantix 7240 soft front panel");
const QString modelText = QStringLiteral("7240");
const QStringList waveNames = { "None", "Sine", "Square", "Saw", "Triangle", "Arbitrary" };
// The functions an output turned off comes back with: the waveforms and the DC level.
const QStringList functionNames = waveNames + QStringList { "DC" };
const QStringList filterNames = { "Ground", "Bypass", "1KHz", "10KHz", "100KHz" };
const QStringList startNames = { "Immediate", "By Trigger" };
const QStringList stopNames = { "Unlimited", "Limited by" };
const QStringList scaleNames = { "Linear", "Logarithmic" };
const QStringList modulationNames = { "None", "AM", "FM", "PM", "FSK", "PWM" };
const QStringList modulatingNames = { "None", "Sine", "Square", "Ramp", "Triangle" };
// Far more than 2 x 262143 samples written as text ever take.
constexpr qint64 maxSetupBytes = 64 * 1024 * 1024;

QJsonObject sweepObject(const Sweep &sweep)
{
    QJsonObject o;
    o[QLatin1String("start")] = sweep.start;
    o[QLatin1String("stop")] = sweep.stop;
    o[QLatin1String("scale")] = scaleNames.value(sweep.logarithmic ? 1 : 0);
    o[QLatin1String("frequency")] = sweep.frequency;
    return o;
}

QJsonObject channelObject(const ChannelSettings &c)
{
    QJsonObject o;
    o[QLatin1String("waveform")] = waveNames.value(c.waveType);
    o[QLatin1String("amplitude")] = c.amplitude;
    o[QLatin1String("offset")] = c.offset;
    o[QLatin1String("filter")] = filterNames.value(c.filterIndex);
    o[QLatin1String("filterWhenGrounded")] = filterNames.value(c.lastFilter + 1);
    o[QLatin1String("phase")] = c.phase;
    o[QLatin1String("duty")] = c.duty;
    // Only where they are not the defaults: a setup of an older panel reads
    // as before, and is written as it was.
    const ChannelSettings plain;
    if (c.parked != plain.parked)
        o[QLatin1String("waveformWhenOn")] = functionNames.value(c.parked);
    if (!(c.sweepWhenOn == plain.sweepWhenOn))
        o[QLatin1String("sweepWhenOn")] = sweepObject(c.sweepWhenOn);
    // Only where there is one: a setup without modulation reads as before.
    if (c.modulation.active()) {
        const Modulation &m = c.modulation;
        QJsonObject modulation;
        modulation[QLatin1String("type")] = modulationNames.value(m.type);
        modulation[QLatin1String("shape")] = modulatingNames.value(m.shape);
        modulation[QLatin1String("frequency")] = m.frequency;
        modulation[QLatin1String("depth")] = m.depth;
        modulation[QLatin1String("deviation")] = m.deviation;
        modulation[QLatin1String("phaseDeviation")] = m.phaseDeviation;
        modulation[QLatin1String("hop")] = m.hop;
        modulation[QLatin1String("rate")] = m.rate;
        modulation[QLatin1String("dutyDeviation")] = m.dutyDeviation;
        o[QLatin1String("modulation")] = modulation;
    }
    if (c.shape.empty()) {
        o[QLatin1String("shape")] = QJsonValue::Null;
    } else {
        QJsonArray samples;
        for (double v : c.shape)
            samples.append(v);
        QJsonObject shape;
        shape[QLatin1String("name")] = c.shapeName;
        shape[QLatin1String("formula")] = c.formula;
        shape[QLatin1String("sweep")] = c.sweep.isSweep() ? QJsonValue(sweepObject(c.sweep)) : QJsonValue::Null;
        shape[QLatin1String("samples")] = samples;
        o[QLatin1String("shape")] = shape;
    }
    return o;
}

// A number as plain digits, as many as it takes to tell it from every other
// double: 100000.00000000001 is not "100000", nor 1000001 "1e+06", so a value
// just beyond an end never reads as the end itself.
QString plain(double v) { return QString::number(v, 'f', QLocale::FloatingPointShortest); }

// Reads the keys of one object; the first problem is kept and every read
// after it does nothing, so the reading code stays a plain sequence.
class Reader
{
public:
    explicit Reader(QString *error)
        : error(error)
    {
    }

    bool failed() const { return !error->isEmpty(); }
    void fail(const QString &path, const QString &what)
    {
        if (!failed())
            *error = QStringLiteral("%1 %2").arg(path, what);
    }

    QJsonValue value(const QJsonObject &o, const QString &path, const char *key)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            fail(join(path, key), tr("is missing."));
        return v;
    }
    double number(const QJsonObject &o, const QString &path, const char *key, double low, double high)
    {
        const QJsonValue v = value(o, path, key);
        if (failed())
            return 0;
        if (!v.isDouble()) {
            fail(join(path, key), tr("must be a number."));
            return 0;
        }
        const double d = v.toDouble();
        if (!(d >= low && d <= high))
            fail(join(path, key), tr("is %1, out of its range %2 to %3.").arg(plain(d), plain(low), plain(high)));
        return d;
    }
    int whole(const QJsonObject &o, const QString &path, const char *key, int low, int high)
    {
        const double d = number(o, path, key, low, high);
        // Converted only once it is known to fit.
        if (failed())
            return low;
        if (d != std::floor(d)) {
            fail(join(path, key), tr("must be a whole number."));
            return low;
        }
        return int(d);
    }
    bool flag(const QJsonObject &o, const QString &path, const char *key)
    {
        const QJsonValue v = value(o, path, key);
        if (!failed() && !v.isBool())
            fail(join(path, key), tr("must be true or false."));
        return v.toBool();
    }
    // The index of the text in `names`.
    int choice(const QJsonObject &o, const QString &path, const char *key, const QStringList &names, int first = 0)
    {
        const QJsonValue v = value(o, path, key);
        if (failed())
            return first;
        const int index = v.isString() ? int(names.indexOf(v.toString())) : -1;
        if (index < first)
            fail(join(path, key), tr("must be one of %1.").arg(quoted(names.mid(first))));
        return std::max(index, first);
    }
    QString text(const QJsonObject &o, const QString &path, const char *key)
    {
        const QJsonValue v = value(o, path, key);
        if (!failed() && !v.isString())
            fail(join(path, key), tr("must be a text."));
        return v.toString();
    }

    static QString join(const QString &path, const char *key)
    {
        return path.isEmpty() ? QString::fromLatin1(key) : path + QLatin1Char('.') + QLatin1String(key);
    }

private:
    static QString quoted(const QStringList &names)
    {
        QStringList q;
        for (const QString &n : names)
            q << QLatin1Char('"') + n + QLatin1Char('"');
        return q.join(QStringLiteral(", "));
    }

    QString *error;
};

// A sweep's object: its frequency is the common one it lasts a period of,
// `lowestFrequency` upwards.
Sweep readSweep(Reader &r, const QJsonValue &v, const QString &at, int lowestFrequency)
{
    if (!v.isObject()) {
        r.fail(at, tr("must be an object or null."));
        return Sweep();
    }
    const QJsonObject o = v.toObject();
    Sweep sweep;
    sweep.start = r.number(o, at, "start", minSweepFrequency, maxRate);
    sweep.stop = r.number(o, at, "stop", minSweepFrequency, maxRate);
    sweep.logarithmic = r.choice(o, at, "scale", scaleNames) == 1;
    sweep.frequency = r.whole(o, at, "frequency", lowestFrequency, maxFrequency);
    return sweep;
}

void readShape(Reader &r, const QJsonObject &o, const QString &path, ChannelSettings &c)
{
    const QJsonValue v = r.value(o, path, "shape");
    if (r.failed() || v.isNull())
        return;
    const QString where = Reader::join(path, "shape");
    if (!v.isObject())
        return r.fail(where, tr("must be an object or null."));
    const QJsonObject shape = v.toObject();
    c.shapeName = r.text(shape, where, "name");
    c.formula = r.text(shape, where, "formula");
    // A sweep's parameters; setups saved before sweeps existed have none.
    const QJsonValue sweep = shape.value(QLatin1String("sweep"));
    if (!r.failed() && !sweep.isUndefined() && !sweep.isNull()) {
        c.sweep = readSweep(r, sweep, Reader::join(where, "sweep"), minFrequency);
        if (r.failed())
            c.sweep = Sweep();
    }
    const QJsonValue samples = r.value(shape, where, "samples");
    if (r.failed())
        return;
    const QString at = Reader::join(where, "samples");
    if (!samples.isArray())
        return r.fail(at, tr("must be an array of numbers."));
    const QJsonArray array = samples.toArray();
    if (array.size() < minShapeSamples || array.size() > maxShapeSamples)
        return r.fail(at,
            tr("holds %1 samples; a period holds %2 to %3.")
                .arg(array.size())
                .arg(minShapeSamples)
                .arg(maxShapeSamples));
    std::vector<double> read;
    read.reserve(size_t(array.size()));
    for (qsizetype i = 0; i < array.size(); ++i) {
        // QJsonDocument reads numbers beyond a double's range as infinite.
        const QJsonValue s = array.at(i);
        if (!s.isDouble() || !std::isfinite(s.toDouble()))
            return r.fail(QStringLiteral("%1[%2]").arg(at).arg(i), tr("must be a finite number."));
        read.push_back(s.toDouble());
    }
    if (playsNothing(read))
        return r.fail(at, tr("are 0 throughout: there is nothing to play."));
    // Kept as saved, bit for bit: a sweep's samples peak below 1, and scaled
    // up they would play louder than they did. Only samples beyond -1..1,
    // which the panel never saves, are brought within it.
    if (peakOf(read) > 1)
        normalise(read);
    c.shape = std::move(read);
}

// A modulation's parameters; setups saved before modulation have none.
void readModulation(Reader &r, const QJsonObject &o, const QString &path, ChannelSettings &c)
{
    const QJsonValue v = o.value(QLatin1String("modulation"));
    if (r.failed() || v.isUndefined() || v.isNull())
        return;
    const QString at = Reader::join(path, "modulation");
    if (!v.isObject())
        return r.fail(at, tr("must be an object or null."));
    const QJsonObject m = v.toObject();
    Modulation &read = c.modulation;
    read.type = Modulation::Type(r.choice(m, at, "type", modulationNames, 1));
    read.shape = r.choice(m, at, "shape", modulatingNames, 1);
    read.frequency = r.number(m, at, "frequency", minModulationFrequency, maxModulationFrequency);
    read.depth = r.number(m, at, "depth", 0, maxDepth);
    read.deviation = r.number(m, at, "deviation", 0, maxDeviation);
    read.phaseDeviation = r.number(m, at, "phaseDeviation", 0, maxPhaseDeviation);
    read.hop = r.number(m, at, "hop", minHop, maxHop);
    read.rate = r.number(m, at, "rate", minModulationFrequency, maxModulationFrequency);
    read.dutyDeviation = r.number(m, at, "dutyDeviation", 0, maxDutyDeviation);
    if (r.failed())
        read = Modulation();
}

ChannelSettings readChannel(Reader &r, const QJsonObject &o, const QString &path)
{
    ChannelSettings c;
    c.waveType = r.choice(o, path, "waveform", waveNames);
    c.amplitude = r.number(o, path, "amplitude", 0, 1e6);
    c.offset = r.number(o, path, "offset", -1e6, 1e6);
    c.filterIndex = r.choice(o, path, "filter", filterNames);
    c.lastFilter = r.choice(o, path, "filterWhenGrounded", filterNames, 1) - 1;
    c.phase = r.number(o, path, "phase", 0, maxPhase);
    c.duty = r.number(o, path, "duty", minDuty, maxDuty);
    // Setups of older panels hold neither: the defaults.
    if (o.contains(QLatin1String("waveformWhenOn")))
        c.parked = r.choice(o, path, "waveformWhenOn", functionNames, 1);
    if (o.contains(QLatin1String("sweepWhenOn")))
        c.sweepWhenOn = readSweep(r, o.value(QLatin1String("sweepWhenOn")), Reader::join(path, "sweepWhenOn"), 0);
    readShape(r, o, path, c);
    readModulation(r, o, path, c);
    if (!r.failed() && c.waveType == waveArbitrary && c.shape.empty())
        r.fail(Reader::join(path, "shape"), tr("is missing: the channel plays a shape."));
    return c;
}

// The first key that an object of the document gives twice, by its path
// ("channels[0].amplitude"); empty when none does. QJsonDocument keeps the
// last of them without a word, so a hand-edited file could play a value its
// reader never saw. The document is known to be valid JSON.
class DuplicateKeys
{
public:
    static QString find(const QByteArray &json)
    {
        DuplicateKeys scan(json);
        return scan.run();
    }

private:
    struct Level
    {
        bool object = false;
        QString path;
        QSet<QString> keys;
        QString key; // the object's key whose value comes next
        int index = 0; // the array's element that comes next
        bool expectKey = false;
    };

    explicit DuplicateKeys(const QByteArray &json)
        : text(json)
    {
    }

    QString valuePath() const
    {
        if (levels.empty())
            return QString();
        const Level &l = levels.back();
        return l.object ? Reader::join(l.path, l.key.toUtf8().constData()) : QStringLiteral("%1[%2]").arg(l.path).arg(l.index);
    }

    QString run()
    {
        while (at < text.size()) {
            const char c = text[at];
            if (c == '{' || c == '[') {
                Level level;
                level.object = c == '{';
                level.path = valuePath();
                level.expectKey = level.object;
                levels.push_back(level);
                ++at;
            } else if (c == '}' || c == ']') {
                levels.pop_back();
                ++at;
            } else if (c == ',') {
                if (!levels.empty()) {
                    Level &l = levels.back();
                    l.expectKey = l.object;
                    ++l.index;
                }
                ++at;
            } else if (c == '"') {
                const QString s = readString();
                if (!levels.empty() && levels.back().expectKey) {
                    Level &l = levels.back();
                    l.expectKey = false;
                    l.key = s;
                    if (l.keys.contains(s))
                        return valuePath();
                    l.keys.insert(s);
                }
            } else {
                ++at; // white space, ':', and the characters of numbers, true, false, null
            }
        }
        return QString();
    }

    // The string starting at `at` (a '"'), its escapes decoded, so "\u0061" is "a".
    QString readString()
    {
        QByteArray raw;
        ++at;
        while (at < text.size() && text[at] != '"') {
            if (text[at] == '\\' && at + 1 < text.size()) {
                ++at;
                raw += '\\';
            }
            raw += text[at++];
        }
        ++at;
        if (!raw.contains('\\'))
            return QString::fromUtf8(raw);
        // Escapes are decoded the way the document itself was read.
        return QJsonDocument::fromJson("[\"" + raw + "\"]").array().at(0).toString();
    }

    const QByteArray &text;
    qsizetype at = 0;
    std::vector<Level> levels;
};

} // namespace

QByteArray writeSetup(const Settings &s)
{
    QJsonObject o;
    o[QLatin1String("setup")] = setupTag;
    // Version 2 only when it holds what version 1 cannot: an older panel
    // then refuses it by name instead of playing it without its modulation.
    const bool modulated = s.channel[0].modulation.active() || s.channel[1].modulation.active();
    o[QLatin1String("version")] = modulated ? setupVersion : 1;
    o[QLatin1String("model")] = modelText;
    o[QLatin1String("frequency")] = s.common.frequency;
    o[QLatin1String("start")] = startNames.value(s.common.startIndex);
    o[QLatin1String("stop")] = stopNames.value(s.common.stopIndex);
    o[QLatin1String("cycles")] = s.common.cycles;
    o[QLatin1String("exactFrequency")] = s.common.exactFrequency;
    o[QLatin1String("channels")] = QJsonArray { channelObject(s.channel[0]), channelObject(s.channel[1]) };
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

bool writeSetupFile(const QString &path, const Settings &settings, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(writeSetup(settings)) >= 0 && file.commit())
        return true;
    *error = tr("Cannot write \"%1\": %2.").arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), file.errorString());
    return false;
}

SetupRead readSetup(const QByteArray &bytes, const QString &name)
{
    SetupRead result;
    QString problem;
    Reader r(&problem);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    const QJsonObject o = document.object();
    if (document.isNull()) {
        result.error = tr("\"%1\" is not a setup: %2 at character %3.")
                           .arg(name, parseError.errorString())
                           .arg(parseError.offset + 1);
        return result;
    }
    if (!document.isObject() || o.value(QLatin1String("setup")).toString() != setupTag) {
        result.error = tr("\"%1\" is not a setup of this panel.").arg(name);
        return result;
    }
    const QString twice = DuplicateKeys::find(bytes);
    if (!twice.isEmpty()) {
        result.error = tr("\"%1\": %2 is given twice.").arg(name, twice);
        return result;
    }
    const QJsonValue version = o.value(QLatin1String("version"));
    if (version.isDouble() && version.toDouble() > setupVersion) {
        result.error = tr("\"%1\" was saved by a newer panel (setup version %2); this panel reads version %3.")
                           .arg(name, plain(version.toDouble()))
                           .arg(setupVersion);
        return result;
    }
    r.whole(o, QString(), "version", 1, setupVersion);
    const QString model = r.text(o, QString(), "model");
    if (!r.failed() && model != modelText)
        r.fail(QStringLiteral("model"), tr("is \"%1\": this panel plays setups of the %2.").arg(model, modelText));
    Settings &s = result.settings;
    s.common.frequency = r.whole(o, QString(), "frequency", minFrequency, maxFrequency);
    s.common.startIndex = r.choice(o, QString(), "start", startNames);
    s.common.stopIndex = r.choice(o, QString(), "stop", stopNames);
    s.common.cycles = r.whole(o, QString(), "cycles", minCycles, maxCycles);
    s.common.exactFrequency = r.flag(o, QString(), "exactFrequency");
    const QJsonValue channels = r.value(o, QString(), "channels");
    if (!r.failed() && (!channels.isArray() || channels.toArray().size() != 2))
        r.fail(QStringLiteral("channels"), tr("must hold the two channels."));
    for (int k = 0; k < 2 && !r.failed(); ++k) {
        const QString path = QStringLiteral("channels[%1]").arg(k);
        const QJsonValue channel = channels.toArray().at(k);
        if (!channel.isObject())
            r.fail(path, tr("must be an object."));
        else
            s.channel[k] = readChannel(r, channel.toObject(), path);
    }
    if (r.failed()) {
        result.settings = Settings();
        result.error = tr("\"%1\": %2").arg(name, problem);
        return result;
    }
    result.ok = true;
    return result;
}

SetupRead readSetupFile(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    SetupRead result;
    if (info.exists() && !info.isFile()) {
        result.error = tr("Cannot read \"%1\": it is not a file.").arg(name);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = tr("Cannot read \"%1\": %2.").arg(name, file.errorString());
        return result;
    }
    if (file.size() > maxSetupBytes) {
        result.error = tr("\"%1\" is too large for a setup.").arg(name);
        return result;
    }
    return readSetup(file.read(maxSetupBytes), name);
}

double mostAmplitude(double offset, const Limits &offsets, double maxAmplitude)
{
    // Amplitude and offset are one pair: the peaks on both sides of the
    // offset must fit, with what the amplitude box shows (rounded down).
    const double room = std::min(offsets.high - offset, offset - offsets.low);
    const double scale = std::pow(10.0, voltDecimals);
    return std::min(maxAmplitude, std::max(0.0, std::floor(room * scale + 1e-6) / scale));
}

QStringList fitSetup(Settings &settings, const Limits &offsets, double maxAmplitude)
{
    QStringList changed;
    for (int k = 0; k < 2; ++k) {
        ChannelSettings &c = settings.channel[k];
        const auto fitChannel = [&](double &value, int decimals, double low, double high, const QString &line) {
            const double box = kd7010fp_typedNumber::fitToBox(value, decimals, low, high);
            if (box != value)
                changed << line.arg(k + 1).arg(plain(value), QString::number(box, 'f', decimals));
            value = box;
        };
        fitChannel(c.offset, voltDecimals, offsets.low, offsets.high, tr("Channel %1 offset: %2 V → %3 V"));
        const double most = mostAmplitude(c.offset, offsets, maxAmplitude);
        const double amplitude = kd7010fp_typedNumber::fitToBox(c.amplitude, voltDecimals, 0, most);
        if (amplitude != c.amplitude)
            changed << (most < maxAmplitude && amplitude == most && c.amplitude > most
                    ? tr("Channel %1 amplitude: %2 V → %3 V, so that it fits beside the offset of %4 V")
                          .arg(k + 1)
                          .arg(plain(c.amplitude), QString::number(amplitude, 'f', voltDecimals),
                              QString::number(c.offset, 'f', voltDecimals))
                    : tr("Channel %1 amplitude: %2 V → %3 V")
                          .arg(k + 1)
                          .arg(plain(c.amplitude), QString::number(amplitude, 'f', voltDecimals)));
        c.amplitude = amplitude;
        fitChannel(c.phase, phaseDecimals, 0, maxPhase, tr("Channel %1 phase: %2° → %3°"));
        fitChannel(c.duty, dutyDecimals, minDuty, maxDuty, tr("Channel %1 duty: %2 % → %3 %"));
        const auto fitSweep = [&](Sweep &sweep, const QString &start, const QString &stop) {
            fitChannel(sweep.start, sweepDecimals, minSweepFrequency, maxRate, start);
            fitChannel(sweep.stop, sweepDecimals, minSweepFrequency, maxRate, stop);
        };
        if (c.sweep.isSweep())
            fitSweep(c.sweep, tr("Channel %1 sweep start: %2 Hz → %3 Hz"), tr("Channel %1 sweep stop: %2 Hz → %3 Hz"));
        // The sweep a client's SWEep:STATe ON makes is brought to the same decimals.
        fitSweep(c.sweepWhenOn, tr("Channel %1 remote sweep start: %2 Hz → %3 Hz"),
            tr("Channel %1 remote sweep stop: %2 Hz → %3 Hz"));
    }
    return changed;
}

} // namespace kd7240fp
