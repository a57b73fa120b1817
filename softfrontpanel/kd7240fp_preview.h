// The Preview tab: one period of each channel exactly as Start sends it to
// the card, against the card's output limits. Large periods are drawn as
// their envelope, a minimum and a maximum per pixel column, so 262143
// samples cost a few thousand points; zoomed in, the visible part is traced
// again, down to single samples. The volt axis fits the signal or spans the
// card's range; a cross-hair reads the sample under the pointer.
#ifndef KD7240FP_PREVIEW_H
#define KD7240FP_PREVIEW_H

#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <vector>

class QChart;
class QChartView;
class QGraphicsLineItem;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QToolButton;
class QCategoryAxis;

// What else the preview is told about a period; the defaults show it plainly.
struct kd7240fp_previewExtras
{
    // The channel plays a shape from a file: the seam, the step from its last
    // sample back to its first, is marked and, when large, named in the title.
    bool shape[2] = { false, false };
    // What the card plays, in the readout's words ("plays 1000.00 Hz, 1000
    // samples", or the periods and samples of a buffer that holds several):
    // the title says it for the period shown.
    QString readout;
    // The samples are a shape in its own scale, -1 to 1, before a channel's
    // amplitude and offset: no volts, and no card limits to hold them against.
    bool shapeScale = false;
};

class kd7240fp_preview : public QWidget
{
    Q_OBJECT

public:
    using Extras = kd7240fp_previewExtras;

    explicit kd7240fp_preview(QWidget *parent = nullptr);

    // One period of n samples per channel (null for a silent channel), played
    // every uTime seconds, against the output limits low..high. The samples
    // are copied; the chart is built when the tab is first shown. A zoom into
    // the time axis stays while the samples and their period stay.
    void showPeriod(const double *channel1, const double *channel2, int n, double uTime, double played, double low,
        double high, const Extras &extras = Extras());

    // No period to show: the settings give none, for the reason shown.
    void showProblem(const QString &reason);

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

    QChartView *view = nullptr; // null until the tab is first shown
    QChart *chart = nullptr;
    QLineSeries *channelSeries[2] = {};
    QScatterSeries *beyondSeries = nullptr;
    QLineSeries *seamSeries[2] = {}; // shapes only: the step back to the first sample
    QToolButton *fitButton = nullptr; // FitSignal and CardLimits, one always checked
    QToolButton *limitsButton = nullptr;
    QLabel *readout = nullptr; // the cross-hair's sample, or how to zoom
    QLabel *voltAxisLabel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void redraw(bool keepTimeZoom = false);
    // Traces the samples between two times (axis units) and marks those beyond the limits.
    void plotVisible(double from, double to);
    void setHomeRanges();
    void zoomTime(double factor, double about);
    void pointAt(const QPointF &viewPosition);
    void hideCrossHair();
    double unitScale() const;
    // The time axis's end for the period shown, in its unit.
    double periodEnd() const;
    // Round ticks on both axes, as many as their labels have room for.
    void placeTicks();
    // A shape's seam is drawn for this channel (-1: for either); the time
    // axis then runs on a little past the period, so the step stands clear.
    bool seamShown(int channel = -1) const;

    std::vector<double> samples[2];
    bool active[2] = {};
    int n = 0;
    double uTime = 0;
    double played = 0;
    double low = -10;
    double high = 10;
    Extras extras;
    double lowest[2] = {}; // each channel's smallest and largest sample
    double highest[2] = {};
    QString problem; // shown instead of a period when not empty
    VoltRange range = FitSignal;
    bool settingRanges = false; // the axes move by redraw(), not by a zoom
    QLineSeries *limitSeries[2] = {};
    QCategoryAxis *timeAxis = nullptr;
    QCategoryAxis *voltAxis = nullptr;
    QGraphicsLineItem *crossHair[2] = {}; // vertical, horizontal
};

#endif
