// The settings of one output channel: waveform, amplitude, offset and output
// filter, with an LED that shows whether the channel is generating.
#ifndef KD7240FP_CHSET_H
#define KD7240FP_CHSET_H

#include <QGroupBox>
#include <QString>
#include <array>
#include <vector>

#include "kd7240fp_range.h"
#include "kd7240fp_settings.h"

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

    // Offset range [low, high] centred; amplitude up to half the span. Both
    // boxes offer only what they can show within the range (ends rounded
    // inward to their decimals): setRange(cardRange(low, high)).
    void setLimits(double low, double high);
    void setRange(const kd7240fp::CardRange &range);
    // Filter code 0..3; a grounded channel keeps reporting its previous filter.
    int getFilt();
    // 2 when the channel is grounded, else 0.
    int getTerm();
    void getWaveParams(int *type, double *offset, double *amplitude);
    // Back to the choices of a new group: no waveform, 0 V amplitude,
    // "Bypass". The offset follows the next setLimits. A loaded shape stays
    // loaded, but is no longer chosen.
    void resetToDefaults();
    // What the group holds, as the plan takes it (the filter as getFilt would read it).
    kd7240fp::ChannelSettings settings() const;
    // Shows `settings`: waveform, values, filter and shape.
    void setSettings(const kd7240fp::ChannelSettings &settings);
    // Takes a shape (normalised samples) from `source` (a file's path) and chooses it.
    void setShape(std::vector<double> samples, const QString &source);

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
    // 0 none, 1 sine, 2 square, 3 saw, 4 triangle, 5 arbitrary (the loaded shape).
    int waveType = 0;
    // The shape from a file: its button, the button that loads one, and the
    // file's name (elided; the full path in the tool tip).
    QPushButton *arbitraryButton;
    QPushButton *loadButton;
    QLabel *shapeLabel;
    kd7240fp::ShapeSamples shape; // normalised to -1..1; empty until a file is loaded
    QString shapePath; // where the shape came from
    QString formula; // the formula the shape was computed from; empty for a file's
    kd7240fp::Sweep sweep; // the sweep the shape was made from, if it was
    // Where in its period the channel starts (degrees), and the square's
    // high part (percent; enabled for the square only).
    QDoubleSpinBox *phaseBox;
    QLabel *phaseLabel;
    QDoubleSpinBox *dutyBox;
    QLabel *dutyLabel;
    // The shape from a formula, and from a sweep: the buttons that ask for one.
    QPushButton *formulaButton;
    QPushButton *sweepButton;
    // The modulation of the standard waveform (none by default), and the
    // button that asks for it.
    kd7240fp::Modulation modulation;
    QPushButton *modulationButton;
    // What the group holds but shows in no box (the function remote control
    // turns an output back on with, its sweep), kept for settings().
    kd7240fp::ChannelSettings unshown;

    // The common frequency, which a sweep's label follows.
    void showCommonFrequency(int frequency);
    // The phase as played, for the phase box's tool tip: exact (a sine's) or
    // rounded to whole samples.
    void showPhasePlayed(double degrees, bool exact);
    // Peak to peak and RMS of the samples played, for the amplitude box's
    // tool tip; `known` is false while the settings give no samples.
    void showSize(bool known, double peakToPeak, double rms);
    // The square's high part as played, `high` of `samples`, for the duty
    // box's tool tip; samples 0 while the settings give no timing.
    void showDutyPlayed(int high, int samples);
    // Why the group's controls are locked, in their tool tips; empty when they are not.
    void setLockNote(const QString &note);
    // Takes a shape computed from `formula` and chooses it.
    void setFormulaShape(std::vector<double> samples, const QString &formula);
    // Takes a shape made from `sweep` and chooses it.
    void setSweepShape(std::vector<double> samples, const kd7240fp::Sweep &sweep);
    // Modulates the standard waveform `carrier` (1 to 4), which it chooses;
    // an inactive modulation takes the modulation off.
    void setModulation(int carrier, const kd7240fp::Modulation &modulation);

signals:
    void activated(int indx);
    // Any setting of the group changed (waveform, amplitude, offset, filter).
    void settingsChanged();
    // The operator asked for a shape from a file (Load…, or Arbitrary with
    // nothing loaded yet).
    void loadRequested();
    // The operator asked for a shape from a formula.
    void formulaRequested();
    // The operator asked for a shape from a sweep.
    void sweepRequested();
    // The operator asked for a modulation.
    void modulationRequested();

private slots:
    void setWave();
    // Arbitrary with nothing loaded yet asks for a file first.
    void chooseArbitrary();

private:
    int commonFrequency = 0;
    // The waveform buttons, in the order of their wave types 1 to 5.
    std::array<QPushButton *, 5> waveButtons() const;
    void showShapeSource();
    void setShape(
        std::vector<double> samples, const QString &source, const QString &fromFormula, const kd7240fp::Sweep &made);
};

#endif
