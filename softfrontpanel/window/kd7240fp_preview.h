// The Preview tab: one period of each channel exactly as Start sends it to
// the card, against the card's output limits. Large periods are drawn as
// their envelope, a minimum and a maximum per pixel column, so 262143
// samples cost a few thousand points; zoomed in, the visible part is traced
// again, down to single samples. The volt axis fits the signal or spans the
// card's range; a cross-hair reads the sample under the pointer. Where the
// spectrum is offered, a toggle shows it instead (kd7240fp_spectrumview.h).
#ifndef KD7240FP_PREVIEW_H
#define KD7240FP_PREVIEW_H

#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "kd7240fp_plan.h"

class QChart;
class QChartView;
class QGraphicsLineItem;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QToolButton;
class QCategoryAxis;
class QStackedWidget;
class kd7240fp_spectrumView;

class kd7240fp_preview : public QWidget
{
    Q_OBJECT

public:
    explicit kd7240fp_preview(QWidget *parent = nullptr);

    // One period of each channel the plan plays (its first periodSamples
    // samples), against the plan's limits, a shape's seam marked and, when
    // the plan names it, named in the title. The samples are copied; the
    // chart is built when the tab is first shown. A zoom into the time axis
    // stays while the period's samples and timing stay. With `shapeScale`
    // the samples are a shape in its own scale, -1 to 1, before a channel's
    // amplitude and offset: no volts, and no card limits to hold them against.
    void showPlan(const kd7240fp::Plan &plan, bool shapeScale = false);

    // No period to show: the settings give none, for the reason shown.
    void showProblem(const QString &reason);
    // The name of a channel's trace, in the legend and the title.
    void setChannelName(int channel, const QString &name);

    // The points that draw n samples spaced dt apart in `columns` pixel
    // columns: each sample held for its period while they fit, else the
    // minimum and maximum of each column, joined into one continuous trace.
    static QList<QPointF> trace(const double *samples, int n, double dt, int columns);

    // The volt axis: the signal's range with a margin (the card's limits
    // joining it when they are near), or the card's whole range.
    enum VoltRange { FitSignal, CardLimits };
    void setVoltRange(VoltRange range);
    VoltRange voltRange() const { return range; }

    // Back to the whole period and the chosen volt range (a double click).
    void resetZoom();

    // Offers the spectrum of the whole buffer beside the time view, with a
    // Time / Spectrum toggle: the window's Preview tab does; the dialogs'
    // plots of a shape do not. Once offered, it stays.
    void setSpectrumOffered(bool offered);

    QChartView *view = nullptr; // null until the tab is first shown
    QChart *chart = nullptr;
    QLineSeries *channelSeries[2] = {};
    QScatterSeries *beyondSeries = nullptr;
    QLineSeries *seamSeries[2] = {}; // shapes only: the step back to the first sample
    QToolButton *fitButton = nullptr; // FitSignal and CardLimits, one always checked
    QToolButton *limitsButton = nullptr;
    QLabel *readout = nullptr; // the cross-hair's sample, or how to zoom
    QLabel *voltAxisLabel = nullptr;
    kd7240fp_spectrumView *spectrum = nullptr; // null unless offered
    QToolButton *timeButton = nullptr; // with spectrumButton, once the spectrum is offered
    QToolButton *spectrumButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void redraw(bool keepTimeZoom = false);
    // Traces the samples between two times (axis units) and marks those beyond the limits.
    void plotVisible(double from, double to);
    // The marks of channel k's samples beyond the range, between two times.
    void markBeyond(int k, double from, double to, int columns, QList<QPointF> *marks) const;
    void setHomeRanges();
    void zoomTime(double factor, double about);
    void pointAt(const QPointF &viewPosition);
    // The cross-hair and its readout again, for the sample now under the
    // pointer (the view has changed beneath it).
    void followPointer();
    void hideCrossHair();
    double unitScale() const;
    // The time axis's end for the period shown, in its unit.
    double periodEnd() const;
    // Round ticks on both axes, as many as their labels have room for.
    void placeTicks();
    // A shape's seam is drawn for this channel (-1: for either); the time
    // axis then runs on a little past the period, so the step stands clear.
    bool seamShown(int channel = -1) const;
    // The toggle and the spectrum beside the time view.
    void placeSpectrum();
    void showSpectrum(bool shown);

    std::vector<double> samples[2];
    bool active[2] = {};
    kd7240fp::Plan::Seam seams[2];
    std::vector<std::pair<int, int>> beyondRuns[2]; // the plan's runs beyond the range, in the period shown
    QString names[2];
    int n = 0;
    double uTime = 0;
    kd7240fp::Limits limits;
    bool shapeScale = false;
    QString title;
    double lowest[2] = {}; // each channel's smallest and largest sample
    double highest[2] = {};
    QString problem; // shown instead of a period when not empty
    VoltRange range = FitSignal;
    bool settingRanges = false; // the axes move by redraw(), not by a zoom
    QLineSeries *limitSeries[2] = {};
    QCategoryAxis *timeAxis = nullptr;
    QCategoryAxis *voltAxis = nullptr;
    QGraphicsLineItem *crossHair[2] = {}; // vertical, horizontal
    std::optional<QPointF> pointer; // in the view's viewport, while it is there
    QWidget *timeControls = nullptr; // the time view's buttons and readout
    QStackedWidget *views = nullptr; // the time view and the spectrum, once offered
};

#endif
