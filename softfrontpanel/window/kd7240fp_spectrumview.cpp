#include "kd7240fp_spectrumview.h"

#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QGraphicsLineItem>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QLogValueAxis>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "kd7010fp_livelabel.h"
#include "kd7240fp_plotcolours.h"

namespace {

const QColor crossHairColour(0x40, 0x40, 0x40, 0xa0);

// How far from the pointer, in pixels, a line's stem is sought.
constexpr double reach = 6;
// Below this share of the pixel columns in use, each stem's top is marked.
constexpr int markedShare = 6;

// A round step (1, 2 or 5 times a power of ten) for at most `count` steps in `span`.
double roundStep(double span, double count)
{
    const double rough = std::max(span, 1e-12) / std::max(count, 1.0);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double m = rough / power;
    return (m <= 1 ? 1 : m <= 2 ? 2 : m <= 5 ? 5 : 10) * power;
}

QString levelNumber(double db, int decimals = 2) { return QLocale().toString(db, 'f', decimals); }

} // namespace

kd7240fp_spectrumView::kd7240fp_spectrumView(QWidget *parent)
    : QWidget(parent)
    , names { tr("Channel 1"), tr("Channel 2") }
{
    setAccessibleName(tr("Spectrum of the samples"));
    setAccessibleDescription(tr("The lines of the buffer each channel plays, with its harmonics and distortion"));

    // Made now, not on first show: an owner may put them into its own bar.
    controls = new QWidget(this);
    auto *bar = new QHBoxLayout(controls);
    bar->setContentsMargins(0, 0, 0, 0);
    linearButton = new QToolButton(controls);
    linearButton->setText(tr("Linear"));
    linearButton->setAccessibleName(tr("Linear frequency axis"));
    linearButton->setToolTip(tr("The frequency axis runs linearly from 0 Hz (DC) to the Nyquist frequency"));
    logButton = new QToolButton(controls);
    logButton->setText(tr("Log"));
    logButton->setAccessibleName(tr("Logarithmic frequency axis"));
    logButton->setToolTip(tr("The frequency axis runs in decades from the first line to the Nyquist frequency"));
    auto *scales = new QButtonGroup(this);
    for (QToolButton *button : { linearButton, logButton }) {
        button->setCheckable(true);
        scales->addButton(button);
    }
    linearButton->setChecked(true);
    connect(linearButton, &QToolButton::clicked, this, [this] { setFrequencyScale(Linear); });
    connect(logButton, &QToolButton::clicked, this, [this] { setFrequencyScale(Logarithmic); });
    readout = new QLabel(controls);
    readout->setAccessibleName(tr("Line under the pointer"));
    readout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // A long reading is cut short rather than widening the window under the pointer.
    readout->setMinimumWidth(1);
    bar->addWidget(new QLabel(tr("Frequency axis:"), controls));
    bar->addWidget(linearButton);
    bar->addWidget(logButton);
    bar->addStretch();
    bar->addWidget(readout);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(controls);
}

void kd7240fp_spectrumView::levelRange(double strongest, double *bottom, double *top)
{
    // Lines down to -200 dBV are what the samples hold (rounding leaves
    // about -300 dBV), so the axis reaches at least that far; a weak signal
    // still shows 140 dB of it.
    if (strongest <= kd7240fp::zeroDbv) {
        *bottom = -200;
        *top = 0;
        return;
    }
    *bottom = std::min(10 * std::floor((strongest - 140) / 10), -200.0);
    *top = 10 * std::ceil((strongest + 5) / 10);
}

std::pair<double, double> kd7240fp_spectrumView::frequencyRange() const
{
    if (auto *axis = qobject_cast<QValueAxis *>(frequencyAxis))
        return { axis->min(), axis->max() };
    if (auto *axis = qobject_cast<QLogValueAxis *>(frequencyAxis))
        return { axis->min(), axis->max() };
    return { 0, 1 };
}

void kd7240fp_spectrumView::showPlan(const kd7240fp::Plan &plan)
{
    if (!plan.timing.ok) {
        showProblem(tr("No spectrum: the settings give no samples to play."));
        return;
    }
    n = plan.timing.nSam;
    rate = plan.timing.rate;
    periods = std::max(plan.periods, 1);
    // A modulated channel's sidebands lie a modulation's line apart around
    // the carrier's.
    for (int k = 0; k < 2; ++k)
        sidebandStep[k] = plan.modulated && plan.modulation.channels[k].modulated ? plan.modulation.channels[k].periods : 0;
    const bool now = chart && isVisible();
    for (int k = 0; k < 2; ++k) {
        active[k] = plan.samples[k] && n > 0;
        waiting[k].clear();
        if (active[k] && now)
            compute(k, plan.samples[k]);
        else if (active[k])
            waiting[k].assign(plan.samples[k], plan.samples[k] + n);
        else
            compute(k, nullptr);
    }
    title = tr("Spectrum of the samples: %1 samples at %2").arg(n).arg(frequencyText(rate));
    stale = !now;
    if (now)
        refresh();
}

void kd7240fp_spectrumView::showProblem(const QString &reason)
{
    for (int k = 0; k < 2; ++k) {
        active[k] = false;
        waiting[k].clear();
        compute(k, nullptr);
    }
    n = 0;
    rate = 0;
    title = reason;
    stale = true;
    if (chart && isVisible())
        refresh();
}

void kd7240fp_spectrumView::setChannelName(int channel, const QString &name)
{
    names[channel] = name;
    if (lineSeries[channel])
        lineSeries[channel]->setName(name);
    if (table)
        table->setHorizontalHeaderItem(channel, new QTableWidgetItem(name));
}

void kd7240fp_spectrumView::setFrequencyScale(FrequencyScale chosen)
{
    scale = chosen;
    linearButton->setChecked(chosen == Linear);
    logButton->setChecked(chosen == Logarithmic);
    if (!chart)
        return;
    makeFrequencyAxis();
    setHomeRanges();
    plotVisible();
    hideCrossHair();
}

void kd7240fp_spectrumView::resetZoom()
{
    if (!chart)
        return;
    setHomeRanges();
    replot();
}

void kd7240fp_spectrumView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!chart) {
        build();
        stale = true;
    }
    if (stale)
        refresh();
}

void kd7240fp_spectrumView::build()
{
    chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setLocalizeNumbers(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
    levelAxis = new QValueAxis;
    levelAxis->setTitleText(tr("Level (dBV)"));
    levelAxis->setLabelFormat(QStringLiteral("%.6g"));
    levelAxis->setTickType(QValueAxis::TicksDynamic);
    levelAxis->setTickAnchor(0);
    chart->addAxis(levelAxis, Qt::AlignLeft);
    for (int k = 0; k < 2; ++k) {
        const QColor colour = kd7240fp::channelColour(k);
        lineSeries[k] = new QLineSeries;
        lineSeries[k]->setName(names[k]);
        lineSeries[k]->setPen(QPen(colour, 1));
        lineSeries[k]->setMarkerSize(5);
        dcSeries[k] = new QLineSeries;
        dcSeries[k]->setPen(QPen(colour, 3, Qt::SolidLine, Qt::FlatCap));
        for (QLineSeries *series : { lineSeries[k], dcSeries[k] }) {
            chart->addSeries(series);
            series->attachAxis(levelAxis);
        }
    }
    makeFrequencyAxis();
    for (QGraphicsLineItem *&line : crossHair) {
        line = new QGraphicsLineItem(chart);
        line->setPen(QPen(crossHairColour, 1, Qt::DotLine));
        line->setZValue(100);
        line->hide();
    }
    // A vertical zoom moves the stems' foot below the axis; a larger plot
    // has more columns and room for more ticks. Either moves the lines
    // under the pointer.
    connect(levelAxis, &QValueAxis::rangeChanged, this, &kd7240fp_spectrumView::replot);
    connect(chart, &QChart::plotAreaChanged, this, &kd7240fp_spectrumView::replot);

    view = new QChartView(chart, this);
    view->setRenderHint(QPainter::Antialiasing, false);
    view->setMinimumSize(320, 260);
    view->setAccessibleName(accessibleName());
    view->setAccessibleDescription(accessibleDescription());
    view->setToolTip(
        tr("The exact lines of the samples the card is sent, played over and over: no window, no leakage.\n"
           "Not in them: the DAC holding each sample for its period (a sin(x)/x roll-off, -3.9 dB at the "
           "Nyquist frequency), the images of every line above the Nyquist frequency, the output filter, "
           "and the DAC's quantisation."));
    view->setRubberBand(QChartView::RectangleRubberBand);
    view->viewport()->setMouseTracking(true);
    view->viewport()->installEventFilter(this);

    table = new QTableWidget(RowCount, 2, this);
    table->setAccessibleName(tr("Fundamental, harmonics and distortion"));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QStringList rows { tr("Fundamental"), tr("Level"), tr("DC") };
    for (int h = 2; h <= kd7240fp::Analysis::lastHarmonic; ++h)
        rows << tr("Harmonic %1").arg(h);
    rows << tr("THD (2 to 10)");
    for (int j = 1; j <= kd7240fp::Analysis::sidebandPairs; ++j)
        rows << tr("Sideband -%1").arg(j) << tr("Sideband +%1").arg(j);
    table->setVerticalHeaderLabels(rows);
    table->setHorizontalHeaderLabels({ names[0], names[1] });
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (int row = 0; row < RowCount; ++row)
        for (int k = 0; k < 2; ++k)
            table->setItem(row, k, new QTableWidgetItem);

    auto *body = new QHBoxLayout;
    body->addWidget(view, 1);
    body->addWidget(table);
    static_cast<QVBoxLayout *>(layout())->addLayout(body, 1);
    hideCrossHair();
}

void kd7240fp_spectrumView::makeFrequencyAxis()
{
    if (frequencyAxis) {
        chart->removeAxis(frequencyAxis);
        delete frequencyAxis;
    }
    if (scale == Linear) {
        auto *axis = new QValueAxis;
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(0);
        axis->setLabelFormat(QStringLiteral("%.6g"));
        connect(axis, &QValueAxis::rangeChanged, this, &kd7240fp_spectrumView::replot);
        frequencyAxis = axis;
    } else {
        auto *axis = new QLogValueAxis;
        axis->setBase(10);
        axis->setMinorTickCount(8);
        axis->setLabelFormat(QStringLiteral("%.6g"));
        connect(axis, &QLogValueAxis::rangeChanged, this, &kd7240fp_spectrumView::replot);
        frequencyAxis = axis;
    }
    chart->addAxis(frequencyAxis, Qt::AlignBottom);
    for (int k = 0; k < 2; ++k) {
        lineSeries[k]->attachAxis(frequencyAxis);
        dcSeries[k]->attachAxis(frequencyAxis);
        // DC takes its channel's colour and needs no legend entry of its own.
        for (QLegendMarker *marker : chart->legend()->markers(dcSeries[k]))
            marker->setVisible(false);
    }
}

void kd7240fp_spectrumView::replot()
{
    if (settingRanges)
        return;
    plotVisible();
    if (pointerIn)
        pointAt(pointer);
}

void kd7240fp_spectrumView::compute(int channel, const double *samples)
{
    kd7240fp::lineSpectrum(samples, samples ? n : 0, rate, &spectra[channel]);
}

void kd7240fp_spectrumView::analyse()
{
    for (int k = 0; k < 2; ++k)
        analyses[k] = active[k]
            ? kd7240fp::analyse(spectra[k], periods, sidebandStep[k])
            : kd7240fp::Analysis();
}

void kd7240fp_spectrumView::refresh()
{
    for (int k = 0; k < 2; ++k)
        if (!waiting[k].empty()) {
            compute(k, waiting[k].data());
            std::vector<double>().swap(waiting[k]);
        }
    stale = false;
    analyse();
    chart->setTitle(title);
    setHomeRanges();
    fillTable();
    hideCrossHair();
    replot();
}

double kd7240fp_spectrumView::unitScale() const { return rate >= 2000 ? 1e3 : 1.0; }

QString kd7240fp_spectrumView::frequencyText(double hz) const
{
    const QLocale locale;
    if (hz >= 999999.5)
        return tr("%1 MHz").arg(locale.toString(hz / 1e6, 'g', 7));
    if (hz >= 999.5)
        return tr("%1 kHz").arg(locale.toString(hz / 1e3, 'g', 7));
    return tr("%1 Hz").arg(locale.toString(hz, 'g', 7));
}

void kd7240fp_spectrumView::setHomeRanges()
{
    double strongest = kd7240fp::zeroDbv;
    for (int k = 0; k < 2; ++k)
        if (active[k] && spectra[k].lines() > 0)
            strongest
                = std::max(strongest, kd7240fp::dbv(*std::max_element(spectra[k].rms.begin(), spectra[k].rms.end())));
    double bottom = 0, top = 0;
    levelRange(strongest, &bottom, &top);
    const double unit = unitScale();
    const double nyquist = n > 0 ? rate / 2 / unit : 1;
    frequencyAxis->setTitleText(unit == 1e3 ? tr("Frequency (kHz)") : tr("Frequency (Hz)"));
    settingRanges = true;
    chart->zoomReset();
    // The lines at either end stand clear of the axes. The ticks are spaced
    // for the new ranges first: the axes lay out at once, and a wide range
    // with the steps of a narrow one would make thousands of ticks.
    if (scale == Linear) {
        placeTicks(1.03 * nyquist, top - bottom);
        frequencyAxis->setRange(-0.015 * nyquist, 1.015 * nyquist);
    } else {
        placeTicks(0, top - bottom);
        if (n > 1)
            frequencyAxis->setRange(rate / n / unit / 1.15, nyquist * 1.15);
        else
            frequencyAxis->setRange(0.1, 1);
    }
    levelAxis->setRange(bottom, top);
    settingRanges = false;
}

void kd7240fp_spectrumView::placeTicks(double frequencySpan, double levelSpan)
{
    const QRectF plot = chart->plotArea();
    const double width = plot.width() > 0 ? plot.width() : 400;
    const double height = plot.height() > 0 ? plot.height() : 200;
    if (auto *axis = qobject_cast<QValueAxis *>(frequencyAxis))
        axis->setTickInterval(roundStep(frequencySpan, width / 90));
    levelAxis->setTickInterval(roundStep(levelSpan, height / 35));
}

void kd7240fp_spectrumView::plotVisible()
{
    if (auto *axis = qobject_cast<QValueAxis *>(frequencyAxis))
        placeTicks(axis->max() - axis->min(), levelAxis->max() - levelAxis->min());
    else
        placeTicks(0, levelAxis->max() - levelAxis->min());
    const QRectF plot = chart->plotArea();
    const int columns = std::max(int(plot.width()), 400);
    const double unit = unitScale();
    const bool linear = scale == Linear;
    const auto [from, to] = frequencyRange();
    const double low = levelAxis->min(), high = levelAxis->max();
    // The foot of every stem, out of sight below the axis: the steps between
    // stems run along it unseen.
    const double foot = low - (high - low);
    const double step = n > 0 ? rate / n / unit : 1; // axis units from line to line
    // A column's edge: its first line is the first at or after it.
    const auto edge = [&](int c) {
        const double at = linear ? from + (to - from) * c / columns : from * std::pow(to / from, double(c) / columns);
        return static_cast<long long>(std::ceil(at / step - 1e-9));
    };
    for (int k = 0; k < 2; ++k) {
        QList<QPointF> points, dc;
        const kd7240fp::Spectrum &s = spectra[k];
        int stems = 0;
        if (active[k] && s.lines() > 0) {
            const double *rms = s.rms.data();
            const long long first = std::max(1LL, edge(0));
            const long long last
                = std::min<long long>(s.lines() - 1, static_cast<long long>(std::floor(to / step + 1e-9)));
            points.reserve(3 * columns);
            long long next = first;
            for (int c = 0; c < columns && next <= last; ++c) {
                const long long end = c + 1 == columns ? last + 1 : std::min(edge(c + 1), last + 1);
                if (end <= next)
                    continue;
                const double *strongest = std::max_element(rms + next, rms + end);
                const double level = kd7240fp::dbv(*strongest);
                const double x = double(strongest - rms) * step;
                next = end;
                if (level < low)
                    continue;
                points << QPointF(x, foot) << QPointF(x, level) << QPointF(x, foot);
                ++stems;
            }
            if (linear && from <= 0 && to >= 0 && s.level(0) >= low)
                dc << QPointF(0, foot) << QPointF(0, s.level(0));
        }
        // Few stems: each top marked, so a lone line is plain to see.
        lineSeries[k]->setPointsVisible(stems > 0 && stems * markedShare <= columns);
        lineSeries[k]->replace(points);
        lineSeries[k]->setVisible(active[k]);
        dcSeries[k]->replace(dc);
        dcSeries[k]->setVisible(active[k] && linear);
        // Showing a series shows its legend entry again.
        for (QLegendMarker *marker : chart->legend()->markers(dcSeries[k]))
            marker->setVisible(false);
    }
}

void kd7240fp_spectrumView::fillTable()
{
    const QLocale locale;
    const QString none = QStringLiteral("—");
    bool anySidebands = false;
    for (int k = 0; k < 2; ++k) {
        table->setColumnHidden(k, !active[k]);
        if (!active[k])
            continue;
        const kd7240fp::Analysis &a = analyses[k];
        const QString floorText = tr("%1 dBV").arg(levelNumber(kd7240fp::dbv(a.floor), 0));
        const QString roundingTip
            = tr("Below the samples' rounding floor (%1): as weak as the rounding of their numbers, none in the signal")
                  .arg(floorText);
        // Said where a ratio to the fundamental would be one to rounding.
        const QString noFundamentalTip
            = a.fundamental.present() && a.fundamental.rounding
            ? tr("The fundamental (a modulated signal's carrier) is below the samples' rounding floor (%1): there "
                 "is no line to give a ratio to")
                  .arg(floorText)
            : tr("No fundamental to measure it against");
        const QString floorDbc = tr("< %1 dBc").arg(levelNumber(std::ceil(a.floorDbc()), 0));
        const auto relative = [&](const kd7240fp::NamedLine &line) {
            if (!line.present() || std::isnan(line.dbc))
                return none;
            if (line.rms == 0)
                return tr("exactly 0");
            if (line.rounding)
                return floorDbc;
            return tr("%1 dBc").arg(levelNumber(line.dbc, 1));
        };
        const auto lineTip = [&](const kd7240fp::NamedLine &line) {
            if (!line.present())
                return tr("Beyond the Nyquist frequency");
            if (line.rms == 0)
                return QString();
            QString tip = tr("%1, %2 dBV").arg(frequencyText(line.frequency), levelNumber(line.dbv));
            if (std::isnan(line.dbc))
                tip += QStringLiteral("\n") + noFundamentalTip;
            else if (line.rounding)
                tip += QStringLiteral("\n") + roundingTip;
            return tip;
        };
        const auto set = [&](int row, const QString &text, const QString &tip = QString()) {
            table->item(row, k)->setText(text);
            table->item(row, k)->setToolTip(tip);
        };
        const kd7240fp::NamedLine &f = a.fundamental;
        set(FundamentalRow, f.present() ? frequencyText(f.frequency) : none,
            f.present() ? tr("Line %1").arg(f.bin) : tr("Beyond the Nyquist frequency"));
        set(LevelRow, f.present() ? tr("%1 dBV").arg(levelNumber(f.dbv)) : none,
            !f.present()   ? QString()
                : f.rounding ? tr("%1 V RMS").arg(locale.toString(f.rms, 'g', 6)) + QStringLiteral("\n") + roundingTip
                             : tr("%1 V RMS").arg(locale.toString(f.rms, 'g', 6)));
        // A mean as small as the rounding is none: 0 rather than -2e-18.
        const kd7240fp::Spectrum &spectrum = spectra[k];
        if (spectrum.lines() > 0 && spectrum.rounding(0))
            set(DcRow, tr("0 V"), spectrum.mean == 0 ? QString() : roundingTip);
        else
            set(DcRow, tr("%1 V").arg(locale.toString(spectrum.mean, 'g', 4)));
        for (int h = 2; h <= kd7240fp::Analysis::lastHarmonic; ++h)
            set(FirstHarmonicRow + h - 2, relative(a.harmonic[h]), lineTip(a.harmonic[h]));
        if (std::isnan(a.thd))
            set(ThdRow, none, noFundamentalTip);
        else if (a.thd == 0)
            set(ThdRow, tr("0 %"));
        else if (a.thdRounding())
            set(ThdRow, tr("< %1 dB").arg(levelNumber(std::ceil(a.floorDbc()), 0)), roundingTip);
        else
            set(ThdRow, tr("%1 %, %2 dB").arg(locale.toString(a.thdPercent(), 'g', 3), levelNumber(a.thdDb(), 1)),
                tr("The RMS of harmonics 2 to 10 over the fundamental's"));
        anySidebands = anySidebands || a.sidebandStep > 0;
        for (int j = 1; j <= kd7240fp::Analysis::sidebandPairs; ++j)
            for (const kd7240fp::NamedLine *line : { &a.lower[j], &a.upper[j] }) {
                const int row = FirstSidebandRow + 2 * (j - 1) + (line == &a.upper[j] ? 1 : 0);
                set(row, a.sidebandStep > 0 ? relative(*line) : none,
                    line->present() ? lineTip(*line) : QString());
            }
    }
    for (int row = FirstSidebandRow; row < RowCount; ++row)
        table->setRowHidden(row, !anySidebands);
    table->setVisible(active[0] || active[1]);
    // As wide as its texts, the chart taking the rest.
    table->resizeColumnsToContents();
    int width = 2 * table->frameWidth() + table->verticalHeader()->sizeHint().width()
        + table->verticalScrollBar()->sizeHint().width();
    for (int k = 0; k < 2; ++k)
        width += active[k] ? table->columnWidth(k) : 0;
    table->setFixedWidth(width);
}

void kd7240fp_spectrumView::pointAt(const QPointF &viewPosition)
{
    if (n < 1 || (!active[0] && !active[1])) {
        hideCrossHair();
        return;
    }
    const QPointF at = chart->mapFromScene(view->mapToScene(viewPosition.toPoint()));
    const QRectF plot = chart->plotArea();
    if (!plot.contains(at) || plot.width() <= 0 || plot.height() <= 0) {
        hideCrossHair();
        return;
    }
    // Axis values and pixels, both ways, along either scale.
    const bool linear = scale == Linear;
    const auto [from, to] = frequencyRange();
    const auto toValue = [&](double px) {
        const double share = (px - plot.left()) / plot.width();
        return linear ? from + share * (to - from) : from * std::pow(to / from, share);
    };
    const auto toPixel = [&](double value) {
        const double share = linear ? (value - from) / (to - from) : std::log(value / from) / std::log(to / from);
        return plot.left() + share * plot.width();
    };
    const double low = levelAxis->min(), high = levelAxis->max();
    const auto levelPixel
        = [&](double db) { return plot.bottom() - (std::clamp(db, low, high) - low) / (high - low) * plot.height(); };
    const double step = rate / n / unitScale();
    const int firstLine = linear ? 0 : 1; // the log scale shows no DC
    // The stem nearest the pointer among those within reach (touching it
    // counts as on it), else the line nearest in frequency.
    int best = -1, bestChannel = 0;
    double bestScore = 0;
    for (int k = 0; k < 2; ++k) {
        if (!active[k] || spectra[k].lines() <= firstLine)
            continue;
        const int lastLine = spectra[k].lines() - 1;
        long long lo = static_cast<long long>(std::ceil(toValue(at.x() - reach) / step));
        long long hi = static_cast<long long>(std::floor(toValue(at.x() + reach) / step));
        lo = std::clamp<long long>(lo, firstLine, lastLine);
        hi = std::clamp<long long>(hi, firstLine, lastLine);
        if (lo > hi)
            lo = hi = std::clamp<long long>(std::llround(toValue(at.x()) / step), firstLine, lastLine);
        for (long long b = lo; b <= hi; ++b) {
            const double level = spectra[k].level(int(b));
            const double dx = toPixel(double(b) * step) - at.x();
            const double top = levelPixel(level);
            const double dy = at.y() < top ? top - at.y() : 0;
            const double score = dx * dx + dy * dy;
            if (best < 0 || score < bestScore || (score == bestScore && level > spectra[bestChannel].level(best))) {
                best = int(b);
                bestChannel = k;
                bestScore = score;
            }
        }
    }
    if (best < 0) {
        hideCrossHair();
        return;
    }
    const kd7240fp::Spectrum &s = spectra[bestChannel];
    const double level = s.level(best);
    const QPointF mark(toPixel(best * step), levelPixel(level));
    crossHair[0]->setLine(mark.x(), plot.top(), mark.x(), plot.bottom());
    crossHair[1]->setLine(plot.left(), mark.y(), plot.right(), mark.y());
    for (QGraphicsLineItem *line : crossHair)
        line->show();
    const QString where
        = tr("%1, line %2 at %3").arg(names[bestChannel]).arg(best).arg(frequencyText(s.frequency(best)));
    const kd7240fp::NamedLine &fundamental = analyses[bestChannel].fundamental;
    QString text;
    if (s.rms[size_t(best)] == 0)
        text = tr("%1: exactly 0").arg(where);
    else if (analyses[bestChannel].measurable() && fundamental.rms > 0)
        text = tr("%1: %2 dBV, %3 dBc").arg(where, levelNumber(level), levelNumber(level - fundamental.dbv));
    else
        text = tr("%1: %2 dBV").arg(where, levelNumber(level));
    kd7010fp_showLiveText(readout, text);
}

void kd7240fp_spectrumView::hideCrossHair()
{
    for (QGraphicsLineItem *line : crossHair)
        if (line)
            line->hide();
    kd7010fp_showLiveText(readout, tr("Drag to zoom, double-click for the whole band"));
}

bool kd7240fp_spectrumView::eventFilter(QObject *watched, QEvent *event)
{
    if (!view || watched != view->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove:
        pointer = static_cast<QMouseEvent *>(event)->position();
        pointerIn = true;
        pointAt(pointer);
        break;
    case QEvent::Leave:
        pointerIn = false;
        hideCrossHair();
        break;
    case QEvent::MouseButtonDblClick:
        resetZoom();
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
