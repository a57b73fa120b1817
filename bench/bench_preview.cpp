// One update of the Preview tab for two channels of 262143 samples (the
// most a period holds): the synthesis of both channels, then the preview
// taking them (copy, envelope per pixel column, series and axes), and once
// more with the chart drawn. Printed in milliseconds (goal: within 16 ms, one
// frame) and as a ratio to the bare synthesis of the same samples, measured
// in the same run.
#include <QApplication>
#include <QChartView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "kd7240fp_plan.h"
#include "kd7240fp_preview.h"
#include "kd7240fp_synthesis.h"
#include "benchsupport.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int n = 262143;
constexpr int runs = 21;


double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    kd7240fp_preview preview;
    preview.resize(900, 420);
    preview.show();
    QApplication::processEvents();

    std::vector<double> samples(2 * size_t(n));
    // A plan of two channels of n samples each, as Start would send them.
    kd7240fp::Plan plan;
    plan.timing.ok = true;
    plan.timing.nSam = plan.periodSamples = n;
    plan.timing.uTime = 1e-6 * 10;
    plan.timing.rate = 1 / plan.timing.uTime;
    plan.timing.played = 100000.0 / n;
    plan.samples[0] = samples.data();
    plan.samples[1] = samples.data() + n;
    auto synthesize = [&](int k) {
        kd7240fp::synthesize(kd7240fp::waveSine, n, 4, 1, samples.data());
        kd7240fp::synthesize(k % 2 ? kd7240fp::waveTriangle : kd7240fp::waveSaw, n, 3, -1, samples.data() + n);
    };

    std::vector<double> bare, update, drawn;
    for (int run = 0; run < runs; ++run) {
        auto t0 = Clock::now();
        synthesize(run);
        bare.push_back(msSince(t0));

        t0 = Clock::now();
        synthesize(run);
        preview.showPlan(plan);
        update.push_back(msSince(t0));

        t0 = Clock::now();
        synthesize(run + 1);
        preview.showPlan(plan);
        preview.view->grab();
        drawn.push_back(msSince(t0));
    }
    const double b = median(bare), u = median(update), d = median(drawn);
    std::printf("bench_preview: two channels of %d samples: bare synthesis %.2f ms; preview update %.2f ms "
                "(ratio %.2f); update drawn %.2f ms (ratio %.2f); goal <= 16 ms\n",
        n, b, u, u / b, d, d / b);
    return 0;
}
