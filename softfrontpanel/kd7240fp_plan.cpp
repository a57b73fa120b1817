#include "kd7240fp_plan.h"

#include "kd7240fp_exact.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace kd7240fp {

namespace {

QString tr(const char *text) { return QCoreApplication::translate("kd7240fp_plan", text); }

// A value as a box with `decimals` decimals shows it, pushed toward the
// middle of the range: ceil for the low end, floor for the high end. A value
// that already has that many decimals stays as it is (9.99 is 998.99999... hundredths).
double roundInward(double value, int decimals, bool up)
{
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    const double nearest = std::round(scaled);
    if (std::fabs(scaled - nearest) < 1e-6)
        return nearest / scale;
    return (up ? std::ceil(scaled) : std::floor(scaled)) / scale;
}

// Samples that lie beyond an end by no more than the rounding of their sum
// (amplitude plus offset in binary) are the end itself: the boxes allowed them.
constexpr double slack = 1e-9;

// A value beyond an end, with as many decimals as it takes to tell the two
// apart: "reaches 10.00 V; the range is -10.00 to 10.00 V" would contradict itself.
QString beyondText(double worst, double end)
{
    int decimals = 2;
    while (decimals < 6 && QString::number(worst, 'f', decimals) == QString::number(end, 'f', decimals))
        ++decimals;
    return QString::number(worst, 'f', decimals);
}

int shapeSamples(const ChannelSettings &c) { return c.waveType == waveArbitrary ? int(c.shape.size()) : 0; }

int dutyTenths(const ChannelSettings &c) { return int(std::lround(c.duty * 10)); }

// The buffer of one channel: `periods` periods in n samples, started at the
// channel's phase (the sample values stay those of phase 0).
void fillChannel(const ChannelSettings &c, int n, int periods, int shift, double *out)
{
    if (c.waveType == waveArbitrary)
        playShape(c.shape.data(), n, c.amplitude, c.offset, out);
    else if (periods == 1 && dutyTenths(c) == 500)
        synthesize(c.waveType, n, c.amplitude, c.offset, out);
    else
        synthesizePeriods(c.waveType, n, periods, c.amplitude, c.offset, dutyTenths(c), out);
    if (shift != 0)
        rotateSamples(out, n, shift);
}

// Peak to peak and RMS (about the offset) of the samples a channel plays: a
// triangle of ten samples never reaches its peak, a square's duty is whole
// samples, so the ideal waveform's figures would not be what a scope shows.
void measure(const double *samples, int n, double offset, double *peakToPeak, double *rms)
{
    double lo = 0, hi = 0, squares = 0;
    sampleRange(samples, n, &lo, &hi);
    for (int i = 0; i < n; ++i)
        squares += (samples[i] - offset) * (samples[i] - offset);
    *peakToPeak = hi - lo;
    *rms = std::sqrt(squares / n);
}

// Exact frequency: k whole periods in N samples at the rate the standard
// timing chose. Limited bursts play the buffer cycles / k times.
void fitExactly(Plan &plan, const Settings &settings)
{
    const int cycles = settings.common.length();
    const ExactFit fit = exactFit(settings.common.frequency, plan.timing.rate, cycles);
    if (!fit.ok)
        return;
    plan.periods = fit.periods;
    plan.timing.nSam = fit.samples;
    plan.timing.played = fit.played;
    if (cycles > 0)
        plan.length = cycles / fit.periods;
    const QString played = QString::number(fit.played, 'f', 2);
    const QString ppm = QString::number(fit.errorPpm, 'f', 1);
    plan.readout = fit.periods == 1
        ? tr("plays %1 Hz (%2 ppm),\n1 period in %3 samples").arg(played, ppm).arg(fit.samples)
        : tr("plays %1 Hz (%2 ppm),\n%3 periods in %4 samples").arg(played, ppm).arg(fit.periods).arg(fit.samples);
    plan.readoutTip = tr("%1 whole periods in %2 samples of the card's fixed %3 sample clock: %4 Hz, %5 ppm from the "
                         "%6 Hz set.")
                          .arg(fit.periods)
                          .arg(fit.samples)
                          .arg(clockText(plan.timing.rate), played, ppm)
                          .arg(settings.common.frequency);
    plan.readoutOff = !fit.withinTolerance;
    if (plan.readoutOff)
        plan.readoutTip += QLatin1Char(' ')
            + tr("With %1 cycles the buffer must hold a number of periods that divides %1, and none comes within "
                 "0.1 %.")
                  .arg(cycles);
}

void describeTiming(Plan &plan, const Settings &settings)
{
    const Timing &timing = plan.timing;
    const int asked = settings.common.frequency;
    if (!timing.ok) {
        switch (timing.problem) {
        case Timing::TooFast:
            plan.timingText = tr("Channel %1: %2 samples at %3 Hz need %4; the card plays at most 1 MHz")
                                  .arg(timing.channel)
                                  .arg(timing.nSam)
                                  .arg(asked)
                                  .arg(clockText(timing.rate));
            plan.readout = tr("needs %1").arg(clockText(timing.rate));
            break;
        case Timing::LengthsDiffer:
            plan.timingText = tr("Channel 1 holds %1 samples and channel 2 %2: both channels play one period "
                                 "together, so their shapes must hold the same number of samples.")
                                  .arg(settings.channel[0].shape.size())
                                  .arg(settings.channel[1].shape.size());
            plan.readout = tr("shapes differ in length");
            break;
        default:
            plan.timingText = QStringLiteral("Wrong output signal frequency has been choosen");
            plan.readout = tr("no sample rate fits");
            break;
        }
        plan.readoutTip = plan.timingText;
        plan.readoutOff = true;
        return;
    }
    const QString played = QString::number(timing.played, 'f', 2);
    plan.readout = tr("plays %1 Hz, %2 samples").arg(played).arg(timing.nSam);
    const QString clock = clockText(timing.rate);
    plan.readoutTip = timing.fromShape
        ? tr("One period is the shape's %1 samples, played at %2 (the frequency times the samples): %3 Hz.")
              .arg(timing.nSam)
              .arg(clock, played)
        : tr("One period is %1 samples of the card's fixed %2 sample clock: %3 Hz.")
              .arg(timing.nSam)
              .arg(clock, played);
    if (timing.fromShape && settings.common.exactFrequency)
        plan.readoutTip += QLatin1Char(' ')
            + tr("Exact frequency does not apply to a shape: its samples are one period, played at the frequency "
                 "times their number.");
    const double deviation = (timing.played - asked) / asked;
    plan.readoutOff = std::fabs(deviation) > 0.001;
    if (plan.readoutOff)
        plan.readoutTip += QLatin1Char(' ')
            + tr("A period holds only whole samples, so the card plays %1 % %2 the %3 Hz set.")
                  .arg(std::fabs(deviation) * 100, 0, 'f', 2)
                  .arg(deviation > 0 ? tr("above") : tr("below"))
                  .arg(asked);
}

// Marks the channels whose samples leave the range; samples within the
// slack are put onto the end they touch, so the card takes them too.
void checkLimits(Plan &plan, double *const channels[2], int n)
{
    QStringList lines;
    const Limits &limits = plan.limits;
    for (int k = 0; k < 2; ++k) {
        if (!channels[k])
            continue;
        double lo = 0, hi = 0;
        sampleRange(channels[k], n, &lo, &hi);
        if (hi <= limits.high && lo >= limits.low)
            continue;
        if (hi <= limits.high + slack && lo >= limits.low - slack) {
            std::for_each(channels[k], channels[k] + n, [&](double &v) { v = std::clamp(v, limits.low, limits.high); });
            continue;
        }
        const bool high = hi > limits.high + slack;
        const double worst = high ? hi : lo;
        plan.beyond.push_back({ k + 1, worst });
        lines << tr("Channel %1 reaches %2 V; the card's output range is %3 to %4 V.")
                     .arg(k + 1)
                     .arg(beyondText(worst, high ? limits.high : limits.low))
                     .arg(limits.low, 0, 'f', 2)
                     .arg(limits.high, 0, 'f', 2);
    }
    if (!lines.isEmpty()) {
        plan.problem = Plan::BeyondLimits;
        plan.problemText = lines.join(QLatin1Char('\n'));
    }
}

} // namespace

Limits shownLimits(double low, double high, int decimals)
{
    return { roundInward(low, decimals, true), roundInward(high, decimals, false) };
}

QString clockText(double rate)
{
    if (rate >= 999999.5)
        return tr("%1 MHz").arg(rate / 1e6, 0, 'g', 6);
    if (rate >= 999.5)
        return tr("%1 kHz").arg(rate / 1e3, 0, 'g', 6);
    return tr("%1 Hz").arg(rate, 0, 'g', 6);
}

Plan planFor(const Settings &settings, const Limits &limits, const SampleRoom &room)
{
    Plan plan;
    plan.limits = limits;
    plan.length = settings.common.length();
    plan.byTrigger = settings.common.byTrigger();
    for (int k = 0; k < 2; ++k) {
        plan.active[k] = settings.channel[k].active();
        plan.shape[k] = settings.channel[k].waveType == waveArbitrary;
        plan.filter[k] = settings.channel[k].filterCode();
    }
    plan.timing
        = timingFor(settings.common.frequency, shapeSamples(settings.channel[0]), shapeSamples(settings.channel[1]));
    describeTiming(plan, settings);
    // Shapes keep their own timing: one period is the shape's samples.
    if (plan.timing.ok && !plan.timing.fromShape && settings.common.exactFrequency)
        fitExactly(plan, settings);
    const int n = plan.timing.nSam;
    plan.periodSamples = plan.periods == 1 ? n : std::min(n, int(std::ceil(double(n) / plan.periods)));
    int shift[2] = {};
    for (int k = 0; k < 2 && plan.timing.ok; ++k) {
        const double perPeriod = double(n) / plan.periods;
        shift[k] = phaseShift(settings.channel[k].phase, perPeriod) % n;
        plan.phasePlayed[k] = shift[k] * 360.0 / perPeriod;
        // The square's high part is whole samples of the buffer.
        plan.dutyHigh[k] = int(static_cast<long long>(n) * dutyTenths(settings.channel[k]) / 1000);
        // Beside a shape a standard waveform gets the shape's samples; a few
        // samples no longer draw it (a sine of two samples is a constant).
        const ChannelSettings &c = settings.channel[k];
        if (plan.timing.fromShape && c.active() && c.waveType != waveArbitrary && n < exactMinSamplesPerPeriod) {
            plan.caution = tr("Channel %1 draws its waveform with the shape's %2 samples per period; below %3 "
                              "it no longer looks like one.")
                               .arg(k + 1)
                               .arg(n)
                               .arg(exactMinSamplesPerPeriod);
            plan.readoutOff = true;
            plan.readoutTip += QLatin1Char(' ') + plan.caution;
        }
    }

    auto refuse = [&plan](Plan::Problem problem, const QString &text) {
        plan.problem = problem;
        plan.problemText = text;
        return plan;
    };
    if (!settings.anyActive())
        return refuse(Plan::NoWaveform, QStringLiteral("At least for one channel the waveform type should be choosen"));
    for (int k = 0; k < 2; ++k)
        if (settings.channel[k].waveType == waveArbitrary && settings.channel[k].shape.empty())
            return refuse(Plan::NoShape, tr("Channel %1 has no shape loaded.").arg(k + 1));
    if (!plan.timing.ok)
        return refuse(plan.timing.problem == Timing::TooFast   ? Plan::TooFast
                : plan.timing.problem == Timing::LengthsDiffer ? Plan::LengthsDiffer
                                                               : Plan::NoPeriod,
            plan.timingText);
    if (!room)
        return plan;

    plan.sampleCount = plan.active[0] && plan.active[1] ? 2 * n : n;
    double *out = room(plan.sampleCount);
    if (!out) {
        const int needed = plan.sampleCount;
        plan.sampleCount = 0;
        return refuse(
            Plan::NoMemory, tr("Not enough memory for %1 samples; the waveform cannot be generated.").arg(needed));
    }
    double *channels[2] = {};
    for (int k = 0; k < 2; ++k) {
        if (!plan.active[k])
            continue;
        channels[k] = out;
        fillChannel(settings.channel[k], n, plan.periods, shift[k], out);
        out += n;
    }
    for (int k = 0; k < 2; ++k)
        if (channels[k])
            measure(channels[k], n, settings.channel[k].offset, &plan.peakToPeak[k], &plan.rms[k]);
    checkLimits(plan, channels, n);
    plan.samples[0] = channels[0];
    plan.samples[1] = channels[1];
    return plan;
}

} // namespace kd7240fp
