// The Write Channel/Calibrate tab: the immediate DAC voltages of both
// channels beside the calibration of the DACs. The window writes what the
// boxes hold and calibrates when the button is pressed.
#ifndef KD7240FP_DACVIEW_H
#define KD7240FP_DACVIEW_H

#include <QWidget>

#include "kd7240fp_range.h"

class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;

class kd7240fp_dacView : public QWidget
{
    Q_OBJECT

public:
    explicit kd7240fp_dacView(QWidget *parent = nullptr);

    QGroupBox *dacGroup;
    QDoubleSpinBox *dac1Box;
    QDoubleSpinBox *dac2Box;
    QLabel *dac1Label;
    QLabel *dac2Label;
    QGroupBox *calibrationGroup;
    QPushButton *calibrateButton;

    // The boxes take the card's DAC range in steps of 0.1 V; a value beyond
    // it is brought within, and so written.
    void setRange(const kd7240fp::CardRange &range);
    // The boxes show these voltages; nothing is written.
    void showValues(double dac1, double dac2);
    // Without a card nothing can be written or calibrated.
    void showCard(bool card);
};

#endif
