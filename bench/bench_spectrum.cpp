// The spectrum of two channels of 262143 samples (the most a buffer holds,
// 3^3 x 7 x 19 x 73: no power of two). First the transform through the
// panel's own unit, its plan already made, against FFTW's bare execution of
// a plan of the same size in the same run (goal: a ratio within 1.5); then
// the spectrum view taking the plan, computing and drawing it (goal: within
// 50 ms).
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fftw3.h>
#include <vector>

#include "benchsupport.h"
#include "kd7240fp_plan.h"
#include "kd7240fp_spectrum.h"
#include "kd7240fp_spectrumview.h"
#include "kd7240fp_synthesis.h"

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

    std::vector<double> samples(2 * size_t(n));
    auto synthesize = [&](int k) {
        kd7240fp::synthesize(kd7240fp::waveSine, n, 4, 1, samples.data());
        kd7240fp::synthesize(k % 2 ? kd7240fp::waveTriangle : kd7240fp::waveSaw, n, 3, -1, samples.data() + n);
    };
    synthesize(0);

    // FFTW alone: a plan of the same kind on its own buffers.
    double *in = fftw_alloc_real(size_t(n));
    fftw_complex *out = fftw_alloc_complex(size_t(n / 2 + 1));
    const fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
    kd7240fp::Spectrum spectra[2];
    for (int k = 0; k < 2; ++k) // makes the unit's plan
        kd7240fp::lineSpectrum(samples.data() + k * n, n, 1e6, &spectra[k]);

    std::vector<double> bare, unit;
    for (int run = 0; run < runs; ++run) {
        double ms = 0;
        for (int k = 0; k < 2; ++k) {
            std::copy(samples.data() + k * n, samples.data() + (k + 1) * n, in);
            const auto t0 = Clock::now();
            fftw_execute(plan);
            ms += msSince(t0);
        }
        bare.push_back(ms);
        const auto t0 = Clock::now();
        for (int k = 0; k < 2; ++k)
            kd7240fp::lineSpectrum(samples.data() + k * n, n, 1e6, &spectra[k]);
        unit.push_back(msSince(t0));
    }
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);

    kd7240fp_spectrumView view;
    view.resize(1000, 520);
    view.show();
    QApplication::processEvents();
    kd7240fp::Plan shown;
    shown.timing.ok = true;
    shown.timing.nSam = shown.periodSamples = n;
    shown.timing.uTime = 1e-6;
    shown.timing.rate = 1e6;
    shown.timing.played = 1e6 / n;
    shown.samples[0] = samples.data();
    shown.samples[1] = samples.data() + n;
    std::vector<double> drawn;
    for (int run = 0; run < runs; ++run) {
        synthesize(run);
        const auto t0 = Clock::now();
        view.showPlan(shown);
        view.grab();
        drawn.push_back(msSince(t0));
    }
    const double b = median(bare), u = median(unit), d = median(drawn);
    std::printf("bench_spectrum: two channels of %d samples: FFTW's execute %.2f ms; the spectrum unit %.2f ms "
                "(ratio %.2f, goal <= 1.5); computed and drawn %.2f ms (goal <= 50 ms)\n",
        n, b, u, u / b, d);
    return 0;
}
