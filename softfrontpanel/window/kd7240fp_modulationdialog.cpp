#include "kd7240fp_modulationdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "kd7010fp_livelabel.h"
#include "kd7010fp_spinbox.h"
#include "kd7240fp_plantext.h"
#include "kd7240fp_preview.h"

namespace {

using kd7240fp::Modulation;

// The carriers and the modulating shapes, in the order of their boxes.
constexpr int carriers[] = { kd7240fp::waveSine, kd7240fp::waveSquare, kd7240fp::waveSaw, kd7240fp::waveTriangle };
constexpr int shapes[] = { kd7240fp::waveSine, kd7240fp::waveSquare, kd7240fp::waveTriangle, kd7240fp::waveSaw };
constexpr Modulation::Type types[] = { Modulation::AM, Modulation::FM, Modulation::PM, Modulation::FSK,
    Modulation::PWM };

int indexOf(const int *values, int count, int value)
{
    for (int i = 0; i < count; ++i)
        if (values[i] == value)
            return i;
    return 0;
}

// The box of one of the modulation's values, holding m's.
QDoubleSpinBox *valueBox(double Modulation::*field, double low, double high, const QString &suffix,
    kd7010fp_typedNumber::Quantity quantity, const Modulation &m, QWidget *parent)
{
    auto *box = new kd7010fp_clampDoubleSpinBox(parent);
    box->setDecimals(kd7240fp::modulationDecimals(field));
    box->setRange(low, high);
    box->setSuffix(suffix);
    box->setQuantity(quantity);
    box->setValue(kd7240fp::fitModulation(field, m.*field, low, high));
    return box;
}

} // namespace

std::optional<kd7240fp_modulationDialog::Result> kd7240fp_modulationDialog::ask(QWidget *parent,
    const QString &channelTitle, const kd7240fp::Settings &settings, int channel, const kd7240fp::Limits &limits)
{
    kd7240fp_modulationDialog dialog(parent, channelTitle, settings, channel, limits);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

kd7240fp_modulationDialog::kd7240fp_modulationDialog(QWidget *parent, const QString &channelTitle,
    const kd7240fp::Settings &settings, int channel, const kd7240fp::Limits &limits)
    : QDialog(parent)
    , settings(settings)
    , channel(channel)
    , limits(limits)
{
    setWindowTitle(tr("%1: Modulation").arg(channelTitle));
    const kd7240fp::ChannelSettings &c = settings.channel[channel];
    // A bench generator's defaults, or what the channel has.
    const Modulation m = c.modulation.active() ? c.modulation : Modulation { Modulation::AM };
    using Q = kd7010fp_typedNumber;

    carrierBox = new QComboBox(this);
    carrierBox->addItems({ tr("Sine"), tr("Square"), tr("Saw"), tr("Triangle") });
    carrierBox->setCurrentIndex(indexOf(carriers, 4, c.waveType));
    carrierBox->setAccessibleName(tr("Carrier"));
    carrierBox->setToolTip(tr("The channel's waveform at the common frequency (%1 Hz)").arg(settings.common.frequency));
    typeBox = new QComboBox(this);
    typeBox->addItems({ tr("AM"), tr("FM"), tr("PM"), tr("FSK"), tr("PWM") });
    typeBox->setCurrentIndex(std::max(0, int(m.type) - 1));
    typeBox->setAccessibleName(tr("Modulation type"));
    shapeBox = new QComboBox(this);
    shapeBox->addItems({ tr("Sine"), tr("Square"), tr("Triangle"), tr("Ramp") });
    shapeBox->setCurrentIndex(indexOf(shapes, 4, m.shape));
    shapeBox->setAccessibleName(tr("Modulating shape"));
    frequencyBox = valueBox(&Modulation::frequency, kd7240fp::minModulationFrequency,
        kd7240fp::maxModulationFrequency, QStringLiteral(" Hz"), Q::Frequency, m, this);
    frequencyBox->setAccessibleName(tr("Modulating frequency"));
    depthBox = valueBox(&Modulation::depth, 0, kd7240fp::maxDepth, QStringLiteral(" %"), Q::Percent, m, this);
    depthBox->setAccessibleName(tr("AM depth"));
    depthBox->setToolTip(tr("100 % swings from 0 to the full amplitude; 0 % plays half of it"));
    deviationBox
        = valueBox(&Modulation::deviation, 0, kd7240fp::maxDeviation, QStringLiteral(" Hz"), Q::Frequency, m, this);
    deviationBox->setAccessibleName(tr("FM deviation"));
    phaseDeviationBox = valueBox(
        &Modulation::phaseDeviation, 0, kd7240fp::maxPhaseDeviation, QStringLiteral("°"), Q::Angle, m, this);
    phaseDeviationBox->setAccessibleName(tr("PM deviation"));
    hopBox = valueBox(
        &Modulation::hop, kd7240fp::minHop, kd7240fp::maxHop, QStringLiteral(" Hz"), Q::Frequency, m, this);
    hopBox->setAccessibleName(tr("FSK hop frequency"));
    rateBox = valueBox(&Modulation::rate, kd7240fp::minModulationFrequency, kd7240fp::maxModulationFrequency,
        QStringLiteral(" Hz"), Q::Frequency, m, this);
    rateBox->setAccessibleName(tr("FSK rate"));
    rateBox->setToolTip(tr("How often per second the carrier hops to the hop frequency and back"));
    dutyDeviationBox = valueBox(
        &Modulation::dutyDeviation, 0, kd7240fp::maxDutyDeviation, QStringLiteral(" %"), Q::Percent, m, this);
    dutyDeviationBox->setAccessibleName(tr("PWM duty deviation"));

    problemLabel = new QLabel(this);
    problemLabel->setWordWrap(true);
    problemLabel->setStyleSheet(QStringLiteral("color: #c62828"));
    problemLabel->setAccessibleName(tr("Problem with the modulation"));
    plot = new kd7240fp_preview(this);
    plot->setAccessibleName(tr("Plot of the modulated buffer"));
    plot->setAccessibleDescription(tr("The buffer the card is sent, both channels, in volts"));
    sentLabel = new QLabel(this);
    sentLabel->setWordWrap(true);
    sentLabel->setAccessibleName(tr("What the card is sent"));

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    offButton = buttons->addButton(tr("No modulation"), QDialogButtonBox::ResetRole);
    offButton->setToolTip(tr("Takes the modulation off: the channel plays its waveform plainly"));
    offButton->setEnabled(c.modulation.active());
    connect(buttons, &QDialogButtonBox::accepted, this, &kd7240fp_modulationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &kd7240fp_modulationDialog::reject);
    connect(offButton, &QPushButton::clicked, this, [this] {
        current.modulation = Modulation();
        QDialog::accept();
    });

    form = new QFormLayout;
    form->addRow(tr("&Carrier:"), carrierBox);
    form->addRow(tr("&Type:"), typeBox);
    form->addRow(tr("&Shape:"), shapeBox);
    form->addRow(tr("&Frequency:"), frequencyBox);
    form->addRow(tr("&Depth:"), depthBox);
    form->addRow(tr("De&viation:"), deviationBox);
    form->addRow(tr("De&viation:"), phaseDeviationBox);
    form->addRow(tr("&Hop frequency:"), hopBox);
    form->addRow(tr("&Rate:"), rateBox);
    form->addRow(tr("Duty de&viation:"), dutyDeviationBox);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problemLabel);
    layout->addWidget(plot, 1);
    layout->addWidget(sentLabel);
    layout->addWidget(buttons);
    typeBox->setFocus();

    pending = new QTimer(this);
    pending->setSingleShot(true);
    pending->setInterval(0);
    connect(pending, &QTimer::timeout, this, &kd7240fp_modulationDialog::compute);
    for (QComboBox *box : { carrierBox, typeBox, shapeBox })
        connect(box, &QComboBox::currentIndexChanged, pending, qOverload<>(&QTimer::start));
    for (QDoubleSpinBox *box :
        { frequencyBox, depthBox, deviationBox, phaseDeviationBox, hopBox, rateBox, dutyDeviationBox })
        connect(box, &QDoubleSpinBox::valueChanged, pending, qOverload<>(&QTimer::start));
    connect(typeBox, &QComboBox::currentIndexChanged, this, &kd7240fp_modulationDialog::showRows);
    showRows();
    compute();
}

kd7240fp_modulationDialog::Result kd7240fp_modulationDialog::chosen() const { return current; }

void kd7240fp_modulationDialog::showRows()
{
    const Modulation::Type type = types[typeBox->currentIndex()];
    form->setRowVisible(shapeBox, type != Modulation::FSK);
    form->setRowVisible(frequencyBox, type != Modulation::FSK);
    form->setRowVisible(depthBox, type == Modulation::AM);
    form->setRowVisible(deviationBox, type == Modulation::FM);
    form->setRowVisible(phaseDeviationBox, type == Modulation::PM);
    form->setRowVisible(hopBox, type == Modulation::FSK);
    form->setRowVisible(rateBox, type == Modulation::FSK);
    form->setRowVisible(dutyDeviationBox, type == Modulation::PWM);
}

void kd7240fp_modulationDialog::accept()
{
    if (pending->isActive()) {
        pending->stop();
        compute();
    }
    if (okButton->isEnabled())
        QDialog::accept();
}

void kd7240fp_modulationDialog::compute()
{
    Modulation &m = current.modulation;
    m.type = types[typeBox->currentIndex()];
    m.shape = shapes[shapeBox->currentIndex()];
    m.frequency = frequencyBox->value();
    m.depth = depthBox->value();
    m.deviation = deviationBox->value();
    m.phaseDeviation = phaseDeviationBox->value();
    m.hop = hopBox->value();
    m.rate = rateBox->value();
    m.dutyDeviation = dutyDeviationBox->value();
    current.carrier = carriers[carrierBox->currentIndex()];

    // The plan of the settings with this modulation: what Start would send.
    kd7240fp::Settings s = settings;
    s.channel[channel].waveType = current.carrier;
    s.channel[channel].modulation = m;
    const kd7240fp::Plan plan = kd7240fp::planFor(s, limits, [this](int count) {
        room.resize(size_t(count));
        return room.data();
    });
    const bool modulable = plan.modulated && plan.modulation.ok;
    // The card's range is the amplitude's matter: said, but no reason to refuse.
    kd7010fp_showLiveText(problemLabel, modulable && plan.problem != kd7240fp::Plan::BeyondLimits
            ? QString()
            : kd7240fp::problemText(plan));
    kd7010fp_showLiveText(sentLabel,
        modulable ? kd7240fp::readoutTip(plan) : QString(), QString());
    if (plan.timing.ok)
        plot->showPlan(plan);
    else
        plot->showProblem(kd7240fp::problemText(plan));
    okButton->setEnabled(modulable);
}
