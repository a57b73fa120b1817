// The Preview tab: one period of each channel exactly as Start sends it to
// the card, against the card's output limits. Large periods are drawn as
// their envelope, a minimum and a maximum per pixel column, so 262143
// samples cost a few thousand points.
#ifndef KD7240FP_PREVIEW_H
#define KD7240FP_PREVIEW_H

#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <vector>

class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

class kd7240fp_preview : public QWidget
{
    Q_OBJECT

public:
    explicit kd7240fp_preview(QWidget *parent = nullptr);

    // One period of n samples per channel (null for a silent channel), played
    // every uTime seconds, against the output limits low..high. The samples
    // are copied; the chart is built when the tab is first shown.
    void showPeriod(
        const double *channel1, const double *channel2, int n, double uTime, double played, double low, double high);

    // No period to show: the settings give none, for the reason shown.
    void showProblem(const QString &reason);

    // The points that draw n samples spaced dt apart in `columns` pixel
    // columns: each sample held for its period while they fit, else the
    // minimum and maximum of each column, joined into one continuous trace.
    static QList<QPointF> trace(const double *samples, int n, double dt, int columns);

    QChartView *view = nullptr; // null until the tab is first shown
    QChart *chart = nullptr;
    QLineSeries *channelSeries[2] = {};
    QScatterSeries *beyondSeries = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void build();
    void redraw();

    std::vector<double> samples[2];
    bool active[2] = {};
    int n = 0;
    double uTime = 0;
    double played = 0;
    double low = -10;
    double high = 10;
    QString problem; // shown instead of a period when not empty
    QLineSeries *limitSeries[2] = {};
    QValueAxis *timeAxis = nullptr;
    QValueAxis *voltAxis = nullptr;
};

#endif
