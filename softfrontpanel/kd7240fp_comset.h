// The settings both channels share: frequency, start mode and stop mode with
// its number of cycles.
#ifndef KD7240FP_COMSET_H
#define KD7240FP_COMSET_H

#include <QGroupBox>
#include <QString>

class QComboBox;
class QLabel;
class QSpinBox;

class kd7240fp_comSet : public QGroupBox
{
    Q_OBJECT
public:
    kd7240fp_comSet(QString title, QWidget *parent);

    void getSettings(int *frequency, int *startIndex, int *stopIndex, int *cycles);

    QSpinBox *frequencyBox;
    // 0 "Immediate", 1 "By Trigger".
    QComboBox *startBox;
    // 0 "Unlimited", 1 "Limited by".
    QComboBox *stopBox;
    QSpinBox *cyclesBox;
    QLabel *frequencyLabel;
    QLabel *startLabel;
    QLabel *stopLabel;
    QLabel *cyclesLabel;

private slots:
    // The cycles only matter, and are only editable, in the limited mode.
    void setwLenVis(int index);
};

#endif
