#include "kd7240fp_sweepdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "kd7010fp_livelabel.h"
#include "kd7010fp_spinbox.h"
#include "kd7240fp_plan.h"
#include "kd7240fp_plantext.h"
#include "kd7240fp_shapefile.h"
#include "kd7240fp_shapeplot.h"
#include "kd7240fp_synthesis.h"

namespace {

// Below this many samples a period at the sweep's top it no longer draws a sine.
constexpr int leastSamplesAtTop = kd7240fp::exactMinSamplesPerPeriod;
// A sweep ending this close to a whole cycle has no seam to speak of.
constexpr double wholeCycle = 1e-6;

QDoubleSpinBox *hertzBox(double value, const QString &name, QWidget *parent)
{
    auto *box = new kd7010fp_clampDoubleSpinBox(parent);
    box->setDecimals(kd7240fp::sweepDecimals);
    box->setRange(kd7240fp::minSweepFrequency, kd7240fp::maxRate);
    box->setSuffix(QStringLiteral(" Hz"));
    box->setQuantity(kd7010fp_typedNumber::Frequency);
    box->setValue(value);
    box->setAccessibleName(name);
    return box;
}

} // namespace

std::optional<kd7240fp_sweepDialog::Result> kd7240fp_sweepDialog::ask(
    QWidget *parent, const QString &channelTitle, const kd7240fp::Sweep &sweep, int samples, int frequency)
{
    kd7240fp_sweepDialog dialog(parent, channelTitle, sweep, samples, frequency);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

kd7240fp_sweepDialog::kd7240fp_sweepDialog(
    QWidget *parent, const QString &channelTitle, const kd7240fp::Sweep &sweep, int samples, int frequency)
    : QDialog(parent)
    , frequency(std::max(frequency, 1))
{
    setWindowTitle(tr("%1: Sweep").arg(channelTitle));
    // A new sweep runs over a decade that the samples draw well.
    const double top = double(this->frequency) * samples / leastSamplesAtTop;
    const double stop = sweep.isSweep() ? sweep.stop : std::max(kd7240fp::minSweepFrequency, std::pow(10.0, std::floor(std::log10(top))));
    startBox = hertzBox(sweep.isSweep() ? sweep.start : std::max(kd7240fp::minSweepFrequency, stop / 10), tr("Start frequency"), this);
    stopBox = hertzBox(stop, tr("Stop frequency"), this);
    scaleBox = new QComboBox(this);
    scaleBox->addItems({ tr("Linear"), tr("Logarithmic") });
    scaleBox->setCurrentIndex(sweep.logarithmic ? 1 : 0);
    scaleBox->setAccessibleName(tr("Sweep scale"));
    samplesBox = new kd7010fp_clampSpinBox(this);
    samplesBox->setRange(kd7240fp::minShapeSamples, kd7240fp::maxShapeSamples);
    samplesBox->setValue(std::clamp(samples, kd7240fp::minShapeSamples, kd7240fp::maxShapeSamples));
    samplesBox->setAccessibleName(tr("Samples per period"));
    samplesBox->setToolTip(tr("Samples in one period; the card plays them at the frequency times the samples"));

    auto *help = new QLabel(tr("One period of the common frequency (%1 Hz) holds one sweep: it lasts %2 s, and its "
                               "phase starts at 0 and runs on continuously.")
                                .arg(this->frequency)
                                .arg(kd7240fp::decimalText(1.0 / this->frequency, 'g', 6)),
        this);
    help->setWordWrap(true);
    problemLabel = new QLabel(this);
    problemLabel->setWordWrap(true);
    problemLabel->setStyleSheet(QStringLiteral("color: #c62828"));
    problemLabel->setAccessibleName(tr("Problem with the sweep"));
    seamLabel = new QLabel(this);
    seamLabel->setWordWrap(true);
    seamLabel->setAccessibleName(tr("The sweep's seam"));
    shapePlot = new kd7240fp_shapePlot(tr("Sweep"), this);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &kd7240fp_sweepDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &kd7240fp_sweepDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(tr("S&tart frequency:"), startBox);
    form->addRow(tr("St&op frequency:"), stopBox);
    form->addRow(tr("S&cale:"), scaleBox);
    form->addRow(tr("&Samples:"), samplesBox);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(help);
    layout->addWidget(problemLabel);
    layout->addWidget(seamLabel);
    layout->addWidget(shapePlot, 1);
    layout->addWidget(buttons);
    startBox->setFocus();

    pending = new QTimer(this);
    pending->setSingleShot(true);
    pending->setInterval(0);
    connect(pending, &QTimer::timeout, this, &kd7240fp_sweepDialog::compute);
    connect(startBox, &QDoubleSpinBox::valueChanged, pending, qOverload<>(&QTimer::start));
    connect(stopBox, &QDoubleSpinBox::valueChanged, pending, qOverload<>(&QTimer::start));
    connect(scaleBox, &QComboBox::currentIndexChanged, pending, qOverload<>(&QTimer::start));
    connect(samplesBox, &QSpinBox::valueChanged, pending, qOverload<>(&QTimer::start));
    compute();
}

kd7240fp_sweepDialog::Result kd7240fp_sweepDialog::chosen() const { return current; }

void kd7240fp_sweepDialog::accept()
{
    if (pending->isActive()) {
        pending->stop();
        compute();
    }
    if (okButton->isEnabled())
        QDialog::accept();
}

void kd7240fp_sweepDialog::compute()
{
    kd7240fp::Sweep &sweep = current.sweep;
    sweep.start = startBox->value();
    sweep.stop = stopBox->value();
    sweep.logarithmic = scaleBox->currentIndex() == 1;
    sweep.frequency = frequency;
    const int n = samplesBox->value();
    current.shape = kd7240fp::sweepShape(sweep.start, sweep.stop, sweep.logarithmic, n, frequency);

    // A tenth of the sample rate at most: fewer than ten samples a period
    // at the top no longer draw a sine. The advice says what would work:
    // more samples only while they stay within the card's rate and buffer.
    const double rate = double(frequency) * n;
    const double top = std::max(sweep.start, sweep.stop);
    QString problem;
    switch (kd7240fp::sweepProblem(sweep, current.shape)) {
    case kd7240fp::SweepProblem::TooFewAtTop: {
        const kd7240fp::SweepRoom room = kd7240fp::sweepRoom(top, frequency);
        const QString advice = room.needed <= room.most
            ? tr("Use at least %1 samples, or a lower stop frequency.").arg(room.needed)
            : tr("At %1 Hz the card plays at most %2 samples a period, so the sweep may reach %3: lower the stop "
                 "frequency, or raise the common frequency.")
                  .arg(frequency)
                  .arg(room.most)
                  .arg(kd7240fp::clockText(room.highest));
        problem = tr("The sweep reaches %1, above a tenth of the sample rate (%2): fewer than %3 samples a period at "
                     "the top. %4")
                      .arg(kd7240fp::clockText(top), kd7240fp::clockText(rate))
                      .arg(leastSamplesAtTop)
                      .arg(advice);
        break;
    }
    case kd7240fp::SweepProblem::ZeroButRounding:
        problem = tr("Every sample is 0 but for rounding: the samples fall on whole cycles of the sweep. Use another "
                     "number of samples.");
        break;
    case kd7240fp::SweepProblem::None:
        break;
    }
    kd7010fp_showLiveText(problemLabel, problem);

    const double cycles = kd7240fp::sweepCycles(sweep.start, sweep.stop, sweep.logarithmic, frequency);
    const double jump = kd7240fp::sweepSeamDegrees(sweep);
    QString seam;
    if (jump != 0 && n >= 2)
        seam = tr("The sweep plays %1 cycles, not a whole number: at the seam back to its start its phase jumps "
                  "%2°.")
                   .arg(kd7240fp::decimalText(cycles, 'f', 3), kd7240fp::decimalText(std::fabs(jump), 'f', 1));
    kd7010fp_showLiveText(seamLabel, seam);

    const bool playable = shapePlot->show(&current.shape, n, frequency, QString(), sweep);
    okButton->setEnabled(problem.isEmpty() && playable);
}
