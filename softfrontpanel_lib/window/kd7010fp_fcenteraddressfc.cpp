#include "kd7010fp_fcenteraddressfc.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

kd7010fp_fcEnterAddressFc::kd7010fp_fcEnterAddressFc(kd7010fp_genFC *, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    descriptorBox = new QComboBox(this);
    descriptorBox->setEditable(true);
    descriptorBox->setMinimumWidth(20 * QFontMetrics(font()).height());
    descriptorBox->setToolTip(
        tr("Enter the Instrument descriptor for the Function Card you want to connect to.<br>Examples:<br>"
           "<b>VXI0::1::INSTR</b> - VXI mainframe 0, Module with Logical Address 1<br>"
           "<b>TCPIP::192.168.2.60::INSTR</b> - Network Instrument with IP Address 192.168.2.60"));
    auto *descriptorLine = new QHBoxLayout;
    descriptorLine->addWidget(new QLabel(tr("Instrument Descriptor:"), this));
    descriptorLine->addWidget(descriptorBox);
    layout->addLayout(descriptorLine);

    fcNumberBox = new QComboBox(this);
    fcNumberBox->addItem(tr("Select"));
    for (int i = 1; i <= maxFcNumber; ++i)
        fcNumberBox->addItem(tr("FC %1").arg(i));
    fcNumberBox->setToolTip(tr("Select the Function Card Number"));
    auto *numberLine = new QHBoxLayout;
    numberLine->addWidget(new QLabel(tr("Function Card Number:"), this));
    numberLine->addWidget(fcNumberBox);
    numberLine->addStretch();
    layout->addLayout(numberLine);
}
