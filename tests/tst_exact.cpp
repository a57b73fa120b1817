// Exact frequency: which k periods in N samples the card is sent for a
// frequency, and the samples of k periods, a phase and a duty.
#include <QtTest>
#include <cmath>
#include <vector>

#include "kd7240fp_synthesis.h"

using namespace kd7240fp;

namespace {

// The card's rate for a frequency, as the standard timing chooses it.
double rateFor(int freq)
{
    double uTime = 0;
    int nSam = 0;
    return sampleTiming(freq, &uTime, &nSam) ? 1.0 / uTime : 0;
}

} // namespace

class tst_exact : public QObject
{
    Q_OBJECT
private slots:
    void fit_data();
    void fit();
    void limitedPlaysTheClosest_data();
    void limitedPlaysTheClosest();
    void samples_data();
    void samples();
};

void tst_exact::fit_data()
{
    QTest::addColumn<int>("freq");
    QTest::addColumn<int>("cycles"); // 0: unlimited
    QTest::addColumn<int>("periods");
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("within");
    QTest::addColumn<double>("maxPpm");
    QTest::newRow("1000 Hz: one period, as today") << 1000 << 0 << 1 << 1000 << true << 0.0;
    QTest::newRow("66667 Hz") << 66667 << 0 << 13333 << 199994 << true << 1.0;
    QTest::newRow("90910 Hz, today +10 %") << 90910 << 0 << 9091 << 100000 << true << 0.0;
    QTest::newRow("3 Hz at the slow rate") << 3 << 0 << 3 << 100000 << true << 0.001;
    QTest::newRow("6 Hz: N would pass the limit") << 6 << 0 << 1 << 166667 << true << 2.0;
    // Limited: the card repeats the buffer cycles / k times.
    QTest::newRow("1024 cycles: the most periods fit best") << 95000 << 1024 << 1024 << 10779 << true << 5.0;
    QTest::newRow("7 cycles: equal fractions keep one period") << 66667 << 7 << 1 << 15 << true << 6.0;
    QTest::newRow("prime 1021 cycles") << 95000 << 1021 << 1021 << 10747 << true << 35.0;
    QTest::newRow("prime 7 cycles: none within 0.1 %") << 95000 << 7 << 7 << 74 << false << 4500.0;
}

void tst_exact::fit()
{
    QFETCH(int, freq);
    QFETCH(int, cycles);
    const double rate = rateFor(freq);
    const ExactFit fit = exactFit(freq, rate, cycles);
    QVERIFY(fit.ok);
    QTEST(fit.periods, "periods");
    QTEST(fit.samples, "samples");
    QTEST(fit.withinTolerance, "within");
    QVERIFY(fit.samples <= 262143 && fit.samples >= 10 * fit.periods);
    if (cycles > 0)
        QCOMPARE(cycles % fit.periods, 0);
    QCOMPARE(fit.played, fit.periods * rate / fit.samples);
    QFETCH(double, maxPpm);
    QVERIFY2(std::fabs(fit.errorPpm) <= maxPpm, qPrintable(QString::number(fit.errorPpm)));
    if (freq == 66667 && cycles == 0)
        QCOMPARE(QString::number(fit.played, 'f', 2), QStringLiteral("66667.00"));
}

// With C cycles the buffer holds a divisor k of C periods: of every such k
// and every N the card can take, none plays nearer the frequency asked for.
void tst_exact::limitedPlaysTheClosest_data()
{
    QTest::addColumn<int>("freq");
    QTest::addColumn<int>("cycles");
    // Each once played a neighbour further off than the other.
    QTest::newRow("95239 Hz, 1 cycle") << 95239 << 1;
    QTest::newRow("640 Hz, 1 cycle") << 640 << 1;
    QTest::newRow("8521 Hz, 7 cycles") << 8521 << 7;
    QTest::newRow("16490 Hz, 7 cycles") << 16490 << 7;
    QTest::newRow("9386 Hz, 12 cycles") << 9386 << 12;
    QTest::newRow("13267 Hz, 12 cycles") << 13267 << 12;
    QTest::newRow("66667 Hz, 840 cycles") << 66667 << 840;
}

void tst_exact::limitedPlaysTheClosest()
{
    QFETCH(int, freq);
    QFETCH(int, cycles);
    const double rate = rateFor(freq);
    double closest = INFINITY;
    for (int k = 1; k <= cycles && 10 * k <= maxSamples; ++k)
        if (cycles % k == 0)
            for (int n = 10 * k; n <= maxSamples; ++n)
                closest = std::min(closest, std::fabs(k * rate / n - freq));
    const ExactFit fit = exactFit(freq, rate, cycles);
    QVERIFY(fit.ok);
    QCOMPARE(cycles % fit.periods, 0);
    const double error = std::fabs(fit.played - freq);
    QVERIFY2(error <= closest * (1 + 1e-12), qPrintable(QStringLiteral("%1 periods in %2 samples: %3 Hz off, %4 Hz possible")
                                                             .arg(fit.periods).arg(fit.samples).arg(error).arg(closest)));
}

// Every sample is today's one-period waveform of N samples at index
// (k (i + shift)) mod N; a square's duty instead sets how many are high.
void tst_exact::samples_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("k");
    QTest::addColumn<double>("phase");
    QTest::addColumn<int>("dutyTenths");
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("high"); // -1: a 50 % duty, compared with today's square
    QTest::newRow("sine n=1000 k=1") << int(waveSine) << 1000 << 1 << 0.0 << 500 << 0 << -1;
    QTest::newRow("sine n=1 k=1") << int(waveSine) << 1 << 1 << 0.0 << 500 << 0 << -1;
    QTest::newRow("square n=11 k=1, 50 %") << int(waveSquare) << 11 << 1 << 0.0 << 500 << 0 << -1;
    QTest::newRow("saw n=333 k=1") << int(waveSaw) << 333 << 1 << 0.0 << 500 << 0 << -1;
    QTest::newRow("triangle n=262143 k=1") << int(waveTriangle) << 262143 << 1 << 0.0 << 500 << 0 << -1;
    QTest::newRow("sine 90 deg: a quarter period later") << int(waveSine) << 1000 << 1 << 90.0 << 500 << 250 << -1;
    QTest::newRow("triangle, 3 periods in 100, 45 deg") << int(waveTriangle) << 100 << 3 << 45.0 << 500 << 4 << -1;
    QTest::newRow("square 10 %") << int(waveSquare) << 1000 << 1 << 0.0 << 100 << 0 << 100;
    QTest::newRow("square 99 %") << int(waveSquare) << 1000 << 1 << 0.0 << 990 << 0 << 990;
    QTest::newRow("square 1 %") << int(waveSquare) << 1000 << 1 << 0.0 << 10 << 0 << 10;
}

void tst_exact::samples()
{
    QFETCH(int, type);
    QFETCH(int, n);
    QFETCH(int, k);
    QFETCH(double, phase);
    QFETCH(int, dutyTenths);
    QFETCH(int, shift);
    QFETCH(int, high);
    const double amplitude = 2.5, offset = 0.5;
    std::vector<double> today(static_cast<size_t>(n)), out(static_cast<size_t>(n) + 1, 1234.5);
    synthesize(type, n, amplitude, offset, today.data());
    synthesizePeriods(type, n, k, amplitude, offset, dutyTenths, out.data());
    const int moved = phaseShift(phase, double(n) / k);
    QCOMPARE(moved, shift);
    rotateSamples(out.data(), n, moved);
    QCOMPARE(out[size_t(n)], 1234.5); // nothing past the buffer
    if (high < 0) {
        for (int i = 0; i < n; ++i)
            QVERIFY2(out[size_t(i)] == today[size_t((qint64(k) * ((i + shift) % n)) % n)],
                qPrintable(QStringLiteral("sample %1").arg(i)));
        return;
    }
    for (int i = 0; i < n; ++i)
        QCOMPARE(out[size_t(i)], i < high ? amplitude + offset : offset - amplitude);
}

QTEST_MAIN(tst_exact)
#include "tst_exact.moc"
