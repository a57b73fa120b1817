#include "kd7240fp_waveform.h"

#include <cmath>

namespace kd7240fp {

namespace {

// The saw and triangle divide once per sample; that division must stay (a
// reciprocal would change the last bit of some samples), so let wider vector
// units do it where the processor has them. Division is exactly rounded at
// any width, so every variant yields the same samples.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define KD7240FP_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define KD7240FP_VECTOR_CLONES
#endif

KD7240FP_VECTOR_CLONES void ramp(double *out, int from, int to, double scale, double last, double amplitude,
                                 double offset)
{
    for (int i = from; i < to; ++i)
        out[i] = ((scale * i) / last - 1) * amplitude + offset;
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

void synthesize(int type, int n, double amplitude, double offset, double *out)
{
    const double last = n - 1;
    const int half = n / 2;
    switch (type) {
    case waveSine:
        for (int i = 0; i < n; ++i)
            out[i] = std::sin(static_cast<double>(i) * 6.283185307179586 / n) * amplitude + offset;
        break;
    case waveSquare: {
        const double high = amplitude + offset;
        const double low = offset - amplitude;
        for (int i = 0; i < half; ++i)
            out[i] = high;
        for (int i = half; i < n; ++i)
            out[i] = low;
        break;
    }
    case waveSaw:
        ramp(out, 0, n, 2.0, last, amplitude, offset);
        break;
    case waveTriangle: {
        // The falling half computes 4 * (n - 1 - i) / (n - 1), the same
        // quotients as the rising half in reverse, so it mirrors those samples
        // (bit for bit) instead of dividing again. Only for odd n the middle
        // sample has no partner.
        ramp(out, 0, half, 4.0, last, amplitude, offset);
        int i = half;
        if (n % 2 == 1) {
            out[i] = ((4.0 * (n - 1 - i)) / last - 1) * amplitude + offset;
            ++i;
        }
        for (; i < n; ++i)
            out[i] = out[n - 1 - i];
        break;
    }
    default:
        break;
    }
}

} // namespace kd7240fp
