// Live changes: from a committed amplitude change to the end of the generate
// call that sends it, both channels playing shapes of 262143 samples (the
// most a channel holds), against the least any panel must do for it,
// measured in the same run: a bare loop computing the same samples (shape x
// amplitude + offset), a stop and a generate call. Goal: at most 1.2 times
// that, and within 16 ms (one frame). BENCH_LIVE_SPLIT=1 prints, each round,
// the time the change takes to be planned (readout, tool tips, samples).
#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "benchgenerate.h"
#include "benchpanel.h"
#include "benchsupport.h"
#include "kd7240.h"
#include "kd7240_fc.h"
#include "kd7240fp_app.h"
#include "kd7240fp_model.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kdsim.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int n = 262143;
constexpr int rounds = 25;



std::vector<double> shape(int harmonic)
{
    std::vector<double> s(n);
    for (int i = 0; i < n; ++i)
        s[size_t(i)] = std::sin(6.283185307179586 * harmonic * i / n);
    return s;
}

} // namespace


int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Live changes are remembered beside the address history: in a folder of
    // the run's own, not the operator's.
    QTemporaryDir profile;
    qputenv("ALLUSERSPROFILE", profile.path().toLocal8Bit());
    QApplication app(argc, argv);
    kd7240_fc card;
    const std::unique_ptr<kd7240fp_App> opened = openBenchPanel(&card, "bench_live");
    if (!opened)
        return 0;
    kd7240fp_App &panel = *opened;
    panel.chan1->setShape(shape(1), QStringLiteral("one"));
    panel.chan2->setShape(shape(3), QStringLiteral("three"));
    panel.commonSettings->frequencyBox->setValue(3); // 786 kHz for 262143 samples
    panel.chan1->amplitudeBox->setValue(1);
    panel.chan2->amplitudeBox->setValue(1);
    panel.liveBox->setChecked(true);
    panel.startButton->click();
    if (!panel.startButton->isChecked()) {
        std::printf("bench_live: Start did not generate\n");
        return 0;
    }

    std::vector<double> live, bare;
    std::vector<double> copy1(n), copy2(n);
    const std::vector<double> one = shape(1), three = shape(3);
    const ViSession session = panel.session;
    for (int round = 0; round < rounds + 3; ++round) {
        // A single change after a quiet spell goes out at once; a quick series
        // is paced, so each measured change waits out the last one's spacing.
        const Clock::time_point quiet = Clock::now();
        while (std::chrono::duration<double, std::milli>(Clock::now() - quiet).count()
            < kd7240fp_model::liveSpacingMs + 10)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        kdsim::clearCalls();
        generateReturned = {};
        Clock::time_point t0 = Clock::now();
        panel.chan1->amplitudeBox->setValue(round % 2 ? 1.5 : 2.5);
        const double planned = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (qEnvironmentVariableIsSet("BENCH_LIVE_SPLIT"))
            std::printf("planned %.3f ms\n", planned);
        while (generateReturned < t0 && std::chrono::duration<double>(Clock::now() - t0).count() < 5)
            QApplication::processEvents();
        if (generateReturned < t0) {
            std::printf("bench_live: the change made no generate call\n");
            return 0;
        }
        const double changed = std::chrono::duration<double, std::milli>(generateReturned - t0).count();

        // The same samples, computed and sent bare: a stop and a generate call.
        const double amplitude = round % 2 ? 1.5 : 2.5;
        t0 = Clock::now();
        for (int i = 0; i < n; ++i) {
            copy1[size_t(i)] = one[size_t(i)] * amplitude + 0.0;
            copy2[size_t(i)] = three[size_t(i)] * 1.0 + 0.0;
        }
        kd7240_stopBurst(session);
        kd7240_generateWaveforms(session, n, 0, 3.0 * n, 0, 0, copy1.data(), copy2.data());
        const double sent = std::chrono::duration<double, std::milli>(generateReturned - t0).count();
        if (round >= 3) {
            live.push_back(changed);
            bare.push_back(sent);
        }
    }
    const double l = median(live), b = median(bare);
    std::printf("bench_live: amplitude change to generate call, 2 x %d samples: %.2f ms; the same samples computed, "
                "stopped and generated bare %.2f ms; ratio %.2f (goal <= 1.2, and <= 16 ms)\n",
        n, l, b, l / b);
    panel.startButton->click();
    return 0;
}
