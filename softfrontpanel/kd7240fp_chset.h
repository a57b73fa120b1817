// The settings of one output channel: waveform, amplitude, offset and output
// filter, with an LED that shows whether the channel is generating.
#ifndef KD7240FP_CHSET_H
#define KD7240FP_CHSET_H

#include <QGroupBox>
#include <QString>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class kd7010fp_led;

class kd7240fp_chSet : public QGroupBox
{
    Q_OBJECT
public:
    kd7240fp_chSet(QString title, QWidget *parent);

    // Offset range [low, high] centred; amplitude up to half the span.
    void setLimits(double low, double high);
    // Filter code 0..3; a grounded channel keeps reporting its previous filter.
    int getFilt();
    // 2 when the channel is grounded, else 0.
    int getTerm();
    void getWaveParams(int *type, double *offset, double *amplitude);
    // Back to the choices of a new group: no waveform, 0 V amplitude,
    // "Bypass". The offset follows the next setLimits.
    void resetToDefaults();

    kd7010fp_led *led;
    QPushButton *sineButton;
    QPushButton *squareButton;
    QPushButton *sawButton;
    QPushButton *triangleButton;
    QDoubleSpinBox *amplitudeBox;
    QLabel *amplitudeLabel;
    QDoubleSpinBox *offsetBox;
    QLabel *offsetLabel;
    QComboBox *filterBox;
    QLabel *filterLabel;
    int lastFilter = 0;
    // 0 none, 1 sine, 2 square, 3 saw, 4 triangle.
    int waveType = 0;

signals:
    void activated(int indx);
    // Any setting of the group changed (waveform, amplitude, offset, filter).
    void settingsChanged();

private slots:
    void setWave();
};

#endif
