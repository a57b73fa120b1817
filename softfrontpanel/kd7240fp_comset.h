// The settings both channels share: frequency, start mode and stop mode with
// its number of cycles.
#ifndef KD7240FP_COMSET_H
#define KD7240FP_COMSET_H

#include <QGroupBox>
#include <QString>

#include "kd7240fp_waveform.h"

class QComboBox;
class QLabel;
class QSpinBox;

class kd7240fp_comSet : public QGroupBox
{
    Q_OBJECT
public:
    kd7240fp_comSet(QString title, QWidget *parent);

    void getSettings(int *frequency, int *startIndex, int *stopIndex, int *cycles);
    // Shows what the card plays for the frequency `asked`: the played
    // frequency and the samples per period, highlighted (with the reason as
    // tool tip) when it differs from the asked one by more than 0.1 %.
    // When no timing fits, shows that, with `problem` as the reason.
    void showPlayed(int asked, const kd7240fp::Timing &timing, const QString &problem = QString());
    // Back to the settings of a new group.
    void resetToDefaults();
    // "1 MHz" or "100 kHz": the card's sample clock as the operator reads it.
    static QString clockText(double rate);

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
    // Read-only: what the card will play for the frequency in the box.
    QLabel *playedLabel;

private:
    static QString offStyle();

private slots:
    // The cycles only matter, and are only editable, in the limited mode.
    void setwLenVis(int index);
};

#endif
