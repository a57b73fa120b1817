// Starting and stopping generation: the Start/Stop button's clicked() lands
// in start(), which looks at the button to know which way to go.
#include "kd7240fp_app.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "kd7010fp_led.h"
#include "kd7240.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_preview.h"
#include "kd7240fp_waveform.h"

namespace {
constexpr int pollIntervalMs = 100;
constexpr int dacTab = 1;
} // namespace

int kd7240fp_App::start()
{
    if (startButton->isChecked())
        startGeneration();
    else
        stopGeneration();
    return 0;
}

double *kd7240fp_App::allocateSamples(int count)
{
    return static_cast<double *>(std::calloc(static_cast<size_t>(count), sizeof(double)));
}

void kd7240fp_App::abandonStart()
{
    startButton->setChecked(false);
    chan1->led->setValue(false);
    chan2->led->setValue(false);
}

void kd7240fp_App::showGenerating(bool on)
{
    generating = on;
    chan1->setEnabled(!on);
    chan2->setEnabled(!on);
    commonSettings->setEnabled(!on);
    tabs->setTabEnabled(dacTab, !on);
    pauseButton->setEnabled(on);
    startButton->setText(on ? QStringLiteral("Stop") : QStringLiteral("Start"));
    if (!on)
        settingsChanged();
}

QString kd7240fp_App::limitsProblem(const double *const channels[2], int nSam) const
{
    QStringList problems;
    for (int k = 0; k < 2; ++k) {
        if (!channels[k])
            continue;
        double lo = 0, hi = 0;
        kd7240fp::sampleRange(channels[k], nSam, &lo, &hi);
        if (hi <= hiLimit && lo >= lowLimit)
            continue;
        const double worst = hi > hiLimit ? hi : lo;
        problems << tr("Channel %1 reaches %2 V; the card's output range is %3 to %4 V.")
                        .arg(k + 1)
                        .arg(worst, 0, 'f', 2)
                        .arg(lowLimit, 0, 'f', 2)
                        .arg(hiLimit, 0, 'f', 2);
    }
    return problems.join(QLatin1Char('\n'));
}

void kd7240fp_App::startGeneration()
{
    // Amplitudes and offsets are read where the samples are computed.
    const int type1 = chan1->waveType;
    const int type2 = chan2->waveType;

    if (type1 == 0 && type2 == 0) {
        warningMessage(QStringLiteral("At least for one channel the waveform type should be choosen"));
        startButton->setChecked(false);
        return;
    }
    chan1->led->setValue(type1 != 0);
    chan2->led->setValue(type2 != 0);

    if (!demoMode) {
        const int startIndex = commonSettings->startBox->currentIndex();
        const int stopIndex = commonSettings->stopBox->currentIndex();
        const int cycles = commonSettings->cyclesBox->value();

        const kd7240fp::Timing timing = currentTiming();
        if (!timing.ok) {
            warningMessage(timingProblem(timing));
            abandonStart();
            return;
        }
        const int nSam = timing.nSam;
        const int length = stopIndex != 0 ? cycles : 0;

        // The buffer is kept from start to start and only ever grows.
        const int needed = (type1 != 0 && type2 != 0) ? 2 * nSam : nSam;
        if (needed > bufferSize) {
            std::free(buffer);
            bufferSize = 0;
            buffer = allocateSamples(needed);
            if (!buffer) {
                warningMessage(
                    QStringLiteral("Not enough memory for %1 samples; the waveform cannot be generated.").arg(needed));
                abandonStart();
                return;
            }
            bufferSize = needed;
        }

        // Channel 1 first; with both, channel 2 follows at nSam.
        const double *channels[2] = {};
        if (type1 != 0) {
            fillChannel(chan1, nSam, buffer);
            channels[0] = buffer;
        }
        if (type2 != 0) {
            double *out = type1 != 0 ? buffer + nSam : buffer;
            fillChannel(chan2, nSam, out);
            channels[1] = out;
        }
        // What the card cannot play is refused here, in the operator's
        // words, before anything reaches the card.
        const QString beyond = limitsProblem(channels, nSam);
        if (!beyond.isEmpty()) {
            warningMessage(beyond);
            abandonStart();
            return;
        }

        if (startIndex != 0)
            report(kd7240_setITRI(session, kd7240_ITRI_SRC_BOTH, kd7240_ITRI_PULSE_ABORT),
                "kd7240_setITRI(d_vi, kd7240_ITRI_SRC_BOTH, kd7240_ITRI_PULSE_ABORT)");
        else
            report(kd7240_setITRI(session, 0, 0), "kd7240_setITRI(d_vi, 0, 0)");

        const double rate = timing.rate;
        if (type1 != 0 && type2 != 0) {
            report(kd7240_generateWaveforms(
                       session, nSam, length, rate, chan1->getFilt(), chan2->getFilt(), buffer, buffer + nSam),
                "kd7240_generateWaveforms(d_vi, nSam, length, 1.0/uTime, chan1->getFilt(), chan2->getFilt(), "
                "buffer, buffer + nSam)");
        } else if (type1 != 0) {
            report(kd7240_generateWaveform(session, kd7240_CH1, nSam, length, rate, chan1->getFilt(), buffer),
                "kd7240_generateWaveform (d_vi, kd7240_CH1, nSam, length, 1.0/uTime, chan1->getFilt(), buffer)");
        } else {
            report(kd7240_generateWaveform(session, kd7240_CH2, nSam, length, rate, chan2->getFilt(), buffer),
                "kd7240_generateWaveform (d_vi, kd7240_CH2, nSam, length, 1.0/uTime, chan2->getFilt(), buffer)");
        }
        // The preview shows what was sent, until generation stops.
        preview->showPeriod(channels[0], channels[1], nSam, timing.uTime, timing.played, lowLimit, hiLimit);
        // Even after a failed generate call the window goes on to generating:
        // the poll returns it to idle once the card reports no burst.
    }

    showGenerating(true);
    pollFailing = false;
    timer->start(pollIntervalMs);
}

void kd7240fp_App::stopGeneration()
{
    timer->stop();
    chan1->led->setValue(false);
    chan2->led->setValue(false);
    if (!demoMode) {
        // A state the card did not report counts as running, so the stop
        // call is sent all the same.
        ViInt32 state = 1;
        const ViStatus status = report(kd7240_getBurstStatus(session, &state, nullptr, nullptr, nullptr),
            "kd7240_getBurstStatus (d_vi, &state, NULL, NULL, NULL)");
        if ((status < 0 || state != 0) && report(kd7240_stopBurst(session), "kd7240_stopBurst(d_vi)") < 0) {
            // The card did not stop, so the window must not show idle: back
            // to generating, with Stop pressed for another try and the poll
            // watching the card. A pause stays as it is: resuming a card
            // the operator wanted stopped would start its output again.
            startButton->setChecked(true);
            chan1->led->setValue(chan1->waveType != 0);
            chan2->led->setValue(chan2->waveType != 0);
            timer->start(pollIntervalMs);
            return;
        }
    }
    if (pauseButton->isChecked())
        pauseButton->toggle();
    showGenerating(false);
}
