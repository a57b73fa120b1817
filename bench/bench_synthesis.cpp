// One period at 4 Hz (250000 samples) per waveform type, timed against a bare
// loop of the same length measured in the same run: a std::sin loop for the
// sine, a plain store loop for the others. Prints ratios; fails only when the
// samples differ from the formula.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "kd7240fp_synthesis.h"

using namespace kd7240fp;

namespace {

// Keeps the compiler from dropping a loop whose result is never read.
volatile double sink;

double bestMs(const std::function<void()> &fn, int rounds = 30)
{
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        fn();
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

__attribute__((noinline)) void bareSine(double *out, int n)
{
    for (int i = 0; i < n; ++i)
        out[i] = std::sin(static_cast<double>(i) * 6.283185307179586 / n);
}

__attribute__((noinline)) void bareStore(double *out, int n, double v)
{
    for (int i = 0; i < n; ++i)
        out[i] = v;
}

double reference(int type, int i, int n, double a, double o)
{
    const double last = n - 1;
    switch (type) {
    case waveSine:
        return std::sin(static_cast<double>(i) * 6.283185307179586 / n) * a + o;
    case waveSquare:
        return i < n / 2 ? a + o : o - a;
    case waveSaw:
        return ((2.0 * i) / last - 1) * a + o;
    default:
        return i < n / 2 ? ((4.0 * i) / last - 1) * a + o : ((4.0 * (n - 1 - i)) / last - 1) * a + o;
    }
}

} // namespace

int main()
{
    double uTime = 0;
    int n = 0;
    if (!sampleTiming(4, &uTime, &n) || n != 250000) {
        std::printf("sample timing at 4 Hz gave %d samples, expected 250000\n", n);
        return 1;
    }
    std::vector<double> out(n), base(n);
    const double a = 2.5, o = 0.5;
    const struct {
        int type;
        const char *name;
        double target;
    } kinds[] = {{waveSine, "sine", 1.1}, {waveSquare, "square", 2.0}, {waveSaw, "saw", 2.0},
                 {waveTriangle, "triangle", 2.0}};

    bool identical = true;
    for (const auto &k : kinds) {
        const double baseline = k.type == waveSine ? bestMs([&] { bareSine(base.data(), n); })
                                                   : bestMs([&] { bareStore(base.data(), n, a + o); });
        const double measured = bestMs([&] { synthesize(k.type, n, a, o, out.data()); });
        sink = out[n / 3] + base[n / 3];
        for (int i = 0; i < n; ++i) {
            if (out[i] != reference(k.type, i, n, a, o)) {
                std::printf("%s: sample %d is %.17g, the formula gives %.17g\n", k.name, i, out[i],
                            reference(k.type, i, n, a, o));
                identical = false;
                break;
            }
        }
        std::printf("synthesis %-8s %8.3f ms, baseline %8.3f ms, ratio %.2f (target <= %.1f)\n", k.name, measured,
                    baseline, measured / baseline, k.target);
    }
    return identical ? 0 : 1;
}
