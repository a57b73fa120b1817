// The spectrum of what the card plays: its lines against closed forms and
// the transform's definition, and the Preview tab's spectrum read as the
// operator reads it.
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QGraphicsScene>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QMouseEvent>
#include <QTableWidget>
#include <QToolButton>
#include <QValueAxis>
#include <QtTest>
#include <cmath>
#include <complex>
#include <vector>

#include "kd7240fp_plan.h"
#include "kd7240fp_preview.h"
#include "kd7240fp_spectrum.h"
#include "kd7240fp_spectrumview.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rate = 1e6;

double db(double rms) { return 20 * std::log10(rms); }

// Line k of a square of n samples, half of them at +a and half at -a: |X_k|
// is 2a / sin(pi k / n) for odd k and 0 for even k.
double squareLine(int n, int k, double a)
{
    return k % 2 == 0 ? 0.0 : 2 * a / std::sin(pi * k / n) / n * (2 * k == n ? 1 : std::sqrt(2.0));
}

// The THD of that square, harmonics 2 to 10 as far as the Nyquist line.
double thdOfSquare(int n)
{
    double sum = 0;
    for (int h = 2; h <= 10 && h <= n / 2; ++h)
        sum += squareLine(n, h, 1) * squareLine(n, h, 1);
    return std::sqrt(sum) / squareLine(n, 1, 1);
}

} // namespace

Q_DECLARE_METATYPE(kd7240fp::Modulation)

class tst_spectrum : public QObject
{
    Q_OBJECT

private slots:
    void oneLine_data();
    void oneLine();
    void asDefined_data();
    void asDefined();
    void squareThd_data();
    void squareThd();
    void sidebands_data();
    void sidebands();
    void viewReads_data();
    void viewReads();
};

// A cosine of k periods in n samples is one line at k, and DC one at 0:
// nothing else rises above the rounding of doubles, whatever n's factors.
void tst_spectrum::oneLine_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("k");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<double>("phase"); // radians
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("rms"); // of line k
    QTest::newRow("1000 samples") << 1000 << 1 << 2.0 << 0.3 << 0.0 << 2 / std::sqrt(2.0);
    QTest::newRow("odd n, with DC") << 999 << 7 << 1.0 << 1.0 << -0.25 << 1 / std::sqrt(2.0);
    QTest::newRow("262143 = 3^3 7 19 73") << 262143 << 1234 << 5.0 << 2.0 << 0.0 << 5 / std::sqrt(2.0);
    QTest::newRow("the Nyquist line has no twin") << 10 << 5 << 3.0 << 0.0 << 0.0 << 3.0;
}

void tst_spectrum::oneLine()
{
    QFETCH(int, n);
    QFETCH(int, k);
    QFETCH(double, amplitude);
    QFETCH(double, phase);
    QFETCH(double, offset);
    QFETCH(double, rms);
    std::vector<double> s(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        s[size_t(i)] = offset + amplitude * std::cos(2 * pi * double(k) * i / n + phase);
    kd7240fp::Spectrum spectrum;
    kd7240fp::lineSpectrum(s.data(), n, rate, &spectrum);
    QCOMPARE(spectrum.lines(), n / 2 + 1);
    QCOMPARE(spectrum.frequency(k), k * rate / n);
    QVERIFY2(std::fabs(spectrum.level(k) - db(rms)) < 1e-9, qPrintable(QString::number(spectrum.level(k))));
    QVERIFY(std::fabs(spectrum.mean - offset) < 1e-12);
    for (int line = 0; line < spectrum.lines(); ++line)
        if (line != k && !(line == 0 && offset != 0))
            QVERIFY2(spectrum.level(line) < -200, qPrintable(QStringLiteral("line %1").arg(line)));
}

// Every line of short buffers against the transform's own sum, and the
// analysis of them: the card's triangle at 100 kHz (ten samples) and a saw
// of an odd count.
void tst_spectrum::asDefined_data()
{
    QTest::addColumn<std::vector<double>>("samples");
    QTest::addColumn<double>("amplitude");
    std::vector<double> triangle { -1, -5. / 9, -1. / 9, 3. / 9, 7. / 9, 7. / 9, 3. / 9, -1. / 9, -5. / 9, -1 };
    std::vector<double> saw(7);
    for (size_t i = 0; i < saw.size(); ++i)
        saw[i] = -1 + 2.0 * double(i) / 7;
    QTest::newRow("the card's triangle, 10 samples") << triangle << 3.0;
    QTest::newRow("a saw of 7 samples") << saw << 0.5;
}

void tst_spectrum::asDefined()
{
    QFETCH(std::vector<double>, samples);
    QFETCH(double, amplitude);
    const int n = int(samples.size());
    for (double &s : samples)
        s *= amplitude;
    kd7240fp::Spectrum spectrum;
    kd7240fp::lineSpectrum(samples.data(), n, rate, &spectrum);
    const kd7240fp::Analysis a = kd7240fp::analyse(spectrum, 1);
    QCOMPARE(spectrum.lines(), n / 2 + 1);
    double harmonics = 0;
    for (int k = 0; k <= n / 2; ++k) {
        std::complex<double> x = 0;
        for (int i = 0; i < n; ++i)
            x += samples[size_t(i)] * std::polar(1.0, -2 * pi * k * i / n);
        const double rms = std::abs(x) / n * (k == 0 || 2 * k == n ? 1 : std::sqrt(2.0));
        QVERIFY2(std::fabs(spectrum.rms[size_t(k)] - rms) < 1e-12, qPrintable(QStringLiteral("line %1").arg(k)));
        if (k >= 2 && k <= 10) {
            QCOMPARE(a.harmonic[k].bin, k);
            if (rms > 1e-12)
                QVERIFY(std::fabs(a.harmonic[k].dbc - (db(rms) - a.fundamental.dbv)) < 1e-9);
            harmonics += rms * rms;
        }
    }
    QCOMPARE(a.harmonic[n / 2 + 1].present(), false);
    QVERIFY(std::fabs(a.thd - std::sqrt(harmonics) / spectrum.rms[1]) < 1e-12);
}

// A square's THD against its closed form.
void tst_spectrum::squareThd_data()
{
    QTest::addColumn<int>("n");
    QTest::newRow("10 samples: the 5th on the Nyquist line") << 10;
    QTest::newRow("14 samples: the 7th on the Nyquist line") << 14;
    QTest::newRow("1000 samples") << 1000;
    QTest::newRow("262142 samples") << 262142;
}

void tst_spectrum::squareThd()
{
    QFETCH(int, n);
    const double amplitude = 1.5;
    std::vector<double> s(size_t(n), -amplitude);
    std::fill(s.begin(), s.begin() + n / 2, amplitude);
    kd7240fp::Spectrum spectrum;
    kd7240fp::lineSpectrum(s.data(), n, rate, &spectrum);
    const kd7240fp::Analysis a = kd7240fp::analyse(spectrum, 1);
    const double thd = thdOfSquare(n);
    QVERIFY2(std::fabs(a.thd / thd - 1) < 1e-9, qPrintable(QStringLiteral("%1, not %2").arg(a.thd).arg(thd)));
    QVERIFY(std::fabs(a.thdDb() - db(thd)) < 1e-7);
    QVERIFY(std::fabs(a.fundamental.dbv - db(squareLine(n, 1, amplitude))) < 1e-9);
}

// AM of a cosine carrier of K periods by a cosine of M, depth d, in n
// samples: lines at K (the carrier, amplitude 1) and K +- M (d / 2 each),
// nothing at K +- 2M and K +- 3M but rounding. With no carrier at all, its
// line is only the rounding of the samples: no ratio to it is given.
void tst_spectrum::sidebands_data()
{
    QTest::addColumn<double>("carrier"); // its amplitude, 0 or 1
    QTest::addColumn<double>("depth");
    QTest::addColumn<double>("first"); // dBc of the sidebands +-1
    QTest::newRow("AM 50 %: -12 dBc a side") << 1.0 << 0.5 << db(0.25);
    QTest::newRow("no carrier: no ratios") << 0.0 << 1.0 << double(NAN);
}

void tst_spectrum::sidebands()
{
    QFETCH(double, carrier);
    QFETCH(double, depth);
    QFETCH(double, first);
    const int n = 1000, K = 50, M = 7;
    std::vector<double> s(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        s[size_t(i)] = (carrier + depth * std::cos(2 * pi * M * i / n)) * std::cos(2 * pi * K * i / n);
    kd7240fp::Spectrum spectrum;
    kd7240fp::lineSpectrum(s.data(), n, rate, &spectrum);
    const kd7240fp::Analysis a = kd7240fp::analyse(spectrum, K, M);
    for (int j = 1; j <= 3; ++j) {
        QCOMPARE(a.lower[j].bin, K - j * M);
        QCOMPARE(a.upper[j].bin, K + j * M);
    }
    if (std::isnan(first)) {
        QVERIFY(std::isnan(a.thd));
        QVERIFY(std::isnan(a.upper[1].dbc) && std::isnan(a.lower[1].dbc) && std::isnan(a.harmonic[2].dbc));
        return;
    }
    QVERIFY2(std::fabs(a.lower[1].dbc - first) < 1e-9 && std::fabs(a.upper[1].dbc - first) < 1e-9,
        qPrintable(QStringLiteral("%1, %2 dBc").arg(a.lower[1].dbc).arg(a.upper[1].dbc)));
    QVERIFY(a.lower[2].dbc < -200 && a.upper[3].dbc < -200);
}

// The Preview tab's spectrum of a plan: computed once shown, from the whole
// buffer; its table's fundamental and THD; the cross-hair on the
// fundamental, then on the 3rd harmonic once the axis zooms to it.
void tst_spectrum::viewReads_data()
{
    QTest::addColumn<int>("waveType");
    QTest::addColumn<int>("frequency");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<QString>("fundamentalAt"); // the fundamental's frequency
    QTest::addColumn<double>("rms"); // the fundamental's, volts
    QTest::addColumn<double>("thd"); // NaN: below the rounding of the samples
    QTest::addColumn<kd7240fp::Modulation>("modulation");
    QTest::addColumn<QString>("sideband"); // the first upper sideband's row, empty: none shown
    // 2 V: a square of 1000 samples, a sine; its DC is rounding, and reads 0.
    const kd7240fp::Modulation none;
    QTest::newRow("square, 1 kHz") << 2 << 1000 << false << QStringLiteral("1 kHz") << squareLine(1000, 1, 2)
                                   << thdOfSquare(1000) << none << QString();
    QTest::newRow("sine, exactly 3 Hz: three periods")
        << 1 << 3 << true << QStringLiteral("3 Hz") << std::sqrt(2.0) << double(NAN) << none << QString();
    // AM of 100 % by 1.5 kHz: a carrier of half the amplitude, a sideband of
    // half the carrier's 1.5 kHz away on either side (the buffer holds 20
    // carrier periods and 3 of the modulation).
    QTest::newRow("AM 100 % by 1.5 kHz on 10 kHz")
        << 1 << 10000 << false << QStringLiteral("10 kHz") << 1 / std::sqrt(2.0) << double(NAN)
        << kd7240fp::Modulation { kd7240fp::Modulation::AM, kd7240fp::waveSine, 1500, 100 }
        << QLocale().toString(db(0.5), 'f', 1) + QStringLiteral(" dBc");
}

void tst_spectrum::viewReads()
{
    QFETCH(int, waveType);
    QFETCH(int, frequency);
    QFETCH(bool, exact);
    QFETCH(QString, fundamentalAt);
    QFETCH(double, rms);
    QFETCH(double, thd);
    QFETCH(kd7240fp::Modulation, modulation);
    QFETCH(QString, sideband);
    kd7240fp::Settings settings;
    settings.channel[0].modulation = modulation;
    settings.channel[0].waveType = waveType;
    settings.channel[0].amplitude = 2;
    settings.common.frequency = frequency;
    settings.common.exactFrequency = exact;
    std::vector<double> room;
    const kd7240fp::Plan plan = kd7240fp::planFor(settings, kd7240fp::Limits(), [&room](int count) {
        room.resize(size_t(count));
        return room.data();
    });
    QVERIFY(plan.samples[0]);

    kd7240fp_preview preview;
    preview.setSpectrumOffered(true);
    preview.resize(1000, 520);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    kd7240fp_spectrumView *view = preview.spectrum;
    preview.spectrumButton->click();
    QTRY_VERIFY(view->chart);
    preview.timeButton->click();
    preview.showPlan(plan);
    QCOMPARE(view->spectrum(0).lines(), 0); // out of sight: not computed
    preview.spectrumButton->click();
    QCOMPARE(view->spectrum(0).n, plan.timing.nSam);
    // Ticks spaced for a narrow range on a wide one leave thousands of axis
    // items behind, which every paint then walks.
    QVERIFY(view->view->scene()->items().size() < 500);

    // The fundamental is line `periods`.
    const int f = plan.periods;
    const double fundamental = db(rms);
    const QLocale locale;
    const QString level = locale.toString(fundamental, 'f', 2);
    QCOMPARE(view->table->item(kd7240fp_spectrumView::FundamentalRow, 0)->text(), fundamentalAt);
    QCOMPARE(view->table->item(kd7240fp_spectrumView::LevelRow, 0)->text(), level + QStringLiteral(" dBV"));
    const QString thdText = view->table->item(kd7240fp_spectrumView::ThdRow, 0)->text();
    if (std::isnan(thd))
        QVERIFY2(thdText.startsWith(QStringLiteral("< ")) && thdText.endsWith(QStringLiteral(" dB")), qPrintable(thdText));
    else
        QCOMPARE(thdText,
            QStringLiteral("%1 %, %2 dB").arg(locale.toString(100 * thd, 'g', 3), locale.toString(db(thd), 'f', 1)));
    QCOMPARE(view->table->item(kd7240fp_spectrumView::DcRow, 0)->text(), QStringLiteral("0 V"));
    const int sidebandRow = kd7240fp_spectrumView::FirstSidebandRow + 1;
    QCOMPARE(view->table->isRowHidden(sidebandRow), sideband.isEmpty());
    if (!sideband.isEmpty())
        QCOMPARE(view->table->item(sidebandRow, 0)->text(), sideband);

    // Onto the fundamental's stem, below its top.
    QTest::qWait(50);
    const QPointF tip = view->chart->mapToPosition(
        QPointF(view->spectrum(0).frequency(f) / 1e3, fundamental - 20), view->lineSeries[0]);
    QWidget *area = view->view->viewport();
    const QPoint at = view->view->mapFromScene(view->chart->mapToScene(tip));
    QMouseEvent move(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(area, &move);
    QVERIFY2(view->readout->text().contains(QStringLiteral("line %1 at").arg(f))
            && view->readout->text().contains(level + QStringLiteral(" dBV, ") + locale.toString(0.0, 'f', 2)),
        qPrintable(view->readout->text()));

    // A zoom that brings the 3rd harmonic under the pointer, which stays.
    auto *axis = qobject_cast<QValueAxis *>(view->chart->axes(Qt::Horizontal).value(0));
    QVERIFY(axis);
    const double share = (view->spectrum(0).frequency(f) / 1e3 - axis->min()) / (axis->max() - axis->min());
    const double width = view->spectrum(0).frequency(f) / 1e3;
    const double third = 3 * width;
    axis->setRange(third - share * width, third + (1 - share) * width);
    QVERIFY2(
        view->readout->text().contains(QStringLiteral("line %1 at").arg(3 * f)), qPrintable(view->readout->text()));
}

QTEST_MAIN(tst_spectrum)
#include "tst_spectrum.moc"
