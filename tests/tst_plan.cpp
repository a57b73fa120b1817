// The plan: what the card is sent for a set of settings. Without the new
// options it is exactly what it always was; Exact frequency packs whole
// periods (as many as divide a limited burst's cycles); phase moves where a
// period starts; duty shapes the square.
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "kd7240fp_modulation.h"
#include "kd7240fp_plan.h"
#include "kd7240fp_plantext.h"

using namespace kd7240fp;

namespace {

struct Case
{
    int type1 = 1, type2 = 0;
    int frequency = 1000;
    int cycles = 0; // 0: unlimited
    bool exact = false;
    double phase2 = 0;
    double duty1 = 50;
    double amplitude1 = 2, offset1 = 0.5;
    double limit = 10; // the card's range is -limit to limit
    const char *locale = "C"; // the words' locale
    Modulation modulation1 = {};
};

} // namespace

Q_DECLARE_METATYPE(Case)

class tst_plan : public QObject
{
    Q_OBJECT

private slots:
    void plan_data();
    void plan();
    void sinePhaseIsExact_data();
    void sinePhaseIsExact();
};

void tst_plan::plan_data()
{
    QTest::addColumn<Case>("c");
    QTest::addColumn<int>("periods");
    QTest::addColumn<int>("nSam");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("readout");
    QTest::addColumn<bool>("off");
    // clang-format off
    QTest::newRow("as always") << Case { 1, 3, 3000, 5, false, 0, 50 } << 1 << 333 << 5
                               << "plays 3003.00 Hz, 333 samples" << true;
    QTest::newRow("exact, one period fits") << Case { 2, 4, 1000, 0, true, 0, 50 } << 1 << 1000 << 0
                                            << "plays 1000.00 Hz (0.0 ppm),\n1 period in 1000 samples" << false;
    QTest::newRow("exact 66667 Hz") << Case { 1, 0, 66667, 0, true, 0, 50 } << 13333 << 199994 << 0
                                    << "plays 66667.00 Hz (0.0 ppm),\n13333 periods in 199994 samples" << false;
    QTest::newRow("exact, limited: periods divide the cycles") << Case { 1, 0, 2500, 1000, true, 0, 50 } << 1 << 400
                                                               << 1000 << "plays 2500.00 Hz (0.0 ppm),\n1 period in 400 samples" << false;
    QTest::newRow("exact, 7 cycles leave no close fit") << Case { 1, 0, 95000, 7, true, 0, 50 } << 7 << 74 << 1
                                                        << "plays 94594.59 Hz (-4267.4 ppm),\n7 periods in 74 samples" << true;
    QTest::newRow("phase 90 on channel 2") << Case { 1, 4, 1000, 0, false, 90, 50 } << 1 << 1000 << 0
                                           << "plays 1000.00 Hz, 1000 samples" << false;
    QTest::newRow("duty 10 %") << Case { 2, 0, 1000, 0, false, 0, 10 } << 1 << 1000 << 0
                               << "plays 1000.00 Hz, 1000 samples" << false;
    // 90° of 10 samples is 2.5: rounded to the nearest, 3 samples in (108°).
    QTest::newRow("square at 100 kHz and 90°") << Case { 1, 2, 100000, 0, false, 90, 50 } << 1 << 10 << 0
                                               << "plays 100000.00 Hz, 10 samples" << false;
    // 0.06 + 3.24 is 3.3000000000000003 in binary: played as the card's 3.3 V.
    QTest::newRow("a peak on the limit but for rounding") << Case { 2, 0, 1000, 0, false, 0, 50, 0.06, 3.24, 3.3 }
                                                          << 1 << 1000 << 0 << "plays 1000.00 Hz, 1000 samples"
                                                          << false;
    // A modulated buffer holds whole periods of carrier and modulation; the
    // other channel plays its own period beside, as it plays alone, repeated.
    QTest::newRow("AM beside a saw")
        << Case { 1, 3, 10000, 0, false, 0, 50, 2, 0.5, 10, "C", { Modulation::AM, waveSine, 100, 50 } }
                                          << 100 << 10000 << 0 << "AM 50 % at 100.00 Hz\non 10000.00 Hz, 10000 samples"
                                          << false;
    // Ten samples hold no whole sample of a 5 % duty: the square would be a
    // constant, which the readout says.
    QTest::newRow("square at 5 % and 100 kHz") << Case { 2, 0, 100000, 0, false, 0, 5 } << 1 << 10 << 0
                                               << "plays 100000.00 Hz, 10 samples;\nchannel 1 plays no high sample"
                                               << true;
    // The readout writes numbers as the boxes do: the locale's decimal mark.
    QTest::newRow("in German") << Case { 1, 0, 1000, 0, false, 0, 50, 2, 0.5, 10, "de_DE" } << 1 << 1000 << 0
                               << "plays 1000,00 Hz, 1000 samples" << false;
    // clang-format on
}

void tst_plan::plan()
{
    QFETCH(Case, c);
    QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
    Settings s;
    s.channel[0].waveType = c.type1;
    s.channel[1].waveType = c.type2;
    s.channel[0].amplitude = c.amplitude1;
    s.channel[1].amplitude = 2;
    s.channel[0].offset = c.offset1;
    s.channel[0].duty = c.duty1;
    s.channel[0].modulation = c.modulation1;
    s.channel[1].phase = c.phase2;
    s.common.frequency = c.frequency;
    s.common.stopIndex = c.cycles > 0;
    s.common.cycles = c.cycles > 0 ? c.cycles : 10;
    s.common.exactFrequency = c.exact;
    std::vector<double> room;
    const Plan plan = planFor(s, Limits { -c.limit, c.limit }, [&](int count) {
        room.assign(size_t(count), 0);
        return room.data();
    });
    QVERIFY2(plan.playable(), qPrintable(problemText(plan)));
    QTEST(plan.periods, "periods");
    QTEST(plan.timing.nSam, "nSam");
    QTEST(plan.length, "length");
    QTEST(readoutText(plan), "readout");
    QTEST(plan.off, "off");
    const int n = plan.timing.nSam;

    // One channel's samples as they always were, period by period, moved to
    // start at its phase.
    for (int k = 0; k < 2; ++k) {
        const ChannelSettings &ch = s.channel[k];
        if (!ch.active())
            continue;
        if (ch.modulated()) {
            // AM of a sine from time: A (1 + d sin(2 pi fm t)) / 2 sin(2 pi fc t) + offset.
            const Modulation &m = ch.modulation;
            for (int i = 0; i < n; ++i) {
                const double t = i / plan.timing.rate;
                const double y = ch.amplitude * (1 + m.depth / 100 * std::sin(2 * M_PI * m.frequency * t)) / 2
                        * std::sin(2 * M_PI * c.frequency * t)
                    + ch.offset;
                QVERIFY2(std::fabs(plan.samples[k][i] - y) < 1e-9, qPrintable(QStringLiteral("sample %1").arg(i)));
            }
            continue;
        }
        std::vector<double> period(size_t(n) * 2);
        const int perPeriod = n / plan.periods;
        const bool whole = perPeriod * plan.periods == n;
        if (!whole)
            continue; // fractional periods: the exact-frequency arithmetic has its own tests
        if (ch.waveType == waveSquare && ch.duty != 50) {
            for (int i = 0; i < perPeriod; ++i)
                period[size_t(i)] = i < std::floor(perPeriod * ch.duty / 100) ? ch.amplitude + ch.offset
                                                                               : ch.offset - ch.amplitude;
        } else {
            synthesize(ch.waveType, perPeriod, ch.amplitude, ch.offset, period.data());
        }
        const int shift = int(std::lround(ch.phase / 360 * perPeriod));
        QCOMPARE(plan.phasePlayed[k], ch.waveType == waveSine ? ch.phase : shift * 360.0 / perPeriod);
        for (int i = 0; i < n; ++i)
            QVERIFY2(plan.samples[k][i] == std::clamp(period[size_t((i + shift) % perPeriod)], -c.limit, c.limit),
                qPrintable(QStringLiteral("channel %1, sample %2").arg(k + 1).arg(i)));
    }
}

// A sine's phase is played exactly, not rounded to a sample: sample i of k
// periods in N is sin(2 pi k i / N + phase), with Exact frequency too. Phase
// 0 is the waveform as it always was, bit for bit.
void tst_plan::sinePhaseIsExact_data()
{
    QTest::addColumn<int>("frequency");
    QTest::addColumn<double>("phase");
    QTest::addColumn<bool>("exact");
    QTest::newRow("66667 Hz, 90°, exact: a cosine") << 66667 << 90.0 << true;
    QTest::newRow("100 kHz, 45°: 10 samples a period") << 100000 << 45.0 << false;
    QTest::newRow("66667 Hz, 12.34°") << 66667 << 12.34 << false;
    QTest::newRow("1000 Hz, 0°: as always") << 1000 << 0.0 << false;
    QTest::newRow("66667 Hz, 0°, exact: as always") << 66667 << 0.0 << true;
}

void tst_plan::sinePhaseIsExact()
{
    QFETCH(int, frequency);
    QFETCH(double, phase);
    QFETCH(bool, exact);
    Settings s;
    s.channel[1].waveType = waveSine;
    s.channel[1].amplitude = 2;
    s.channel[1].offset = 0.5;
    s.channel[1].phase = phase;
    s.common.frequency = frequency;
    s.common.exactFrequency = exact;
    std::vector<double> room;
    const Plan plan = planFor(s, Limits(), [&](int count) {
        room.assign(size_t(count), 0);
        return room.data();
    });
    QVERIFY(plan.playable());
    QCOMPARE(plan.phasePlayed[1], phase);
    const int n = plan.timing.nSam, k = plan.periods;
    std::vector<double> unmoved(static_cast<size_t>(n));
    synthesizePeriods(waveSine, n, k, 2, 0.5, 500, unmoved.data());
    const long double turn = 6.283185307179586476925286766559L;
    for (int i = 0; i < n; ++i) {
        const long double at = turn * std::fmod(static_cast<long double>(k) * i, static_cast<long double>(n)) / n;
        const double expected = double(std::sin(at + phase * turn / 360) * 2 + 0.5);
        QVERIFY2(std::fabs(plan.samples[1][i] - expected) <= 2e-9, qPrintable(QString::number(i)));
        if (phase == 0)
            QVERIFY(plan.samples[1][i] == unmoved[size_t(i)]);
    }
}

QTEST_MAIN(tst_plan)
#include "tst_plan.moc"
