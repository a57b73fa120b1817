// A shape typed as a formula: the dialog behind a channel's Formula… button.
// It shows what the card will be sent while the operator types: the plot of
// the period at its real timing, the samples and the rate they play at, and
// the first problem, which keeps OK disabled. The formulas accepted last are
// kept beside the address history and offered in the line's drop-down.
#ifndef KD7240FP_FORMULADIALOG_H
#define KD7240FP_FORMULADIALOG_H

#include <QDialog>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "kd7240fp_formula.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;
class kd7240fp_preview;
class kd7240fp_shapePlot;

class kd7240fp_formulaDialog : public QDialog
{
    Q_OBJECT

public:
    struct Result
    {
        QString formula;
        int samples = 0;
        std::vector<double> shape; // normalised, `samples` long
    };

    // Shows the dialog; nothing when cancelled. `samples` starts the Samples box (the caller passes the
    // samples per period the current frequency gives, clamped to 2..262143); `formula` the line's text
    // (the channel's current formula, or empty: then the newest from the history).
    static std::optional<Result> ask(
        QWidget *parent, const QString &channelTitle, const QString &formula, int samples, int frequency);

    // The formulas accepted last, newest first, at most historySize.
    static QStringList history();
    static constexpr int historySize = 10;

    kd7240fp_formulaDialog(
        QWidget *parent, const QString &channelTitle, const QString &formula, int samples, int frequency);

    // What OK gives: the formula, its samples and their shape as last evaluated.
    Result chosen() const;

    QComboBox *formulaBox = nullptr; // editable; the drop-down holds the history
    QSpinBox *samplesBox = nullptr;
    kd7240fp_shapePlot *shapePlot = nullptr; // the plot and what is sent
    kd7240fp_preview *plot = nullptr;
    QLabel *problemLabel = nullptr; // the first problem, empty without one
    QLabel *sentLabel = nullptr; // the samples and the rate the card is sent
    QDialogButtonBox *buttons = nullptr;
    QPushButton *okButton = nullptr;

public slots:
    void accept() override;

private:
    // Keeps `formula` as the newest of the history.
    static void remember(const QString &formula);
    // Evaluates the line for the Samples box and shows the outcome.
    void evaluate();

    int frequency;
    QTimer *pending = nullptr; // one evaluation for a burst of edits
    QString evaluated; // the text and samples `current` was computed for
    int evaluatedSamples = 0;
    kd7240fp::Formula current;
};

#endif
