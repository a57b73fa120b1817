#include "kd7240fp_modulation.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kd7240fp {

namespace {

constexpr double twoPi = 6.283185307179586;
constexpr long long cardRate = 1000000; // Hz, the card's fastest
// Rounding slack where a product of exact values is compared with a bound.
constexpr double slack = 1e-9;

using Wide = __int128;

// Hz to whole hundredths: the values the boxes can set are exact there.
long long hundredths(double hz) { return std::llround(hz * 100); }

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

// The highest frequency channel c plays with modulation m at fc.
double highestOf(const ModulatedChannel &c, const Modulation &m, int fc)
{
    if (c.waveType == waveNone)
        return 0;
    switch (c.modulation.type) {
    case Modulation::AM:
    case Modulation::PWM:
        return std::max<double>(fc, m.frequency);
    case Modulation::FM:
        return std::max(fc + m.deviation, m.frequency);
    case Modulation::PM:
        return std::max(fc + m.phaseDeviation / 360 * steepest(m.shape) * m.frequency, m.frequency);
    case Modulation::FSK:
        return std::max({ double(fc), m.hop, m.rate });
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
        return fc - m.deviation > 0 && fc + m.deviation <= maxCarrierFrequency ? T::None : T::DeviationTooWide;
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

// The samples of K carrier periods at fc: the most the card holds at its
// fastest rate.
long long samplesFor(long long K, int fc) { return std::min<long long>(maxSamples, cardRate * K / fc); }

} // namespace

ModulationTiming modulationTiming(int fc, const ModulatedChannel &channel1, const ModulatedChannel &channel2)
{
    using T = ModulationTiming;
    T t;
    t.frequency = fc;
    const ModulatedChannel *c[2] = { &channel1, &channel2 };
    const auto refuse = [&t](T::Problem problem, int channel) {
        t.problem = problem;
        t.problemChannel = channel;
        return t;
    };
    if (!within(fc, 1, maxCarrierFrequency))
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
    const bool wholeSamples = std::any_of(
        c, c + 2, [](const ModulatedChannel *m) { return m->modulated() && m->modulation.type == Modulation::PWM; });

    // The highest frequency depends on what is played (PM's fm, FSK's hop),
    // so a fit that raised it is redone for it.
    double highest[2] = { highestOf(channel1, channel1.modulation, fc), highestOf(channel2, channel2.modulation, fc) };
    for (int attempt = 0; attempt < 4; ++attempt) {
        const double top = std::max(highest[0], highest[1]);
        const int topChannel = highest[1] > highest[0] ? 2 : 1;
        if (top > maxCarrierFrequency * (1 + slack))
            return refuse(T::TooFast, topChannel);
        // Ten samples of the top frequency: at least minS per carrier period.
        const double minS = 10 * top / fc * (1 - slack);
        const long long maxS = cardRate / fc;
        const long long maxK = wholeSamples ? maxSamples / static_cast<long long>(std::ceil(minS))
                                            : static_cast<long long>(maxSamples / minS);
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
            second = fitChannel(fc, channel2.modulation, K, maxK / K);
            if (!second.ok)
                return refuse(T::HopOutOfRange, 2);
            const Fit alone = fitChannel(fc, channel2.modulation, 1, maxK);
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
        // frequency: at R = 1 MHz a whole number of samples may fall just short.
        const auto serves = [&](long long k) {
            const long long n = wholeSamples ? std::min(maxS, maxSamples / k) * k : samplesFor(k, fc);
            return double(n) * fc >= 10 * playedTop * double(k) * (1 - slack);
        };
        long long j = 1;
        while (j * K <= maxK && !serves(j * K))
            ++j;
        if (j * K > maxK) {
            if (playedTop > top) {
                highest[0] = std::max(highest[0], played[0]);
                highest[1] = std::max(highest[1], played[1]);
                continue;
            }
            return refuse(T::NoBuffer, topChannel);
        }
        K *= j;
        t.carrierPeriods = int(K);
        t.samples = int(wholeSamples ? std::min(maxS, maxSamples / K) * K : samplesFor(K, fc));
        t.rate = double(t.samples) * fc / double(K);
        t.samplesPerPeriod = double(t.samples) / double(K);
        t.highest = playedTop;
        for (int k = 0; k < 2; ++k) {
            if (!c[k]->modulated())
                continue;
            T::Channel &ch = t.channels[k];
            ch.periods = int(fits[k].periods * j);
            ch.played = fits[k].played;
            ch.fskTurns = int(fits[k].turns);
            ch.moved = fits[k].moved;
            ch.error = fits[k].error;
            t.moved = t.moved || ch.moved;
            if (ch.played.type == Modulation::PWM) {
                ch.pwmStep = 100 / t.samplesPerPeriod;
                const double duty = std::lround(c[k]->duty * 10) / 10.0;
                const double D = ch.played.dutyDeviation;
                if (duty - D < ch.pwmStep * (1 - slack) || duty + D > 100 - ch.pwmStep * (1 - slack))
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

// The modulating shapes at u = w / n turns: m(u) and its integral I(u).
struct SineShape
{
    double step; // 2 pi / n
    double value(int w) const { return std::sin(w * step); }
    double integral(int w) const { return (1 - std::cos(w * step)) * (1 / twoPi); }
};
struct SquareShape
{
    int n;
    double inverse;
    double value(int w) const { return 2 * w < n ? 1 : -1; }
    double integral(int w) const { return 2 * w < n ? w * inverse : 1 - w * inverse; }
};
struct SawShape
{
    double inverse;
    double value(int w) const { return 2 * (w * inverse) - 1; }
    double integral(int w) const
    {
        const double u = w * inverse;
        return u * (u - 1);
    }
};
struct TriangleShape
{
    int n;
    double inverse;
    double value(int w) const
    {
        const double u = w * inverse;
        return 2 * w < n ? 4 * u - 1 : 3 - 4 * u;
    }
    double integral(int w) const
    {
        const double u = w * inverse;
        return 2 * w < n ? u * (2 * u - 1) : -(2 * u - 1) * (u - 1);
    }
};

template <class F> void withShape(int shape, int n, F f)
{
    const double inverse = 1.0 / n;
    switch (shape) {
    case waveSquare:
        f(SquareShape { n, inverse });
        break;
    case waveSaw:
        f(SawShape { inverse });
        break;
    case waveTriangle:
        f(TriangleShape { n, inverse });
        break;
    default:
        f(SineShape { twoPi / n });
        break;
    }
}

// The carriers at a phase theta in turns, 0 <= theta < 1.
struct SineCarrier
{
    double at(double theta) const { return std::sin(theta * twoPi); }
};
struct SquareCarrier
{
    double high; // the duty as a share of the period
    double at(double theta) const { return theta < high ? 1 : -1; }
};
struct SawCarrier
{
    double at(double theta) const { return 2 * theta - 1; }
};
struct TriangleCarrier
{
    double at(double theta) const { return theta < 0.5 ? 4 * theta - 1 : 3 - 4 * theta; }
};

template <class F> void withCarrier(int waveType, double duty, F f)
{
    switch (waveType) {
    case waveSquare:
        f(SquareCarrier { std::lround(duty * 10) / 1000.0 });
        break;
    case waveSaw:
        f(SawCarrier {});
        break;
    case waveTriangle:
        f(TriangleCarrier {});
        break;
    default:
        f(SineCarrier {});
        break;
    }
}

// Calls sample(i, kc, w) for i = 0 .. N-1 with kc = K i mod N and w = M i mod N,
// stepped without products: the carrier's phase is kc / N, the modulation's w / N.
template <class F> void overSamples(int N, int K, int M, F sample)
{
    K %= N;
    M %= N;
    int kc = 0, w = 0;
    for (int i = 0; i < N; ++i) {
        sample(i, kc, w);
        kc += K;
        if (kc >= N)
            kc -= N;
        w += M;
        if (w >= N)
            w -= N;
    }
}

inline double turnsOf(double theta) { return theta - std::floor(theta); }

// PWM: carrier period p gets floor(S x duty(p) / 100) high samples.
void pwm(const ModulationTiming &t, const ModulationTiming::Channel &ch, double duty, double amplitude, double offset,
    double phaseDegrees, double *out)
{
    const int N = t.samples, K = t.carrierPeriods, S = N / K;
    const long long M = ch.periods % K;
    const double dutyPercent = std::lround(duty * 10) / 10.0;
    withShape(ch.played.shape, K, [&](auto shape) {
        long long w = 0; // M p mod K: the modulation's phase at period p's start, in K-ths
        for (int p = 0; p < K; ++p) {
            const double level = dutyPercent + ch.played.dutyDeviation * shape.value(int(w));
            const int high = std::clamp(int(std::floor(S * level / 100 + slack)), 0, S);
            double *period = out + static_cast<long long>(p) * S;
            std::fill(period, period + high, offset + amplitude);
            std::fill(period + high, period + S, offset - amplitude);
            w += M;
            if (w >= K)
                w -= K;
        }
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
    const int N = t.samples, K = t.carrierPeriods, M = ch.periods;
    const double inverse = 1.0 / N;
    const double start = phaseDegrees / 360;
    clearUpperVectorState();
    if (m.type == Modulation::PWM) {
        pwm(t, ch, duty, amplitude, offset, phaseDegrees, out);
        return;
    }
    withCarrier(waveType, duty, [&](auto carrier) {
        switch (m.type) {
        case Modulation::AM: {
            const double half = amplitude / 2, depth = m.depth / 100;
            withShape(m.shape, N, [&](auto shape) {
                overSamples(N, K, M, [&](int i, int kc, int w) {
                    out[i] = half * (1 + depth * shape.value(w)) * carrier.at(turnsOf(kc * inverse + start)) + offset;
                });
            });
            break;
        }
        case Modulation::FM: {
            // The index df / fm with fm as played, M fc / K.
            const double index = m.deviation * K / (double(M) * t.frequency);
            withShape(m.shape, N, [&](auto shape) {
                overSamples(N, K, M, [&](int i, int kc, int w) {
                    out[i] = amplitude * carrier.at(turnsOf(kc * inverse + start + index * shape.integral(w))) + offset;
                });
            });
            break;
        }
        case Modulation::PM: {
            const double deviation = m.phaseDeviation / 360;
            withShape(m.shape, N, [&](auto shape) {
                overSamples(N, K, M, [&](int i, int kc, int w) {
                    out[i]
                        = amplitude * carrier.at(turnsOf(kc * inverse + start + deviation * shape.value(w))) + offset;
                });
            });
            break;
        }
        case Modulation::FSK: {
            // Within a rate period (v = w / N of it) the phase is (K / M) v in
            // the first half and 2 P (v - 1/2) + (K / M)(1 - v) in the second:
            // continuous at the hop, P whole turns at its end. Formed from
            // integers reduced by whole turns, so no digits are lost.
            const long long MN = static_cast<long long>(M) * N, P = ch.fskTurns;
            const double inverseMN = 1.0 / double(MN);
            overSamples(N, 0, M, [&](int i, int, int w) {
                double theta;
                if (2 * w < N)
                    theta = double((static_cast<long long>(K) * w) % MN) * inverseMN;
                else
                    theta = double((P * (2LL * w - N)) % N) * inverse
                        + double((static_cast<long long>(K) * (N - w)) % MN) * inverseMN;
                out[i] = amplitude * carrier.at(turnsOf(theta + start)) + offset;
            });
            break;
        }
        default:
            break;
        }
    });
}

} // namespace kd7240fp
