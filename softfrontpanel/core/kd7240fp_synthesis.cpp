#include "kd7240fp_synthesis.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kd7240fp {

namespace {

// The saw and the triangle are the quotients scale * k / last (k an integer),
// which must come out exactly as the division rounds them. Division is the
// slowest step of the loop, so where the processor has fused multiply-add the
// quotient is formed from the reciprocal and corrected once:
//   q0 = a * (1 / b),  r = a - b * q0 (exact),  q = q0 + r * (1 / b) (one rounding).
// q0 is within 1.5 units in the last place of a / b, so r is exact and the
// corrected value lies within 2^-52 ulp of a / b. A quotient of integers with
// b below 2^52 lies at least ulp / (4b) from every rounding midpoint, so that
// one rounding lands on the same double as the division.
//
// Each ramp writes out[j] for j = 0 .. count-1 from k = k0 + step * j.
void rampByDivision(
    double *out, int count, int k0, int step, double scale, double last, double amplitude, double offset)
{
    for (int j = 0; j < count; ++j)
        out[j] = ((scale * (k0 + step * j)) / last - 1) * amplitude + offset;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define KD7240FP_HAVE_FMA_RAMP 1
#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer is not ready when ifunc resolvers run; one variant will do there.
#define KD7240FP_FMA_TARGETS __attribute__((target("arch=x86-64-v3")))
#else
// AVX-512 where there is one, else AVX2; both with FMA. The plain variant is
// never called: ramp() only comes here when the processor has FMA.
#define KD7240FP_FMA_TARGETS __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#endif
KD7240FP_FMA_TARGETS void rampByReciprocal(
    double *out, int count, int k0, int step, double scale, double last, double amplitude, double offset)
{
    const double reciprocal = 1.0 / last;
    // scale * k is a whole number below 2^21, so forming it as a0 + da * j is exact.
    const double a0 = scale * k0;
    const double da = scale * step;
    for (int j = 0; j < count; ++j) {
        const double a = a0 + da * j;
        const double q0 = a * reciprocal;
        const double r = std::fma(-q0, last, a);
        const double q = std::fma(r, reciprocal, q0);
        out[j] = (q - 1) * amplitude + offset;
    }
}

bool haveFma()
{
    static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return have;
}
#endif

void ramp(double *out, int count, int k0, int step, double scale, double last, double amplitude, double offset)
{
#ifdef KD7240FP_HAVE_FMA_RAMP
    // Below three samples the reciprocal of last may be infinite; nothing to gain there anyway.
    if (last >= 2 && haveFma()) {
        rampByReciprocal(out, count, k0, step, scale, last, amplitude, offset);
        return;
    }
#endif
    rampByDivision(out, count, k0, step, scale, last, amplitude, offset);
}

} // namespace

bool sampleTiming(int freq, double *uTime, int *nSam)
{
    if (freq <= 0)
        return false;
    double period = 1e-6;
    for (;;) {
        // The multiplication by 10 below is deliberate: the card's rates are
        // derived that way, so 1e-6 * 10 is 9.999999999999999e-06, not 1e-05.
        const int n = static_cast<int>(1.0 / (freq * period));
        // Above the card's rate not even one sample fits into a period.
        if (n < 1)
            return false;
        if (n < sampleLimit) {
            *uTime = period;
            *nSam = n;
            return true;
        }
        period = period * 10;
        if (!(period < 1000))
            return false;
    }
}

void sampleRange(const double *samples, int n, double *lowest, double *highest)
{
    // Four running pairs let the compiler keep whole vectors of them.
    double lo[4] = { samples[0], samples[0], samples[0], samples[0] };
    double hi[4] = { samples[0], samples[0], samples[0], samples[0] };
    int i = 0;
    for (; i + 4 <= n; i += 4)
        for (int k = 0; k < 4; ++k) {
            lo[k] = samples[i + k] < lo[k] ? samples[i + k] : lo[k];
            hi[k] = samples[i + k] > hi[k] ? samples[i + k] : hi[k];
        }
    for (; i < n; ++i) {
        lo[0] = samples[i] < lo[0] ? samples[i] : lo[0];
        hi[0] = samples[i] > hi[0] ? samples[i] : hi[0];
    }
    *lowest = std::min(std::min(lo[0], lo[1]), std::min(lo[2], lo[3]));
    *highest = std::max(std::max(hi[0], hi[1]), std::max(hi[2], hi[3]));
}

Timing timingFor(int freq, int shapeSamples1, int shapeSamples2)
{
    Timing t;
    if (shapeSamples1 > 0 && shapeSamples2 > 0 && shapeSamples1 != shapeSamples2) {
        t.problem = Timing::LengthsDiffer;
        return t;
    }
    const int shape = shapeSamples1 > 0 ? shapeSamples1 : shapeSamples2;
    if (shape > 0) {
        if (freq <= 0)
            return t;
        t.nSam = shape;
        t.fromShape = true;
        t.rate = double(freq) * shape;
        if (t.rate > maxRate) {
            t.problem = Timing::TooFast;
            t.channel = shapeSamples1 > 0 ? 1 : 2;
            return t;
        }
        t.uTime = 1.0 / t.rate;
    } else {
        if (!sampleTiming(freq, &t.uTime, &t.nSam))
            return t;
        t.rate = 1.0 / t.uTime;
    }
    t.ok = true;
    t.problem = Timing::None;
    t.played = t.rate / t.nSam;
    return t;
}

namespace {

// Four running ranges and sums let the compiler keep whole vectors of them;
// `value(i)` gives sample i, `keep(i, v)` may store it.
template <class Value, class Keep>
SampleStats statsOf(int n, double offset, Value value, Keep keep)
{
    const double first = value(0);
    double lo[4] = { first, first, first, first }, hi[4] = { first, first, first, first }, sq[4] = {};
    int i = 0;
    for (; i + 4 <= n; i += 4)
        for (int k = 0; k < 4; ++k) {
            const double v = value(i + k);
            keep(i + k, v);
            lo[k] = v < lo[k] ? v : lo[k];
            hi[k] = v > hi[k] ? v : hi[k];
            sq[k] += (v - offset) * (v - offset);
        }
    for (; i < n; ++i) {
        const double v = value(i);
        keep(i, v);
        lo[0] = v < lo[0] ? v : lo[0];
        hi[0] = v > hi[0] ? v : hi[0];
        sq[0] += (v - offset) * (v - offset);
    }
    SampleStats stats;
    stats.lowest = std::min(std::min(lo[0], lo[1]), std::min(lo[2], lo[3]));
    stats.highest = std::max(std::max(hi[0], hi[1]), std::max(hi[2], hi[3]));
    stats.squares = (sq[0] + sq[1]) + (sq[2] + sq[3]);
    return stats;
}

} // namespace

SampleStats sampleStats(const double *samples, int n, double offset)
{
    clearUpperVectorState();
    return statsOf(n, offset, [samples](int i) { return samples[i]; }, [](int, double) {});
}

SampleStats playShape(const double *shape, int n, double amplitude, double offset, double *out)
{
    clearUpperVectorState();
    return statsOf(
        n, offset, [=](int i) { return shape[i] * amplitude + offset; }, [out](int i, double v) { out[i] = v; });
}

#if defined(__x86_64__) && defined(__GNUC__)
namespace {
__attribute__((target("avx"))) void zeroUpper() { __builtin_ia32_vzeroupper(); }
bool haveAvx()
{
    static const bool have = __builtin_cpu_supports("avx");
    return have;
}
} // namespace
#endif

void clearUpperVectorState()
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (haveAvx())
        zeroUpper();
#endif
}

void synthesize(int type, int n, double amplitude, double offset, double *out)
{
    clearUpperVectorState();
    const double last = n - 1;
    const int half = n / 2;
    // One sample is the start of the period, the minimum of both ramps
    // (their formula would divide 0 by 0 there).
    if (n == 1 && (type == waveSaw || type == waveTriangle)) {
        out[0] = offset - amplitude;
        return;
    }
    switch (type) {
    case waveSine:
        for (int i = 0; i < n; ++i)
            out[i] = std::sin(static_cast<double>(i) * 6.283185307179586 / n) * amplitude + offset;
        break;
    case waveSquare:
        synthesizeSquare(n, amplitude, offset, half, out);
        break;
    case waveSaw:
        ramp(out, n, 0, 1, 2.0, last, amplitude, offset);
        break;
    case waveTriangle:
        ramp(out, half, 0, 1, 4.0, last, amplitude, offset);
        // The falling half: 4 * (n - 1 - i) / (n - 1) for i = half .. n - 1.
        ramp(out + half, n - half, n - 1 - half, -1, 4.0, last, amplitude, offset);
        break;
    default:
        break;
    }
}

void synthesizeSquare(int n, double amplitude, double offset, int high, double *out)
{
    const double up = amplitude + offset;
    const double down = offset - amplitude;
    high = std::clamp(high, 0, std::max(n, 0));
    for (int i = 0; i < high; ++i)
        out[i] = up;
    for (int i = high; i < n; ++i)
        out[i] = down;
}

void synthesizePeriod(int type, int n, double amplitude, double offset, int dutyTenths, double phaseDegrees, double *out)
{
    if (type == waveSine)
        synthesizeSine(n, 1, phaseDegrees * radiansPerDegree, amplitude, offset, out);
    else if (type == waveSquare)
        synthesizeSquare(n, amplitude, offset, highSamples(n, dutyTenths), out);
    else
        synthesize(type, n, amplitude, offset, out);
}

// Exact frequency, duty and phase.

namespace {

struct Fraction
{
    long long k = 0;
    long long n = 1;
};

// |x - k / n| scaled by n: compares candidates without forming k / n.
double distance(double x, const Fraction &f) { return std::fabs(double(f.k) - x * double(f.n)) / double(f.n); }

// The fraction nearest to x (0 < x) with a denominator of at most maxN.
//
// x's continued fraction [a0; a1, a2, ...] gives the convergents
// p_j / q_j = (a_j p_{j-1} + p_{j-2}) / (a_j q_{j-1} + q_{j-2}), each nearer to
// x than every fraction with a smaller denominator; between two of them lie the
// intermediate fractions (p_{j-2} + a p_{j-1}) / (q_{j-2} + a q_{j-1}), a < a_j,
// the steps of the Stern-Brocot walk. When the next convergent's denominator
// would pass maxN, the nearest fraction within the bound is either the last
// convergent or the largest intermediate fraction that still fits; nothing else
// can be nearer.
//
// Each term is formed from x itself, not from the remainder of the previous
// step, so rounding does not accumulate: with e_j = p_j - x q_j, the complete
// quotient is -e_{j-2} / e_{j-1}. A term rounded one too low yields a further
// term of 1, which reaches the same convergent.
//
// 0 < x < 1 starts from a0 = 0: p_{-1} / q_{-1} = 1 / 0 and p_0 / q_0 = 0 / 1.
Fraction nearestFraction(double x, long long maxN)
{
    Fraction before { 1, 0 }, last { 0, 1 };
    if (x >= 1) { // from p_{-2} / q_{-2} = 0 / 1 and p_{-1} / q_{-1} = 1 / 0
        before = { 0, 1 };
        last = { 1, 0 };
    }
    for (;;) {
        const double eBefore = double(before.k) - x * double(before.n);
        const double eLast = double(last.k) - x * double(last.n);
        const double quotient = -eBefore / eLast;
        // Every term after the first is at least 1. A quotient below that
        // (negative or infinite) means eLast is zero or only rounding noise:
        // x is `last` as far as a double tells, and nothing within maxN is nearer.
        if (!(quotient > 0.5))
            return last;
        const long long room = last.n > 0 ? (maxN - before.n) / last.n : maxN;
        if (quotient >= double(room)) {
            const Fraction between { before.k + room * last.k, before.n + room * last.n };
            if (last.n == 0 || (room > 0 && distance(x, between) < distance(x, last)))
                return between;
            return last;
        }
        const long long a = std::max(1LL, static_cast<long long>(quotient));
        const Fraction next { before.k + a * last.k, before.n + a * last.n };
        before = last;
        last = next;
    }
}

bool better(double x, const Fraction &candidate, const Fraction &best)
{
    if (candidate.k * best.n == best.k * candidate.n)
        return false; // the same frequency: keep the fewer periods found first
    return distance(x, candidate) < distance(x, best);
}

} // namespace

ExactFit exactFit(double freq, double rate, int cycles)
{
    ExactFit fit;
    if (!(freq > 0) || !(rate > 0) || !std::isfinite(freq) || !std::isfinite(rate) || cycles < 0)
        return fit;
    const double x = freq / rate;
    const long long maxN = exactMaxSamples;
    const long long perPeriod = exactMinSamplesPerPeriod;
    Fraction best;
    if (cycles == 0) {
        // No fraction above 1 / 10 is allowed, and 1 / 10 itself is nearer to
        // any x at or below it than those are.
        best = x >= 1.0 / perPeriod ? Fraction { 1, perPeriod } : nearestFraction(x, maxN);
        if (best.k < 1)
            best = { 1, maxN }; // below 1 / maxN: the slowest one period can play
    } else {
        // Divisors in ascending order, so equal fractions keep the fewest periods.
        std::vector<long long> divisors, upper;
        for (long long d = 1; d * d <= cycles; ++d)
            if (cycles % d == 0) {
                divisors.push_back(d);
                if (d * d != cycles)
                    upper.push_back(cycles / d);
            }
        divisors.insert(divisors.end(), upper.rbegin(), upper.rend());
        // For each divisor k the nearest N lies on one side of k / x or the
        // other; both neighbours are weighed by the frequency they play, not
        // by where the rounding puts them (the harmonic mean of the two
        // frequencies is not the arithmetic one).
        best = { 0, 1 };
        for (long long k : divisors) {
            if (k * perPeriod > maxN)
                break;
            const double ideal = double(k) / x;
            const long long below
                = std::clamp(static_cast<long long>(std::floor(std::min(ideal, double(maxN)))), k * perPeriod, maxN);
            for (const long long n : { below, std::min(below + 1, maxN) }) {
                const Fraction candidate { k, n };
                if (best.k == 0 || better(x, candidate, best))
                    best = candidate;
            }
        }
    }
    fit.ok = true;
    fit.periods = int(best.k);
    fit.samples = int(best.n);
    fit.played = double(best.k) * rate / double(best.n);
    fit.errorPpm = (fit.played - freq) / freq * 1e6;
    fit.withinTolerance = std::fabs(fit.errorPpm) <= exactTolerancePpm;
    return fit;
}

void synthesizePeriods(int type, int N, int k, double amplitude, double offset, int dutyTenths, double *out)
{
    if (N < 1 || type < waveSine || type > waveTriangle)
        return;
    const auto onePeriod = [&](double *to) {
        if (type == waveSquare)
            synthesizeSquare(N, amplitude, offset, highSamples(N, dutyTenths), to);
        else
            synthesize(type, N, amplitude, offset, to);
    };
    k = ((k % N) + N) % N;
    if (k == 1 || N == 1) {
        onePeriod(out);
        return;
    }
    std::vector<double> period(static_cast<size_t>(N));
    onePeriod(period.data());
    // m = k i mod N, stepped without a product that could overflow.
    int m = 0;
    for (int i = 0; i < N; ++i) {
        out[i] = period[static_cast<size_t>(m)];
        m += k;
        if (m >= N)
            m -= N;
    }
}

void synthesizeSine(int N, int k, double phase, double amplitude, double offset, double *out)
{
    if (N < 1)
        return;
    if (phase == 0) {
        synthesizePeriods(waveSine, N, k, amplitude, offset, 500, out);
        return;
    }
    clearUpperVectorState();
    k = ((k % N) + N) % N;
    // m = k i mod N, stepped without a product that could overflow: the
    // angle stays within one period, so it loses no digits to whole turns.
    int m = 0;
    for (int i = 0; i < N; ++i) {
        out[i] = std::sin(static_cast<double>(m) * 6.283185307179586 / N + phase) * amplitude + offset;
        m += k;
        if (m >= N)
            m -= N;
    }
}

namespace {

// The sweep's phase in turns (cycles) at t, 0 <= t <= 1, of a period T.
double sweepTurns(double start, double stop, bool logarithmic, double T, double t)
{
    const double r = stop / start;
    if (logarithmic && std::fabs(r - 1) > 1e-12)
        return start * T * std::expm1(t * std::log(r)) / std::log(r);
    return start * T * t + 0.5 * (stop - start) * T * t * t;
}

} // namespace

std::vector<double> sweepShape(double start, double stop, bool logarithmic, int n, int frequency)
{
    std::vector<double> samples(static_cast<size_t>(std::max(n, 0)));
    if (n < 1 || !(start > 0) || !(stop > 0) || frequency < 1)
        return samples;
    clearUpperVectorState();
    const double T = 1.0 / frequency;
    for (int i = 0; i < n; ++i) {
        const double turns = sweepTurns(start, stop, logarithmic, T, double(i) / n);
        // Whole turns taken off first keep the angle small, so the sine loses no digits.
        samples[size_t(i)] = std::sin(6.283185307179586 * (turns - std::floor(turns)));
    }
    return samples;
}

double sweepCycles(double start, double stop, bool logarithmic, int frequency)
{
    return start > 0 && stop > 0 && frequency > 0 ? sweepTurns(start, stop, logarithmic, 1.0 / frequency, 1) : 0;
}

int phaseShift(double phaseDegrees, double samplesPerPeriod)
{
    return static_cast<int>(std::lround(phaseDegrees / 360.0 * samplesPerPeriod));
}

void rotateSamples(double *samples, int N, int shift)
{
    if (N < 2)
        return;
    shift %= N;
    if (shift < 0)
        shift += N;
    std::rotate(samples, samples + shift, samples + N);
}

} // namespace kd7240fp
