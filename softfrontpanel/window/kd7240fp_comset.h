// The settings both channels share: frequency, start mode and stop mode with
// its number of cycles.
#ifndef KD7240FP_COMSET_H
#define KD7240FP_COMSET_H

#include <QGroupBox>
#include <QString>

#include "kd7240fp_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

class kd7240fp_comSet : public QGroupBox
{
    Q_OBJECT
public:
    kd7240fp_comSet(QString title, QWidget *parent);

    void getSettings(int *frequency, int *startIndex, int *stopIndex, int *cycles);
    kd7240fp::CommonSettings settings() const;
    void setSettings(const kd7240fp::CommonSettings &settings);
    // Shows what the card plays (`text`), with the explanation as tool tip,
    // highlighted when `off`: the card plays something else than was asked.
    void showReadout(const QString &text, const QString &explanation, bool off);
    // Back to the settings of a new group.
    void resetToDefaults();
    // While the card generates the group is locked, but for live changes:
    // then the frequency stays open and only the modes and cycles, which a
    // live change cannot alter, are locked. The locked controls' tool tips
    // say why (`whyLocked` when the whole group is).
    void lockWhileGenerating(bool running, bool live, const QString &whyLocked = QString());

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
    // Packs whole periods into one buffer so the card plays the frequency
    // asked for (off by default: one period per buffer).
    QCheckBox *exactBox;

signals:
    // Any setting of the group changed.
    void settingsChanged();

private:
    static QString offStyle();

private slots:
    // The cycles only matter, and are only editable, in the limited mode.
    void setwLenVis(int index);
};

#endif
