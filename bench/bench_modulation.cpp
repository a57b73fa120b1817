// A modulated buffer of 262000 samples (a 1 kHz sine carrier, a 2.5 Hz sine
// modulating it: 400 carrier periods of 655 samples at 655 kHz), FM and AM, timed against
// a bare loop of the same formula from time, out = sin(2 pi fc t + ...). The
// bare loops run before the GUI starts, the synthesis after it, as in the
// panel (see bench_synthesis). Prints ratios; fails only when the samples
// differ from the formula.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include <QApplication>
#include <QLabel>

#include "benchgui.h"
#include "benchsupport.h"
#include "kd7240fp_modulation.h"

using namespace kd7240fp;

namespace {

volatile double sink;


constexpr double twoPi = 6.283185307179586;
constexpr int fc = 1000;
constexpr double fm = 2.5, deviation = 400, depth = 0.8, amplitude = 2.5, offset = 0.5;

__attribute__((noinline)) void bareFm(double *out, int n, double rate)
{
    for (int i = 0; i < n; ++i) {
        const double t = i / rate;
        out[i] = amplitude * std::sin(twoPi * fc * t + deviation / fm * (1 - std::cos(twoPi * fm * t))) + offset;
    }
}

__attribute__((noinline)) void bareAm(double *out, int n, double rate)
{
    for (int i = 0; i < n; ++i) {
        const double t = i / rate;
        out[i] = amplitude * (1 + depth * std::sin(twoPi * fm * t)) / 2 * std::sin(twoPi * fc * t) + offset;
    }
}

ModulatedChannel modulated(Modulation::Type type)
{
    ModulatedChannel c;
    c.waveType = waveSine;
    c.modulation.type = type;
    c.modulation.frequency = fm;
    c.modulation.deviation = deviation;
    c.modulation.depth = depth * 100;
    return c;
}

} // namespace

int main(int argc, char *argv[])
{
    const struct
    {
        const char *name;
        ModulationTiming timing;
        void (*bare)(double *, int, double);
    } kinds[] = { { "FM", modulationTiming(fc, modulated(Modulation::FM), {}), bareFm },
        { "AM", modulationTiming(fc, modulated(Modulation::AM), {}), bareAm } };
    // The most whole carrier periods of 655 samples the card holds.
    const int n = maxSamples / 655 * 655;
    for (const auto &k : kinds)
        if (!k.timing.ok || k.timing.samples != n) {
            std::printf("%s: the timing gave %d samples, expected %d\n", k.name, k.timing.samples, n);
            return 1;
        }
    std::vector<double> out(n), base(n);

    // Before any GUI: the baselines.
    double before[2];
    for (int k = 0; k < 2; ++k)
        before[k] = bestMs([&] { kinds[k].bare(base.data(), n, kinds[k].timing.rate); });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    drawAWindow();

    bool same = true;
    for (int k = 0; k < 2; ++k) {
        const ModulationTiming &t = kinds[k].timing;
        const double measured
            = bestMs([&] { synthesizeModulated(t, 1, waveSine, 50, amplitude, offset, 0, out.data()); });
        kinds[k].bare(base.data(), n, t.rate);
        sink = out[n / 3] + base[n / 3];
        for (int i = 0; i < n; ++i)
            if (std::fabs(out[i] - base[i]) > 1e-6) {
                std::printf("%s: sample %d is %.17g, the formula gives %.17g\n", kinds[k].name, i, out[i], base[i]);
                same = false;
                break;
            }
        std::printf("%s sine on a sine carrier, %d samples: %8.3f ms, baseline before the GUI %8.3f ms, ratio %.2f "
                    "(target <= 2)\n",
            kinds[k].name, n, measured, before[k], measured / before[k]);
    }
    return same ? 0 : 1;
}
