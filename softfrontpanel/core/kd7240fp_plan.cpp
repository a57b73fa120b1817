#include "kd7240fp_plan.h"

#include <algorithm>
#include <cmath>

#include "kd7240fp_shapefile.h"

namespace kd7240fp {

namespace {

// A seam step beyond this share of the channel's span, and well above the
// steps on either side of it, is a jump: a steep slope that runs on through
// the seam (a sine of a hundred samples steps 3 % of its span at every
// sample) is none.
constexpr double seamShare = 0.01;
constexpr double seamOverSteps = 2;

int shapeSamples(const ChannelSettings &c) { return c.waveType == waveArbitrary ? int(c.shape.size()) : 0; }

// The phase of a sine is computed exactly; the other waveforms and shapes
// are drawn at phase 0 and rotated by whole samples.
bool exactPhase(const ChannelSettings &c) { return c.waveType == waveSine; }

// The buffer of one channel: `periods` periods in n samples, started at the
// channel's phase (by `shift` samples where it is not exact), or its
// modulated buffer; measured on the way (a rotation changes no range and no
// sum).
SampleStats fillChannel(const ChannelSettings &c, int k, const Plan &plan, int shift, double *out)
{
    const int n = plan.timing.nSam;
    const int periods = plan.periods;
    const int tenths = dutyTenths(c.duty);
    SampleStats stats;
    if (plan.modulated && c.modulated()) {
        synthesizeModulated(plan.modulation, k + 1, c.waveType, c.duty, c.amplitude, c.offset, c.phase, out);
        return sampleStats(out, n, c.offset);
    }
    if (c.waveType == waveArbitrary) {
        stats = playShape(c.shape.data(), n, c.amplitude, c.offset, out);
    } else if (plan.modulated) {
        // Beside a modulation: its own period of S samples, as alone, over and over.
        const int S = plan.modulation.samplesPerPeriod;
        synthesizePeriod(c.waveType, S, c.amplitude, c.offset, tenths, c.phase, out);
        for (int p = 1; p < periods; ++p)
            std::copy(out, out + S, out + static_cast<long long>(p) * S);
        stats = sampleStats(out, n, c.offset);
    } else {
        if (exactPhase(c))
            synthesizeSine(n, periods, c.phase * radiansPerDegree, c.amplitude, c.offset, out);
        else if (periods == 1 && tenths == 500)
            synthesize(c.waveType, n, c.amplitude, c.offset, out);
        else
            synthesizePeriods(c.waveType, n, periods, c.amplitude, c.offset, tenths, out);
        stats = sampleStats(out, n, c.offset);
    }
    if (shift != 0)
        rotateSamples(out, n, shift);
    return stats;
}

Plan::Seam seamOf(const double *s, int n, const SampleStats &m)
{
    Plan::Seam seam;
    if (n < 2)
        return seam;
    const double lo = m.lowest, hi = m.highest;
    seam.shown = true;
    seam.step = s[0] - s[n - 1];
    const double beside = std::max(std::fabs(s[1] - s[0]), std::fabs(s[n - 1] - s[n - 2]));
    const double step = std::fabs(seam.step);
    seam.named = step > (hi - lo) * seamShare && step > beside * seamOverSteps;
    return seam;
}

// Exact frequency: k whole periods in N samples at the rate the standard
// timing chose. Limited bursts play the buffer cycles / k times.
void fitExactly(Plan &plan, const Settings &settings)
{
    const int cycles = settings.common.length();
    const ExactFit fit = exactFit(settings.common.frequency, plan.timing.rate, cycles);
    if (!fit.ok)
        return;
    plan.exact = true;
    plan.periods = fit.periods;
    plan.timing.nSam = fit.samples;
    plan.timing.played = fit.played;
    plan.errorPpm = fit.errorPpm;
    plan.exactMissed = !fit.withinTolerance;
    if (cycles > 0)
        plan.length = cycles / fit.periods;
}

// A modulated channel: the buffer holds whole periods of the carrier and of
// each modulation, at the rate the modulation timing chose.
void fitModulation(Plan &plan, const Settings &settings)
{
    ModulatedChannel channels[2];
    for (int k = 0; k < 2; ++k) {
        const ChannelSettings &c = settings.channel[k];
        channels[k] = { c.waveType, c.duty, c.modulated() ? c.modulation : Modulation() };
    }
    plan.modulated = true;
    plan.modulation = modulationTiming(settings.common.frequency, channels[0], channels[1]);
    plan.exactBesideModulation = settings.common.exactFrequency;
    const ModulationTiming &m = plan.modulation;
    if (!m.ok) {
        plan.timing = Timing();
        plan.problemChannel = m.problemChannel;
        return;
    }
    Timing &t = plan.timing;
    t.ok = true;
    t.problem = Timing::None;
    t.fromShape = false;
    t.nSam = m.samples;
    t.rate = m.rate;
    t.uTime = 1.0 / m.rate;
    t.played = m.frequency;
    plan.periods = m.carrierPeriods;
    // A limited burst plays the whole buffer as often as asked.
    plan.length = settings.common.length();
}

// Marks the channels whose samples leave the range; samples within the
// slack are put onto the end they touch, so the card takes them too.
void checkLimits(Plan &plan, double *const channels[2], const SampleStats measured[2], int n)
{
    const Limits &limits = plan.limits;
    for (int k = 0; k < 2; ++k) {
        if (!channels[k])
            continue;
        const double lo = measured[k].lowest, hi = measured[k].highest;
        if (hi <= limits.high && lo >= limits.low)
            continue;
        if (limits.holds(hi) && limits.holds(lo)) {
            std::for_each(channels[k], channels[k] + n, [&](double &v) { v = std::clamp(v, limits.low, limits.high); });
            continue;
        }
        const bool high = !limits.holds(hi);
        Plan::Beyond beyond { k + 1, high ? hi : lo, high ? limits.high : limits.low, {} };
        for (int i = 0; i < n;) {
            if (limits.holds(channels[k][i])) {
                ++i;
                continue;
            }
            const int from = i;
            while (i < n && !limits.holds(channels[k][i]))
                ++i;
            beyond.runs.emplace_back(from, i);
        }
        plan.beyond.push_back(std::move(beyond));
    }
    if (!plan.beyond.empty())
        plan.problem = Plan::BeyondLimits;
}

} // namespace

Plan planFor(const Settings &settings, const Limits &limits, const SampleRoom &room)
{
    Plan plan;
    plan.limits = limits;
    plan.frequency = settings.common.frequency;
    plan.cycles = settings.common.cycles;
    plan.length = settings.common.length();
    plan.byTrigger = settings.common.byTrigger();
    for (int k = 0; k < 2; ++k) {
        const ChannelSettings &c = settings.channel[k];
        plan.active[k] = c.active();
        plan.shape[k] = c.waveType == waveArbitrary;
        plan.filter[k] = c.filterCode();
        plan.shapeSamples[k] = shapeSamples(c);
    }
    plan.timing = timingFor(settings.common.frequency, plan.shapeSamples[0], plan.shapeSamples[1]);
    plan.problemChannel = plan.timing.channel;
    // Shapes keep their own timing: one period is the shape's samples.
    plan.exactBesideShape = plan.timing.fromShape && settings.common.exactFrequency;
    if (settings.channel[0].modulated() || settings.channel[1].modulated())
        fitModulation(plan, settings);
    else if (plan.timing.ok && !plan.timing.fromShape && settings.common.exactFrequency)
        fitExactly(plan, settings);
    const int n = plan.timing.nSam;
    plan.periodSamples = plan.periods == 1 ? n : std::min(n, int(std::ceil(double(n) / plan.periods)));
    // A modulated buffer is shown whole: its period is the modulation's.
    if (plan.modulated)
        plan.periodSamples = n;
    int shift[2] = {};
    for (int k = 0; k < 2 && plan.timing.ok; ++k) {
        const ChannelSettings &c = settings.channel[k];
        const double perPeriod = double(n) / plan.periods;
        // A modulated carrier is the plain waveform, its phase too.
        plan.phaseExact[k] = exactPhase(c);
        shift[k] = plan.phaseExact[k] ? 0 : phaseShift(c.phase, perPeriod) % n;
        plan.phasePlayed[k] = plan.phaseExact[k] ? c.phase : shift[k] * 360.0 / perPeriod;
        // The square's high part is whole samples of the period drawn: the
        // buffer, or each of a modulated buffer's periods of S samples.
        const int drawn = plan.drawnSamples = plan.modulated ? plan.modulation.samplesPerPeriod : n;
        plan.dutyHigh[k] = highSamples(drawn, dutyTenths(c.duty)) * (n / drawn);
        plan.noHighSample[k] = c.waveType == waveSquare && plan.dutyHigh[k] == 0;
        // Beside a shape a standard waveform gets the shape's samples; a few
        // samples no longer draw it (a sine of two samples is a constant).
        plan.fewSamples[k]
            = plan.timing.fromShape && c.active() && c.waveType != waveArbitrary && n < exactMinSamplesPerPeriod;
    }
    plan.off = !plan.timing.ok || plan.exactMissed || plan.fewSamples[0] || plan.fewSamples[1]
        || plan.noHighSample[0] || plan.noHighSample[1]
        || (!plan.exact && std::fabs(plan.timing.played - plan.frequency) > offTolerance * plan.frequency)
        || (plan.modulated && plan.modulation.moved);

    auto refuse = [&plan](Plan::Problem problem) {
        plan.problem = problem;
        return plan;
    };
    if (!settings.anyActive())
        return refuse(Plan::NoWaveform);
    for (int k = 0; k < 2; ++k)
        if (settings.channel[k].waveType == waveArbitrary && settings.channel[k].shape.empty()) {
            plan.problemChannel = k + 1;
            return refuse(Plan::NoShape);
        }
    if (plan.modulated && !plan.modulation.ok)
        return refuse(Plan::Unmodulable);
    if (!plan.timing.ok)
        return refuse(plan.timing.problem == Timing::TooFast   ? Plan::TooFast
                : plan.timing.problem == Timing::LengthsDiffer ? Plan::LengthsDiffer
                                                               : Plan::NoPeriod);
    if (!room)
        return plan;

    plan.sampleCount = plan.active[0] && plan.active[1] ? 2 * n : n;
    double *out = room(plan.sampleCount);
    if (!out) {
        plan.neededSamples = plan.sampleCount;
        plan.sampleCount = 0;
        return refuse(Plan::NoMemory);
    }
    double *channels[2] = {};
    // Peak to peak and RMS of the samples played: a triangle of ten samples
    // never reaches its peak, a square's duty is whole samples, so the ideal
    // waveform's figures would not be what a scope shows.
    SampleStats measured[2];
    for (int k = 0; k < 2; ++k) {
        if (!plan.active[k])
            continue;
        channels[k] = out;
        measured[k] = fillChannel(settings.channel[k], k, plan, shift[k], out);
        out += n;
        plan.peakToPeak[k] = measured[k].highest - measured[k].lowest;
        plan.rms[k] = std::sqrt(measured[k].squares / n);
        if (plan.shape[k]) {
            plan.seam[k] = seamOf(channels[k], n, measured[k]);
            plan.seam[k].phaseJump = sweepSeamDegrees(settings.channel[k].sweep);
            if (plan.seam[k].shown && plan.seam[k].phaseJump != 0)
                plan.seam[k].named = true;
        }
    }
    checkLimits(plan, channels, measured, n);
    plan.samples[0] = channels[0];
    plan.samples[1] = channels[1];
    return plan;
}

double sweepSeamDegrees(const Sweep &sweep)
{
    if (!sweep.isSweep())
        return 0;
    const double cycles = sweepCycles(sweep.start, sweep.stop, sweep.logarithmic, sweep.frequency);
    const double off = std::round(cycles) - cycles;
    return std::fabs(off) > 1e-6 ? off * 360 : 0;
}

SweepProblem sweepProblem(const Sweep &sweep, const std::vector<double> &samples)
{
    const double rate = double(sweep.frequency) * double(samples.size());
    if (std::max(sweep.start, sweep.stop) > rate / exactMinSamplesPerPeriod)
        return SweepProblem::TooFewAtTop;
    if (zeroButRounding(samples))
        return SweepProblem::ZeroButRounding;
    return SweepProblem::None;
}

SweepRoom sweepRoom(double top, int frequency)
{
    SweepRoom room;
    room.needed = int(std::ceil(top * exactMinSamplesPerPeriod / frequency));
    room.most = std::min(mostShapeSamples(frequency), maxShapeSamples);
    room.highest = double(frequency) * room.most / exactMinSamplesPerPeriod;
    return room;
}

int newShapeSamples(int frequency)
{
    const Timing timing = timingFor(frequency);
    return std::clamp(timing.ok ? timing.nSam : 1000, minShapeSamples, maxShapeSamples);
}

Plan withOwnSamples(const Plan &plan, std::vector<double> &storage)
{
    Plan copy = plan;
    const int n = plan.timing.nSam;
    storage.clear();
    for (int k = 0; k < 2; ++k)
        if (plan.samples[k])
            storage.insert(storage.end(), plan.samples[k], plan.samples[k] + n);
    const double *next = storage.data();
    for (int k = 0; k < 2; ++k)
        if (plan.samples[k]) {
            copy.samples[k] = next;
            next += n;
        }
    return copy;
}

Settings samplesPart(const Settings &settings)
{
    Settings part;
    part.common = settings.common;
    if (part.common.length() == 0)
        part.common.cycles = CommonSettings().cycles;
    bool shapeTiming = false, modulated = false;
    for (const ChannelSettings &c : settings.channel) {
        shapeTiming = shapeTiming || c.waveType == waveArbitrary;
        modulated = modulated || c.modulated();
    }
    // A shape keeps its own timing; a modulation fits its buffer exactly anyway.
    if (shapeTiming || modulated)
        part.common.exactFrequency = false;
    for (int k = 0; k < 2; ++k) {
        const ChannelSettings &c = settings.channel[k];
        ChannelSettings &p = part.channel[k];
        // The filter goes with the generate call.
        p.filterIndex = c.filterIndex;
        p.lastFilter = c.lastFilter;
        if (!c.active())
            continue;
        p.waveType = c.waveType;
        p.amplitude = c.amplitude;
        p.offset = c.offset;
        p.phase = c.phase;
        // The square's duty, and every channel's beside a modulation (whose
        // timing reads them).
        if (c.waveType == waveSquare || modulated)
            p.duty = c.duty;
        if (c.waveType == waveArbitrary)
            p.shape = c.shape;
        if (c.modulated())
            p.modulation = c.modulation;
    }
    return part;
}

} // namespace kd7240fp
