#include "kd7240fp_dacview.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "kd7010fp_spinbox.h"

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

kd7240fp_dacView::kd7240fp_dacView(QWidget *parent)
    : QWidget(parent)
{
    auto *dacPageLayout = new QHBoxLayout(this);
    dacGroup = new QGroupBox(QStringLiteral("Set DAC Immediate Value"), this);
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
    calibrationGroup = new QGroupBox(QStringLiteral("Calibration"), this);
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
}

void kd7240fp_dacView::setRange(const kd7240fp::CardRange &range)
{
    for (QDoubleSpinBox *box : { dac1Box, dac2Box }) {
        box->setRange(range.dac.low, range.dac.high);
        box->setSingleStep(0.1);
    }
}

void kd7240fp_dacView::showValues(double dac1, double dac2)
{
    const QSignalBlocker quiet1(dac1Box), quiet2(dac2Box);
    dac1Box->setValue(dac1);
    dac2Box->setValue(dac2);
}

void kd7240fp_dacView::showCard(bool card)
{
    dacGroup->setEnabled(card);
    calibrateButton->setEnabled(card);
}
