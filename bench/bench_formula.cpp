// A typed formula for the most samples a period holds (262143):
// sin(2*pi*t)^3 + 0.3*saw(5*t), evaluated as the panel does (the expression
// library's bulk mode, then normalising) once the GUI has started, against
// the same formula written as a C++ loop and normalised alike, timed before
// the GUI starts (goal: at most 4 times the loop). A GUI start that leaves
// the processor's vector state dirty slows plain arithmetic in the whole
// process, a loop timed after it alike, so only one from before it shows the
// slowdown; the loop is timed after it too, to show what the GUI's start
// costs code that is not defended. Then the Formula dialog's live plot: from
// a change of the line's text to the plot's series replaced, and to the plot
// drawn (goal: within 50 ms of a keystroke). Prints the medians and their
// ratios; fails only when the samples differ.
#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineSeries>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "benchsupport.h"
#include "kd7240fp_formula.h"
#include "kd7240fp_formuladialog.h"
#include "kd7240fp_preview.h"
#include "kd7240fp_shapefile.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int n = 262143;
constexpr int runs = 21;
constexpr int plotRuns = 15;

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

int main(int argc, char *argv[])
{
    std::vector<double> before;
    std::vector<double> expected;
    for (int run = 0; run < runs; ++run) {
        const auto t0 = Clock::now();
        expected = loop();
        before.push_back(msSince(t0));
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString formula = QStringLiteral("sin(2*pi*t)^3 + 0.3*saw(5*t)");
    std::vector<double> after, typed;
    kd7240fp::Formula result;
    for (int run = 0; run < runs; ++run) {
        auto t0 = Clock::now();
        expected = loop();
        after.push_back(msSince(t0));

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
    const double b = median(before), a = median(after), f = median(typed);
    std::printf("bench_formula: %s for %d samples: formula %.2f ms, C++ loop before the GUI %.2f ms, ratio %.2f "
                "(goal <= 4); the loop after the GUI's start %.2f ms (%.2f times its time before)\n",
        qPrintable(formula), n, f, b, f / b, a, a / b);

    // The dialog as the operator sees it: 262143 samples at 3 Hz (786 kHz).
    kd7240fp_formulaDialog dialog(nullptr, QStringLiteral("Channel 1"), formula, n, 3);
    dialog.resize(760, 560);
    dialog.show();
    for (int k = 0; k < 5; ++k)
        QApplication::processEvents();
    bool replaced = false;
    QObject::connect(dialog.plot->channelSeries[0], &QLineSeries::pointsReplaced, [&] { replaced = true; });
    std::vector<double> plotted, drawn;
    for (int run = 0; run < plotRuns; ++run) {
        replaced = false;
        QElapsedTimer clock;
        clock.start();
        dialog.formulaBox->setEditText(QStringLiteral("sin(2*pi*t)^3 + 0.3*saw(%1*t)").arg(run % 2 ? 5 : 6));
        while (!replaced && clock.elapsed() < 5000)
            QApplication::processEvents();
        plotted.push_back(clock.nsecsElapsed() / 1e6);
        dialog.plot->view->grab();
        drawn.push_back(clock.nsecsElapsed() / 1e6);
    }
    const double p = median(plotted), d = median(drawn);
    std::printf("bench_formula: the dialog's live plot, text changed to series replaced %.2f ms (ratio %.2f to the "
                "evaluation), to the plot drawn %.2f ms (ratio %.2f); goal <= 50 ms\n",
        p, p / f, d, d / f);
    return 0;
}
