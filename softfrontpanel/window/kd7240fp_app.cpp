#include "kd7240fp_app.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "kd7010fp_about.h"
#include "kd7010fp_led.h"
#include "kd7010fp_spinbox.h"
#include "kd7240.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_formuladialog.h"
#include "kd7240fp_model.h"
#include "kd7240fp_modulationdialog.h"
#include "kd7240fp_plantext.h"
#include "kd7240fp_preview.h"
#include "kd7240fp_remote.h"
#include "kd7240fp_remembered.h"
#include "kd7240fp_setupfiles.h"
#include "kd7240fp_setuploader.h"
#include "kd7240fp_shapefile.h"
#include "kd7240fp_shapeloader.h"
#include "kd7240fp_sweepdialog.h"

namespace {

constexpr int dacTab = 1;
const QString liveKey = QStringLiteral("7240/LiveChanges");

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
    auto *box = new kd7010fp_clampDoubleSpinBox;
    box->setAlignment(Qt::AlignCenter);
    box->setDecimals(3);
    box->setQuantity(kd7010fp_typedNumber::Voltage);
    box->setRange(0, 10);
    box->setSingleStep(1);
    box->setValue(0);
    box->setWhatsThis(dacWhatsThis(channel));
    box->setAccessibleName(QStringLiteral("DAC %1 voltage").arg(channel));
    // Written when committed (Return, focus leaving, arrows, wheel), never
    // keystroke by keystroke: "-2.5" would first put -2 V on the output.
    return box;
}

} // namespace

kd7240fp_App::kd7240fp_App(kd7010fp_genFC *card)
    : kd7240fp_App(card, kd7010fp_connectRequest())
{
}

kd7240fp_App::kd7240fp_App(kd7010fp_genFC *card, const kd7010fp_connectRequest &request)
    : kd7010fp_AppFC(card, 0, false, request)
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
    // Beside the buttons that run the card, so it can be ticked while the
    // card generates, the moment an operator wants it.
    liveBox = new QCheckBox(tr("Live changes"));
    liveBox->setToolTip(tr("While the card generates with Immediate start and Unlimited stop, each change of a channel "
                           "or the frequency is sent at once. Triggered or limited generation stays locked."));
    liveBox->setWhatsThis(liveBox->toolTip());
    controlLayout->addSpacing(20);
    controlLayout->addWidget(liveBox);
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
    preview->setSpectrumOffered(true);
    tabs->addTab(preview, tr("Preview"));

    saveSetupButton = new QPushButton(tr("Save Setup…"));
    saveSetupButton->setShortcut(QKeySequence::Save);
    saveSetupButton->setToolTip(tr("Saves both channels and the common settings to a setup file (%1)")
                                    .arg(QKeySequence(QKeySequence::Save).toString(QKeySequence::NativeText)));
    openSetupButton = new QPushButton(tr("Open Setup…"));
    openSetupButton->setShortcut(QKeySequence::Open);
    openSetupButton->setToolTip(tr("Sets both channels and the common settings from a setup file (%1)")
                                    .arg(QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText)));
    changeCardButton = new QPushButton(tr("Change Card…"));
    changeCardButton->setToolTip(tr("Connects to another card, or to none (demo mode), keeping the settings"));
    addColumnButton(saveSetupButton);
    addColumnButton(openSetupButton);
    addColumnButton(changeCardButton);
    remoteBox = new QCheckBox(tr("Remote control"));
    remoteBox->setToolTip(tr("Answers SCPI commands on TCP port 5025 of this computer, so scripts drive the card while "
                             "the window shows it. Whoever reaches the port controls the card's outputs."));
    remoteBox->setWhatsThis(remoteBox->toolTip());
    addBelowReset(remoteBox);
    remoteCloseButton = new QPushButton(tr("Close Connections"));
    addBelowReset(remoteCloseButton);
    remoteLabel = new QLabel;
    remoteLabel->setAccessibleName(tr("Remote control"));
    remoteLabel->hide();
    addStatusLine(remoteLabel);

    timer = new QTimer(this);
    // What the operator chose and the card's session, held for every way
    // in; a poll's report waits while the operator answers another box.
    model = new kd7240fp_model(
        timer, [this](int count) { return sampleRoom(count); }, connection, &kd7010fp_app::messageBoxOpen, this);
    // Many settings change at once (a reset, the limits): draw once, after them.
    previewTimer = new QTimer(this);
    previewTimer->setSingleShot(true);
    previewTimer->setInterval(0);
    liveBox->setChecked(kd7240fp::remembered(liveKey).toBool());
    model->setLiveChanges(liveBox->isChecked());

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
    connect(model, &kd7240fp_model::stateChanged, this, &kd7240fp_App::showState);
    // What the operator does and the model reports, the window shows in
    // its boxes; a remote client's troubles go to its error queue instead.
    connect(model, &kd7240fp_model::callReported, this,
        [this](ViStatus status, const QString &callText, const QString &message, kd7240fp_model::Origin origin) {
            if (origin == kd7240fp_model::Window)
                showCallReport(status, callText, message);
        });
    connect(model, &kd7240fp_model::refused, this, [this](const QString &why, kd7240fp_model::Origin origin) {
        notices.echo(why);
        if (origin == kd7240fp_model::Window)
            warningMessage(why);
    });
    connect(model, &kd7240fp_model::cautioned, this, [this](const QString &what, kd7240fp_model::Origin origin) {
        notices.echo(what);
        if (origin == kd7240fp_model::Window)
            warningMessage(what);
    });
    connect(model, &kd7240fp_model::calibrated, this, [](kd7240fp_model::Origin origin) {
        if (origin == kd7240fp_model::Window)
            infoMessage(QStringLiteral("Calibration procedure completed successfully."));
    });
    // While generating, the preview shows what was sent.
    connect(model, &kd7240fp_model::sent, this, &kd7240fp_App::showSent);
    connect(model, &kd7240fp_model::liveNotSent, this,
        [this](const QString &readout, const QString &why) { commonSettings->showReadout(readout, why, true); });
    // The groups show the model; what the operator does in them goes to it.
    connect(model, &kd7240fp_model::settingsChanged, this, &kd7240fp_App::showModel);
    // The DAC boxes show what the card holds: a client's values, and the
    // operator's own put back when the card did not take them.
    connect(model, &kd7240fp_model::dacsChanged, this, [this] {
        const QSignalBlocker quiet1(dac1Box), quiet2(dac2Box);
        dac1Box->setValue(model->dac(0));
        dac2Box->setValue(model->dac(1));
    });
    for (kd7240fp_chSet *group : { chan1, chan2 }) {
        connect(group, &kd7240fp_chSet::settingsChanged, this, &kd7240fp_App::takeFromGroups);
        connect(group, &kd7240fp_chSet::loadRequested, this, [this, group] {
            const QString path = kd7240fp_shapeLoader::askPath(this);
            if (!path.isEmpty())
                loadShapeFile(group, path);
        });
        connect(group, &kd7240fp_chSet::formulaRequested, this, [this, group] { askFormula(group); });
        connect(group, &kd7240fp_chSet::sweepRequested, this, [this, group] { askSweep(group); });
        connect(group, &kd7240fp_chSet::modulationRequested, this, [this, group] {
            const int k = group == chan1 ? 0 : 1;
            if (auto result = kd7240fp_modulationDialog::ask(
                    this, group->title(), model->settings(), k, model->generator()->limits()))
                group->setModulation(result->carrier, result->modulation);
        });
    }
    connect(commonSettings, &kd7240fp_comSet::settingsChanged, this, &kd7240fp_App::takeFromGroups);
    connect(tabs, &QTabWidget::currentChanged, this, &kd7240fp_App::followSettings);
    connect(previewTimer, &QTimer::timeout, this, &kd7240fp_App::updatePreview);
    connect(liveBox, &QCheckBox::toggled, this, [this](bool on) {
        kd7240fp::remember(liveKey, on);
        model->setLiveChanges(on);
        showState(model->state());
    });
    connect(saveSetupButton, &QPushButton::clicked, this, &kd7240fp_App::saveSetup);
    connect(openSetupButton, &QPushButton::clicked, this, &kd7240fp_App::openSetup);
    connect(changeCardButton, &QPushButton::clicked, this, &kd7240fp_App::changeCardAsked);

    readCard();

    buffer = nullptr;
    bufferSize = 0;
    showIdentity();
    showState(model->state());
    remote = new kd7240fp_remote(
        model, [this] { return identityText(); }, remoteBox, remoteLabel, remoteCloseButton, this);
}

kd7240fp_App::~kd7240fp_App() { std::free(buffer); }

kd7240fp::Settings kd7240fp_App::settings() const { return model->settings(); }

void kd7240fp_App::takeFromGroups()
{
    if (showingModel)
        return;
    const kd7240fp::Settings shown { { chan1->settings(), chan2->settings() }, commonSettings->settings() };
    // A change the card cannot take now is not taken: the groups show the
    // model again.
    if (model->change(shown, kd7240fp_model::Window) == kd7240fp_model::Locked)
        showModel();
}

void kd7240fp_App::showModel()
{
    {
        // The groups told what they already hold would only echo it back.
        const QScopedValueRollback<bool> showing(showingModel, true);
        const kd7240fp::Settings &s = model->settings();
        kd7240fp_chSet *const groups[2] = { chan1, chan2 };
        for (int k = 0; k < 2; ++k)
            if (!(groups[k]->settings() == s.channel[k]))
                groups[k]->setSettings(s.channel[k]);
        if (!(commonSettings->settings() == s.common))
            commonSettings->setSettings(s.common);
    }
    followSettings();
}

double *kd7240fp_App::allocateSamples(int count)
{
    return static_cast<double *>(std::calloc(static_cast<size_t>(count), sizeof(double)));
}

double *kd7240fp_App::sampleRoom(int count)
{
    // The buffer is kept from start to start and only ever grows.
    if (count > bufferSize) {
        std::free(buffer);
        bufferSize = 0;
        buffer = allocateSamples(count);
        if (buffer)
            bufferSize = count;
    }
    return buffer;
}

void kd7240fp_App::readCard()
{
    double low = -10;
    double high = 10;
    if (model->generator()->readLimits(&low, &high)) {
        lowLimit = low;
        hiLimit = high;
    } else {
        lowLimit = -10;
        hiLimit = 10;
    }
    // The card's front ends get the groups' filters.
    setFilt();
    const kd7240fp::CardRange range = kd7240fp::cardRange(lowLimit, hiLimit);
    model->setRange(range);
    chan1->setRange(range);
    chan2->setRange(range);
    for (QDoubleSpinBox *box : { dac1Box, dac2Box }) {
        box->setRange(range.dac.low, range.dac.high);
        box->setSingleStep(0.1);
    }

    // Each setValue that changes a box writes both channels through setDac.
    dac1Box->setValue(model->generator()->readDac(kd7240_CH1, dac1Box->value()));
    dac2Box->setValue(model->generator()->readDac(kd7240_CH2, dac2Box->value()));
    model->takeDacs(dac1Box->value(), dac2Box->value());
    followSettings();
}

void kd7240fp_App::showIdentity()
{
    if (connection->link() == kd7010fp_connection::Lost)
        return;
    identity = model->generator()->readIdentity();
    aboutDialog->addHardwarePage(identity.serialNumber, identity.revision, identity.model, QString(), QString());
    if (remote)
        remote->identityChanged();
}

int kd7240fp_App::setDac(double)
{
    model->setDacs(dac1Box->value(), dac2Box->value(), kd7240fp_model::Window);
    return 0;
}

int kd7240fp_App::setFilt()
{
    // Read in demo mode too, so a grounded channel keeps the same filter
    // there; the generator calls nothing without a card.
    const int filter1 = chan1->getFilt();
    const int term1 = chan1->getTerm();
    const int filter2 = chan2->getFilt();
    const int term2 = chan2->getTerm();
    model->setFilters(filter1, term1, filter2, term2, kd7240fp_model::Window);
    return 0;
}

int kd7240fp_App::pulseITRI()
{
    model->trigger(kd7240fp_model::Window);
    return 0;
}

int kd7240fp_App::start()
{
    // The button is already checked for a start, unchecked for a stop. The
    // generator tells its state, refused or not: showState follows.
    if (startButton->isChecked()) {
        sentShown = false;
        model->start(kd7240fp_model::Window);
        previewTimer->start();
    } else {
        model->stop(kd7240fp_model::Window);
    }
    return 0;
}

int kd7240fp_App::pause(bool checked)
{
    // The texts "Resume" and "Pause" follow the state the generator tells.
    if (checked)
        model->pause();
    else
        model->resume();
    return 0;
}

void kd7240fp_App::showCallReport(ViStatus status, const QString &callText, const QString &driverMessage)
{
    notices.echo(status < 0 ? QStringLiteral("%1 failed due to [%2]").arg(callText, driverMessage)
                              : QStringLiteral("Warning: [%1]").arg(driverMessage));
    if (status < 0)
        errorMessage(QStringLiteral("%1 failed due to [%2]").arg(callText, driverMessage));
    else
        warningMessage(QStringLiteral("Warning: [%1]").arg(driverMessage));
}

int kd7240fp_App::calibrate()
{
    setCursor(Qt::WaitCursor);
    model->calibrate(kd7240fp_model::Window);
    setCursor(Qt::ArrowCursor);
    return 0;
}

void kd7240fp_App::timerCallback() { model->generator()->poll(); }

void kd7240fp_App::showState(kd7240fp_generator::State state)
{
    const bool running = state == kd7240fp_generator::Generating || state == kd7240fp_generator::Paused;
    const bool card = state != kd7240fp_generator::NoCard;
    startButton->setChecked(running);
    startButton->setText(running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    {
        // Only the operator's click pauses or resumes the card.
        const QSignalBlocker quiet(pauseButton);
        pauseButton->setChecked(state == kd7240fp_generator::Paused);
    }
    pauseButton->setText(state == kd7240fp_generator::Paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    pauseButton->setEnabled(running);
    const bool live = model->liveNow();
    // Locked controls say why in their tool tips.
    const QString whyLocked = !running || live ? QString()
        : !liveBox->isChecked() ? tr("Locked while the card generates: tick Live changes to change it as it "
                                     "plays, or press Stop.")
        : state == kd7240fp_generator::Paused
        ? tr("Locked while the card is paused: press Resume to change it as it plays, or Stop.")
        : tr("Locked while the card generates: live changes need Immediate start and Unlimited stop. Press Stop "
             "to change it.");
    chan1->setEnabled(!running || live);
    chan2->setEnabled(!running || live);
    chan1->setLockNote(whyLocked);
    chan2->setLockNote(whyLocked);
    commonSettings->lockWhileGenerating(running, live, whyLocked);
    tabs->setTabEnabled(dacTab, !running);
    openSetupButton->setEnabled(!running);
    changeCardButton->setEnabled(!running);
    // Without a card nothing can be started, triggered, written or
    // calibrated; the settings and the preview still can be used.
    startButton->setEnabled(card);
    triggerButton->setEnabled(card);
    dacGroup->setEnabled(card);
    calibrateButton->setEnabled(card);
    chan1->led->setValue(model->generator()->channelActive(0));
    chan2->led->setValue(model->generator()->channelActive(1));
    if (!running)
        followSettings();
}

void kd7240fp_App::followSettings()
{
    // The readout, the tool tips and the preview take the model's plan,
    // samples and all: what Start would send.
    const kd7240fp::Plan &plan = model->plan();
    commonSettings->showReadout(kd7240fp::readoutText(plan), kd7240fp::readoutTip(plan), plan.off);
    kd7240fp_chSet *const groups[2] = { chan1, chan2 };
    for (int k = 0; k < 2; ++k) {
        groups[k]->showCommonFrequency(plan.frequency);
        groups[k]->showPhasePlayed(plan.phasePlayed[k], plan.phaseExact[k]);
        groups[k]->showSize(plan.samples[k] != nullptr, plan.peakToPeak[k], plan.rms[k]);
        groups[k]->showDutyPlayed(plan.dutyHigh[k], plan.timing.ok ? plan.timing.nSam : 0);
    }
    previewTimer->start();
}

void kd7240fp_App::updatePreview()
{
    // Out of sight, the preview is drawn when its tab is chosen. While
    // generating it keeps what was sent: planned again from the settings
    // sent when it was out of sight then (a plan gives the same samples
    // every time), so a live change sent unseen costs no copy of them.
    if (tabs->currentWidget() != preview)
        return;
    if (model->running()) {
        if (!sentShown)
            showPlan(kd7240fp::planFor(model->sentSettings(), model->generator()->limits(), [this](int count) {
                sentSamples.resize(size_t(count));
                return sentSamples.data();
            }));
        sentShown = true;
        return;
    }
    showPlan(model->plan());
}

void kd7240fp_App::showSent(const kd7240fp::Plan &plan)
{
    sentShown = tabs->currentWidget() == preview;
    if (sentShown)
        showPlan(plan);
}

void kd7240fp_App::showPlan(const kd7240fp::Plan &plan) { preview->showPlan(plan); }

int kd7240fp_App::newShapeSamples(int frequency)
{
    // The samples a period of the frequency set has, so a new shape plays
    // at that frequency.
    const kd7240fp::Timing timing = kd7240fp::timingFor(frequency);
    return std::clamp(timing.ok ? timing.nSam : 1000, kd7240fp::minShapeSamples, kd7240fp::maxShapeSamples);
}

void kd7240fp_App::askFormula(kd7240fp_chSet *group)
{
    // A formula of its own keeps its samples; a new one starts afresh.
    const int frequency = settings().common.frequency;
    const int samples = group->formula.isEmpty()
        ? newShapeSamples(frequency)
        : std::clamp(int(group->shape.size()), kd7240fp::minShapeSamples, kd7240fp::maxShapeSamples);
    if (auto result = kd7240fp_formulaDialog::ask(this, group->title(), group->formula, samples, frequency))
        group->setFormulaShape(std::move(result->shape), result->formula);
}

void kd7240fp_App::askSweep(kd7240fp_chSet *group)
{
    // A sweep of its own keeps its samples; a new one starts afresh.
    const int frequency = settings().common.frequency;
    const int samples = !group->sweep.isSweep()
        ? newShapeSamples(frequency)
        : std::clamp(int(group->shape.size()), kd7240fp::minShapeSamples, kd7240fp::maxShapeSamples);
    if (auto result = kd7240fp_sweepDialog::ask(this, group->title(), group->sweep, samples, frequency))
        group->setSweepShape(std::move(result->shape), result->sweep);
}

bool kd7240fp_App::loadShapeFile(kd7240fp_chSet *group, const QString &path)
{
    kd7240fp_shapeLoader::Loaded loaded = kd7240fp_shapeLoader::load(path);
    if (!loaded.question.isEmpty()
        && questionBox(QApplication::activeWindow(), QMessageBox::Question, boxTitle(), loaded.question,
               { tr("&Yes"), tr("&No") }, 1, 1)
            != 0)
        loaded = kd7240fp_shapeLoader::load(path, kd7240fp::ShapeReading::DecimalCommas);
    if (!loaded.shape) {
        warningMessage(loaded.problem);
        return false;
    }
    group->setShape(std::move(loaded.shape->samples), loaded.shape->path);
    return true;
}

void kd7240fp_App::applySettings(const kd7240fp::Settings &s)
{
    // Filters the card was not told it hears at the next start.
    model->change(s, kd7240fp_model::Window);
}

QString kd7240fp_App::lastSetupPath() { return kd7240fp_setupFiles::lastPath(); }


void kd7240fp_App::saveSetup()
{
    bool replaceUnasked = false;
    const QString path = kd7240fp_setupLoader::askSavePath(this, &replaceUnasked);
    if (path.isEmpty())
        return;
    if (replaceUnasked
        && questionBox(this, QMessageBox::Warning, boxTitle(),
               tr("\"%1\" already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName()),
               { tr("&Yes"), tr("&No") }, 1, 1)
            != 0)
        return;
    const QString error = kd7240fp_setupFiles::save(path, settings());
    if (!error.isEmpty())
        warningMessage(error);
}

void kd7240fp_App::openSetup()
{
    const QString path = kd7240fp_setupLoader::askOpen(this);
    if (!path.isEmpty())
        openSetupFile(path);
}

bool kd7240fp_App::openSetupFile(const QString &path)
{
    const kd7240fp_setupFiles::Opened opened = kd7240fp_setupFiles::open(path, model->range());
    if (!opened.settings) {
        warningMessage(opened.problem);
        return false;
    }
    if (!opened.changes.isEmpty())
        infoMessage(opened.changes);
    applySettings(*opened.settings);
    return true;
}

bool kd7240fp_App::takeUpSetup(const QString &path)
{
    const kd7240fp_setupFiles::Opened opened = kd7240fp_setupFiles::open(path, model->range());
    if (!opened.settings) {
        // Named by its whole path: the short name says little on a command line.
        const QString full = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
        notices.queue(tr("The setup \"%1\" was not taken up: %2").arg(full, opened.problem), true);
        return false;
    }
    applySettings(*opened.settings);
    notices.queue(opened.changes, false);
    return true;
}

void kd7240fp_App::restoreLastSetup()
{
    const kd7240fp_setupFiles::Opened last = kd7240fp_setupFiles::openLast(model->range());
    if (last.settings)
        applySettings(*last.settings);
    if (!last.problem.isEmpty())
        notices.queue(tr("The settings of the last run were not restored: %1").arg(last.problem), true);
    else
        notices.queue(last.changes, true);
}

void kd7240fp_App::setUnattended(bool on) { notices.setUnattended(on); }

void kd7240fp_App::showNotices() { notices.show(); }

QString kd7240fp_App::saveLastSetup() { return kd7240fp_setupFiles::saveLast(settings()); }

void kd7240fp_App::closeEvent(QCloseEvent *event)
{
    kd7010fp_AppFC::closeEvent(event);
    if (!event->isAccepted())
        return;
    // The settings are kept for the next start; when they cannot be, the
    // operator hears why and may stay to save a setup instead.
    const QString error = saveLastSetup();
    if (error.isEmpty())
        return;
    const int answer = questionBox(this, QMessageBox::Warning, boxTitle(),
        tr("The settings cannot be kept for the next start: %1\nClose anyway?").arg(error),
        { tr("&Close anyway"), tr("&Keep open") }, 1, 1);
    if (answer != 0)
        event->ignore();
}

int kd7240fp_App::resetDevice()
{
    const int answer = questionBox(this, QMessageBox::Question, boxTitle(),
        tr("Reset the card to its power-on state? Generation stops and both outputs go to 0 V."),
        { tr("&Yes"), tr("&No") }, 1, 1);
    if (answer != 0)
        return 0;

    // The window goes back to idle first; the card's reset ends any burst.
    model->generator()->abandon();
    // Open the same card again with a reset: a VXIplug&play init with reset
    // puts the instrument into its power-on state. A card lost before is
    // tried again; demo mode has nothing to open.
    const bool reopened = connection->link() != kd7010fp_connection::Demo;
    if (reopened)
        model->generator()->report(reopenCard(true), "kd7240_init(resourceDescriptor, fcNumber, 1, 1, &d_vi)");

    chan1->resetToDefaults();
    chan2->resetToDefaults();
    commonSettings->resetToDefaults();
    // 0 V as at start-up; a card's own values are read again just below.
    for (QDoubleSpinBox *box : { dac1Box, dac2Box }) {
        const QSignalBlocker quiet(box);
        box->setValue(0);
    }
    readCard();
    if (reopened)
        showIdentity();
    return 0;
}

void kd7240fp_App::changeCardAsked()
{
    if (model->running())
        return;
    // The settings made stay, fitted to the new card's range.
    kd7240fp::Settings kept = settings();
    if (!changeCard())
        return;
    // The boxes are read again from the new card: 0 V until then.
    for (QDoubleSpinBox *box : { dac1Box, dac2Box }) {
        const QSignalBlocker quiet(box);
        box->setValue(0);
    }
    readCard();
    showIdentity();
    QString changes;
    kd7240fp_setupFiles::fitToCard(kept, model->range(),
        tr("The settings hold values beyond this card's output range; they were changed:"), &changes);
    applySettings(kept);
    if (!changes.isEmpty())
        infoMessage(changes);
}

QByteArray kd7240fp_App::identityText() const
{
    // *IDN?: maker, model, serial number and revision, as About shows them
    // (the maker is the one the card's copyright line names).
    return QStringLiteral("Keldor Instruments,%1,%2,%3")
        .arg(identity.model, identity.serialNumber, identity.revision)
        .toLatin1();
}

bool kd7240fp_App::startRemote(quint16 port, const QList<QHostAddress> &addresses, QString *error)
{
    if (remote->start(port, addresses))
        return true;
    *error = remote->errorString();
    return false;
}

QString kd7240fp_App::boxTitle() { return QStringLiteral("Vantix ") + panelName + QStringLiteral(" SFP"); }
