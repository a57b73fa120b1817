#include "kd7240fp_generationview.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "kd7010fp_app.h"
#include "kd7010fp_led.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_formuladialog.h"
#include "kd7240fp_model.h"
#include "kd7240fp_modulationdialog.h"
#include "kd7240fp_notices.h"
#include "kd7240fp_plantext.h"
#include "kd7240fp_shapeloader.h"
#include "kd7240fp_sweepdialog.h"

kd7240fp_generationView::kd7240fp_generationView(QWidget *parent)
    : QWidget(parent)
{
    auto *generationLayout = new QVBoxLayout(this);
    auto *channelsLayout = new QHBoxLayout;
    chan1 = new kd7240fp_chSet(QStringLiteral("Channel 1"), this);
    chan2 = new kd7240fp_chSet(QStringLiteral("Channel 2"), this);
    channelsLayout->addWidget(chan1);
    channelsLayout->addWidget(chan2);
    generationLayout->addLayout(channelsLayout);
    commonSettings = new kd7240fp_comSet(QStringLiteral("Common Settings"), this);
    generationLayout->addWidget(commonSettings);

    controlGroup = new QGroupBox(QStringLiteral("Waveform Generation Control"), this);
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

    for (kd7240fp_chSet *group : { chan1, chan2 }) {
        connect(group, &kd7240fp_chSet::settingsChanged, this, [this] {
            if (!showing)
                emit settingsChanged();
        });
        connect(group, &kd7240fp_chSet::loadRequested, this, [this, group] {
            const QString path = kd7240fp_shapeLoader::askPath(window());
            if (!path.isEmpty())
                loadShapeFile(group, path);
        });
        connect(group, &kd7240fp_chSet::formulaRequested, this, [this, group] { askFormula(group); });
        connect(group, &kd7240fp_chSet::sweepRequested, this, [this, group] { askSweep(group); });
        connect(group, &kd7240fp_chSet::modulationRequested, this, [this, group] { askModulation(group); });
    }
    connect(commonSettings, &kd7240fp_comSet::settingsChanged, this, [this] {
        if (!showing)
            emit settingsChanged();
    });
}

kd7240fp::Settings kd7240fp_generationView::settings() const
{
    return { { chan1->settings(), chan2->settings() }, commonSettings->settings() };
}

void kd7240fp_generationView::showSettings(const kd7240fp::Settings &s)
{
    // The groups told what they already hold would only echo it back.
    const QScopedValueRollback<bool> quiet(showing, true);
    kd7240fp_chSet *const groups[2] = { chan1, chan2 };
    for (int k = 0; k < 2; ++k)
        if (!(groups[k]->settings() == s.channel[k]))
            groups[k]->setSettings(s.channel[k]);
    if (!(commonSettings->settings() == s.common))
        commonSettings->setSettings(s.common);
}

void kd7240fp_generationView::showPlan(const kd7240fp::Plan &plan)
{
    commonSettings->showReadout(kd7240fp::readoutText(plan), kd7240fp::readoutTip(plan), plan.off);
    kd7240fp_chSet *const groups[2] = { chan1, chan2 };
    for (int k = 0; k < 2; ++k) {
        groups[k]->showCommonFrequency(plan.frequency);
        groups[k]->showPhasePlayed(plan.phasePlayed[k], plan.phaseExact[k]);
        groups[k]->showSize(plan.samples[k] != nullptr, plan.peakToPeak[k], plan.rms[k]);
        groups[k]->showDutyPlayed(plan.dutyHigh[k], plan.timing.ok ? plan.timing.nSam : 0);
    }
}

void kd7240fp_generationView::showState(kd7240fp_generator::State state)
{
    const bool running = state == kd7240fp_generator::Generating || state == kd7240fp_generator::Paused;
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
}

void kd7240fp_generationView::showCard(bool card)
{
    startButton->setEnabled(card);
    triggerButton->setEnabled(card);
    chan1->led->setValue(model->generator()->channelActive(0));
    chan2->led->setValue(model->generator()->channelActive(1));
}

void kd7240fp_generationView::resetToDefaults()
{
    chan1->resetToDefaults();
    chan2->resetToDefaults();
    commonSettings->resetToDefaults();
}

bool kd7240fp_generationView::loadShapeFile(kd7240fp_chSet *group, const QString &path)
{
    kd7240fp_shapeLoader::Loaded loaded = kd7240fp_shapeLoader::load(path);
    if (!loaded.question.isEmpty()
        && kd7010fp_app::questionBox(QApplication::activeWindow(), QMessageBox::Question,
               kd7010fp_app::boxTitle(), loaded.question, { tr("&Yes"), tr("&No") }, 1, 1)
            != 0)
        loaded = kd7240fp_shapeLoader::load(path, kd7240fp::ShapeReading::DecimalCommas);
    if (!loaded.shape) {
        kd7010fp_app::warningMessage(loaded.problem);
        return false;
    }
    group->setShape(std::move(loaded.shape->samples), loaded.shape->path);
    return true;
}

void kd7240fp_generationView::askFormula(kd7240fp_chSet *group)
{
    // A formula of its own keeps its samples; a new one starts afresh.
    const int frequency = model->settings().common.frequency;
    const int samples = group->formula.isEmpty()
        ? kd7240fp::newShapeSamples(frequency)
        : std::clamp(int(group->shape.size()), kd7240fp::minShapeSamples, kd7240fp::maxShapeSamples);
    if (auto result = kd7240fp_formulaDialog::ask(window(), group->title(), group->formula, samples, frequency))
        group->setFormulaShape(std::move(result->shape), result->formula);
}

void kd7240fp_generationView::askSweep(kd7240fp_chSet *group)
{
    // A sweep of its own keeps its samples; a new one starts afresh.
    const int frequency = model->settings().common.frequency;
    const int samples = !group->sweep.isSweep()
        ? kd7240fp::newShapeSamples(frequency)
        : std::clamp(int(group->shape.size()), kd7240fp::minShapeSamples, kd7240fp::maxShapeSamples);
    if (auto result = kd7240fp_sweepDialog::ask(window(), group->title(), group->sweep, samples, frequency))
        group->setSweepShape(std::move(result->shape), result->sweep);
}

void kd7240fp_generationView::askModulation(kd7240fp_chSet *group)
{
    const int k = group == chan1 ? 0 : 1;
    if (auto result = kd7240fp_modulationDialog::ask(
            window(), group->title(), model->settings(), k, model->generator()->limits()))
        group->setModulation(result->carrier, result->modulation);
}
