// A typed formula for the most samples a period holds (262143):
// sin(2*pi*t)^3 + 0.3*saw(5*t), evaluated as the panel does (the expression
// library's bulk mode, then normalising), against the same formula written
// as a C++ loop and normalised alike, measured in the same run. Prints both
// medians and their ratio (goal: the live plot redraws within 50 ms of a
// keystroke); fails only when the samples differ.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "benchsupport.h"
#include "kd7240fp_formula.h"
#include "kd7240fp_shapefile.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int n = 262143;
constexpr int runs = 21;

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

__attribute__((noinline)) std::vector<double> loop()
{
    std::vector<double> out(n);
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / n;
        const double s = std::sin(2 * 3.14159265358979323846 * t);
        const double x = 5 * t;
        out[size_t(i)] = s * s * s + 0.3 * (2 * (x - std::floor(x)) - 1);
    }
    kd7240fp::normalise(out);
    return out;
}

} // namespace

int main()
{
    const QString formula = QStringLiteral("sin(2*pi*t)^3 + 0.3*saw(5*t)");
    std::vector<double> bare, typed;
    std::vector<double> expected;
    kd7240fp::Formula result;
    for (int run = 0; run < runs; ++run) {
        auto t0 = Clock::now();
        expected = loop();
        bare.push_back(msSince(t0));

        t0 = Clock::now();
        result = kd7240fp::evaluateFormula(formula, n);
        typed.push_back(msSince(t0));
    }
    if (!result.ok) {
        std::printf("bench_formula: %s\n", qPrintable(result.error));
        return 1;
    }
    for (int i = 0; i < n; ++i)
        if (std::fabs(result.samples[size_t(i)] - expected[size_t(i)]) > 1e-9) {
            std::printf("bench_formula: sample %d is %.17g, the loop gives %.17g\n", i, result.samples[size_t(i)],
                expected[size_t(i)]);
            return 1;
        }
    const double b = median(bare), f = median(typed);
    std::printf("bench_formula: %s for %d samples: formula %.2f ms, C++ loop %.2f ms, ratio %.2f; goal <= 50 ms\n",
        qPrintable(formula), n, f, b, f / b);
    return 0;
}
