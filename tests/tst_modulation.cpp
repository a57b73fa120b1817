// Modulation as exact buffers: the buffer chosen for a carrier and its
// modulation, and its samples against the modulated signal computed here
// from time, the phase of FM and FSK integrated step by step.
#include <QtTest>
#include <cmath>
#include <vector>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>

#include "kd7240fp_modulation.h"
#include "kd7240fp_modulationdialog.h"

using namespace kd7240fp;

namespace {

using Type = Modulation::Type;

// A channel modulated by `type`: f is fm (FSK: the rate), x the type's own
// value (depth, deviation, phase deviation, hop, duty deviation).
ModulatedChannel channel(int waveType, Type type, int shape, double f, double x)
{
    ModulatedChannel c;
    c.waveType = waveType;
    Modulation &m = c.modulation;
    m.type = type;
    m.shape = shape;
    m.frequency = f;
    m.rate = f;
    m.depth = m.deviation = m.phaseDeviation = m.hop = m.dutyDeviation = x;
    return c;
}

// The shapes and carriers, from the phase in turns.
double shapeAt(int shape, double u)
{
    u -= std::floor(u);
    switch (shape) {
    case waveSquare:
        return u < 0.5 ? 1 : -1;
    case waveSaw:
        return 2 * u - 1;
    case waveTriangle:
        return u < 0.5 ? 4 * u - 1 : 3 - 4 * u;
    default:
        return std::sin(2 * M_PI * u);
    }
}

} // namespace

Q_DECLARE_METATYPE(kd7240fp::ModulatedChannel)

class tst_modulation : public QObject
{
    Q_OBJECT
private slots:
    void timing_data();
    void timing();
    void samples_data();
    void samples();
    void pwm_data();
    void pwm();
    void dialog_data();
    void dialog();
};

void tst_modulation::timing_data()
{
    QTest::addColumn<int>("fc");
    QTest::addColumn<ModulatedChannel>("one");
    QTest::addColumn<ModulatedChannel>("two");
    QTest::addColumn<int>("problem");
    QTest::addColumn<int>("problemChannel");
    QTest::addColumn<int>("N");
    QTest::addColumn<int>("K");
    QTest::addColumn<int>("M1");
    QTest::addColumn<int>("M2");
    QTest::addColumn<double>("played"); // the last modulated channel's fm (FSK: its rate)
    QTest::addColumn<double>("hop"); // FSK: the hop played
    const ModulatedChannel none, sine = channel(waveSine, Type::None, waveSine, 0, 0);
    const auto am = [](double fm) { return channel(waveSine, Type::AM, waveSine, fm, 100); };
    const auto fm = [](double fm, double dev) { return channel(waveSine, Type::FM, waveSine, fm, dev); };
    const auto fsk = [](double rate, double hop) { return channel(waveSine, Type::FSK, waveSine, rate, hop); };
    const auto pwm = [](double fm, double D) { return channel(waveSquare, Type::PWM, waveSine, fm, D); };
    const int ok = ModulationTiming::None;
    QTest::newRow("gcd 100 Hz: 100 carrier periods at 1 MHz")
        << 10000 << am(100) << none << ok << 0 << 10000 << 100 << 1 << 0 << 100.0 << 0.0;
    QTest::newRow("fm 2.5 Hz: the most samples in 0.4 s")
        << 1000 << am(2.5) << none << ok << 0 << 262143 << 400 << 1 << 0 << 2.5 << 0.0;
    QTest::newRow("27.18 Hz needs 50 s: moved, nearest between convergents")
        << 10000 << am(27.18) << none << ok << 0 << 262143 << 22443 << 61 << 0 << 10000.0 * 61 / 22443 << 0.0;
    QTest::newRow("coprime 99991 Hz and 7 Hz: moved")
        << 99991 << am(7) << none << ok << 0 << 142852 << 14284 << 1 << 0 << 99991.0 / 14284 << 0.0;
    QTest::newRow("100 kHz and 1 Hz: the longest buffer")
        << 100000 << am(1) << none << ok << 0 << 262140 << 26214 << 1 << 0 << 100000.0 / 26214 << 0.0;
    QTest::newRow("channel 2 alone, a sine beside")
        << 10000 << sine << fm(150, 5000) << ok << 0 << 20000 << 200 << 0 << 3 << 150.0 << 0.0;
    QTest::newRow("both: 100 and 150 Hz in 20 ms")
        << 10000 << am(100) << fm(150, 100) << ok << 0 << 20000 << 200 << 2 << 3 << 150.0 << 0.0;
    QTest::newRow("both: channel 2 moved 0.01 %")
        << 1000 << am(100) << fm(33.33, 100) << ok << 0 << 30000 << 30 << 3 << 1 << 100.0 / 3 << 0.0;
    QTest::newRow("both: channel 2 does not fit")
        << 10000 << am(1) << fm(1.3, 100) << int(ModulationTiming::NoCommonBuffer) << 2 << 0 << 0 << 0 << 0 << 0.0
        << 0.0;
    QTest::newRow("FSK whole: nothing moves")
        << 1000 << fsk(10, 1100) << none << ok << 0 << 100000 << 100 << 1 << 0 << 10.0 << 1100.0;
    QTest::newRow("FSK: the rate moves less")
        << 1000 << fsk(10.3, 1100) << none << ok << 0 << 262143 << 680 << 7 << 0 << 2100.0 / 204 << 1100.0;
    QTest::newRow("FSK: the hop moves less")
        << 250 << fsk(10, 20000) << none << ok << 0 << 100000 << 25 << 1 << 0 << 10.0 << 20010.0;
    QTest::newRow("FM too fast") << 70000 << fm(100, 40000) << none << int(ModulationTiming::DeviationTooWide) << 1 << 0
                                 << 0 << 0 << 0 << 0.0 << 0.0;
    QTest::newRow("FM to 100 kHz at 1 MHz")
        << 60000 << fm(100, 40000) << none << ok << 0 << 10000 << 600 << 1 << 0 << 100.0 << 0.0;
    QTest::newRow("PM sine too fast") << 90000 << channel(waveSine, Type::PM, waveSine, 10000, 180) << none
                                      << int(ModulationTiming::TooFast) << 1 << 0 << 0 << 0 << 0 << 0.0 << 0.0;
    QTest::newRow("PWM at 100 kHz: 10 samples a period")
        << 100000 << pwm(100, 30) << none << ok << 0 << 10000 << 1000 << 1 << 0 << 100.0 << 0.0;
    QTest::newRow("PWM: a pulse would vanish")
        << 100000 << pwm(100, 45) << none << int(ModulationTiming::DutyTooWide) << 1 << 0 << 0 << 0 << 0 << 0.0 << 0.0;
    QTest::newRow("PWM of a sine") << 1000 << channel(waveSine, Type::PWM, waveSine, 10, 10) << none
                                   << int(ModulationTiming::NotSquare) << 1 << 0 << 0 << 0 << 0 << 0.0 << 0.0;
}

void tst_modulation::timing()
{
    QFETCH(int, fc);
    QFETCH(ModulatedChannel, one);
    QFETCH(ModulatedChannel, two);
    QFETCH(int, N);
    QFETCH(int, K);
    QFETCH(double, played);
    const ModulationTiming t = modulationTiming(fc, one, two);
    QTEST(int(t.problem), "problem");
    QTEST(t.problemChannel, "problemChannel");
    if (!t.ok)
        return;
    QCOMPARE(t.samples, N);
    QCOMPARE(t.carrierPeriods, K);
    QTEST(t.channels[0].periods, "M1");
    QTEST(t.channels[1].periods, "M2");
    // What the card is told plays the carrier exactly, and the rate serves
    // ten samples of the highest frequency.
    QCOMPARE(t.rate * K / N, double(fc));
    QVERIFY(t.rate <= 1e6 && t.rate >= 10 * t.highest * (1 - 1e-12));
    const int k = two.modulated() ? 1 : 0;
    const Modulation &m = t.channels[k].played;
    const bool fsk = m.type == Type::FSK;
    QCOMPARE(fsk ? m.rate : m.frequency, played);
    if (fsk) {
        QTEST(m.hop, "hop");
        // A rate period holds whole turns of the carrier: P = (fc + hop) / (2 rate).
        QCOMPARE((fc + m.hop) / (2 * m.rate), double(t.channels[k].fskTurns));
    }
    const ModulatedChannel &asked = k == 0 ? one : two;
    const double fm = fsk ? asked.modulation.rate : asked.modulation.frequency;
    QCOMPARE(t.channels[k].moved, (fsk && m.hop != asked.modulation.hop) || std::fabs(played - fm) > 1e-9 * fm);
    if (!t.moved || two.modulated() || fsk)
        return;
    // Moved: no buffer the card holds plays a modulation nearer to fm.
    const int maxK = int(262143 * double(fc) / (10 * t.highest));
    double nearest = INFINITY;
    for (int n = 1; n <= maxK; ++n)
        nearest = std::min(nearest, std::fabs(std::max(1.0, std::round(fm * n / fc)) * fc / n - fm));
    QVERIFY2(std::fabs(m.frequency - fm) <= nearest * (1 + 1e-9),
        qPrintable(QStringLiteral("%1 Hz played, %2 Hz off possible").arg(m.frequency, 0, 'g', 12).arg(nearest)));
}

// Every sample against the signal computed from time t = i / R: AM and PM
// from their definition, FM and FSK from their instantaneous frequency
// integrated by Simpson's rule over each sample (split where a square or a
// ramp steps), which must close to whole turns over the buffer. FM and FSK step no further at the seam and at the
// hops than the highest frequency moves a sine in one sample.
void tst_modulation::samples_data()
{
    QTest::addColumn<int>("fc");
    QTest::addColumn<ModulatedChannel>("c");
    QTest::addColumn<double>("phase"); // degrees
    const auto row = [](const char *name, int fc, int wave, Type type, int shape, double f, double x, double phase) {
        QTest::newRow(name) << fc << channel(wave, type, shape, f, x) << phase;
    };
    row("AM sine 80 %", 10000, waveSine, Type::AM, waveSine, 100, 80, 0);
    row("AM triangle carrier, square, 120 %, 30 deg", 10000, waveTriangle, Type::AM, waveSquare, 150, 120, 30);
    row("AM ramp 50 %, fm 2.5 Hz", 1000, waveSine, Type::AM, waveSaw, 2.5, 50, 0);
    row("FM sine", 10000, waveSine, Type::FM, waveSine, 100, 3000, 0);
    row("FM square", 10000, waveSine, Type::FM, waveSquare, 100, 3000, 45);
    row("FM triangle, fm 2.5 Hz", 1000, waveSine, Type::FM, waveTriangle, 2.5, 400, 0);
    row("FM ramp", 10000, waveSine, Type::FM, waveSaw, 100, 9000, 0);
    row("FM triangle carrier", 10000, waveTriangle, Type::FM, waveSine, 100, 2000, 0);
    row("FM moved", 1000, waveSine, Type::FM, waveSine, 12.34, 500, 0);
    row("PM sine", 10000, waveSine, Type::PM, waveSine, 100, 180, 0);
    row("PM square", 10000, waveSine, Type::PM, waveSquare, 100, 90, 0);
    row("PM triangle", 10000, waveSine, Type::PM, waveTriangle, 100, 360, 10);
    row("PM ramp", 10000, waveSine, Type::PM, waveSaw, 100, 45, 0);
    row("FSK whole", 1000, waveSine, Type::FSK, waveSine, 10, 1100, 0);
    row("FSK rate moved", 1000, waveSine, Type::FSK, waveSine, 10.3, 1100, 0);
    row("FSK hop moved, 90 deg", 250, waveSine, Type::FSK, waveSine, 10, 20000, 90);
}

void tst_modulation::samples()
{
    QFETCH(int, fc);
    QFETCH(ModulatedChannel, c);
    QFETCH(double, phase);
    const double A = 2, offset = 0.5;
    const ModulationTiming t = modulationTiming(fc, c, ModulatedChannel());
    QVERIFY(t.ok);
    const int N = t.samples;
    std::vector<double> out(size_t(N) + 1, 1234.5);
    synthesizeModulated(t, 1, c.waveType, c.duty, A, offset, phase, out.data());
    QCOMPARE(out[size_t(N)], 1234.5);

    const Modulation &m = t.channels[0].played;
    const double h = 1 / t.rate;
    const auto hertz = [&](double time) {
        if (m.type == Type::FSK)
            return std::fmod(time * m.rate, 1.0) < 0.5 ? double(fc) : m.hop;
        return fc + m.deviation * shapeAt(m.shape, m.frequency * time);
    };
    const auto carrier = [&](double turns) {
        turns -= std::floor(turns);
        return c.waveType == waveTriangle ? (turns < 0.5 ? 4 * turns - 1 : 3 - 4 * turns) : std::sin(2 * M_PI * turns);
    };
    const bool integrated = m.type == Type::FM || m.type == Type::FSK;
    const double halves = 2 * (m.type == Type::FSK ? m.rate : m.frequency); // steps per second, at most
    const auto simpson = [&](double a, double b) {
        const double inside = (b - a) * 1e-9;
        return (b - a) / 6 * (hertz(a + inside) + 4 * hertz((a + b) / 2) + hertz(b - inside));
    };
    double turns = 0; // FM and FSK: the integrated phase
    for (int i = 0; i < N; ++i) {
        // Phases as f i / R, so those on a step of a square land on it exactly.
        const double u = m.frequency * i / t.rate, carried = fc * i / t.rate + phase / 360;
        double y = 0;
        if (m.type == Type::AM)
            y = A * (1 + m.depth / 100 * shapeAt(m.shape, u)) / 2 * carrier(carried);
        else if (m.type == Type::PM)
            y = A * carrier(carried + m.phaseDeviation / 360 * shapeAt(m.shape, u));
        else
            y = A * carrier(turns + phase / 360);
        QVERIFY2(std::fabs(out[size_t(i)] - (y + offset)) < 1e-6,
            qPrintable(QStringLiteral("sample %1: %2, expected %3").arg(i).arg(out[size_t(i)]).arg(y + offset)));
        const double a = i * h, b = a + h, step = std::ceil(a * halves) / halves;
        if (integrated)
            turns += step > a && step < b ? simpson(a, step) + simpson(step, b) : simpson(a, b);
    }
    if (!integrated)
        return;
    QVERIFY2(std::fabs(turns - std::round(turns)) < 1e-6, qPrintable(QString::number(turns, 'f', 9)));
    const double step = A * 2 * M_PI * t.highest * h * (1 + 1e-9);
    for (int i = 0; i < N; ++i)
        QVERIFY2(std::fabs(out[size_t((i + 1) % N)] - out[size_t(i)]) <= step, qPrintable(QString::number(i)));
}

// Each carrier period is high first for floor(S x duty / 100) of its S
// samples, the duty taken where the period starts; never none, never all.
void tst_modulation::pwm_data()
{
    QTest::addColumn<int>("fc");
    QTest::addColumn<int>("shape");
    QTest::addColumn<double>("fm");
    QTest::addColumn<double>("duty");
    QTest::addColumn<double>("D");
    QTest::addColumn<double>("step"); // percent
    QTest::newRow("100 kHz, 10 % steps") << 100000 << int(waveSine) << 100.0 << 50.0 << 30.0 << 10.0;
    QTest::newRow("1 kHz, triangle around 30 %") << 1000 << int(waveTriangle) << 100.0 << 30.0 << 29.0 << 0.1;
    QTest::newRow("3 kHz, square, fm 7.5 Hz") << 3000 << int(waveSquare) << 7.5 << 40.0 << 20.0 << 100 / 333.0;
}

void tst_modulation::pwm()
{
    QFETCH(int, fc);
    QFETCH(int, shape);
    QFETCH(double, fm);
    QFETCH(double, duty);
    QFETCH(double, D);
    ModulatedChannel c = channel(waveSquare, Type::PWM, shape, fm, D);
    c.duty = duty;
    const ModulationTiming t = modulationTiming(fc, ModulatedChannel(), c);
    QVERIFY(t.ok);
    QTEST(t.channels[1].pwmStep, "step");
    const int N = t.samples, K = t.carrierPeriods, S = N / K;
    QCOMPARE(S * K, N);
    std::vector<double> out(static_cast<size_t>(N));
    synthesizeModulated(t, 2, waveSquare, duty, 1, 0, 0, out.data());
    for (int p = 0; p < K; ++p) {
        const double u = double(t.channels[1].periods) * p / K;
        const int high = int(std::floor(S * (duty + D * shapeAt(shape, u)) / 100 + 1e-9));
        QVERIFY(high >= 1 && high < S);
        for (int j = 0; j < S; ++j)
            QVERIFY2(out[size_t(p * S + j)] == (j < high ? 1 : -1), qPrintable(QStringLiteral("period %1").arg(p)));
    }
}

// The dialog says what the card is sent and refuses OK, with the reason,
// while no buffer holds the modulation.
void tst_modulation::dialog_data()
{
    QTest::addColumn<int>("carrier"); // the carrier box's entry: sine, square, saw, triangle
    QTest::addColumn<int>("type"); // AM, FM, PM, FSK, PWM
    QTest::addColumn<double>("value"); // depth, deviation, ... of the type
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("said"); // in the sent line, or the problem
    QTest::newRow("AM on 10 kHz") << 0 << 0 << 50.0 << true << "100 carrier periods in 10000 samples played at 1 MHz";
    QTest::newRow("PWM of a sine") << 0 << 4 << 10.0 << false << "pulse-width modulation needs a square carrier";
    QTest::newRow("FM beyond the card") << 0 << 1 << 95000.0 << false
                                        << "the deviation takes the carrier to 0 Hz or beyond 100 kHz";
    QTest::newRow("PWM of a square") << 1 << 4 << 10.0 << true << "The duty moves in steps of 1.0 %";
}

void tst_modulation::dialog()
{
    QFETCH(int, carrier);
    QFETCH(int, type);
    QFETCH(double, value);
    QFETCH(bool, ok);
    QFETCH(QString, said);
    kd7240fp::Settings settings;
    settings.common.frequency = 10000;
    settings.channel[0].waveType = kd7240fp::waveSine;
    settings.channel[0].amplitude = 1;
    kd7240fp_modulationDialog dialog(nullptr, QStringLiteral("Channel 1"), settings, 0, { -10, 10 });
    dialog.carrierBox->setCurrentIndex(carrier);
    dialog.typeBox->setCurrentIndex(type);
    QDoubleSpinBox *const boxes[] = { dialog.depthBox, dialog.deviationBox, dialog.phaseDeviationBox, dialog.hopBox,
        dialog.dutyDeviationBox };
    boxes[type]->setValue(value);
    QCoreApplication::processEvents();
    QCOMPARE(dialog.okButton->isEnabled(), ok);
    const QString heard = dialog.sentLabel->text() + dialog.problemLabel->text();
    QVERIFY2(heard.contains(said), qPrintable(heard));
}

QTEST_MAIN(tst_modulation)
#include "tst_modulation.moc"
