// A channel's modulation: the dialog behind its Modulation… button. The card
// has no modulator, so the modulated signal is one buffer that holds whole
// periods of the carrier and of the modulation; the plot shows the buffer
// the card will be sent, the line under it its samples, rate and periods,
// and OK stays disabled, with the reason shown, while no buffer holds it.
#ifndef KD7240FP_MODULATIONDIALOG_H
#define KD7240FP_MODULATIONDIALOG_H

#include <QDialog>
#include <optional>
#include <vector>

#include "kd7240fp_plan.h"
#include "kd7240fp_settings.h"

class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QTimer;
class kd7240fp_preview;

class kd7240fp_modulationDialog : public QDialog
{
    Q_OBJECT

public:
    struct Result
    {
        int carrier = kd7240fp::waveSine; // the channel's standard waveform
        kd7240fp::Modulation modulation; // inactive: no modulation
    };

    // Shows the dialog for channel `channel` (0, 1) of `settings` on a card
    // of `limits`; nothing when cancelled.
    static std::optional<Result> ask(QWidget *parent, const QString &channelTitle, const kd7240fp::Settings &settings,
        int channel, const kd7240fp::Limits &limits);

    kd7240fp_modulationDialog(QWidget *parent, const QString &channelTitle, const kd7240fp::Settings &settings,
        int channel, const kd7240fp::Limits &limits);

    // What OK gives.
    Result chosen() const;

    QComboBox *carrierBox = nullptr; // sine, square, saw, triangle
    QComboBox *typeBox = nullptr; // AM, FM, PM, FSK, PWM
    QComboBox *shapeBox = nullptr; // the modulating shape: sine, square, triangle, ramp
    QDoubleSpinBox *frequencyBox = nullptr; // Hz
    QDoubleSpinBox *depthBox = nullptr; // AM, %
    QDoubleSpinBox *deviationBox = nullptr; // FM, Hz
    QDoubleSpinBox *phaseDeviationBox = nullptr; // PM, degrees
    QDoubleSpinBox *hopBox = nullptr; // FSK, Hz
    QDoubleSpinBox *rateBox = nullptr; // FSK, Hz
    QDoubleSpinBox *dutyDeviationBox = nullptr; // PWM, %
    kd7240fp_preview *plot = nullptr;
    QLabel *sentLabel = nullptr; // the buffer the card is sent
    QLabel *problemLabel = nullptr; // why it cannot be played, empty when it can
    QDialogButtonBox *buttons = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *offButton = nullptr; // "No modulation"

public slots:
    void accept() override;

private:
    void compute();
    // The rows of the chosen type, the others hidden.
    void showRows();

    kd7240fp::Settings settings;
    int channel;
    kd7240fp::Limits limits;
    Result current;
    std::vector<double> room; // the plan's samples
    QFormLayout *form = nullptr;
    QTimer *pending = nullptr; // one computation for a burst of edits
};

#endif
