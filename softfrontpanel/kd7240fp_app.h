// The main window of the 7240 panel: waveform generation on the first tab,
// immediate DAC values and calibration on the second. Every driver call goes
// through the session the panel base opened and is reported the same way.
#ifndef KD7240FP_APP_H
#define KD7240FP_APP_H

#include <vector>

#include "kd7010fp_appfc.h"
#include "kd7240fp_waveform.h"

class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTimer;
class kd7240fp_chSet;
class kd7240fp_comSet;
class kd7240fp_preview;

class kd7240fp_App : public kd7010fp_AppFC
{
    Q_OBJECT

public:
    explicit kd7240fp_App(kd7010fp_genFC *card);
    ~kd7240fp_App() override;

    QTabWidget *tabs;
    QWidget *generationPage;
    QWidget *dacPage;
    kd7240fp_chSet *chan1;
    kd7240fp_chSet *chan2;
    kd7240fp_comSet *commonSettings;
    QGroupBox *dacGroup;
    QDoubleSpinBox *dac1Box;
    QDoubleSpinBox *dac2Box;
    QLabel *dac1Label;
    QLabel *dac2Label;
    QGroupBox *calibrationGroup;
    QPushButton *calibrateButton;
    QGroupBox *controlGroup;
    QPushButton *startButton;
    QPushButton *pauseButton;
    QPushButton *triggerButton;
    QTimer *timer;
    // Third tab: one period of each channel as Start sends it.
    kd7240fp_preview *preview;
    // Defined before the card is asked, so a failed read leaves the demo range.
    double lowLimit = -10;
    double hiLimit = 10;
    double *buffer = nullptr; // samples of both channels, malloc family
    int bufferSize = 0; // doubles that buffer holds

public slots:
    int setFilt();
    void timerCallback();

private slots:
    int calibrate();
    int start();
    int pause(bool checked);
    int setDac(double);
    int pulseITRI();
    // Reset Device: asks, then closes the session and opens it again with
    // reset, and returns the panel to its start-up state.
    int resetDevice();
    // The played-frequency readout and the preview follow the settings.
    void settingsChanged();

protected:
    // Zero-filled room for `count` doubles, or null; released with std::free.
    virtual double *allocateSamples(int count);

private:
    // Shows a failed call (negative status) in the error box and a warning
    // (positive) in the warning box; 0 shows nothing. Returns `status`.
    ViStatus report(ViStatus status, const char *callText);
    void startGeneration();
    void stopGeneration();
    // Back to idle before anything reached the card: Start released, LEDs off.
    void abandonStart();
    // Enables the controls of the generating (true) or idle (false) state.
    void showGenerating(bool on);
    double readDac(int channel, double current);
    // Limits, filters and DAC values read from the card, as at start-up.
    void readCard();
    // Redraws the preview from the settings unless it shows what was sent.
    void updatePreview();
    // Samples per period and rate for the settings now: a loaded shape fixes
    // the samples per period, else the frequency does.
    kd7240fp::Timing currentTiming() const;
    // One period of the group's waveform, standard or loaded, into out.
    void fillChannel(const kd7240fp_chSet *group, int n, double *out) const;
    // Why the settings give no timing, in the operator's words; empty when they do.
    QString timingProblem(const kd7240fp::Timing &timing) const;
    // Empty when every active channel's samples lie within the output
    // limits, else the warning naming each channel that does not.
    QString limitsProblem(const double *const channels[2], int nSam) const;

    // Set from a poll that did not succeed until one that does.
    bool pollFailing = false;
    bool generating = false;
    bool previewPending = false;
    std::vector<double> previewSamples;
};

#endif
