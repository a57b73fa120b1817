#include "kd7240fp_waveform.h"

#include <cmath>

namespace kd7240fp {

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
        for (int i = 0; i < n; ++i)
            out[i] = ((2.0 * i) / last - 1) * amplitude + offset;
        break;
    case waveTriangle:
        for (int i = 0; i < half; ++i)
            out[i] = ((4.0 * i) / last - 1) * amplitude + offset;
        for (int i = half; i < n; ++i)
            out[i] = ((4.0 * (n - 1 - i)) / last - 1) * amplitude + offset;
        break;
    default:
        break;
    }
}

} // namespace kd7240fp
