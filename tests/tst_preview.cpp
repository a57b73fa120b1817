// The Preview tab: how a period becomes points, and that the panel shows
// exactly the samples Start sends, against the card's limits.
#include <QChart>
#include <QChartView>
#include <QDoubleSpinBox>
#include <QGraphicsTextItem>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QValueAxis>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <vector>

#include "kd7240_fc.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_plan.h"
#include "kd7240fp_preview.h"
#include "panelfixture.h"

namespace {

// The plan of channel 1 playing `s` as a shape at 1000 Hz (1 MHz for 1000
// samples), on a card of -10 to 10 V.
kd7240fp::Plan shapePlan(const std::vector<double> &s, std::vector<double> &room)
{
    kd7240fp::Settings settings;
    settings.channel[0].waveType = kd7240fp::waveArbitrary;
    settings.channel[0].amplitude = 1;
    settings.channel[0].shape = s;
    return kd7240fp::planFor(settings, kd7240fp::Limits(), [&room](int count) {
        room.resize(size_t(count));
        return room.data();
    });
}

} // namespace

class tst_preview : public QObject
{
    Q_OBJECT

private slots:
    void init() { kdsim::reset(); }
    void traceKeepsEverySample_data();
    void traceKeepsEverySample();
    void showsWhatStartSends();
    void readable_data();
    void readable();
    void ticksAreNumbers_data();
    void ticksAreNumbers();

private:
    kd7240_fc card;
};

// Few samples are drawn held for a sample period each; many are drawn as the
// envelope of each pixel column, so a one-sample spike still shows.
void tst_preview::traceKeepsEverySample_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("columns");
    QTest::newRow("10 samples") << 10 << 400;
    QTest::newRow("as many as columns") << 400 << 400;
    QTest::newRow("262143 samples") << 262143 << 800;
    QTest::newRow("uneven columns") << 1001 << 1000;
}

void tst_preview::traceKeepsEverySample()
{
    QFETCH(int, n);
    QFETCH(int, columns);
    std::vector<double> s(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        s[size_t(i)] = std::sin(i * 6.283185307179586 / n);
    s[size_t(n / 3)] = 7.5; // a spike of one sample
    s[size_t(n - 1)] = -3;
    const double dt = 0.5;
    const QList<QPointF> points = kd7240fp_preview::trace(s.data(), n, dt, columns);

    QVERIFY(points.size() <= 2 * std::max(n <= columns ? n : columns, 1));
    double lo = 1e9, hi = -1e9;
    for (int i = 0; i < points.size(); ++i) {
        lo = std::min(lo, points[i].y());
        hi = std::max(hi, points[i].y());
        if (i > 0)
            QVERIFY(points[i].x() >= points[i - 1].x());
        QVERIFY(points[i].x() >= 0 && points[i].x() <= n * dt);
    }
    QCOMPARE(hi, 7.5);
    QCOMPARE(lo, -3.0);
    if (n <= columns)
        for (int i = 0; i < n; ++i)
            QCOMPARE(points[2 * i].y(), s[size_t(i)]);
}

void tst_preview::showsWhatStartSends()
{
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Auto Find"));
    QVERIFY(panel);
    kdsim::keepSamples(true);
    panel->chan1->sineButton->click();
    panel->chan1->amplitudeBox->setValue(2);
    panel->chan1->offsetBox->setValue(1);
    panel->chan2->triangleButton->click();
    panel->chan2->amplitudeBox->setValue(3);
    panel->commonSettings->frequencyBox->setValue(3000);
    panel->show();
    panel->tabs->setCurrentWidget(panel->preview);
    QTRY_VERIFY(panel->preview->chart);
    kd7240fp_preview *preview = panel->preview;
    QTRY_COMPARE(preview->channelSeries[0]->count(), 2 * 333);
    QVERIFY(preview->chart->title().contains(QLatin1String("plays 3003.00 Hz, 333 samples at 1 MHz")));
    QCOMPARE(preview->beyondSeries->count(), 0);

    panel->startButton->click();
    const kdsim::Call sent = firstCall("kd7240_generateWaveforms");
    for (int k = 0; k < 2; ++k) {
        const std::vector<double> &data = k == 0 ? sent.data1 : sent.data2;
        const QList<QPointF> points = preview->channelSeries[k]->points();
        QCOMPARE(points.size(), 2 * int(data.size()));
        for (size_t i = 0; i < data.size(); ++i)
            QCOMPARE(points[int(2 * i)].y(), data[i]);
    }
    panel->startButton->click();

    // Samples the card cannot play are marked: -5 V to 8 V here.
    panel->chan1->amplitudeBox->setValue(6);
    panel->chan1->offsetBox->setValue(4);
    QTRY_VERIFY(preview->beyondSeries->count() > 0);
    for (const QPointF &p : preview->beyondSeries->points())
        QVERIFY(p.y() > 8);
}

// The volt axis fits the signal, keeping limits that are near; a shape's
// seam is named when it jumps; a zoom returns to the whole period on a double
// click.
void tst_preview::readable_data()
{
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<bool>("shape");
    QTest::addColumn<double>("drift"); // added across the period: the seam steps back by it
    QTest::addColumn<bool>("cardLimits");
    QTest::addColumn<bool>("seesLimits");
    QTest::addColumn<QString>("seam"); // in the title; empty: none named
    const double asIs = 0;
    QTest::newRow("1 V, fit: the limits are far") << 1.0 << false << asIs << false << false << QString();
    QTest::newRow("1 V, the card's limits") << 1.0 << false << asIs << true << true << QString();
    QTest::newRow("8 V, fit: the limits are near") << 8.0 << false << asIs << false << true << QString();
    QTest::newRow("shape, seamless") << 1.0 << true << asIs << false << false << QString();
    QTest::newRow("shape, stepping at the seam")
        << 1.0 << true << 0.3 << false << false << QStringLiteral("channel 1 steps -0.294 V at the seam");
}

void tst_preview::readable()
{
    QFETCH(double, amplitude);
    QFETCH(bool, shape);
    QFETCH(double, drift);
    QFETCH(bool, cardLimits);
    QFETCH(bool, seesLimits);
    QFETCH(QString, seam);
    const int n = 1000;
    std::vector<double> s(n);
    for (int i = 0; i < n; ++i)
        s[size_t(i)] = amplitude * std::sin(i * 6.283185307179586 / n) + drift * i / (n - 1);
    kd7240fp_preview preview;
    preview.resize(900, 460);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    std::vector<double> room;
    kd7240fp::Plan plan = shapePlan(s, room);
    plan.seam[0].shown = shape; // a sine of the same samples has no seam to show
    preview.showPlan(plan);
    if (cardLimits)
        preview.limitsButton->click();
    QCOMPARE(preview.limitsButton->isChecked(), cardLimits);
    auto *volts = qobject_cast<QValueAxis *>(preview.chart->axes(Qt::Vertical).value(0));
    auto *time = qobject_cast<QValueAxis *>(preview.chart->axes(Qt::Horizontal).value(0));
    QVERIFY(volts && time);
    const auto [lowest, highest] = std::minmax_element(s.begin(), s.end());
    QVERIFY(volts->min() <= *lowest && volts->max() >= *highest);
    QCOMPARE(volts->min() <= -10 && volts->max() >= 10, seesLimits);
    if (!seesLimits)
        QVERIFY(volts->max() - volts->min() < 4 * amplitude);
    const QString title = preview.chart->title();
    QCOMPARE(title.contains(QLatin1String("seam")), !seam.isEmpty());
    if (!seam.isEmpty())
        QVERIFY2(title.contains(seam), qPrintable(title));
    QCOMPARE(preview.seamSeries[0]->isVisible(), shape);

    // Three wheel notches in, then a double click: the whole period again.
    const QList<QPointF> whole = preview.channelSeries[0]->points();
    const double end = time->max(), low = volts->min(), high = volts->max();
    QWidget *area = preview.view->viewport();
    const QPoint middle = area->rect().center();
    // A drag's zoom moves other samples under the pointer: the readout follows.
    const QPoint pointer = middle + QPoint(120, 0);
    QMouseEvent move(QEvent::MouseMove, pointer, area->mapToGlobal(pointer), Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(area, &move);
    const QString before = preview.readout->text();
    QVERIFY2(before.contains(QLatin1String("sample")), qPrintable(before));
    time->setRange(0, end / 4);
    QVERIFY2(preview.readout->text().contains(QLatin1String("sample")) && preview.readout->text() != before,
        qPrintable(preview.readout->text()));
    preview.resetZoom();
    QWheelEvent wheel(middle, area->mapToGlobal(middle), QPoint(), QPoint(0, 3 * 120), Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(area, &wheel);
    QVERIFY(time->max() - time->min() < 0.6 * end);
    QVERIFY(preview.channelSeries[0]->points() != whole);
    QTest::mouseDClick(area, Qt::LeftButton, {}, middle);
    QCOMPARE(time->min(), 0.0);
    QCOMPARE(time->max(), end);
    QCOMPARE(volts->min(), low);
    QCOMPARE(volts->max(), high);
    QCOMPARE(preview.channelSeries[0]->points(), whole);
}

// Every tick label reads as a number: none elided to "…" for want of room,
// none a "-0.0" that a running sum left just below zero.
void tst_preview::ticksAreNumbers_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("offset"); // of a sine shape; NaN: nothing to show
    QTest::addColumn<bool>("shapeScale");
    QTest::newRow("nothing to show") << QSize(480, 300) << double(NAN) << false;
    QTest::newRow("a shape in a short plot") << QSize(480, 230) << 0.3 << true;
    QTest::newRow("volts, a wide plot") << QSize(900, 460) << 0.3 << false;
}

void tst_preview::ticksAreNumbers()
{
    QFETCH(QSize, size);
    QFETCH(double, offset);
    QFETCH(bool, shapeScale);
    kd7240fp_preview preview;
    preview.resize(size);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    std::vector<double> s(1000);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = (std::sin(double(i) * 6.283185307179586 / 1000) + offset) / (1 + offset);
    std::vector<double> room;
    if (!std::isnan(offset))
        preview.showPlan(shapePlan(s, room), shapeScale);
    QTest::qWait(50);
    QStringList labels;
    for (QGraphicsItem *item : preview.view->scene()->items()) {
        auto *text = qgraphicsitem_cast<QGraphicsTextItem *>(item);
        // Titles and names hold letters; tick labels only digits, a sign, a point (or an ellipsis).
        if (text && text->isVisible() && !text->toPlainText().isEmpty()
            && !text->toPlainText().contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
            labels << text->toPlainText();
    }
    QVERIFY2(labels.size() >= 4, qPrintable(labels.join(QLatin1Char(' '))));
    for (const QString &label : std::as_const(labels)) {
        bool number = false;
        const double value = label.toDouble(&number);
        QVERIFY2(number && !(value == 0 && label.startsWith(QLatin1Char('-'))), qPrintable(label));
    }
}

QTEST_MAIN(tst_preview)
#include "tst_preview.moc"
