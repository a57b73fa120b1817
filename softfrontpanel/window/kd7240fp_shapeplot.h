// One period of a shape as the card will be sent it, for the dialogs that
// make shapes (Formula…, Sweep…): the live plot, in the shape's own scale,
// and the line that says how many samples play at what rate. Whether the
// card can play them is asked of the plan, as Start asks it.
#ifndef KD7240FP_SHAPEPLOT_H
#define KD7240FP_SHAPEPLOT_H

#include <QWidget>
#include <vector>

#include "kd7240fp_settings.h"

class QLabel;
class kd7240fp_preview;

class kd7240fp_shapePlot : public QWidget
{
    Q_OBJECT

public:
    // `name` names the trace ("Formula", "Sweep").
    kd7240fp_shapePlot(const QString &name, QWidget *parent = nullptr);

    // Shows `shape` as one period at `frequency` Hz, or, without a shape,
    // `why` there is none; says what is sent for `samples` samples. True
    // when the card can play them (at most 1 MHz). A shape made from
    // `sweep` has its seam named by the sweep's phase.
    bool show(const std::vector<double> *shape, int samples, int frequency, const QString &why,
        const kd7240fp::Sweep &sweep = kd7240fp::Sweep());

    kd7240fp_preview *plot = nullptr;
    QLabel *sentLabel = nullptr; // the samples and the rate the card is sent

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::vector<double> plotted; // the room of the plan's samples
};

#endif
