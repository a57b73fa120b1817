// One period at 4 Hz (250000 samples) per waveform type, timed against a bare
// loop of the same length: a std::sin loop for the sine, a plain store loop
// for the others. The bare loops run before the GUI starts, the synthesis
// after it, as in the panel: a GUI start that leaves the processor's vector
// state dirty slows plain arithmetic in the whole process, a baseline taken
// after it alike, so only a baseline from before it shows the slowdown. The
// bare loops are timed again after the GUI's start, to show what it costs
// code that is not defended. Prints ratios; fails only when the samples
// differ from the formula.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include <QApplication>
#include <QLabel>

#include "benchgui.h"
#include "benchsupport.h"
#include "kd7240fp_synthesis.h"

using namespace kd7240fp;

namespace {

// Keeps the compiler from dropping a loop whose result is never read.
volatile double sink;


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

int main(int argc, char *argv[])
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

    // Before any GUI: the baselines.
    double before[4], after[4];
    for (int k = 0; k < 4; ++k)
        before[k] = kinds[k].type == waveSine ? bestMs([&] { bareSine(base.data(), n); })
                                              : bestMs([&] { bareStore(base.data(), n, a + o); });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    drawAWindow();

    bool identical = true;
    for (int j = 0; j < 4; ++j) {
        const auto &k = kinds[j];
        const double measured = bestMs([&] { synthesize(k.type, n, a, o, out.data()); });
        after[j] = k.type == waveSine ? bestMs([&] { bareSine(base.data(), n); })
                                      : bestMs([&] { bareStore(base.data(), n, a + o); });
        sink = out[n / 3] + base[n / 3];
        for (int i = 0; i < n; ++i) {
            if (out[i] != reference(k.type, i, n, a, o)) {
                std::printf("%s: sample %d is %.17g, the formula gives %.17g\n", k.name, i, out[i],
                            reference(k.type, i, n, a, o));
                identical = false;
                break;
            }
        }
        std::printf("synthesis %-8s %8.3f ms, baseline before the GUI %8.3f ms, ratio %.2f (target <= %.1f); the "
                    "bare loop after the GUI's start %.2f times its time before\n",
                    k.name, measured, before[j], measured / before[j], k.target, after[j] / before[j]);
    }
    return identical ? 0 : 1;
}
