// Sample timing and one-period synthesis: the figures the card is fed with.
#include <QtTest>
#include <cmath>
#include <vector>

#include "kd7240fp_synthesis.h"

using namespace kd7240fp;

class TestWaveform : public QObject
{
    Q_OBJECT
private slots:
    void timing_data();
    void timing();
    void timingNeverFailsInRange();
    void timingRejectsNonPositive();
    void samples_data();
    void samples();
    void sineQuarters();
    void unknownTypeWritesNothing();
    void triangleSymmetry();
    void rampsExactForEveryPeriodLength();
};

void TestWaveform::timing_data()
{
    QTest::addColumn<int>("freq");
    QTest::addColumn<int>("nSam");
    QTest::addColumn<double>("uTime");
    QTest::addColumn<double>("rate");
    // The slowed rate comes from 1e-6 * 10, which is not the literal 1e-5.
    const double slow = 1e-6 * 10;
    QTest::newRow("1 Hz") << 1 << 100000 << slow << 100000.00000000001;
    QTest::newRow("3 Hz") << 3 << 33333 << slow << 100000.00000000001;
    QTest::newRow("4 Hz") << 4 << 250000 << 1e-6 << 1000000.0;
    QTest::newRow("1000 Hz") << 1000 << 1000 << 1e-6 << 1000000.0;
    QTest::newRow("3000 Hz") << 3000 << 333 << 1e-6 << 1000000.0;
    QTest::newRow("100 kHz") << 100000 << 10 << 1e-6 << 1000000.0;
}

void TestWaveform::timing()
{
    QFETCH(int, freq);
    QFETCH(int, nSam);
    QFETCH(double, uTime);
    QFETCH(double, rate);
    double t = 0;
    int n = 0;
    QVERIFY(sampleTiming(freq, &t, &n));
    QCOMPARE(n, nSam);
    // Exact bit equality: the card is handed exactly these values.
    QVERIFY(t == uTime);
    QVERIFY(1.0 / t == rate);
}

void TestWaveform::timingNeverFailsInRange()
{
    for (int freq = 1; freq <= 100000; ++freq) {
        double t = 0;
        int n = 0;
        QVERIFY2(sampleTiming(freq, &t, &n), qPrintable(QString::number(freq)));
        QVERIFY(n > 0 && n < sampleLimit);
        QVERIFY(t == 1e-6 || t == 1e-6 * 10);
    }
}

// No frequency without a whole sample in its period: 0 Hz, below, and
// above the card's 1 MHz (which would give nSam 0).
void TestWaveform::timingRejectsNonPositive()
{
    double t = -1;
    int n = -1;
    QVERIFY(!sampleTiming(0, &t, &n));
    QVERIFY(!sampleTiming(-5, &t, &n));
    QVERIFY(!sampleTiming(1000001, &t, &n));
    QVERIFY(!sampleTiming(2147483647, &t, &n));
    QCOMPARE(n, -1);
    QVERIFY(sampleTiming(1000000, &t, &n));
    QCOMPARE(n, 1);
}

void TestWaveform::samples_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<double>("offset");
    QTest::addColumn<QList<double>>("expected");
    QTest::newRow("square n=10") << int(waveSquare) << 10 << 1.0 << 0.0
                                 << QList<double>{1, 1, 1, 1, 1, -1, -1, -1, -1, -1};
    QTest::newRow("square odd n=11: low half longer")
        << int(waveSquare) << 11 << 2.0 << 1.0 << QList<double>{3, 3, 3, 3, 3, -1, -1, -1, -1, -1, -1};
    QTest::newRow("saw n=10") << int(waveSaw) << 10 << 1.0 << 0.0
                              << QList<double>{-1, -7. / 9, -5. / 9, -3. / 9, -1. / 9, 1. / 9, 3. / 9, 5. / 9,
                                               7. / 9, 1};
    QTest::newRow("triangle n=10: middle below the peak")
        << int(waveTriangle) << 10 << 1.0 << 0.0
        << QList<double>{-1, -5. / 9, -1. / 9, 3. / 9, 7. / 9, 7. / 9, 3. / 9, -1. / 9, -5. / 9, -1};
    QTest::newRow("triangle n=9: reaches the peak") << int(waveTriangle) << 9 << 1.0 << 0.0
                                                    << QList<double>{-1, -0.5, 0, 0.5, 1, 0.5, 0, -0.5, -1};
    QTest::newRow("saw with offset") << int(waveSaw) << 3 << 2.0 << 5.0 << QList<double>{3, 5, 7};
    // One sample is the period's start, not 0 / 0.
    QTest::newRow("saw n=1") << int(waveSaw) << 1 << 2.0 << 5.0 << QList<double>{3};
    QTest::newRow("triangle n=1") << int(waveTriangle) << 1 << 2.0 << 5.0 << QList<double>{3};
}

void TestWaveform::samples()
{
    QFETCH(int, type);
    QFETCH(int, n);
    QFETCH(double, amplitude);
    QFETCH(double, offset);
    QFETCH(QList<double>, expected);
    std::vector<double> out(n + 1, 1234.5);
    synthesize(type, n, amplitude, offset, out.data());
    for (int i = 0; i < n; ++i)
        QVERIFY2(std::fabs(out[i] - expected[i]) < 1e-12,
                 qPrintable(QStringLiteral("sample %1: %2 != %3").arg(i).arg(out[i]).arg(expected[i])));
    QCOMPARE(out[n], 1234.5); // nothing past the period
}

void TestWaveform::sineQuarters()
{
    double t = 0;
    int n = 0;
    QVERIFY(sampleTiming(1000, &t, &n));
    std::vector<double> out(n);
    synthesize(waveSine, n, 2.0, 1.0, out.data());
    QCOMPARE(out[0], 1.0);
    QVERIFY(std::fabs(out[250] - 3.0) < 1e-12);
    QVERIFY(std::fabs(out[500] - 1.0) < 1e-12);
    QVERIFY(std::fabs(out[750] + 1.0) < 1e-12);
    QVERIFY(out[1] > out[0]); // rising from the phase origin
    // Bit for bit the formula: i * 2pi divided by n.
    for (int i = 0; i < n; ++i)
        QVERIFY(out[i] == std::sin(static_cast<double>(i) * 6.283185307179586 / n) * 2.0 + 1.0);
}

void TestWaveform::unknownTypeWritesNothing()
{
    for (int type : {0, 5, -1, 100}) {
        std::vector<double> out(10, 42.0);
        synthesize(type, 10, 1.0, 0.0, out.data());
        for (double v : out)
            QCOMPARE(v, 42.0);
    }
}

void TestWaveform::triangleSymmetry()
{
    for (int n : {10, 11, 333, 1000, 33333}) {
        std::vector<double> out(n);
        synthesize(waveTriangle, n, 1.5, -0.5, out.data());
        QCOMPARE(out.front(), -2.0);
        QCOMPARE(out.back(), -2.0);
        for (int i = 0; i < n; ++i)
            QVERIFY2(std::fabs(out[i] - out[n - 1 - i]) < 1e-12, qPrintable(QString::number(n)));
    }
}

// The ramps may be formed without a division per sample; they must still be
// the division's doubles, bit for bit, for every period the panel can ask for.
void TestWaveform::rampsExactForEveryPeriodLength()
{
    QList<int> lengths;
    for (int n = 2; n <= 2000; ++n)
        lengths << n;
    int previous = 0;
    for (int freq = 1; freq <= 100000; ++freq) {
        double t = 0;
        int n = 0;
        QVERIFY(sampleTiming(freq, &t, &n));
        if (n != previous && n > 2000)
            lengths << n;
        previous = n;
    }
    lengths << 262143 << 262142 << 131073 << 65536;

    const double a = 3.25, o = -0.75;
    std::vector<double> out;
    for (int n : lengths) {
        out.assign(n, 0.0);
        const double last = n - 1;
        synthesize(waveSaw, n, a, o, out.data());
        for (int i = 0; i < n; ++i)
            if (out[i] != ((2.0 * i) / last - 1) * a + o)
                QFAIL(qPrintable(QStringLiteral("saw n=%1 i=%2").arg(n).arg(i)));
        synthesize(waveTriangle, n, a, o, out.data());
        for (int i = 0; i < n; ++i) {
            const double expected = i < n / 2 ? ((4.0 * i) / last - 1) * a + o
                                              : ((4.0 * (n - 1 - i)) / last - 1) * a + o;
            if (out[i] != expected)
                QFAIL(qPrintable(QStringLiteral("triangle n=%1 i=%2").arg(n).arg(i)));
        }
    }
}

QTEST_APPLESS_MAIN(TestWaveform)
#include "tst_waveform.moc"
