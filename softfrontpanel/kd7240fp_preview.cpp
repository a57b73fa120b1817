#include "kd7240fp_preview.h"

#include <QChart>
#include <QChartView>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "kd7240fp_plan.h"

namespace {

const QColor channelColours[2] = { QColor(0x15, 0x65, 0xc0), QColor(0xe0, 0x6c, 0x00) };
const QColor limitColour(0x55, 0x55, 0x55);
const QColor beyondColour(0xc6, 0x28, 0x28);

// Columns of the plot area; a sensible width before the first layout.
int plotColumns(const QChart *chart)
{
    const int width = chart ? int(chart->plotArea().width()) : 0;
    return std::max(width, 400);
}

} // namespace

kd7240fp_preview::kd7240fp_preview(QWidget *parent)
    : QWidget(parent)
{
    setAccessibleName(tr("Preview of one period"));
    setAccessibleDescription(tr("One period of each channel as the card is sent it, with the card's output limits"));
    new QVBoxLayout(this);
}

QList<QPointF> kd7240fp_preview::trace(const double *s, int n, double dt, int columns)
{
    QList<QPointF> points;
    if (!s || n < 1)
        return points;
    if (n <= columns) {
        // The DAC holds each sample for one sample period.
        points.reserve(2 * n);
        for (int i = 0; i < n; ++i) {
            points.append(QPointF(i * dt, s[i]));
            points.append(QPointF((i + 1) * dt, s[i]));
        }
        return points;
    }
    points.reserve(2 * columns);
    double previous = s[0];
    for (int c = 0; c < columns; ++c) {
        const int from = int(qint64(c) * n / columns);
        const int to = int(qint64(c + 1) * n / columns);
        const auto [lo, hi] = std::minmax_element(s + from, s + to);
        const double x = (from + to) * 0.5 * dt;
        // Start each column at the end nearer to where the last one stopped,
        // so the envelope is one unbroken line.
        const bool rising = std::fabs(*lo - previous) <= std::fabs(*hi - previous);
        points.append(QPointF(x, rising ? *lo : *hi));
        points.append(QPointF(x, rising ? *hi : *lo));
        previous = rising ? *hi : *lo;
    }
    return points;
}

void kd7240fp_preview::showPeriod(const double *channel1, const double *channel2, int count, double period,
    double playedHz, double lowLimit, double highLimit)
{
    const double *given[2] = { channel1, channel2 };
    for (int k = 0; k < 2; ++k) {
        active[k] = given[k] && count > 0;
        if (active[k])
            samples[k].assign(given[k], given[k] + count);
        else
            samples[k].clear();
    }
    problem.clear();
    n = count;
    uTime = period;
    played = playedHz;
    low = lowLimit;
    high = highLimit;
    if (chart)
        redraw();
}

void kd7240fp_preview::showProblem(const QString &reason)
{
    showPeriod(nullptr, nullptr, 0, 1e-6, 0, low, high);
    problem = reason;
    if (chart)
        redraw();
}

void kd7240fp_preview::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!chart) {
        build();
        redraw();
    }
}

void kd7240fp_preview::build()
{
    chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    timeAxis = new QValueAxis;
    voltAxis = new QValueAxis;
    voltAxis->setTitleText(tr("Volts"));
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(voltAxis, Qt::AlignLeft);

    auto attach = [this](QAbstractSeries *series) {
        chart->addSeries(series);
        series->attachAxis(timeAxis);
        series->attachAxis(voltAxis);
    };
    for (int k = 0; k < 2; ++k) {
        channelSeries[k] = new QLineSeries;
        channelSeries[k]->setName(tr("Channel %1").arg(k + 1));
        channelSeries[k]->setPen(QPen(channelColours[k], 1.5));
        attach(channelSeries[k]);
    }
    for (int k = 0; k < 2; ++k) {
        limitSeries[k] = new QLineSeries;
        limitSeries[k]->setName(tr("Output limits"));
        limitSeries[k]->setPen(QPen(limitColour, 1, Qt::DashLine));
        attach(limitSeries[k]);
    }
    // The two limit lines share one legend entry.
    chart->legend()->markers(limitSeries[1]).value(0)->setVisible(false);
    beyondSeries = new QScatterSeries;
    beyondSeries->setName(tr("Beyond the limits"));
    beyondSeries->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    beyondSeries->setMarkerSize(5);
    beyondSeries->setColor(beyondColour);
    beyondSeries->setBorderColor(beyondColour);
    attach(beyondSeries);
    chart->legend()->setAlignment(Qt::AlignBottom);

    view = new QChartView(chart, this);
    view->setRenderHint(QPainter::Antialiasing, false);
    view->setMinimumSize(480, 260);
    view->setAccessibleName(accessibleName());
    view->setAccessibleDescription(accessibleDescription());
    layout()->addWidget(view);
}

void kd7240fp_preview::redraw()
{
    const double periodSeconds = n * uTime;
    // Microseconds for short periods, milliseconds for long ones.
    const bool micro = periodSeconds < 1e-3;
    const double unit = micro ? 1e6 : 1e3;
    timeAxis->setTitleText(micro ? tr("Time (µs)") : tr("Time (ms)"));
    const int columns = plotColumns(chart);
    const double dt = uTime * unit;

    double lowest = low, highest = high;
    QList<QPointF> beyond;
    for (int k = 0; k < 2; ++k) {
        const QList<QPointF> points = active[k] ? trace(samples[k].data(), n, dt, columns) : QList<QPointF>();
        for (const QPointF &p : points) {
            lowest = std::min(lowest, p.y());
            highest = std::max(highest, p.y());
            if (p.y() > high || p.y() < low)
                beyond.append(p);
        }
        channelSeries[k]->replace(points);
        channelSeries[k]->setVisible(active[k]);
    }
    beyondSeries->replace(beyond);
    const double end = std::max(periodSeconds * unit, 1e-9);
    limitSeries[0]->replace({ QPointF(0, low), QPointF(end, low) });
    limitSeries[1]->replace({ QPointF(0, high), QPointF(end, high) });
    timeAxis->setRange(0, end);
    const double margin = (highest - lowest) * 0.05;
    voltAxis->setRange(lowest - margin, highest + margin);
    voltAxis->applyNiceNumbers();

    if (!problem.isEmpty())
        chart->setTitle(problem);
    else if (!active[0] && !active[1])
        chart->setTitle(tr("No waveform chosen"));
    else
        chart->setTitle(tr("One period: plays %1 Hz, %2 samples at %3")
                            .arg(played, 0, 'f', 2)
                            .arg(n)
                            .arg(kd7240fp::clockText(1.0 / uTime)));
}
