#include "kd7240fp_exact.h"

#include "kd7240fp_waveform.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kd7240fp {

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
            synthesizeSquare(N, amplitude, offset, int(static_cast<long long>(N) * dutyTenths / 1000), to);
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
