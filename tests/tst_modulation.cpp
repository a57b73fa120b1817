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
#include "kd7240fp_spectrum.h"

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

// The highest frequency a modulated channel reaches, its first sidebands
// included: the carrier's highest frequency plus the modulating one.
double reaches(int fc, const ModulationTiming::Channel &c)
{
    const Modulation &m = c.played;
    const double slope[] = { 0, 2 * M_PI, 0, 2, 4 }; // max |dm/du|: sine, square, ramp, triangle
    switch (c.modulated ? m.type : Type::None) {
    case Type::AM:
    case Type::PWM:
        return fc + m.frequency;
    case Type::FM:
        return fc + m.deviation + m.frequency;
    case Type::PM:
        return fc + m.phaseDeviation / 360 * slope[m.shape] * m.frequency + m.frequency;
    case Type::FSK:
        return std::max(double(fc), m.hop) + m.rate;
    default:
        return fc;
    }
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
    void carrier_data();
    void carrier();
    void edges_data();
    void edges();
    void dialog_data();
    void dialog();
    void remoteValue_data();
    void remoteValue();
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
    QTest::newRow("fm 2.5 Hz: 655 samples a period for 0.4 s")
        << 1000 << am(2.5) << none << ok << 0 << 262000 << 400 << 1 << 0 << 2.5 << 0.0;
    QTest::newRow("27.18 Hz needs 50 s: moved, nearest between convergents")
        << 10000 << am(27.18) << none << ok << 0 << 246873 << 22443 << 61 << 0 << 10000.0 * 61 / 22443 << 0.0;
    QTest::newRow("coprime 89989 Hz and 7 Hz: moved")
        << 89989 << am(7) << none << ok << 0 << 141416 << 12856 << 1 << 0 << 89989.0 / 12856 << 0.0;
    QTest::newRow("90 kHz and 1 Hz: the longest buffer")
        << 90000 << am(1) << none << ok << 0 << 262141 << 23831 << 1 << 0 << 90000.0 / 23831 << 0.0;
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
        << 1000 << fsk(10.3, 1100) << none << ok << 0 << 261800 << 680 << 7 << 0 << 2100.0 / 204 << 1100.0;
    QTest::newRow("FSK: the hop moves less")
        << 250 << fsk(10, 20000) << none << ok << 0 << 100000 << 25 << 1 << 0 << 10.0 << 20010.0;
    QTest::newRow("FM too fast") << 70000 << fm(100, 40000) << none << int(ModulationTiming::DeviationTooWide) << 1 << 0
                                 << 0 << 0 << 0 << 0.0 << 0.0;
    QTest::newRow("FM to 96 kHz with its sidebands: 16 samples a period")
        << 60000 << fm(100, 35900) << none << ok << 0 << 9600 << 600 << 1 << 0 << 100.0 << 0.0;
    QTest::newRow("AM at 100 kHz by 20 kHz: the sidebands reach 120 kHz")
        << 100000 << am(20000) << none << int(ModulationTiming::TooFast) << 1 << 0 << 0 << 0 << 0 << 0.0 << 0.0;
    QTest::newRow("PM sine too fast") << 90000 << channel(waveSine, Type::PM, waveSine, 10000, 180) << none
                                      << int(ModulationTiming::TooFast) << 1 << 0 << 0 << 0 << 0 << 0.0 << 0.0;
    QTest::newRow("PWM at 90 kHz: 11 samples a period")
        << 90000 << pwm(100, 30) << none << ok << 0 << 9900 << 900 << 1 << 0 << 100.0 << 0.0;
    QTest::newRow("PWM: a pulse would vanish")
        << 90000 << pwm(100, 45) << none << int(ModulationTiming::DutyTooWide) << 1 << 0 << 0 << 0 << 0 << 0.0 << 0.0;
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
    const int k = two.modulated() ? 1 : 0;
    const Modulation &m = t.channels[k].played;
    const bool fsk = m.type == Type::FSK;
    QCOMPARE(fsk ? m.rate : m.frequency, played);
    if (fsk)
        QTEST(m.hop, "hop");
    // Ten samples of the highest frequency either channel reaches, its first
    // sidebands included, at no more than the card's 1 MHz.
    const double top = std::max(reaches(fc, t.channels[0]), reaches(fc, t.channels[1]));
    QVERIFY(t.rate <= 1e6 && t.rate >= 10 * top * (1 - 1e-12));
    if (m.type != Type::PWM) {
        // What the card plays, read from the samples of a sine carrier:
        // lines only at fc + j fm (FSK: at multiples of the rate, as each
        // rate period ends on a whole turn), the first sideband among them;
        // FSK turns (fc + hop) / 2 times a second, counted as rising zeros.
        std::vector<double> s(static_cast<size_t>(N));
        synthesizeModulated(t, k + 1, waveSine, 50, 1, 0, 0, s.data());
        Spectrum spectrum;
        lineSpectrum(s.data(), N, t.rate, &spectrum);
        const double from = fsk ? 0 : fc, step = fsk ? m.rate : m.frequency;
        for (int b = 0; b < spectrum.lines(); ++b) {
            const double j = (spectrum.frequency(b) - from) / step;
            QVERIFY2(spectrum.level(b) < -200 || std::fabs(j - std::round(j)) < 1e-6,
                qPrintable(QStringLiteral("a line at %1 Hz").arg(spectrum.frequency(b), 0, 'g', 12)));
        }
        const double sideband = (fc + step) * N / t.rate;
        QVERIFY(std::fabs(sideband - std::round(sideband)) < 1e-6);
        if (!fsk)
            QVERIFY(spectrum.level(int(std::lround(sideband))) > -200);
        if (fsk) {
            int rising = 0;
            for (int i = 0; i < N; ++i)
                rising += s[size_t((i + N - 1) % N)] < 0 && s[size_t(i)] >= 0;
            const double turns = N / t.rate * (fc + m.hop) / 2;
            QVERIFY(std::fabs(turns - std::round(turns)) < 1e-6);
            QCOMPARE(rising, int(std::lround(turns)));
        }
    }
    const ModulatedChannel &asked = k == 0 ? one : two;
    const double fm = fsk ? asked.modulation.rate : asked.modulation.frequency;
    QCOMPARE(t.channels[k].moved, (fsk && m.hop != asked.modulation.hop) || std::fabs(played - fm) > 1e-9 * fm);
    if (!t.moved || two.modulated() || fsk)
        return;
    // Moved: no buffer the card holds plays a modulation nearer to fm. A
    // carrier period holds at least ten samples of the top frequency.
    const int maxK = 262143 / int(std::ceil(10 * top / fc - 1e-9));
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
    // The carrier at `turns`: the sine, or the straight lines through the
    // plain triangle's S samples (rising by 4 / (S - 1) a sample over the
    // first half, falling as much over the second), moved by whole samples
    // for its phase.
    const int S = N / t.carrierPeriods;
    const auto triangle = [S](int i) {
        i %= S;
        return (2 * i < S - S % 2 ? 4.0 * i : 4.0 * (S - 1 - i)) / (S - 1) - 1;
    };
    const auto carrier = [&](double turns) {
        turns -= std::floor(turns);
        if (c.waveType != waveTriangle)
            return std::sin(2 * M_PI * turns);
        const double x = turns * S, whole = std::floor(x);
        return triangle(int(whole)) + (x - whole) * (triangle(int(whole) + 1) - triangle(int(whole)));
    };
    const double start = c.waveType == waveSine ? phase / 360 : std::lround(phase / 360 * S) / double(S);
    const bool integrated = m.type == Type::FM || m.type == Type::FSK;
    const double halves = 2 * (m.type == Type::FSK ? m.rate : m.frequency); // steps per second, at most
    const auto simpson = [&](double a, double b) {
        const double inside = (b - a) * 1e-9;
        return (b - a) / 6 * (hertz(a + inside) + 4 * hertz((a + b) / 2) + hertz(b - inside));
    };
    double turns = 0; // FM and FSK: the integrated phase
    for (int i = 0; i < N; ++i) {
        // Phases as f i / R, so those on a step of a square land on it exactly.
        const double u = m.frequency * i / t.rate, carried = fc * i / t.rate + start;
        double y = 0;
        if (m.type == Type::AM)
            y = A * (1 + m.depth / 100 * shapeAt(m.shape, u)) / 2 * carrier(carried);
        else if (m.type == Type::PM)
            y = A * carrier(carried + m.phaseDeviation / 360 * shapeAt(m.shape, u));
        else
            y = A * carrier(turns + start);
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
    QTest::newRow("90 kHz, steps of 1 / 11") << 90000 << int(waveSine) << 100.0 << 50.0 << 30.0 << 100 / 11.0;
    QTest::newRow("1 kHz, triangle around 30 %") << 1000 << int(waveTriangle) << 100.0 << 30.0 << 29.0 << 0.1;
    QTest::newRow("3 kHz, square, fm 7.5 Hz") << 3000 << int(waveSquare) << 7.5 << 40.0 << 20.0 << 100 / 333.0;
    QTest::newRow("50 kHz, 96 % and no deviation: 19 of 20 high") << 50000 << int(waveSine) << 100.0 << 96.0 << 0.0
                                                                << 5.0;
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

// The carrier is the channel's own waveform, sample for sample: with nothing
// to modulate it (AM at 0 % plays half the amplitude) each carrier period is
// the plain waveform's S samples, the square's whole high samples, the saw's
// -1 .. +1 and the triangle's own peak included, moved by whole samples for
// the phase as the plain channel is.
void tst_modulation::carrier_data()
{
    QTest::addColumn<int>("fc");
    QTest::addColumn<ModulatedChannel>("c");
    QTest::addColumn<double>("phase"); // degrees
    const auto row = [](const char *name, int fc, int wave, double duty, Type type, double x, double phase) {
        ModulatedChannel c = channel(wave, type, waveSine, type == Type::FSK ? 10 : 1000, x);
        c.duty = duty;
        QTest::newRow(name) << fc << c << phase;
    };
    row("AM 0 % of a square at 95 %: 23 of 25 high", 40000, waveSquare, 95, Type::AM, 0, 0);
    row("AM 0 % of a saw, 90 deg: -1 .. +1", 40000, waveSaw, 50, Type::AM, 0, 90);
    row("FM 0 Hz of a triangle: its own peak", 50000, waveTriangle, 50, Type::FM, 0, 0);
    row("FSK to its own frequency, a square at 30 %", 3000, waveSquare, 30, Type::FSK, 3000, 0);
}

void tst_modulation::carrier()
{
    QFETCH(int, fc);
    QFETCH(ModulatedChannel, c);
    QFETCH(double, phase);
    const ModulationTiming t = modulationTiming(fc, c, ModulatedChannel());
    QVERIFY(t.ok);
    const int N = t.samples, S = N / t.carrierPeriods;
    QCOMPARE(S * t.carrierPeriods, N);
    const double A = c.modulation.type == Type::AM ? 1 : 2, offset = 0.5;
    std::vector<double> out(static_cast<size_t>(N)), plain(static_cast<size_t>(S));
    synthesizeModulated(t, 1, c.waveType, c.duty, 2, offset, phase, out.data());
    if (c.waveType == waveSquare)
        synthesizeSquare(S, A, offset, int(std::floor(S * c.duty / 100)), plain.data());
    else
        synthesize(c.waveType, S, A, offset, plain.data());
    const int shift = int(std::lround(phase / 360 * S));
    for (int i = 0; i < N; ++i)
        QVERIFY2(out[size_t(i)] == plain[size_t((i + shift) % S)],
            qPrintable(QStringLiteral("sample %1: %2, the plain waveform %3")
                    .arg(i)
                    .arg(out[size_t(i)], 0, 'g', 17)
                    .arg(plain[size_t((i + shift) % S)], 0, 'g', 17)));
}

// A square carrier's samples on its edges: its phase is a fraction of whole
// numbers here, worked out from time (t = i / R) without the buffer's own
// arithmetic, and a sample is high while the phase's part of a turn is below
// H / S (H of the S samples high, as the plain square). A sample exactly on
// an edge takes the level after it.
void tst_modulation::edges_data()
{
    QTest::addColumn<int>("fc");
    QTest::addColumn<ModulatedChannel>("c");
    ModulatedChannel fm = channel(waveSquare, Type::FM, waveSquare, 0.12, 1.86);
    QTest::newRow("FM by a square, 62 Hz") << 62 << fm;
    ModulatedChannel fsk = channel(waveSquare, Type::FSK, waveSine, 1.3, 20408.49);
    QTest::newRow("FSK of a square, 1 kHz") << 1000 << fsk;
}

void tst_modulation::edges()
{
    QFETCH(int, fc);
    QFETCH(ModulatedChannel, c);
    using Big = __int128;
    const ModulationTiming t = modulationTiming(fc, c, ModulatedChannel());
    QVERIFY(t.ok);
    const long long N = t.samples, K = t.carrierPeriods, M = t.channels[0].periods, S = N / K;
    QCOMPARE(S * K, N);
    const long long H = S * std::lround(c.duty * 10) / 1000;
    std::vector<double> out(static_cast<size_t>(N));
    synthesizeModulated(t, 1, waveSquare, c.duty, 1, 0, 0, out.data());
    const Modulation &m = t.channels[0].played;
    // t = i / R with R = N fc / K: the carrier alone turns K i / N, the
    // modulation (the FSK rate) M i / N.
    const long long P = std::llround((fc + m.hop) / (2 * m.rate));
    if (m.type == Type::FSK)
        QVERIFY(std::fabs((fc + m.hop) / (2 * m.rate) - double(P)) < 1e-9);
    const long long D = std::llround(m.deviation * 100); // FM: df in hundredths
    int ties = 0;
    for (long long i = 0; i < N; ++i) {
        const long long w = (M * i) % N;
        Big num, den;
        if (m.type == Type::FM) {
            // fc t + (df / fm) I(fm t), fm = M fc / K, I of the square: v, then 1 - v.
            den = Big(N) * 100 * M * fc;
            num = Big(K) * i * 100 * M * fc + Big(D) * K * (2 * w < N ? w : N - w);
        } else {
            // fc for the first half of each rate period, the hop for the second.
            den = Big(M) * N;
            num = 2 * w < N ? Big(K) * w : Big(P) * M * (2 * w - N) + Big(K) * (N - w);
        }
        const Big part = num % den; // of a turn, times den
        const bool high = part * S < Big(H) * den;
        if (i > 0 && (part == 0 || part * S == Big(H) * den))
            ++ties;
        QVERIFY2(out[size_t(i)] == (high ? 1 : -1), qPrintable(QStringLiteral("sample %1").arg(i)));
    }
    QVERIFY(ties > 0);
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
    // 10000 Hz and 294 Hz at 10 Hz: no whole turns, both values move a little.
    QTest::newRow("FSK: both moves said") << 0 << 3 << 294.0 << true
                                          << "plays the hop 293.9952 Hz (0.00164 % from 294.00 Hz) and the rate "
                                             "9.9942 Hz (0.0583 % from 10.00 Hz)";
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

// A value set remotely is rounded as the dialog's box for it rounds: the
// dialog then shows it and keeps it on OK.
void tst_modulation::remoteValue_data()
{
    QTest::addColumn<int>("type"); // AM, FM, PM, FSK, PWM: the dialog's entry
    QTest::addColumn<double>("value"); // sent for the type's own value
    QTest::addColumn<double>("played"); // to the box's decimals
    QTest::newRow("AM depth 50.55 %") << 0 << 50.55 << 50.6;
    QTest::newRow("PM deviation 12.345 deg") << 2 << 12.345 << 12.3;
    QTest::newRow("PWM duty deviation 10.25 %") << 4 << 10.25 << 10.3;
}

void tst_modulation::remoteValue()
{
    QFETCH(int, type);
    QFETCH(double, value);
    QFETCH(double, played);
    double Modulation::*const fields[] = { &Modulation::depth, &Modulation::deviation, &Modulation::phaseDeviation,
        &Modulation::hop, &Modulation::dutyDeviation };
    const double highs[] = { maxDepth, maxDeviation, maxPhaseDeviation, maxHop, maxDutyDeviation };
    double Modulation::*const field = fields[type];
    kd7240fp::Settings settings;
    settings.common.frequency = 1000;
    settings.channel[0].waveType = type == 4 ? kd7240fp::waveSquare : kd7240fp::waveSine;
    settings.channel[0].amplitude = 1;
    Modulation &m = settings.channel[0].modulation;
    m.type = Type(type + 1);
    m.*field = fitModulation(field, value, 0, highs[type]);
    QCOMPARE(m.*field, played);
    kd7240fp_modulationDialog dialog(nullptr, QStringLiteral("Channel 1"), settings, 0, { -10, 10 });
    QDoubleSpinBox *const boxes[] = { dialog.depthBox, dialog.deviationBox, dialog.phaseDeviationBox, dialog.hopBox,
        dialog.dutyDeviationBox };
    QCOMPARE(boxes[type]->value(), m.*field);
    QCOMPARE(dialog.chosen().modulation.*field, m.*field);
}

QTEST_MAIN(tst_modulation)
#include "tst_modulation.moc"
