// From the Start click to the card's generate call, both channels at 4 Hz
// (250000 samples each: a sine and a square), as a ratio to the bare loops
// that compute the same samples (a std::sin loop and a plain store loop of
// the same length) measured in the same run. Target: at most 1.2.
//
// The clock stops when the generate call is entered: this program defines
// kd7240_generateWaveforms itself, notes the time and hands the call on to
// the simulated driver, whose own checking of the samples is the card's
// business, not the panel's.
#include <QApplication>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <vector>

#include "benchpanel.h"
#include "benchsupport.h"
#include "kd7240.h"
#include "kd7240_fc.h"
#include "kd7240fp_app.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kdsim.h"

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point generateEntered;

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

} // namespace

extern "C" ViStatus kd7240_generateWaveforms(ViSession session, ViInt32 nSam, ViInt32 cycles, ViReal64 rate,
    ViInt16 filter1, ViInt16 filter2, ViReal64 *data1, ViReal64 *data2)
{
    generateEntered = Clock::now();
    using Generate = ViStatus (*)(ViSession, ViInt32, ViInt32, ViReal64, ViInt16, ViInt16, ViReal64 *, ViReal64 *);
    static const auto driver = reinterpret_cast<Generate>(dlsym(RTLD_NEXT, "kd7240_generateWaveforms"));
    return driver ? driver(session, nSam, cycles, rate, filter1, filter2, data1, data2) : VI_ERROR_RSRC_NFOUND;
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kd7240_fc card;
    const std::unique_ptr<kd7240fp_App> opened = openBenchPanel(&card, "bench_start");
    if (!opened)
        return 0;
    kd7240fp_App &panel = *opened;

    panel.chan1->sineButton->click();
    panel.chan1->amplitudeBox->setValue(2);
    panel.chan2->squareButton->click();
    panel.chan2->amplitudeBox->setValue(1);
    panel.commonSettings->frequencyBox->setValue(4);
    const int n = 250000;

    std::vector<double> out(2 * n);
    std::vector<double> startMs, loopsMs;
    const int rounds = 25;
    for (int round = 0; round < rounds + 3; ++round) {
        generateEntered = {};
        Clock::time_point t0 = Clock::now();
        panel.startButton->click();
        if (generateEntered < t0) {
            std::printf("bench_start: Start made no generate call\n");
            return 0;
        }
        const double start = std::chrono::duration<double, std::milli>(generateEntered - t0).count();
        panel.startButton->click(); // stop, not timed
        kdsim::clearCalls();

        t0 = Clock::now();
        for (int i = 0; i < n; ++i)
            out[i] = std::sin(static_cast<double>(i) * 6.283185307179586 / n) * 2.0 + 0.0;
        const double high = 1.0;
        const double low = -1.0;
        for (int i = 0; i < n / 2; ++i)
            out[n + i] = high;
        for (int i = n / 2; i < n; ++i)
            out[n + i] = low;
        const double loops = msSince(t0);
        if (round >= 3) { // the first rounds allocate the buffer and warm caches
            startMs.push_back(start);
            loopsMs.push_back(loops);
        }
    }
    const volatile double keep = out[n / 4] + out[n + n / 2];
    (void)keep;

    const double s = median(startMs);
    const double b = median(loopsMs);
    std::printf("start click to generate call, 2 x %d samples: %.3f ms (median of %d)\n", n, s, rounds);
    std::printf("bare sin and store loops, same length:       %.3f ms\n", b);
    std::printf("ratio %.3f (target <= 1.2)\n", s / b);
    return 0;
}
