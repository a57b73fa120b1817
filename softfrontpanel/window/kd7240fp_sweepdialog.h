// A frequency sweep made into a shape: the dialog behind a channel's Sweep…
// button. One period of the common frequency holds one sweep, from a start
// to a stop frequency, linear or logarithmic; the live plot and the line of
// what the card is sent show it as the card will play it. OK stays disabled,
// with the reason shown, while the card cannot play it.
#ifndef KD7240FP_SWEEPDIALOG_H
#define KD7240FP_SWEEPDIALOG_H

#include <QDialog>
#include <optional>
#include <vector>

#include "kd7240fp_settings.h"

class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;
class kd7240fp_shapePlot;

class kd7240fp_sweepDialog : public QDialog
{
    Q_OBJECT

public:
    struct Result
    {
        kd7240fp::Sweep sweep;
        std::vector<double> shape;
    };

    // Shows the dialog, starting from `sweep` when the channel plays one,
    // else from a sweep over a decade with `samples` samples; nothing when
    // cancelled.
    static std::optional<Result> ask(
        QWidget *parent, const QString &channelTitle, const kd7240fp::Sweep &sweep, int samples, int frequency);

    kd7240fp_sweepDialog(
        QWidget *parent, const QString &channelTitle, const kd7240fp::Sweep &sweep, int samples, int frequency);

    // What OK gives: the sweep and its samples as last computed.
    Result chosen() const;

    QDoubleSpinBox *startBox = nullptr; // Hz
    QDoubleSpinBox *stopBox = nullptr; // Hz
    QComboBox *scaleBox = nullptr; // 0 "Linear", 1 "Logarithmic"
    QSpinBox *samplesBox = nullptr;
    QLabel *problemLabel = nullptr; // why the card cannot play it, empty when it can
    QLabel *seamLabel = nullptr; // how far the seam steps, when the sweep ends off a whole cycle
    kd7240fp_shapePlot *shapePlot = nullptr;
    QDialogButtonBox *buttons = nullptr;
    QPushButton *okButton = nullptr;

public slots:
    void accept() override;

private:
    void compute();

    int frequency;
    QTimer *pending = nullptr; // one computation for a burst of edits
    Result current;
};

#endif
