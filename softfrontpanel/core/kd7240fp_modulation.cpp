#include "kd7240fp_modulation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "kd7010fp_typednumber.h"

namespace kd7240fp {

int modulationDecimals(double Modulation::*field)
{
    return field == &Modulation::depth || field == &Modulation::phaseDeviation || field == &Modulation::dutyDeviation
        ? 1
        : 2;
}

double fitModulation(double Modulation::*field, double value, double low, double high)
{
    return kd7010fp_typedNumber::fitToBox(value, modulationDecimals(field), low, high);
}

namespace {

constexpr double twoPi = 6.283185307179586;
// Rounding slack where a product of exact values is compared with a bound.
constexpr double slack = 1e-9;

using Wide = __int128;

constexpr double Modulation::*const boxFields[] = { &Modulation::frequency, &Modulation::depth,
    &Modulation::deviation, &Modulation::phaseDeviation, &Modulation::hop, &Modulation::rate,
    &Modulation::dutyDeviation };

// A value in whole steps of its box's last decimal: exact for what the boxes hold.
long long boxSteps(double Modulation::*field, double value)
{
    return std::llround(value * std::pow(10.0, modulationDecimals(field)));
}

// Hz to whole hundredths: the values the boxes can set are exact there.
long long hundredths(double hz) { return boxSteps(&Modulation::frequency, hz); }

// Every value as its box holds it; a value beyond its range stays beyond it, to be refused.
Modulation asBoxesHold(Modulation m)
{
    constexpr double unbounded = std::numeric_limits<double>::infinity();
    for (double Modulation::*field : boxFields)
        m.*field = fitModulation(field, m.*field, -unbounded, unbounded);
    return m;
}

bool within(double v, double lo, double hi) { return v >= lo && v <= hi; }

struct Ratio
{
    long long num = 1;
    long long den = 1;
};

// The fraction nearest to p / q (p >= 0, q > 0) with a denominator of at
// most maxDen and a numerator of at least 1: the continued fraction's last
// convergent within the bound, or the largest intermediate fraction after
// it, whichever is nearer (nothing else within the bound can be nearer).
// Integers throughout, so an exact p / q within the bound is found in lowest
// terms, the shortest buffer that holds it.
Ratio nearestRatio(long long p, long long q, long long maxDen)
{
    long long h0 = 0, k0 = 1, h1 = 1, k1 = 0; // the convergents before: 0 / 1 and 1 / 0
    long long a = p, b = q;
    while (b != 0) {
        const long long term = a / b;
        if (k1 > 0 && term > (maxDen - k0) / k1) {
            const long long t = (maxDen - k0) / k1;
            const Ratio between { h0 + t * h1, k0 + t * k1 };
            // |p / q - h / k| compared as |p k - q h| / k, cross-multiplied.
            const Wide offBetween = Wide(p) * between.den - Wide(q) * between.num;
            const Wide offLast = Wide(p) * k1 - Wide(q) * h1;
            const Wide lhs = (offBetween < 0 ? -offBetween : offBetween) * k1;
            const Wide rhs = (offLast < 0 ? -offLast : offLast) * between.den;
            if (t > 0 && lhs < rhs) {
                h1 = between.num;
                k1 = between.den;
            }
            break;
        }
        const long long h2 = term * h1 + h0, k2 = term * k1 + k0;
        h0 = h1;
        k0 = k1;
        h1 = h2;
        k1 = k2;
        const long long r = a - term * b;
        a = b;
        b = r;
    }
    if (h1 < 1) // nearer to 0 than to anything within the bound: the slowest one can play
        return { 1, maxDen };
    return { h1, k1 };
}

// The largest |dm/du| of a shape whose steps do not count (see the header).
double steepest(int shape)
{
    switch (shape) {
    case waveSine:
        return twoPi;
    case waveTriangle:
        return 4;
    case waveSaw:
        return 2;
    default:
        return 0;
    }
}

// The highest frequency channel c reaches with modulation m at fc: the top
// of its band, the modulating frequency (or rate) above the carrier's
// highest (see the header).
double highestOf(const ModulatedChannel &c, const Modulation &m, int fc)
{
    if (c.waveType == waveNone)
        return 0;
    switch (c.modulation.type) {
    case Modulation::AM:
    case Modulation::PWM:
        return fc + m.frequency;
    case Modulation::FM:
        return fc + m.deviation + m.frequency;
    case Modulation::PM:
        return fc + m.phaseDeviation / 360 * steepest(m.shape) * m.frequency + m.frequency;
    case Modulation::FSK:
        return std::max(double(fc), m.hop) + m.rate;
    default:
        return fc;
    }
}

ModulationTiming::Problem checkRanges(const ModulatedChannel &c, int fc)
{
    using T = ModulationTiming;
    const Modulation &m = c.modulation;
    if (c.waveType < waveSine || c.waveType > waveTriangle)
        return T::NoStandardWave;
    if (!c.modulated())
        return T::None;
    const bool shapeOk = m.shape >= waveSine && m.shape <= waveTriangle;
    const bool frequencyOk = within(m.frequency, minModulationFrequency, maxModulationFrequency);
    switch (m.type) {
    case Modulation::AM:
        return shapeOk && frequencyOk && within(m.depth, 0, maxDepth) ? T::None : T::OutOfRange;
    case Modulation::FM:
        if (!shapeOk || !frequencyOk || !within(m.deviation, 0, maxDeviation))
            return T::OutOfRange;
        return fc - m.deviation > 0 && fc + m.deviation <= maxFrequency ? T::None : T::DeviationTooWide;
    case Modulation::PM:
        return shapeOk && frequencyOk && within(m.phaseDeviation, 0, maxPhaseDeviation) ? T::None : T::OutOfRange;
    case Modulation::FSK:
        return within(m.hop, minHop, maxHop) && within(m.rate, minModulationFrequency, maxModulationFrequency)
            ? T::None
            : T::OutOfRange;
    case Modulation::PWM:
        if (!shapeOk || !frequencyOk || !within(m.dutyDeviation, 0, maxDutyDeviation))
            return T::OutOfRange;
        return c.waveType == waveSquare ? T::None : T::NotSquare;
    default:
        return T::OutOfRange;
    }
}

// One channel fitted into buffers of j x base carrier periods, j <= maxJ.
struct Fit
{
    bool ok = true; // false: FSK's hop leaves its range
    long long j = 1;
    long long periods = 1; // M, within j x base carrier periods
    Modulation played;
    long long turns = 0; // FSK's P
    bool moved = false;
    double error = 0;
};

double relative(double played, double asked) { return std::fabs(played - asked) / asked; }

// FSK plays rate' = fc M / K and hop' = 2 P rate' - fc. Either the rate is
// fitted first and P follows from it (the hop moves), or P follows from the
// rate asked and the rate from P (the rate moves); in both the buffer may
// move the rate a little further. Of the two, the one whose larger move is
// the smaller.
Fit fitFsk(int fc, const Modulation &m, long long base, long long maxJ)
{
    const long long Fc = 100LL * fc, Fh = hundredths(m.hop), Fr = hundredths(m.rate);
    const auto option = [&](bool keepHop) {
        Fit f;
        f.played = m;
        long long P = 0;
        Ratio r;
        if (keepHop) {
            P = std::max(1LL, std::llround((fc + m.hop) / (2 * m.rate)));
            r = nearestRatio((Fc + Fh) * base, 2 * P * Fc, maxJ);
        } else {
            r = nearestRatio(Fr * base, Fc, maxJ);
            const double rate = double(fc) * r.num / (double(base) * r.den);
            P = std::max(1LL, std::llround((fc + m.hop) / (2 * rate)));
        }
        const double rate = double(fc) * r.num / (double(base) * r.den);
        // A hop out of range takes the next P towards it.
        if (!keepHop && 2 * P * rate - fc <= 0)
            ++P;
        if (!keepHop && 2 * P * rate - fc > maxHop && P > 1)
            --P;
        f.j = r.den;
        f.periods = r.num;
        f.turns = P;
        f.played.rate = rate;
        f.played.hop = 2 * P * rate - fc;
        f.ok = f.played.hop > 0 && f.played.hop <= maxHop;
        // Exactly as asked: rate' = Fr and 2 P rate' = fc + hop, in hundredths.
        const Wide K = Wide(base) * r.den;
        f.moved = Wide(r.num) * Fc != Wide(Fr) * K || Wide(2 * P) * Fc * r.num != Wide(Fc + Fh) * K;
        f.error = std::max(relative(f.played.rate, m.rate), relative(f.played.hop, m.hop));
        return f;
    };
    const Fit hopMoves = option(false), rateMoves = option(true);
    if (!rateMoves.ok)
        return hopMoves;
    if (!hopMoves.ok)
        return rateMoves;
    return rateMoves.error < hopMoves.error ? rateMoves : hopMoves;
}

Fit fitChannel(int fc, const Modulation &m, long long base, long long maxJ)
{
    if (m.type == Modulation::FSK)
        return fitFsk(fc, m, base, maxJ);
    Fit f;
    f.played = m;
    const long long Fc = 100LL * fc, Fm = hundredths(m.frequency);
    const Ratio r = nearestRatio(Fm * base, Fc, maxJ);
    f.j = r.den;
    f.periods = r.num;
    f.played.frequency = double(fc) * r.num / (double(base) * r.den);
    f.moved = Wide(r.num) * Fc != Wide(Fm) * base * r.den;
    f.error = relative(f.played.frequency, m.frequency);
    return f;
}

// x / d rounded down, for d > 0.
Wide floorDivide(Wide x, Wide d)
{
    const Wide q = x / d;
    return (x % d != 0 && x < 0) ? q - 1 : q;
}

// A number that is a fraction of whole numbers where it can be (den > 0),
// else a double (den == 0).
struct Exact
{
    Wide num = 0;
    Wide den = 0;
    double value = 0;

    static Exact ratio(Wide num, Wide den) { return { num, den, double(num) / double(den) }; }
    static Exact real(double value) { return { 0, 0, value }; }
    bool exact() const { return den > 0; }
};

// The modulating shape at u = w / n turns: m(u), and its integral I(u) (see
// the header); exact but for the sine's irrational values.
Exact shapeValue(int shape, long long w, long long n)
{
    switch (shape) {
    case waveSquare:
        return Exact::ratio(2 * w < n ? 1 : -1, 1);
    case waveSaw:
        return Exact::ratio(2 * w - n, n);
    case waveTriangle:
        return Exact::ratio(2 * w < n ? 4 * w - n : 3 * n - 4 * w, n);
    default: {
        const double value = std::sin(double(w) * (twoPi / double(n)));
        // Whole twelfths of a turn give 0, +-1/2 and +-1 exactly where they
        // are rational; only a value near those can be one.
        const double size = std::fabs(value);
        const bool near = size < 1e-9 || std::fabs(size - 0.5) < 1e-9 || size > 1 - 1e-9;
        if (near && (12 * w) % n == 0)
            switch (12 * w / n) {
            case 0:
            case 6:
                return Exact::ratio(0, 1);
            case 1:
            case 5:
                return Exact::ratio(1, 2);
            case 3:
                return Exact::ratio(1, 1);
            case 7:
            case 11:
                return Exact::ratio(-1, 2);
            case 9:
                return Exact::ratio(-1, 1);
            default:
                break;
            }
        return Exact::real(value);
    }
    }
}

// The square's, the triangle's and the ramp's; the sine's is irrational.
Exact shapeIntegral(int shape, long long w, long long n)
{
    const Wide nn = Wide(n) * n;
    switch (shape) {
    case waveSquare:
        return Exact::ratio(2 * w < n ? w : n - w, n);
    case waveSaw:
        return Exact::ratio(Wide(w) * (w - n), nn);
    default:
        return Exact::ratio(2 * w < n ? Wide(w) * (2 * w - n) : Wide(2 * w - n) * (n - w), nn);
    }
}

// PWM: the high samples of the carrier period starting at the modulation's
// phase w / K turns: floor(S x (duty + D m) / 100), in whole numbers where m is
// rational.
int pwmHigh(const ModulationTiming &t, const ModulationTiming::Channel &ch, int tenths, long long w)
{
    const long long S = t.samplesPerPeriod, K = t.carrierPeriods;
    const long long D = boxSteps(&Modulation::dutyDeviation, ch.played.dutyDeviation); // tenths
    const Exact m = shapeValue(ch.played.shape, w, K);
    if (m.exact())
        return int(floorDivide(Wide(S) * (Wide(tenths) * m.den + Wide(D) * m.num), Wide(1000) * m.den));
    return int(std::floor(double(S) * (tenths + double(D) * m.value) / 1000));
}

// Calls f(p, w) for carrier periods p = 0 .. K-1, w = M p mod K.
template <class F> void overPeriods(long long K, long long M, F f)
{
    M %= K;
    long long w = 0;
    for (long long p = 0; p < K; ++p) {
        f(p, w);
        w += M;
        if (w >= K)
            w -= K;
    }
}

// Every carrier period of a PWM buffer keeps a high and a low sample.
bool pwmShowsEveryPeriod(const ModulationTiming &t, const ModulationTiming::Channel &ch, int tenths)
{
    bool shown = true;
    overPeriods(t.carrierPeriods, ch.periods, [&](long long, long long w) {
        const int high = pwmHigh(t, ch, tenths, w);
        shown = shown && high >= 1 && high < t.samplesPerPeriod;
    });
    return shown;
}

} // namespace

ModulationTiming modulationTiming(int fc, const ModulatedChannel &channel1, const ModulatedChannel &channel2)
{
    using T = ModulationTiming;
    T t;
    t.frequency = fc;
    ModulatedChannel held[2] = { channel1, channel2 };
    for (ModulatedChannel &c : held)
        c.modulation = asBoxesHold(c.modulation);
    const ModulatedChannel *c[2] = { &held[0], &held[1] };
    const auto refuse = [&t](T::Problem problem, int channel) {
        t.problem = problem;
        t.problemChannel = channel;
        return t;
    };
    if (!within(fc, 1, maxFrequency))
        return refuse(T::NoFrequency, 0);
    int modulated[2] = {}, count = 0;
    for (int k = 0; k < 2; ++k) {
        if (c[k]->modulated())
            modulated[count++] = k;
        t.channels[k].modulated = c[k]->modulated();
    }
    if (count == 0)
        return refuse(T::NotModulated, 0);
    for (int k = 0; k < 2; ++k)
        if (c[k]->waveType != waveNone)
            if (const T::Problem p = checkRanges(*c[k], fc); p != T::None)
                return refuse(p, k + 1);

    // Every carrier period holds S samples: at most the card's rate allows,
    // at least ten of the highest frequency's period.
    const long long mostS = mostShapeSamples(fc);
    const auto leastS = [fc](double top) {
        return static_cast<long long>(std::ceil(exactMinSamplesPerPeriod * top / fc * (1 - slack)));
    };
    const auto samplesPerPeriod = [mostS](long long K) { return std::min(mostS, maxSamples / K); };

    // The highest frequency depends on what is played (fm, FSK's hop and
    // rate), so a fit that raised it is redone for it.
    double highest[2] = { highestOf(held[0], held[0].modulation, fc), highestOf(held[1], held[1].modulation, fc) };
    for (int attempt = 0; attempt < 4; ++attempt) {
        const double top = std::max(highest[0], highest[1]);
        const int topChannel = highest[1] > highest[0] ? 2 : 1;
        t.highest = top;
        if (leastS(top) > mostS) {
            t.rate = double(leastS(top)) * fc; // what ten samples of it would need
            return refuse(T::TooFast, topChannel);
        }
        const long long maxK = maxSamples / leastS(top);
        if (maxK < 1)
            return refuse(T::NoBuffer, topChannel);

        Fit fits[2];
        const int first = modulated[0];
        fits[first] = fitChannel(fc, c[first]->modulation, 1, maxK);
        if (!fits[first].ok)
            return refuse(T::HopOutOfRange, first + 1);
        long long K = fits[first].j;
        if (count == 2) {
            Fit &second = fits[1];
            second = fitChannel(fc, held[1].modulation, K, maxK / K);
            if (!second.ok)
                return refuse(T::HopOutOfRange, 2);
            const Fit alone = fitChannel(fc, held[1].modulation, 1, maxK);
            if (second.error > modulationTolerance && second.error > alone.error * (1 + slack))
                return refuse(T::NoCommonBuffer, 2);
            fits[0].periods *= second.j;
            K *= second.j;
        }

        double played[2] = {};
        for (int k = 0; k < 2; ++k)
            played[k] = highestOf(*c[k], c[k]->modulated() ? fits[k].played : c[k]->modulation, fc);
        const double playedTop = std::max(played[0], played[1]);
        // The shortest multiple of the buffer whose samples serve the top
        // frequency: at the card's rate a whole number of samples may fall just short.
        long long j = 1;
        while (j * K <= maxK && samplesPerPeriod(j * K) < leastS(playedTop))
            ++j;
        if (j * K > maxK || leastS(playedTop) > mostS) {
            if (playedTop > top) {
                highest[0] = std::max(highest[0], played[0]);
                highest[1] = std::max(highest[1], played[1]);
                continue;
            }
            return refuse(T::NoBuffer, topChannel);
        }
        K *= j;
        const long long S = samplesPerPeriod(K);
        t.carrierPeriods = int(K);
        t.samplesPerPeriod = int(S);
        t.samples = int(S * K);
        t.rate = double(S) * fc;
        t.highest = playedTop;
        for (int k = 0; k < 2; ++k) {
            if (!c[k]->modulated())
                continue;
            T::Channel &ch = t.channels[k];
            ch.periods = int(fits[k].periods * j);
            ch.asked = c[k]->modulation;
            ch.played = fits[k].played;
            ch.fskTurns = int(fits[k].turns);
            ch.moved = fits[k].moved;
            ch.error = fits[k].error;
            t.moved = t.moved || ch.moved;
            if (ch.played.type == Modulation::PWM) {
                ch.pwmStep = 100.0 / double(S);
                if (!pwmShowsEveryPeriod(t, ch, dutyTenths(c[k]->duty)))
                    return refuse(T::DutyTooWide, k + 1);
            }
        }
        t.ok = true;
        t.problem = T::None;
        return t;
    }
    return refuse(T::NoBuffer, 0);
}

// --- The samples ---

namespace {

// The carrier: one period of the channel's plain waveform, normalised
// (amplitude 1, offset 0) and started at its phase, read at a phase of x
// samples (see the header).
class Carrier
{
public:
    Carrier(int waveType, int S, double duty, double phaseDegrees)
        : type(waveType)
        , S(S)
        , inverseS(1.0 / S)
        , turn(twoPi / S)
        , phase(phaseDegrees * radiansPerDegree)
        , period(size_t(S) + 1)
    {
        synthesizePeriod(type, S, 1, 0, dutyTenths(duty), phaseDegrees, period.data());
        if (type != waveSine)
            rotateSamples(period.data(), S, phaseShift(phaseDegrees, S) % S);
        period[size_t(S)] = period[0];
    }

    // Sample s (0 <= s < S): the plain waveform's own.
    double at(long long s) const { return period[size_t(s)]; }

    // At s + offset samples, s whole.
    double at(long long s, const Exact &offset) const
    {
        if (!offset.exact())
            return at(s, offset.value);
        // In integers: sample `whole` and the part of the next one.
        const Wide x = Wide(s) * offset.den + offset.num;
        Wide whole = floorDivide(x, offset.den);
        const Wide part = x - whole * offset.den;
        whole %= S;
        if (whole < 0)
            whole += S;
        return between(int(whole), part == 0 ? 0.0 : double(part) / double(offset.den));
    }
    double at(long long s, double offset) const
    {
        if (offset == 0)
            return period[size_t(s)];
        // Whole periods off first, exactly: x - S q is a double for any whole
        // q near x / S. Truncations for floor(), which is a call here.
        const double x = double(s) + offset, turns = x * inverseS;
        long long q = static_cast<long long>(turns);
        if (double(q) > turns)
            --q;
        double within = x - double(S) * double(q);
        if (within < 0)
            within += S;
        else if (within >= S)
            within -= S;
        if (type == waveSine)
            return std::sin(within * turn + phase);
        const long long whole = static_cast<long long>(within);
        return between(int(whole), within - double(whole));
    }

private:
    // f of the way from sample s to the next, 0 <= f < 1.
    double between(int s, double f) const
    {
        if (f == 0)
            return period[size_t(s)];
        switch (type) {
        case waveSine:
            return std::sin((s + f) * turn + phase);
        case waveSquare:
            return period[size_t(s)];
        default:
            return period[size_t(s)] + f * (period[size_t(s) + 1] - period[size_t(s)]);
        }
    }

    int type;
    int S;
    double inverseS;
    double turn; // radians a sample
    double phase; // radians, the sine's (the others are moved by whole samples)
    std::vector<double> period; // S samples and the first again
};

void pwm(const ModulationTiming &t, const ModulationTiming::Channel &ch, double duty, double amplitude, double offset,
    double phaseDegrees, double *out)
{
    const int N = t.samples, S = t.samplesPerPeriod, tenths = dutyTenths(duty);
    overPeriods(t.carrierPeriods, ch.periods, [&](long long p, long long w) {
        synthesizeSquare(S, amplitude, offset, pwmHigh(t, ch, tenths, w), out + p * S);
    });
    rotateSamples(out, N, phaseShift(phaseDegrees, S) % N);
}

} // namespace

void synthesizeModulated(const ModulationTiming &t, int channel, int waveType, double duty, double amplitude,
    double offset, double phaseDegrees, double *out)
{
    if (!t.ok || channel < 1 || channel > 2 || !t.channels[channel - 1].modulated)
        return;
    const ModulationTiming::Channel &ch = t.channels[channel - 1];
    const Modulation &m = ch.played;
    const long long N = t.samples, K = t.carrierPeriods, M = ch.periods, S = t.samplesPerPeriod;
    clearUpperVectorState();
    if (m.type == Modulation::PWM) {
        pwm(t, ch, duty, amplitude, offset, phaseDegrees, out);
        return;
    }
    const Carrier carrier(waveType, int(S), duty, phaseDegrees);
    // Sample i is carrier sample s = i mod S plus what the modulation adds;
    // the modulation's phase is w / N turns, w = M i mod N.
    long long s = 0, w = 0;
    const auto next = [&] {
        if (++s == S)
            s = 0;
        w += M;
        if (w >= N)
            w -= N;
    };
    switch (m.type) {
    case Modulation::AM: {
        const double half = amplitude / 2, depth = m.depth / 100;
        for (long long i = 0; i < N; ++i, next())
            out[i] = half * (1 + depth * shapeValue(m.shape, w, N).value) * carrier.at(s) + offset;
        break;
    }
    case Modulation::FM: {
        // S (df / fm) I samples, fm = M fc / K: N df I / (M fc), df in hundredths.
        const Wide scale = Wide(N) * boxSteps(&Modulation::deviation, m.deviation);
        const Wide under = Wide(100) * M * t.frequency;
        if (m.shape == waveSine) {
            // I(u) = (1 - cos 2 pi u) / (2 pi): irrational but at u = 0.
            const double index = double(scale) / double(under) / twoPi, step = twoPi / double(N);
            for (long long i = 0; i < N; ++i, next())
                out[i] = amplitude * carrier.at(s, index * (1 - std::cos(double(w) * step))) + offset;
            break;
        }
        for (long long i = 0; i < N; ++i, next()) {
            const Exact I = shapeIntegral(m.shape, w, N);
            out[i] = amplitude * carrier.at(s, Exact::ratio(scale * I.num, under * I.den)) + offset;
        }
        break;
    }
    case Modulation::PM: {
        // S dphi / 360 m samples, dphi in tenths of a degree.
        const Wide scale = Wide(S) * boxSteps(&Modulation::phaseDeviation, m.phaseDeviation);
        const double samples = double(scale) / 3600;
        for (long long i = 0; i < N; ++i, next()) {
            const Exact v = shapeValue(m.shape, w, N);
            const Exact moved = v.exact() ? Exact::ratio(scale * v.num, 3600 * v.den) : Exact::real(samples * v.value);
            out[i] = amplitude * carrier.at(s, moved) + offset;
        }
        break;
    }
    case Modulation::FSK: {
        // Within a rate period (v = w / N of it) the phase is (K / M) v turns
        // in the first half and 2 P (v - 1/2) + (K / M)(1 - v) in the second:
        // continuous at the hop, P whole turns at its end. In the carrier's
        // samples (S a turn, N = S K): w / M, then (P M (2w - N) + K (N - w)) / (M K).
        const Wide P = ch.fskTurns, under = Wide(M) * K;
        for (long long i = 0; i < N; ++i, next()) {
            const Wide at = 2 * w < N ? Wide(K) * w : P * M * (2 * w - N) + Wide(K) * (N - w);
            out[i] = amplitude * carrier.at(0, Exact::ratio(at, under)) + offset;
        }
        break;
    }
    default:
        break;
    }
}

} // namespace kd7240fp
