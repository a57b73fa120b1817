// Shapes typed as formulas: what each formula plays (against values computed
// here, sample by sample) and what the operator is told about a bad one.
#include <QtTest>
#include <cmath>
#include <functional>

#include "kd7240fp_formula.h"

using Reference = std::function<double(double t, int i, int n)>;
Q_DECLARE_METATYPE(Reference)

class tst_formula : public QObject
{
    Q_OBJECT

private slots:
    void plays_data();
    void plays();
    void refused_data();
    void refused();
};

void tst_formula::plays_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("n");
    QTest::addColumn<Reference>("reference"); // before normalising

    const double pi = 3.14159265358979323846;
    const auto frac = [](double x) { return x - std::floor(x); };
    QTest::newRow("sine") << "sin(2*pi*t)" << 1000
                          << Reference([=](double t, int, int) { return std::sin(2 * pi * t); });
    QTest::newRow("square starts high") << "square(t)" << 10
                                        << Reference([](double, int i, int n) { return 2 * i < n ? 1.0 : -1.0; });
    QTest::newRow("three saws") << "saw(3*t)" << 999
                                << Reference([=](double t, int, int) { return 2 * frac(3 * t) - 1; });
    QTest::newRow("triangle") << "tri(t)" << 8 << Reference([](double, int i, int) {
        const double v[] = { -1, -0.5, 0, 0.5, 1, 0.5, 0, -0.5 };
        return v[i];
    });
    QTest::newRow("chirp 1 to 10 cycles")
        << "sin(2*pi*(t + 4.5*t^2))" << 262143
        << Reference([=](double t, int, int) { return std::sin(2 * pi * (t + 4.5 * t * t)); });
    QTest::newRow("odd harmonics") << "sin(2*pi*t) + sin(6*pi*t)/3 + sin(10*pi*t)/5" << 500
                                   << Reference([=](double t, int, int) {
                                          return std::sin(2 * pi * t) + std::sin(6 * pi * t) / 3
                                              + std::sin(10 * pi * t) / 5;
                                      });
    QTest::newRow("damped sine, i and n")
        << "exp(-5*i/n) * sin(20*pi*i/n)" << 4000
        << Reference([=](double, int i, int n) { return std::exp(-5.0 * i / n) * std::sin(20 * pi * i / n); });
    QTest::newRow("10 % pulses") << "saw(10*t) < -0.8 ? 1 : -1" << 1000 << Reference([=](double t, int, int) {
        return 2 * frac(10 * t) - 1 < -0.8 ? 1.0 : -1.0;
    });
    QTest::newRow("constant") << "0.5+0*t" << 3 << Reference([](double, int, int) { return 0.5; });
    QTest::newRow("a trailing tab, like a blank") << "sin(2*pi*t)\t" << 100
                                                 << Reference([=](double t, int, int) { return std::sin(2 * pi * t); });
    // The branch not taken is not evaluated, so its NaN is none.
    QTest::newRow("root from the middle") << "t < 0.5 ? 0 : sqrt(t - 0.5)" << 100
                                          << Reference([](double t, int, int) { return t < 0.5 ? 0 : std::sqrt(t - 0.5); });
}

void tst_formula::plays()
{
    QFETCH(QString, formula);
    QFETCH(int, n);
    QFETCH(Reference, reference);
    const kd7240fp::Formula result = kd7240fp::evaluateFormula(formula, n);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(int(result.samples.size()), n);
    std::vector<double> expected(static_cast<size_t>(n));
    double largest = 0;
    for (int i = 0; i < n; ++i) {
        expected[size_t(i)] = reference(double(i) / n, i, n);
        largest = std::max(largest, std::fabs(expected[size_t(i)]));
    }
    for (int i = 0; i < n; ++i)
        QVERIFY2(std::fabs(result.samples[size_t(i)] - expected[size_t(i)] / largest) < 1e-9,
            qPrintable(QStringLiteral("sample %1: %2, expected %3")
                           .arg(i)
                           .arg(result.samples[size_t(i)])
                           .arg(expected[size_t(i)] / largest)));
}

void tst_formula::refused_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("position");

    // clang-format off
    QTest::newRow("extra parenthesis") << "sin(2*pi*t))" << "Unexpected token ')' at position 12" << 12;
    QTest::newRow("missing parenthesis") << "1 + sin(2*pi*t" << "Missing ')' for the '(' at position 8" << 8;
    QTest::newRow("unexpected operator") << "t + * 2" << "Unexpected operator '*' at position 5" << 5;
    QTest::newRow("unexpected end") << "2*t + " << "Unexpected end of the formula at position 6" << 6;
    QTest::newRow("two values") << "2 t" << "Unexpected token 't' at position 3" << 3;
    QTest::newRow("unknown variable") << "x*t" << "Unknown variable 'x' at position 1" << 1;
    QTest::newRow("unknown function") << "t + sine(t)" << "Unknown function 'sine' at position 5" << 5;
    QTest::newRow("space before arguments") << "sin (t)" << "Unexpected space after 'sin' at position 4" << 4;
    QTest::newRow("too few arguments") << "t + min()" << "Too few arguments for min() at position 5" << 5;
    QTest::newRow("too many arguments") << "sin(t, 2) + sin(1)" << "Too many arguments for sin() at position 1" << 1;
    QTest::newRow("assignment") << "t = 1" << "Unexpected operator '=' at position 3" << 3;
    QTest::newRow("two results") << "t, 2" << "Unexpected token ',' at position 2" << 2;
    QTest::newRow("not ASCII") << "2\u03C0t" << "Unexpected character '\u03C0' at position 2" << 2;
    QTest::newRow("-inf") << "log(t)" << "The result is not finite: sample 0 is -inf." << -1;
    QTest::newRow("inf") << "1/(t - 0.5)" << "The result is not finite: sample 2 is inf." << -1;
    QTest::newRow("nan") << "sqrt(t - 0.75)" << "The result is not finite: sample 0 is nan." << -1;
    // A NaN on the way is refused wherever it is swallowed later.
    QTest::newRow("nan, then min") << "min(sqrt(t-0.5), 1)" << "The result is not finite: sample 0 is nan." << -1;
    QTest::newRow("min, then nan") << "min(1, sqrt(t-0.5))"
                                   << "The formula has no value at sample 0: a step of it is not a number (a square "
                                      "root or logarithm of a negative number, 0/0...), though a later one hides that."
                                   << -1;
    QTest::newRow("nan compared") << "2 + (sqrt(t - 0.25) < 9)"
                                  << "The formula has no value at sample 0: a step of it is not a number (a square "
                                     "root or logarithm of a negative number, 0/0...), though a later one hides that."
                                  << -1;
    QTest::newRow("nan to the power 0") << "t + (log(t - 0.9))^0"
                                        << "The formula has no value at sample 0: a step of it is not a number (a "
                                           "square root or logarithm of a negative number, 0/0...), though a later one "
                                           "hides that."
                                        << -1;
    QTest::newRow("all zero") << "t*n - i" << "The formula gives 0 for every sample: there is nothing to play." << -1;
    // sin(2 pi k) is 1e-16, not 0: scaled to -1..1 that noise would play at full range.
    QTest::newRow("zero but for rounding") << "sin(4*pi*t)"
                                           << "Every sample is 0 but for rounding (the largest is 3.7e-16); scale the "
                                              "formula up if you mean it." << -1;
    QTest::newRow("empty") << "  " << "Type a formula, for example sin(2*pi*t)." << -1;
    QTest::newRow("too long") << QString(1001, u't') << "The formula is longer than 1000 characters." << 1001;
    QTest::newRow("too deep") << QString(33, u'(') + "t" + QString(33, u')') << "Parentheses nested deeper than 32 at position 33" << 33;
    // clang-format on
}

void tst_formula::refused()
{
    QFETCH(QString, formula);
    QFETCH(QString, error);
    QFETCH(int, position);
    const kd7240fp::Formula result = kd7240fp::evaluateFormula(formula, 4);
    QVERIFY(!result.ok);
    QVERIFY(result.samples.empty());
    QCOMPARE(result.error, error);
    QCOMPARE(result.position, position);
}

QTEST_MAIN(tst_formula)
#include "tst_formula.moc"
