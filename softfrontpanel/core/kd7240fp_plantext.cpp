#include "kd7240fp_plantext.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace kd7240fp {

namespace {

QString tr(const char *text) { return QCoreApplication::translate("kd7240fp_plan", text); }

// A value beyond an end, with as many decimals as it takes to tell the two
// apart: "reaches 10.00 V; the range is -10.00 to 10.00 V" would contradict itself.
QString beyondText(double worst, double end)
{
    int decimals = 2;
    while (decimals < 6 && QString::number(worst, 'f', decimals) == QString::number(end, 'f', decimals))
        ++decimals;
    return decimalText(worst, 'f', decimals);
}

QString played(const Plan &plan) { return decimalText(plan.timing.played, 'f', 2); }

QString timingProblem(const Plan &plan)
{
    switch (plan.timing.problem) {
    case Timing::TooFast:
        return tr("Channel %1: %2 samples at %3 Hz need %4; the card plays at most %5")
            .arg(plan.timing.channel)
            .arg(plan.timing.nSam)
            .arg(plan.frequency)
            .arg(clockText(plan.timing.rate), clockText(maxRate));
    case Timing::LengthsDiffer:
        return tr("Channel 1 holds %1 samples and channel 2 %2: both channels play one period together, so their "
                  "shapes must hold the same number of samples.")
            .arg(plan.shapeSamples[0])
            .arg(plan.shapeSamples[1]);
    default:
        return QStringLiteral("Wrong output signal frequency has been choosen");
    }
}

QString hertz(double value) { return decimalText(value, 'f', 2); }

// How far a played value is from the one asked, in percent of it: "0.52".
QString moveText(double played, double asked)
{
    return decimalText(std::fabs(played - asked) / asked * 100, 'g', 3);
}

// What one channel's modulation plays, short: "AM 50 % at 100.00 Hz".
QString modulationWords(const ModulationTiming &m, int k)
{
    const Modulation &p = m.channels[k].played;
    switch (p.type) {
    case Modulation::AM:
        return tr("AM %1 % at %2 Hz").arg(decimalText(p.depth, 'f', 0), hertz(p.frequency));
    case Modulation::FM:
        return tr("FM ±%1 Hz at %2 Hz").arg(hertz(p.deviation), hertz(p.frequency));
    case Modulation::PM:
        return tr("PM %1° at %2 Hz").arg(decimalText(p.phaseDeviation, 'f', 1), hertz(p.frequency));
    case Modulation::FSK:
        return tr("FSK to %1 Hz at %2 Hz").arg(hertz(p.hop), hertz(p.rate));
    case Modulation::PWM:
        return tr("PWM ±%1 % at %2 Hz").arg(decimalText(p.dutyDeviation, 'f', 1), hertz(p.frequency));
    case Modulation::None:
        break;
    }
    return QString();
}

QString modulationProblem(const Plan &plan)
{
    const ModulationTiming &m = plan.modulation;
    const int k = std::max(m.problemChannel, 1);
    switch (m.problem) {
    case ModulationTiming::NoFrequency:
        return tr("A modulated carrier plays 1 Hz to %1.").arg(clockText(maxFrequency));
    case ModulationTiming::OutOfRange:
        return tr("Channel %1's modulation holds a value beyond its range.").arg(k);
    case ModulationTiming::NoStandardWave:
        return tr("Channel %1 plays a shape: beside a modulation both channels play standard waveforms.").arg(k);
    case ModulationTiming::NotSquare:
        return tr("Channel %1: pulse-width modulation needs a square carrier.").arg(k);
    case ModulationTiming::DeviationTooWide:
        return tr("Channel %1: the deviation takes the carrier to 0 Hz or beyond %2.").arg(k).arg(clockText(maxFrequency));
    case ModulationTiming::TooFast:
        return tr("Channel %1: the signal reaches %2 with its sidebands; ten samples a period of it, with whole "
                  "samples in each carrier period, need %3, and the card plays at most %4.")
            .arg(k)
            .arg(clockText(m.highest), clockText(m.rate), clockText(maxRate));
    case ModulationTiming::NoBuffer:
        return tr("Channel %1: not one carrier period fits with ten samples at the highest frequency.").arg(k);
    case ModulationTiming::HopOutOfRange:
        return tr("Channel %1: the hop would have to leave its range for every hop to end on a whole cycle.").arg(k);
    case ModulationTiming::DutyTooWide:
        return tr("Channel %1: the duty's deviation leaves a carrier period without a high or a low sample; the duty "
                  "moves in steps of %2 %.")
            .arg(k)
            .arg(decimalText(m.channels[k - 1].pwmStep, 'f', 1));
    case ModulationTiming::NoCommonBuffer:
        return tr("Channel 2's modulation does not fit channel 1's buffer: no buffer of the card holds whole periods "
                  "of both.");
    case ModulationTiming::NotModulated:
    case ModulationTiming::None:
        break;
    }
    return tr("The modulation cannot be played.");
}

// "channel 1 plays no high sample", or empty.
QString noHighSampleWords(const Plan &plan)
{
    if (plan.noHighSample[0] && plan.noHighSample[1])
        return tr("channels 1 and 2 play no high sample");
    for (int k = 0; k < 2; ++k)
        if (plan.noHighSample[k])
            return tr("channel %1 plays no high sample").arg(k + 1);
    return QString();
}

QString readoutPlayed(const Plan &plan)
{
    if (plan.modulated && !plan.modulation.ok)
        return tr("no modulated buffer fits");
    if (plan.modulated) {
        // What the first modulated channel plays (the tip tells both).
        const ModulationTiming &m = plan.modulation;
        const int k = m.channels[0].modulated ? 0 : 1;
        return tr("%1\non %2 Hz, %3 samples").arg(modulationWords(m, k), hertz(m.frequency)).arg(m.samples);
    }
    if (!plan.timing.ok) {
        switch (plan.timing.problem) {
        case Timing::TooFast:
            return tr("needs %1").arg(clockText(plan.timing.rate));
        case Timing::LengthsDiffer:
            return tr("shapes differ in length");
        default:
            return tr("no sample rate fits");
        }
    }
    if (plan.exact) {
        const QString ppm = decimalText(plan.errorPpm, 'f', 1);
        return plan.periods == 1
            ? tr("plays %1 Hz (%2 ppm),\n1 period in %3 samples").arg(played(plan), ppm).arg(plan.timing.nSam)
            : tr("plays %1 Hz (%2 ppm),\n%3 periods in %4 samples")
                  .arg(played(plan), ppm)
                  .arg(plan.periods)
                  .arg(plan.timing.nSam);
    }
    return tr("plays %1 Hz, %2 samples").arg(played(plan)).arg(plan.timing.nSam);
}

} // namespace

namespace {
thread_local int cLocaleTexts = 0;
}

CLocaleTexts::CLocaleTexts() { ++cLocaleTexts; }

CLocaleTexts::~CLocaleTexts() { --cLocaleTexts; }

QString decimalText(double value, char format, int precision)
{
    // As the number boxes write numbers: the locale's marks, no group separators.
    QLocale locale = cLocaleTexts > 0 ? QLocale::c() : QLocale();
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, format, precision);
}

QString sentences(const QStringList &parts)
{
    QString joined;
    for (const QString &part : parts) {
        const QString text = part.trimmed();
        if (text.isEmpty())
            continue;
        if (!joined.isEmpty()) {
            if (!joined.endsWith(QLatin1Char('.')) && !joined.endsWith(QLatin1Char('!'))
                && !joined.endsWith(QLatin1Char('?')))
                joined += QLatin1Char('.');
            joined += QLatin1Char(' ');
        }
        joined += text;
    }
    return joined;
}

QString clockText(double rate)
{
    if (rate >= 999999.5)
        return tr("%1 MHz").arg(decimalText(rate / 1e6, 'g', 6));
    if (rate >= 999.5)
        return tr("%1 kHz").arg(decimalText(rate / 1e3, 'g', 6));
    return tr("%1 Hz").arg(decimalText(rate, 'g', 6));
}

QString readoutText(const Plan &plan)
{
    const QString text = readoutPlayed(plan);
    const QString noHigh = noHighSampleWords(plan);
    if (noHigh.isEmpty())
        return text;
    // On a line of its own, unless the readout has two already.
    return text.contains(QLatin1Char('\n')) ? tr("%1; %2").arg(text, noHigh) : tr("%1;\n%2").arg(text, noHigh);
}

QString readoutTip(const Plan &plan)
{
    if (plan.modulated && !plan.modulation.ok)
        return modulationProblem(plan);
    if (plan.modulated) {
        const ModulationTiming &m = plan.modulation;
        QStringList tip;
        tip << tr("The buffer holds %1 carrier periods in %2 samples played at %3: the carrier plays %4 Hz exactly.")
                   .arg(m.carrierPeriods)
                   .arg(m.samples)
                   .arg(clockText(m.rate), hertz(m.frequency));
        for (int k = 0; k < 2; ++k) {
            const ModulationTiming::Channel &c = m.channels[k];
            if (!c.modulated)
                continue;
            tip << (c.periods == 1 ? tr("Channel %1: %2, 1 modulation period in the buffer.").arg(k + 1).arg(modulationWords(m, k))
                                   : tr("Channel %1: %2, %3 modulation periods in the buffer.")
                                         .arg(k + 1)
                                         .arg(modulationWords(m, k))
                                         .arg(c.periods));
            if (c.moved && c.played.type == Modulation::FSK)
                tip << tr("The buffer closes only when a rate period holds whole cycles of the carrier and the hop's "
                          "mean and the buffer whole rate periods, so channel %1 plays the hop %2 Hz (%3 % from %4 "
                          "Hz) and the rate %5 Hz (%6 % from %7 Hz).")
                           .arg(k + 1)
                           .arg(decimalText(c.played.hop, 'f', 4), moveText(c.played.hop, c.asked.hop),
                               hertz(c.asked.hop), decimalText(c.played.rate, 'f', 4),
                               moveText(c.played.rate, c.asked.rate), hertz(c.asked.rate));
            else if (c.moved)
                tip << tr("No buffer of the card holds whole periods of both the carrier and the modulation as set, "
                          "so channel %1 plays the closest that one holds (%2 % off).")
                           .arg(k + 1)
                           .arg(decimalText(c.error * 100, 'g', 3));
            if (c.played.type == Modulation::PWM)
                tip << tr("The duty moves in steps of %1 %: a carrier period holds %2 samples.")
                           .arg(decimalText(c.pwmStep, 'f', 1))
                           .arg(m.samplesPerPeriod);
        }
        if (plan.exactBesideModulation)
            tip << tr("Exact frequency does not apply beside a modulation: its buffer is exact already.");
        tip << cautionText(plan);
        return sentences(tip);
    }
    if (!plan.timing.ok)
        return timingProblem(plan);
    const Timing &timing = plan.timing;
    const QString clock = clockText(timing.rate);
    QStringList tip;
    if (plan.exact) {
        const QString periods
            = plan.periods == 1 ? tr("1 whole period") : tr("%1 whole periods").arg(plan.periods);
        tip << tr("%1 in %2 samples played at %3: %4 Hz, %5 ppm from the %6 Hz set.")
                   .arg(periods)
                   .arg(timing.nSam)
                   .arg(clock, played(plan), decimalText(plan.errorPpm, 'f', 1))
                   .arg(plan.frequency);
        if (plan.exactMissed)
            tip << tr("With %1 cycles the buffer must hold a number of periods that divides %1, and none comes within "
                      "%2 %.")
                       .arg(plan.cycles)
                       .arg(decimalText(offTolerance * 100, 'g', 3));
    } else {
        tip << (timing.fromShape ? tr("One period is the shape's %1 samples, played at %2 (the frequency times the "
                                      "samples): %3 Hz.")
                                       .arg(timing.nSam)
                                       .arg(clock, played(plan))
                                 : tr("One period is %1 samples played at %2: %3 Hz.")
                                       .arg(timing.nSam)
                                       .arg(clock, played(plan)));
        if (plan.exactBesideShape)
            tip << tr("Exact frequency does not apply to a shape: its samples are one period, played at the frequency "
                      "times their number.");
        const double deviation = (timing.played - plan.frequency) / plan.frequency;
        if (std::fabs(deviation) > offTolerance)
            tip << tr("A period holds only whole samples, so the card plays %1 % %2 the %3 Hz set.")
                       .arg(decimalText(std::fabs(deviation) * 100, 'f', 2))
                       .arg(deviation > 0 ? tr("above") : tr("below"))
                       .arg(plan.frequency);
    }
    const QString caution = cautionText(plan);
    if (!caution.isEmpty())
        tip << caution;
    return sentences(tip);
}

QString problemText(const Plan &plan)
{
    switch (plan.problem) {
    case Plan::None:
        return QString();
    case Plan::NoWaveform:
        return QStringLiteral("At least for one channel the waveform type should be choosen");
    case Plan::NoShape:
        return tr("Channel %1 has no shape loaded.").arg(plan.problemChannel);
    case Plan::NoPeriod:
    case Plan::TooFast:
    case Plan::LengthsDiffer:
        return timingProblem(plan);
    case Plan::Unmodulable:
        return modulationProblem(plan);
    case Plan::NoMemory:
        return tr("Not enough memory for %1 samples; the waveform cannot be generated.").arg(plan.neededSamples);
    case Plan::BeyondLimits: {
        QStringList lines;
        for (const Plan::Beyond &b : plan.beyond)
            lines << tr("Channel %1 reaches %2 V; the card's output range is %3 to %4 V.")
                         .arg(b.channel)
                         .arg(beyondText(b.worst, b.end))
                         .arg(decimalText(plan.limits.low, 'f', 2), decimalText(plan.limits.high, 'f', 2));
        return lines.join(QLatin1Char('\n'));
    }
    }
    return QString();
}

QString refusedReadout(const Plan &plan)
{
    switch (plan.problem) {
    case Plan::BeyondLimits:
        return tr("not sent: beyond the card's range");
    case Plan::NoWaveform:
        return tr("not sent: no waveform");
    case Plan::NoShape:
        return tr("not sent: no shape loaded");
    case Plan::TooFast:
    case Plan::LengthsDiffer:
    case Plan::NoPeriod:
        return tr("not sent: %1").arg(readoutText(plan));
    case Plan::Unmodulable:
        return tr("not sent: the modulation cannot be played");
    case Plan::NoMemory:
        return tr("not sent: not enough memory");
    case Plan::None:
        break;
    }
    return QString();
}

QString cautionText(const Plan &plan)
{
    QStringList said;
    for (int k = 0; k < 2; ++k)
        if (plan.fewSamples[k])
            said << tr("Channel %1 draws its waveform with the shape's %2 samples per period; below %3 it no longer "
                       "looks like one.")
                        .arg(k + 1)
                        .arg(plan.timing.nSam)
                        .arg(exactMinSamplesPerPeriod);
    for (int k = 0; k < 2; ++k)
        if (plan.noHighSample[k])
            said << tr("Channel %1's square plays no high sample: its duty is less than one of the %2 samples a "
                       "period, so it stays at its low level; %3 % or more plays a pulse.")
                        .arg(k + 1)
                        .arg(plan.drawnSamples)
                        .arg(decimalText(std::ceil(1000.0 / plan.drawnSamples) / 10, 'f', 1));
    return sentences(said);
}

QString sweepLabel(const Sweep &sweep, int frequency)
{
    const double scale = sweep.frequency > 0 && frequency > 0 ? double(frequency) / sweep.frequency : 1;
    QString label = tr("sweep %1 → %2, %3")
                        .arg(clockText(sweep.start * scale), clockText(sweep.stop * scale),
                            sweep.logarithmic ? tr("logarithmic") : tr("linear"));
    if (scale != 1)
        label += QLatin1Char(' ') + tr("(made at %1 Hz)").arg(sweep.frequency);
    return label;
}

QString modulationLabel(const Modulation &m)
{
    const QString shapes[] = { QString(), tr("sine"), tr("square"), tr("ramp"), tr("triangle") };
    const QString shape = shapes[std::clamp(m.shape, 1, 4)];
    const QString at = decimalText(m.frequency, 'g', 8);
    switch (m.type) {
    case Modulation::AM:
        return tr("AM %1 % at %2 Hz, %3").arg(decimalText(m.depth, 'g', 6), at, shape);
    case Modulation::FM:
        return tr("FM ±%1 Hz at %2 Hz, %3").arg(decimalText(m.deviation, 'g', 8), at, shape);
    case Modulation::PM:
        return tr("PM %1° at %2 Hz, %3").arg(decimalText(m.phaseDeviation, 'g', 6), at, shape);
    case Modulation::FSK:
        return tr("FSK to %1 Hz at %2 Hz").arg(decimalText(m.hop, 'g', 8), decimalText(m.rate, 'g', 8));
    case Modulation::PWM:
        return tr("PWM ±%1 % at %2 Hz, %3").arg(decimalText(m.dutyDeviation, 'g', 6), at, shape);
    case Modulation::None:
        break;
    }
    return QString();
}

QString periodTitle(const Plan &plan, const QString &channel1Name, const QString &channel2Name, bool volts)
{
    if (!plan.timing.ok)
        return timingProblem(plan);
    if (!plan.samples[0] && !plan.samples[1])
        return tr("No waveform chosen");
    QString title = plan.modulated
        ? tr("The whole buffer: %1 at %2").arg(readoutText(plan).replace(QLatin1Char('\n'), QLatin1Char(' ')),
            clockText(plan.timing.rate))
        : tr("One period: %1 at %2").arg(readoutText(plan), clockText(plan.timing.rate));
    QStringList seams;
    const QString names[2] = { channel1Name, channel2Name };
    for (int k = 0; k < 2; ++k)
        if (plan.seam[k].named && plan.seam[k].phaseJump != 0)
            seams << tr("%1 jumps %2° in phase at the seam")
                         .arg(names[k].toLower(), decimalText(std::fabs(plan.seam[k].phaseJump), 'f', 1));
        else if (plan.seam[k].named)
            seams << (volts ? tr("%1 steps %2 V at the seam") : tr("%1 steps %2 at the seam"))
                         .arg(names[k].toLower(), decimalText(plan.seam[k].step, 'g', 3));
    if (!seams.isEmpty())
        title += QLatin1String("; ") + seams.join(QLatin1String(", "));
    return title;
}

} // namespace kd7240fp
