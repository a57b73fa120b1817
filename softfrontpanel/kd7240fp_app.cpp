#include "kd7240fp_app.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>

#include "kd7010fp_about.h"
#include "kd7010fp_led.h"
#include "kd7240.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_preview.h"
#include "kd7240fp_waveform.h"

namespace {

QString dacWhatsThis(int channel)
{
    return QStringLiteral("Specifies the constant voltage to be generated on the output\n"
                          "of Channel %1. New voltage will be generated as soon as it\n"
                          "is entered to this control.\n"
                          "Note: \"Ground\" setting for output filter will disable any\n"
                          "voltage output.")
        .arg(channel);
}

QDoubleSpinBox *newDacBox(int channel)
{
    auto *box = new QDoubleSpinBox;
    box->setAlignment(Qt::AlignCenter);
    box->setDecimals(3);
    box->setRange(0, 10);
    box->setSingleStep(1);
    box->setValue(0);
    box->setWhatsThis(dacWhatsThis(channel));
    box->setAccessibleName(QStringLiteral("DAC %1 voltage").arg(channel));
    // Written when committed (Return, focus leaving, arrows, wheel), never
    // keystroke by keystroke: "-2.5" would first put -2 V on the output.
    box->setKeyboardTracking(false);
    return box;
}

} // namespace

kd7240fp_App::kd7240fp_App(kd7010fp_genFC *card)
    : kd7010fp_AppFC(card, 0, false)
{
    auto *panelLayout = new QVBoxLayout;
    tabs = new QTabWidget;
    panelLayout->addWidget(tabs);
    setPanelLayout(panelLayout);

    // Waveform generation tab.
    generationPage = new QWidget;
    auto *generationLayout = new QVBoxLayout(generationPage);
    auto *channelsLayout = new QHBoxLayout;
    chan1 = new kd7240fp_chSet(QStringLiteral("Channel 1"), generationPage);
    chan2 = new kd7240fp_chSet(QStringLiteral("Channel 2"), generationPage);
    channelsLayout->addWidget(chan1);
    channelsLayout->addWidget(chan2);
    generationLayout->addLayout(channelsLayout);
    commonSettings = new kd7240fp_comSet(QStringLiteral("Common Settings"), generationPage);
    generationLayout->addWidget(commonSettings);

    controlGroup = new QGroupBox(QStringLiteral("Waveform Generation Control"), generationPage);
    auto *controlLayout = new QHBoxLayout(controlGroup);
    startButton = new QPushButton(QStringLiteral("Start"));
    startButton->setCheckable(true);
    startButton->setFocusPolicy(Qt::StrongFocus);
    startButton->setWhatsThis(QStringLiteral("Start/Stop waveform generation"));
    pauseButton = new QPushButton(QStringLiteral("Pause"));
    pauseButton->setCheckable(true);
    pauseButton->setEnabled(false);
    pauseButton->setWhatsThis(QStringLiteral("Pause/Resume waveform generation"));
    triggerButton = new QPushButton(QStringLiteral("Trigger"));
    triggerButton->setWhatsThis(QStringLiteral("Sends a pulse to the Input Trigger line"));
    controlLayout->addStretch();
    controlLayout->addWidget(startButton);
    controlLayout->addSpacing(20);
    controlLayout->addWidget(pauseButton);
    controlLayout->addSpacing(20);
    controlLayout->addWidget(triggerButton);
    controlLayout->addStretch();
    generationLayout->addWidget(controlGroup);
    tabs->addTab(generationPage, QStringLiteral("Waveform Generation"));

    // Immediate DAC values and calibration tab.
    dacPage = new QWidget;
    auto *dacPageLayout = new QHBoxLayout(dacPage);
    dacGroup = new QGroupBox(QStringLiteral("Set DAC Immediate Value"), dacPage);
    auto *dacLayout = new QVBoxLayout(dacGroup);
    auto *dacGrid = new QGridLayout;
    dac1Label = new QLabel(QStringLiteral("DAC 1"));
    dac2Label = new QLabel(QStringLiteral("DAC 2"));
    dac1Box = newDacBox(1);
    dac2Box = newDacBox(2);
    dacGrid->addWidget(dac1Label, 0, 0);
    dacGrid->addWidget(dac1Box, 0, 1);
    dacGrid->addWidget(dac2Label, 1, 0);
    dacGrid->addWidget(dac2Box, 1, 1);
    dacLayout->addStretch();
    dacLayout->addLayout(dacGrid);
    dacLayout->addStretch();
    calibrationGroup = new QGroupBox(QStringLiteral("Calibration"), dacPage);
    auto *calibrationLayout = new QHBoxLayout(calibrationGroup);
    calibrateButton = new QPushButton(QStringLiteral("Calibrate"));
    calibrateButton->setWhatsThis(QStringLiteral("Performs calibration of DACs for both channels of the board"));
    calibrationLayout->addStretch();
    calibrationLayout->addWidget(calibrateButton);
    calibrationLayout->addStretch();
    // Equal shares: otherwise the calibration group takes all the width
    // and the DAC boxes sit squeezed at the edge.
    dacPageLayout->addWidget(dacGroup, 1);
    dacPageLayout->addWidget(calibrationGroup, 1);
    tabs->addTab(dacPage, QStringLiteral("Write Channel/Calibrate"));
    preview = new kd7240fp_preview;
    tabs->addTab(preview, tr("Preview"));

    timer = new QTimer(this);

    connect(triggerButton, &QPushButton::clicked, this, &kd7240fp_App::pulseITRI);
    connect(startButton, &QPushButton::clicked, this, &kd7240fp_App::start);
    connect(pauseButton, &QPushButton::toggled, this, &kd7240fp_App::pause);
    connect(chan1, &kd7240fp_chSet::activated, this, &kd7240fp_App::setFilt);
    connect(chan2, &kd7240fp_chSet::activated, this, &kd7240fp_App::setFilt);
    connect(dac1Box, &QDoubleSpinBox::valueChanged, this, &kd7240fp_App::setDac);
    connect(dac2Box, &QDoubleSpinBox::valueChanged, this, &kd7240fp_App::setDac);
    connect(calibrateButton, &QPushButton::clicked, this, &kd7240fp_App::calibrate);
    connect(timer, &QTimer::timeout, this, &kd7240fp_App::timerCallback);
    connect(this, &kd7010fp_app::resetPressed, this, &kd7240fp_App::resetDevice);
    connect(chan1, &kd7240fp_chSet::settingsChanged, this, &kd7240fp_App::settingsChanged);
    connect(chan2, &kd7240fp_chSet::settingsChanged, this, &kd7240fp_App::settingsChanged);
    connect(commonSettings->frequencyBox, &QSpinBox::valueChanged, this, &kd7240fp_App::settingsChanged);
    connect(tabs, &QTabWidget::currentChanged, this, &kd7240fp_App::settingsChanged);

    readCard();

    buffer = nullptr;
    bufferSize = 0;

    if (demoMode) {
        aboutDialog->addHardwarePage(QStringLiteral("62089481 (DEMO)"), QStringLiteral("1.0.1.0 (DEMO)"),
            QStringLiteral("7240-AA (DEMO)"), QString(), QString());
    } else {
        ViUInt32 serial = 0;
        char subtype[kd7240_SUBTYPE_LEN] = {};
        report(kd7240_readSerialNo(session, &serial, subtype), "kd7240_readSerialNo(d_vi, &serialNumber, subtype)");
        subtype[sizeof subtype - 1] = '\0';
        char revision[kd7240_INSTR_REVISION_LEN] = {};
        kd7240_revision_query(session, nullptr, revision);
        revision[sizeof revision - 1] = '\0';
        aboutDialog->addHardwarePage(QString::asprintf("%08x", serial), QString::fromLatin1(revision),
            QStringLiteral("7240-%1").arg(QString::fromLatin1(subtype), 0, QChar(' ')), QString(), QString());
    }
}

kd7240fp_App::~kd7240fp_App() { std::free(buffer); }

void kd7240fp_App::readCard()
{
    if (!demoMode) {
        double low = lowLimit;
        double high = hiLimit;
        if (report(kd7240_getOutputLimits(session, &low, &high), "kd7240_getOutputLimits(d_vi, &lowLimit, &hiLimit)")
            >= 0) {
            lowLimit = low;
            hiLimit = high;
        }
        // The card's front ends get the groups' initial filter.
        setFilt();
    }
    chan1->setLimits(lowLimit, hiLimit);
    chan2->setLimits(lowLimit, hiLimit);
    dac1Box->setRange(lowLimit, hiLimit);
    dac1Box->setSingleStep(0.1);
    dac2Box->setRange(lowLimit, hiLimit);
    dac2Box->setSingleStep(0.1);

    // Each setValue that changes a box writes both channels through setDac.
    if (!demoMode) {
        dac1Box->setValue(readDac(kd7240_CH1, dac1Box->value()));
        dac2Box->setValue(readDac(kd7240_CH2, dac2Box->value()));
    }
    settingsChanged();
}

ViStatus kd7240fp_App::report(ViStatus status, const char *callText)
{
    if (status == VI_SUCCESS)
        return status;
    char message[kd7240_ERROR_MESSAGE_LEN] = {};
    if (kd7240_error_message(0, status, message) < 0 || message[0] == '\0')
        std::snprintf(message, sizeof message, "Unknown status 0x%08X", static_cast<unsigned>(status));
    message[sizeof message - 1] = '\0';
    if (status < 0)
        errorMessage(QString::asprintf("%s failed due to [%s]", callText, message));
    else
        warningMessage(QString::asprintf("Warning: [%s]", message));
    return status;
}

double kd7240fp_App::readDac(int channel, double current)
{
    // A failed read leaves the box as it is rather than showing a value the
    // card never sent.
    double value = current;
    const ViStatus status = report(kd7240_getDACval(session, channel, &value),
        channel == kd7240_CH1 ? "kd7240_getDACval(d_vi, kd7240_CH1, &dac_val)"
                              : "kd7240_getDACval(d_vi, kd7240_CH2, &dac_val)");
    return status < 0 ? current : value;
}

int kd7240fp_App::setDac(double)
{
    const double dac1 = dac1Box->value();
    const double dac2 = dac2Box->value();
    if (demoMode)
        return 0;
    report(kd7240_writeChannels(session, dac1, dac2), "kd7240_writeChannels(d_vi, dac1_val, dac2_val)");
    return 0;
}

int kd7240fp_App::setFilt()
{
    if (demoMode)
        return 0;
    report(kd7240_setFEConfig(session, kd7240_CH1, chan1->getFilt(), chan1->getTerm()),
        "kd7240_setFEConfig(d_vi, kd7240_CH1, chan1->getFilt(), chan1->getTerm())");
    report(kd7240_setFEConfig(session, kd7240_CH2, chan2->getFilt(), chan2->getTerm()),
        "kd7240_setFEConfig(d_vi, kd7240_CH2, chan2->getFilt(), chan2->getTerm())");
    return 0;
}

int kd7240fp_App::pulseITRI()
{
    if (demoMode)
        return 0;
    report(kd7240_pulseITRI(session, kd7240_ITRI_PULSE), "kd7240_pulseITRI(d_vi, kd7240_ITRI_PULSE)");
    return 0;
}

int kd7240fp_App::pause(bool checked)
{
    // Also in demo mode: the driver answers session 0 with an error, which
    // is not shown.
    if (checked) {
        pauseButton->setText(QStringLiteral("Resume"));
        kd7240_pause(session);
    } else {
        pauseButton->setText(QStringLiteral("Pause"));
        kd7240_resume(session);
    }
    return 0;
}

int kd7240fp_App::calibrate()
{
    setCursor(Qt::WaitCursor);
    if (!demoMode && report(kd7240_calibrate(session), "kd7240_calibrate(d_vi)") < 0) {
        setCursor(Qt::ArrowCursor);
        return 0;
    }
    infoMessage(QStringLiteral("Calibration procedure completed successfully."));
    setCursor(Qt::ArrowCursor);
    return 0;
}

void kd7240fp_App::timerCallback()
{
    // No poll while any box waits for the operator (a report, the reset
    // question...): its report would stack another box on it. The poll
    // catches up once the box is answered.
    if (demoMode || QApplication::activeModalWidget())
        return;
    // Unknown counts as still generating: only the card's own word that the
    // burst has ended returns the window to idle.
    ViInt32 stat = 1;
    const ViStatus status = kd7240_getBurstStatus(session, &stat, nullptr, nullptr, nullptr);
    // A poll that keeps failing is reported once per streak, not every
    // 100 ms: otherwise the box returns after each answer and Stop can
    // hardly be reached. The first clean poll ends the streak.
    if (status == VI_SUCCESS) {
        pollFailing = false;
    } else if (!pollFailing) {
        pollFailing = true;
        report(status, "kd7240_getBurstStatus(d_vi, &stat, NULL, NULL, NULL)");
    }
    if (status < 0 || stat != 0)
        return;
    timer->stop();
    startButton->setChecked(false);
    start();
}

kd7240fp::Timing kd7240fp_App::currentTiming() const
{
    auto shapeSamples = [](const kd7240fp_chSet *group) {
        return group->waveType == kd7240fp::waveArbitrary ? int(group->shape.size()) : 0;
    };
    return kd7240fp::timingFor(commonSettings->frequencyBox->value(), shapeSamples(chan1), shapeSamples(chan2));
}

void kd7240fp_App::fillChannel(const kd7240fp_chSet *group, int n, double *out) const
{
    const double amplitude = group->amplitudeBox->value();
    const double offset = group->offsetBox->value();
    if (group->waveType == kd7240fp::waveArbitrary)
        kd7240fp::playShape(group->shape.data(), n, amplitude, offset, out);
    else
        kd7240fp::synthesize(group->waveType, n, amplitude, offset, out);
}

QString kd7240fp_App::timingProblem(const kd7240fp::Timing &timing) const
{
    switch (timing.problem) {
    case kd7240fp::Timing::None:
        return QString();
    case kd7240fp::Timing::TooFast:
        return tr("Channel %1: %2 samples at %3 Hz need %4; the card plays at most 1 MHz")
            .arg(timing.channel)
            .arg(timing.nSam)
            .arg(commonSettings->frequencyBox->value())
            .arg(kd7240fp_comSet::clockText(timing.rate));
    case kd7240fp::Timing::LengthsDiffer:
        return tr("Channel 1 holds %1 samples and channel 2 %2: both channels play one period together, so their "
                  "files must hold the same number of samples.")
            .arg(chan1->shape.size())
            .arg(chan2->shape.size());
    case kd7240fp::Timing::NoPeriod:
        break;
    }
    return QStringLiteral("Wrong output signal frequency has been choosen");
}

void kd7240fp_App::settingsChanged()
{
    const kd7240fp::Timing timing = currentTiming();
    commonSettings->showPlayed(commonSettings->frequencyBox->value(), timing, timingProblem(timing));
    // Many settings change at once (a reset, the limits): draw once, after them.
    if (previewPending)
        return;
    previewPending = true;
    QTimer::singleShot(0, this, &kd7240fp_App::updatePreview);
}

void kd7240fp_App::updatePreview()
{
    previewPending = false;
    // While generating the preview keeps what was sent at Start; while it
    // is out of sight it is drawn when its tab is chosen.
    if (generating || tabs->currentWidget() != preview)
        return;
    const kd7240fp::Timing timing = currentTiming();
    if (!timing.ok) {
        preview->showProblem(timingProblem(timing));
        return;
    }
    // The same samples Start computes, by the same calls.
    const int n = timing.nSam;
    previewSamples.resize(2 * size_t(n));
    const double *channels[2] = {};
    const kd7240fp_chSet *groups[2] = { chan1, chan2 };
    for (int k = 0; k < 2; ++k) {
        if (groups[k]->waveType == 0)
            continue;
        double *out = previewSamples.data() + k * n;
        fillChannel(groups[k], n, out);
        channels[k] = out;
    }
    preview->showPeriod(channels[0], channels[1], n, timing.uTime, timing.played, lowLimit, hiLimit);
}

int kd7240fp_App::resetDevice()
{
    const int answer = questionBox(this, QMessageBox::Question, QStringLiteral("Vantix ") + panelName + " SFP",
        tr("Reset the card to its power-on state? Generation stops and both outputs go to 0 V."),
        { tr("&Yes"), tr("&No") }, 1, 1);
    if (answer != 0)
        return 0;

    // The window goes back to idle first; the card's reset ends any burst.
    // A burst is stopped on the old session all the same: should the card
    // not open again, it must not go on playing with nobody to stop it.
    timer->stop();
    if (!demoMode && generating)
        report(kd7240_stopBurst(session), "kd7240_stopBurst(d_vi)");
    generating = false;
    if (pauseButton->isChecked()) {
        const QSignalBlocker quiet(pauseButton);
        pauseButton->setChecked(false);
        pauseButton->setText(QStringLiteral("Pause"));
    }
    startButton->setChecked(false);
    chan1->led->setValue(false);
    chan2->led->setValue(false);
    showGenerating(false);

    if (!demoMode) {
        report(kd7240_close(session), "kd7240_close(d_vi)");
        session = 0;
        // Open the same card again with a reset: a VXIplug&play init with
        // reset puts the instrument into its power-on state.
        const QByteArray descriptor = resourceDescriptor.toLatin1();
        ViSession reopened = 0;
        const ViStatus status
            = kd7240_init(const_cast<ViRsrc>(descriptor.constData()), ViUInt16(fcNumbers[0]), 1, 1, &reopened);
        report(status, "kd7240_init(resourceDescriptor, fcNumber, 1, 1, &d_vi)");
        if (status == VI_SUCCESS) {
            session = reopened;
        } else {
            // No session to talk to: go on as in demo mode rather than call
            // the driver with a dead one.
            if (reopened != 0)
                kd7240_close(reopened);
            demoMode = 1;
            setDemoMode(true);
            setSystemLabel(tr("No card"), QString());
            setFcLabel(QString(), QString());
        }
    }

    chan1->resetToDefaults();
    chan2->resetToDefaults();
    commonSettings->resetToDefaults();
    lowLimit = -10;
    hiLimit = 10;
    // 0 V as at start-up; a card's own values are read again just below.
    for (QDoubleSpinBox *box : { dac1Box, dac2Box }) {
        const QSignalBlocker quiet(box);
        box->setValue(0);
    }
    readCard();
    return 0;
}
