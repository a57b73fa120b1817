#include "kd7240fp_waveform.h"

#include <algorithm>
#include <cmath>

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

void playShape(const double *shape, int n, double amplitude, double offset, double *out)
{
    for (int i = 0; i < n; ++i)
        out[i] = shape[i] * amplitude + offset;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Code that ran just before (Qt's drawing, for one) may leave the upper halves
// of the vector registers in use. The library's sine then pays a state
// transition on every call: measured, fifteen times its time. Clearing them
// once first costs nothing.
__attribute__((target("avx"))) static void clearUpperVectorState() { __builtin_ia32_vzeroupper(); }
#endif

void synthesize(int type, int n, double amplitude, double offset, double *out)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx"))
        clearUpperVectorState();
#endif
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

} // namespace kd7240fp
