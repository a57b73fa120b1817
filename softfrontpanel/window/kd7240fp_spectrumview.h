// The Preview tab's spectrum: the lines of the buffer each channel plays,
// exact because the card repeats the buffer without end (see
// kd7240fp_spectrum.h). Each line is a stem from below the level axis up to
// its level; where more lines share a pixel column than it can tell apart,
// the column draws its strongest (its stems together reach no higher), so
// 131072 lines cost a few thousand points. Zoomed in, the lines in view are
// drawn again, down to single lines. A cross-hair reads the line nearest the
// pointer, and a table names each channel's fundamental, harmonics, THD and,
// for a modulated signal, its sidebands.
#ifndef KD7240FP_SPECTRUMVIEW_H
#define KD7240FP_SPECTRUMVIEW_H

#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <utility>
#include <vector>

#include "kd7240fp_plan.h"
#include "kd7240fp_spectrum.h"

class QAbstractAxis;
class QChart;
class QChartView;
class QGraphicsLineItem;
class QLabel;
class QLineSeries;
class QTableWidget;
class QToolButton;
class QValueAxis;

class kd7240fp_spectrumView : public QWidget
{
    Q_OBJECT

public:
    explicit kd7240fp_spectrumView(QWidget *parent = nullptr);

    // The whole buffer of each channel the plan plays, timing.nSam samples
    // at timing.rate. Computed at once while the view is shown; otherwise
    // the samples are copied and the spectrum waits until it is next shown.
    void showPlan(const kd7240fp::Plan &plan);
    // No buffer to show, for the reason given.
    void showProblem(const QString &reason);
    void setChannelName(int channel, const QString &name);

    enum FrequencyScale { Linear, Logarithmic };
    void setFrequencyScale(FrequencyScale scale);
    FrequencyScale frequencyScale() const { return scale; }
    // Back to the whole band and the home level range (a double click).
    void resetZoom();

    // As last computed (while the view was shown).
    const kd7240fp::Spectrum &spectrum(int channel) const { return spectra[channel]; }
    const kd7240fp::Analysis &analysis(int channel) const { return analyses[channel]; }

    // The home range of the level axis for lines as strong as `strongest`
    // dBV: 140 dB below it, but at least down to -200 dBV, and a little
    // room above it, in whole tens of dB.
    static void levelRange(double strongest, double *bottom, double *top);

    // The rows of the table (the fundamental's frequency and level, DC,
    // harmonics 2 to 10 in dBc, THD, sidebands -1, +1, -2...); a column per channel.
    enum Row {
        FundamentalRow,
        LevelRow,
        DcRow,
        FirstHarmonicRow,
        ThdRow = FirstHarmonicRow + kd7240fp::Analysis::lastHarmonic - 1,
        FirstSidebandRow,
        RowCount = FirstSidebandRow + 2 * kd7240fp::Analysis::sidebandPairs
    };

    // The frequency scale's buttons and the cross-hair's readout: a bar at
    // the top of the view, unless an owner puts it into a bar of its own.
    QWidget *controls = nullptr;
    QToolButton *linearButton = nullptr;
    QToolButton *logButton = nullptr;
    QLabel *readout = nullptr;
    QChartView *view = nullptr; // null until the view is first shown
    QChart *chart = nullptr;
    QLineSeries *lineSeries[2] = {};
    QLineSeries *dcSeries[2] = {}; // DC, a stem of its own at 0 Hz (linear scale only)
    QTableWidget *table = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The frequency axis's span now, in its unit (linear or logarithmic).
    std::pair<double, double> frequencyRange() const;
    void build();
    // Computes what is stale, then draws it all.
    void refresh();
    // Draws the lines again after the axes or the plot moved.
    void replot();
    void compute(int channel, const double *samples);
    void analyse();
    void makeFrequencyAxis();
    void setHomeRanges();
    // Draws the lines within the axes' ranges.
    void plotVisible();
    // Round ticks for these spans of the axes (the frequency's when linear).
    void placeTicks(double frequencySpan, double levelSpan);
    void fillTable();
    void pointAt(const QPointF &viewPosition);
    void hideCrossHair();
    // Hz in the frequency axis's unit.
    double unitScale() const;
    QString frequencyText(double hz) const;

    kd7240fp::Spectrum spectra[2];
    kd7240fp::Analysis analyses[2];
    std::vector<double> waiting[2]; // the samples of a plan shown while hidden
    bool active[2] = {};
    bool stale = false;
    int n = 0;
    double rate = 0;
    int periods = 1;
    int sidebandStep[2] = {};
    QString names[2];
    QString title;
    FrequencyScale scale = Linear;
    bool settingRanges = false;
    QAbstractAxis *frequencyAxis = nullptr;
    QValueAxis *levelAxis = nullptr;
    QGraphicsLineItem *crossHair[2] = {}; // vertical, horizontal
    QPointF pointer; // where the pointer was last seen over the chart
    bool pointerIn = false;
};

#endif
