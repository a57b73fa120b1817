#include "kd7240fp_preview.h"

#include <QButtonGroup>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGraphicsLineItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "kd7010fp_livelabel.h"
#include "kd7240fp_plantext.h"
#include "kd7240fp_plotcolours.h"
#include "kd7240fp_spectrumview.h"
#include "kd7240fp_synthesis.h"

namespace {

const QColor limitColour(0x55, 0x55, 0x55);
const QColor beyondColour(0xc6, 0x28, 0x28);
const QColor seamColour(0x8e, 0x24, 0xaa);
const QColor crossHairColour(0x40, 0x40, 0x40, 0xa0);

// A limit this close to the signal, as a share of its span, stays in view.
constexpr double nearLimits = 0.25;
// Each wheel notch zooms the time axis by this factor.
constexpr double wheelStep = 0.8;

// Columns of the plot area; a sensible width before the first layout.
int plotColumns(const QChart *chart)
{
    const int width = chart ? int(chart->plotArea().width()) : 0;
    return std::max(width, 400);
}

// Ticks at round values (1, 2 or 5 times a power of ten), as many as fit the
// axis's `pixels` with room for their labels, six steps at most: a label that
// does not fit its share of the axis is drawn as "…". Each label is written
// from its own multiple of the step, so the tick at 0 reads "0.0", never the
// "-0.0" that a running sum missing 0 by a rounding would give.
void roundTicks(QCategoryAxis *axis, Qt::Orientation orientation, double pixels)
{
    const double from = axis->min(), to = axis->max();
    const double span = std::max(to - from, 1e-12);
    const QFontMetricsF metrics(axis->labelsFont());
    QStringList texts;
    QList<double> values;
    double step = span;
    for (int steps = 6; steps >= 1; --steps) {
        const double rough = span / steps;
        const double power = std::pow(10.0, std::floor(std::log10(rough)));
        step = rough / power < 1.5 ? power : rough / power < 3.5 ? 2 * power : 5 * power;
        const int decimals = std::max(0, int(-std::floor(std::log10(step) + 1e-9)));
        texts.clear();
        values.clear();
        double widest = 0;
        const auto first = static_cast<long long>(std::ceil(from / step - 1e-9));
        const auto last = static_cast<long long>(std::floor(to / step + 1e-9));
        for (long long k = first; k <= last; ++k) {
            values << (k == 0 ? 0.0 : double(k) * step);
            texts << QString::number(values.last(), 'f', decimals);
            widest = std::max(widest, metrics.horizontalAdvance(texts.last()));
        }
        const double share = pixels / double(texts.size() + 1);
        if (share >= (orientation == Qt::Vertical ? metrics.height() + 6 : widest + 12))
            break;
    }
    if (axis->categoriesLabels() == texts)
        return;
    for (const QString &label : axis->categoriesLabels())
        axis->remove(label);
    axis->setStartValue(values.isEmpty() ? from : values.first() - step);
    for (qsizetype i = 0; i < texts.size(); ++i)
        axis->append(texts[i], values[i]);
}

} // namespace

kd7240fp_preview::kd7240fp_preview(QWidget *parent)
    : QWidget(parent)
    , names { tr("Channel 1"), tr("Channel 2") }
{
    setAccessibleName(tr("Preview of one period"));
    setAccessibleDescription(tr("One period of each channel as the card is sent it, with the card's output limits"));
    new QVBoxLayout(this);
}

QList<QPointF> kd7240fp_preview::trace(const double *s, int n, double dt, int columns)
{
    kd7240fp::clearUpperVectorState();
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

void kd7240fp_preview::showPlan(const kd7240fp::Plan &plan, bool shapeScale)
{
    if (!plan.timing.ok) {
        showProblem(kd7240fp::periodTitle(plan, names[0], names[1]));
        return;
    }
    if (spectrum)
        spectrum->showPlan(plan);
    const int count = plan.periodSamples;
    const double period = plan.timing.uTime;
    const bool sameTime = count == n && period == uTime;
    for (int k = 0; k < 2; ++k) {
        active[k] = plan.samples[k] && count > 0;
        seams[k] = active[k] ? plan.seam[k] : kd7240fp::Plan::Seam();
        beyondRuns[k].clear();
        if (active[k]) {
            samples[k].assign(plan.samples[k], plan.samples[k] + count);
            kd7240fp::sampleRange(plan.samples[k], count, &lowest[k], &highest[k]);
        } else {
            samples[k].clear();
        }
    }
    // Only the runs within the period shown.
    for (const kd7240fp::Plan::Beyond &b : plan.beyond)
        if (active[b.channel - 1])
            for (const auto &run : b.runs)
                if (run.first < count)
                    beyondRuns[b.channel - 1].emplace_back(run.first, std::min(run.second, count));
    n = count;
    uTime = period;
    limits = plan.limits;
    this->shapeScale = shapeScale;
    title = kd7240fp::periodTitle(plan, names[0], names[1], !shapeScale);
    problem.clear();
    if (chart)
        redraw(sameTime);
}

void kd7240fp_preview::showProblem(const QString &reason)
{
    for (int k = 0; k < 2; ++k) {
        active[k] = false;
        samples[k].clear();
        seams[k] = kd7240fp::Plan::Seam();
        beyondRuns[k].clear();
    }
    n = 0;
    uTime = 1e-6;
    problem = reason;
    title = reason;
    if (spectrum)
        spectrum->showProblem(reason);
    if (chart)
        redraw();
}

void kd7240fp_preview::setChannelName(int channel, const QString &name)
{
    names[channel] = name;
    if (channelSeries[channel])
        channelSeries[channel]->setName(name);
    if (spectrum)
        spectrum->setChannelName(channel, name);
}

void kd7240fp_preview::setVoltRange(VoltRange chosen)
{
    range = chosen;
    if (fitButton) {
        fitButton->setChecked(chosen == FitSignal);
        limitsButton->setChecked(chosen == CardLimits);
    }
    if (chart)
        redraw(true);
}

void kd7240fp_preview::resetZoom()
{
    if (!chart)
        return;
    setHomeRanges();
    plotVisible(timeAxis->min(), timeAxis->max());
    followPointer();
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
    fitButton = new QToolButton(this);
    fitButton->setText(tr("Fit"));
    fitButton->setAccessibleName(tr("Volt axis fits the signal"));
    fitButton->setToolTip(tr("The volt axis spans the signal, and the card's limits when they are near"));
    limitsButton = new QToolButton(this);
    limitsButton->setText(tr("Limits"));
    limitsButton->setAccessibleName(tr("Volt axis spans the card's limits"));
    limitsButton->setToolTip(tr("The volt axis spans the card's whole output range"));
    auto *ranges = new QButtonGroup(this);
    for (QToolButton *button : { fitButton, limitsButton }) {
        button->setCheckable(true);
        ranges->addButton(button);
    }
    fitButton->setChecked(range == FitSignal);
    limitsButton->setChecked(range == CardLimits);
    connect(fitButton, &QToolButton::clicked, this, [this] { setVoltRange(FitSignal); });
    connect(limitsButton, &QToolButton::clicked, this, [this] { setVoltRange(CardLimits); });
    readout = new QLabel(this);
    readout->setAccessibleName(tr("Sample under the pointer"));
    readout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *bar = new QHBoxLayout;
    timeControls = new QWidget(this);
    auto *timeBar = new QHBoxLayout(timeControls);
    timeBar->setContentsMargins(0, 0, 0, 0);
    voltAxisLabel = new QLabel(tr("Volt axis:"), this);
    timeBar->addWidget(voltAxisLabel);
    timeBar->addWidget(fitButton);
    timeBar->addWidget(limitsButton);
    timeBar->addStretch();
    timeBar->addWidget(readout);
    bar->addWidget(timeControls, 1);
    static_cast<QVBoxLayout *>(layout())->addLayout(bar);

    chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    timeAxis = new QCategoryAxis;
    voltAxis = new QCategoryAxis;
    for (QCategoryAxis *axis : { timeAxis, voltAxis })
        axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(voltAxis, Qt::AlignLeft);

    auto attach = [this](QAbstractSeries *series) {
        chart->addSeries(series);
        series->attachAxis(timeAxis);
        series->attachAxis(voltAxis);
    };
    for (int k = 0; k < 2; ++k) {
        channelSeries[k] = new QLineSeries;
        channelSeries[k]->setName(names[k]);
        channelSeries[k]->setPen(QPen(kd7240fp::channelColour(k), 1.5));
        attach(channelSeries[k]);
    }
    for (int k = 0; k < 2; ++k) {
        limitSeries[k] = new QLineSeries;
        limitSeries[k]->setName(tr("Output limits"));
        limitSeries[k]->setPen(QPen(limitColour, 1, Qt::DashLine));
        attach(limitSeries[k]);
    }
    for (int k = 0; k < 2; ++k) {
        seamSeries[k] = new QLineSeries;
        seamSeries[k]->setName(tr("Seam"));
        seamSeries[k]->setPen(QPen(seamColour, 4, Qt::SolidLine, Qt::FlatCap));
        attach(seamSeries[k]);
    }
    // The two limit lines share one legend entry; so do the seams.
    chart->legend()->markers(limitSeries[1]).value(0)->setVisible(false);
    beyondSeries = new QScatterSeries;
    beyondSeries->setName(tr("Beyond the limits"));
    beyondSeries->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    beyondSeries->setMarkerSize(5);
    beyondSeries->setColor(beyondColour);
    beyondSeries->setBorderColor(beyondColour);
    attach(beyondSeries);
    chart->legend()->setAlignment(Qt::AlignBottom);
    for (QGraphicsLineItem *&line : crossHair) {
        line = new QGraphicsLineItem(chart);
        line->setPen(QPen(crossHairColour, 1, Qt::DotLine));
        line->setZValue(100);
        line->hide();
    }

    // A zoom moves the time axis: trace the samples now in view.
    connect(timeAxis, &QValueAxis::rangeChanged, this, [this](qreal from, qreal to) {
        if (settingRanges)
            return;
        placeTicks();
        plotVisible(from, to);
        followPointer();
    });
    connect(voltAxis, &QValueAxis::rangeChanged, this, [this] {
        if (settingRanges)
            return;
        placeTicks();
        followPointer();
    });
    // A larger or smaller plot has room for more or fewer labels.
    connect(chart, &QChart::plotAreaChanged, this, [this] {
        if (!settingRanges)
            placeTicks();
    });

    view = new QChartView(chart, this);
    view->setRenderHint(QPainter::Antialiasing, false);
    view->setMinimumSize(480, 260);
    view->setAccessibleName(accessibleName());
    view->setAccessibleDescription(accessibleDescription());
    view->setRubberBand(QChartView::RectangleRubberBand);
    view->viewport()->setMouseTracking(true);
    view->viewport()->installEventFilter(this);
    layout()->addWidget(view);
    hideCrossHair();
    if (spectrum)
        placeSpectrum();
}

bool kd7240fp_preview::seamShown(int channel) const
{
    if (channel < 0)
        return seamShown(0) || seamShown(1);
    return active[channel] && seams[channel].shown && n >= 2;
}

void kd7240fp_preview::placeTicks()
{
    // Before the first layout the plot has no size yet: a typical one.
    const QRectF plot = chart->plotArea();
    roundTicks(timeAxis, Qt::Horizontal, plot.width() > 0 ? plot.width() : 400);
    roundTicks(voltAxis, Qt::Vertical, plot.height() > 0 ? plot.height() : 200);
}

double kd7240fp_preview::periodEnd() const
{
    // Without samples a plain 0 to 1, not 0 to nothing.
    return n > 0 && uTime > 0 ? n * uTime * unitScale() : 1.0;
}

double kd7240fp_preview::unitScale() const
{
    // Microseconds for short periods, milliseconds for long ones.
    return n * uTime < 1e-3 ? 1e6 : 1e3;
}

void kd7240fp_preview::setHomeRanges()
{
    const double end = periodEnd();
    bool any = false;
    const double low = limits.low, high = limits.high;
    double lo = low, hi = high;
    for (int k = 0; k < 2; ++k)
        if (active[k]) {
            lo = any ? std::min(lo, lowest[k]) : lowest[k];
            hi = any ? std::max(hi, highest[k]) : highest[k];
            any = true;
        }
    if (range == CardLimits || !any) {
        lo = std::min(lo, low);
        hi = std::max(hi, high);
    } else {
        // A flat signal still gets a readable span: a hundredth of the card's.
        const double least = std::max((high - low) * 0.01, 1e-6);
        if (hi - lo < least) {
            const double middle = (hi + lo) * 0.5;
            lo = middle - least * 0.5;
            hi = middle + least * 0.5;
        }
        const double near = (hi - lo) * nearLimits;
        if (low < lo && lo - low <= near)
            lo = low;
        if (high > hi && high - hi <= near)
            hi = high;
    }
    const double margin = (hi - lo) * 0.05;
    settingRanges = true;
    chart->zoomReset();
    timeAxis->setRange(0, end * (seamShown() ? 1.03 : 1.0));
    voltAxis->setRange(lo - margin, hi + margin);
    settingRanges = false;
    placeTicks();
}

void kd7240fp_preview::plotVisible(double from, double to)
{
    const double dt = uTime * unitScale();
    const int columns = plotColumns(chart);
    QList<QPointF> beyond;
    for (int k = 0; k < 2; ++k) {
        QList<QPointF> points;
        if (active[k]) {
            const int first = std::clamp(int(std::floor(from / dt)), 0, n - 1);
            const int last = std::clamp(int(std::ceil(to / dt)), first + 1, n);
            points = trace(samples[k].data() + first, last - first, dt, columns);
            if (first > 0)
                for (QPointF &p : points)
                    p.rx() += first * dt;
        }
        if (active[k])
            markBeyond(k, from, to, columns, &beyond);
        channelSeries[k]->replace(points);
        channelSeries[k]->setVisible(active[k]);
    }
    beyondSeries->replace(beyond);
}

void kd7240fp_preview::markBeyond(int k, double from, double to, int columns, QList<QPointF> *marks) const
{
    // The runs the plan found beyond the card's range, as far as they are in
    // view: at most one mark a pixel column, the sample farthest out.
    const double dt = uTime * unitScale();
    const int first = std::clamp(int(std::floor(from / dt)), 0, n);
    const int last = std::clamp(int(std::ceil(to / dt)), first, n);
    const int perColumn = std::max(1, (last - first) / std::max(columns, 1));
    const std::vector<double> &s = samples[k];
    const auto outside = [this](double v) { return std::max(v - limits.high, limits.low - v); };
    for (const auto &[runFrom, runTo] : beyondRuns[k])
        for (int i = std::max(runFrom, first); i < std::min(runTo, last); i += perColumn) {
            int worst = i;
            for (int j = i + 1; j < std::min({ i + perColumn, runTo, last }); ++j)
                worst = outside(s[size_t(j)]) > outside(s[size_t(worst)]) ? j : worst;
            marks->append(QPointF((worst + 0.5) * dt, s[size_t(worst)]));
        }
}

void kd7240fp_preview::redraw(bool keepTimeZoom)
{
    const double scale = unitScale();
    timeAxis->setTitleText(scale == 1e6 ? tr("Time (µs)") : tr("Time (ms)"));
    const double end = periodEnd();
    const double zoomedFrom = timeAxis->min(), zoomedTo = timeAxis->max();
    const bool zoomed = keepTimeZoom && (zoomedFrom > 0 || zoomedTo < end);
    setHomeRanges();
    if (zoomed) {
        settingRanges = true;
        timeAxis->setRange(zoomedFrom, zoomedTo);
        settingRanges = false;
        placeTicks();
    }
    plotVisible(timeAxis->min(), timeAxis->max());
    limitSeries[0]->replace({ QPointF(0, limits.low), QPointF(end, limits.low) });
    limitSeries[1]->replace({ QPointF(0, limits.high), QPointF(end, limits.high) });
    // A shape's own scale has no card limits: only its trace and its seam.
    const bool volts = !shapeScale;
    voltAxis->setTitleText(volts ? tr("Volts") : tr("Shape (-1 to 1)"));
    limitSeries[0]->setVisible(volts);
    limitSeries[1]->setVisible(volts);
    beyondSeries->setVisible(volts);
    for (QLegendMarker *marker : chart->legend()->markers(limitSeries[0]) + chart->legend()->markers(beyondSeries))
        marker->setVisible(volts);
    fitButton->setVisible(volts);
    limitsButton->setVisible(volts);
    voltAxisLabel->setVisible(volts);

    // The card plays the period again right after its last sample: for a
    // shape, that step is drawn where the next period begins.
    for (int k = 0; k < 2; ++k) {
        const bool marked = seamShown(k);
        if (marked)
            seamSeries[k]->replace({ QPointF(end, samples[k].back()), QPointF(end, samples[k].front()) });
        else
            seamSeries[k]->clear();
        seamSeries[k]->setVisible(marked);
    }
    const bool anySeam = seamShown();
    const QList<QLegendMarker *> seamMarkers
        = chart->legend()->markers(seamSeries[0]) + chart->legend()->markers(seamSeries[1]);
    for (int i = 0; i < seamMarkers.size(); ++i)
        seamMarkers[i]->setVisible(anySeam && i == 0);
    chart->setTitle(title);
    followPointer();
}

void kd7240fp_preview::zoomTime(double factor, double about)
{
    const double end = periodEnd() * (seamShown() ? 1.03 : 1.0);
    const double dt = uTime * unitScale();
    double from = about - (about - timeAxis->min()) * factor;
    double to = about + (timeAxis->max() - about) * factor;
    from = std::max(from, 0.0);
    to = std::min(to, end);
    if (to - from >= end * (1 - 1e-9)) {
        resetZoom();
        return;
    }
    // No closer than a few samples.
    if (to - from < 4 * dt)
        return;
    timeAxis->setRange(from, to);
}

void kd7240fp_preview::pointAt(const QPointF &viewPosition)
{
    if (n < 1 || (!active[0] && !active[1]) || !problem.isEmpty()) {
        hideCrossHair();
        return;
    }
    const QPointF inChart = chart->mapFromScene(view->mapToScene(viewPosition.toPoint()));
    const QRectF plot = chart->plotArea();
    if (!plot.contains(inChart)) {
        hideCrossHair();
        return;
    }
    const QPointF value = chart->mapToValue(inChart, channelSeries[active[0] ? 0 : 1]);
    const double dt = uTime * unitScale();
    const int i = std::clamp(int(std::floor(value.x() / dt)), 0, n - 1);
    // Of the two channels, the one whose sample lies nearer the pointer.
    int k = active[0] ? 0 : 1;
    if (active[0] && active[1]
        && std::fabs(samples[1][size_t(i)] - value.y()) < std::fabs(samples[0][size_t(i)] - value.y()))
        k = 1;
    const double volts = samples[k][size_t(i)];
    const QPointF at = chart->mapToPosition(QPointF((i + 0.5) * dt, volts), channelSeries[k]);
    crossHair[0]->setLine(at.x(), plot.top(), at.x(), plot.bottom());
    crossHair[1]->setLine(plot.left(), at.y(), plot.right(), at.y());
    for (QGraphicsLineItem *line : crossHair)
        line->show();
    const QString sample = tr("sample %1: %2 %3")
                               .arg(i)
                               .arg(kd7240fp::decimalText(i * dt, 'g', 6))
                               .arg(unitScale() == 1e6 ? tr("µs") : tr("ms"));
    kd7010fp_showLiveText(readout, shapeScale
            ? tr("%1, %2, %3").arg(channelSeries[k]->name(), sample, kd7240fp::decimalText(volts, 'g', 5))
            : tr("Channel %1, %2, %3 V").arg(k + 1).arg(sample, kd7240fp::decimalText(volts, 'g', 5)));
}

void kd7240fp_preview::followPointer()
{
    // A zoom moves the samples under a pointer that stays where it is.
    if (pointer)
        pointAt(*pointer);
    else
        hideCrossHair();
}

void kd7240fp_preview::hideCrossHair()
{
    for (QGraphicsLineItem *line : crossHair)
        if (line)
            line->hide();
    if (readout)
        kd7010fp_showLiveText(readout, tr("Drag to zoom, wheel to zoom the time, double-click for the whole period"));
}

bool kd7240fp_preview::eventFilter(QObject *watched, QEvent *event)
{
    if (!view || watched != view->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove:
        pointer = static_cast<QMouseEvent *>(event)->position();
        pointAt(*pointer);
        break;
    case QEvent::Leave:
        pointer.reset();
        hideCrossHair();
        break;
    case QEvent::MouseButtonDblClick:
        resetZoom();
        return true;
    case QEvent::Wheel: {
        auto *wheel = static_cast<QWheelEvent *>(event);
        const int notches = wheel->angleDelta().y();
        if (notches != 0 && n > 0) {
            const QPointF inChart = chart->mapFromScene(view->mapToScene(wheel->position().toPoint()));
            const double about = std::clamp(chart->mapToValue(inChart).x(), timeAxis->min(), timeAxis->max());
            zoomTime(std::pow(wheelStep, notches / 120.0), about);
        }
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void kd7240fp_preview::setSpectrumOffered(bool offered)
{
    if (!offered || spectrum)
        return;
    spectrum = new kd7240fp_spectrumView(this);
    spectrum->hide();
    for (int k = 0; k < 2; ++k)
        spectrum->setChannelName(k, names[k]);
    if (chart)
        placeSpectrum();
}

void kd7240fp_preview::placeSpectrum()
{
    timeButton = new QToolButton(this);
    timeButton->setText(tr("Time"));
    timeButton->setAccessibleName(tr("Show the samples in time"));
    timeButton->setToolTip(tr("One period of each channel's samples in time"));
    spectrumButton = new QToolButton(this);
    spectrumButton->setText(tr("Spectrum"));
    spectrumButton->setAccessibleName(tr("Show the spectrum of the samples"));
    spectrumButton->setToolTip(tr("The lines of the whole buffer each channel plays, with its harmonics"));
    auto *shown = new QButtonGroup(this);
    for (QToolButton *button : { timeButton, spectrumButton }) {
        button->setCheckable(true);
        shown->addButton(button);
    }
    connect(timeButton, &QToolButton::clicked, this, [this] { showSpectrum(false); });
    connect(spectrumButton, &QToolButton::clicked, this, [this] { showSpectrum(true); });
    auto *bar = static_cast<QHBoxLayout *>(layout()->itemAt(0)->layout());
    bar->insertWidget(0, timeButton);
    bar->insertWidget(1, spectrumButton);
    bar->insertSpacing(2, 12);
    bar->addWidget(spectrum->controls, 1);
    layout()->removeWidget(view);
    views = new QStackedWidget(this);
    views->addWidget(view);
    views->addWidget(spectrum);
    layout()->addWidget(views);
    showSpectrum(false);
}

void kd7240fp_preview::showSpectrum(bool shown)
{
    timeButton->setChecked(!shown);
    spectrumButton->setChecked(shown);
    // The outgoing controls first: both in the bar at once would widen the window.
    (shown ? timeControls : spectrum->controls)->hide();
    (shown ? spectrum->controls : timeControls)->show();
    views->setCurrentWidget(shown ? static_cast<QWidget *>(spectrum) : view);
}
