// Exact frequency over every integer frequency from 1 Hz to 100 kHz at the
// standard timing's rate, unlimited: the worst played-frequency error of k
// periods in N samples (goal: within 2 ppm) beside today's one period per
// buffer, and the time to plan one frequency (timing and fit; goal: 50 us),
// printed as the median per frequency, as a ratio to the goal and to today's
// timing alone, measured in the same run. Fails only when a fit breaks its
// constraints or misses the 2 ppm.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "benchsupport.h"
#include "kd7240fp_synthesis.h"

using namespace kd7240fp;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int lowest = 1, highest = 100000;
constexpr int rounds = 5;

volatile double sink;

double usSince(Clock::time_point t0) { return std::chrono::duration<double, std::micro>(Clock::now() - t0).count(); }

} // namespace

int main()
{
    double worstPpm = 0, todayWorst = 0;
    int worstAt = 0, todayWorstAt = 0;
    bool broken = false;
    for (int f = lowest; f <= highest; ++f) {
        const Timing today = timingFor(f);
        const double todayError = std::fabs(today.played - f) / f;
        if (todayError > todayWorst) {
            todayWorst = todayError;
            todayWorstAt = f;
        }
        const ExactFit fit = exactFit(f, today.rate);
        if (!fit.ok || fit.samples > exactMaxSamples || fit.samples < 10 * fit.periods || fit.periods < 1) {
            std::printf("bench_exact: %d Hz: no valid fit (k %d, N %d)\n", f, fit.periods, fit.samples);
            broken = true;
        }
        if (std::fabs(fit.errorPpm) > worstPpm) {
            worstPpm = std::fabs(fit.errorPpm);
            worstAt = f;
        }
    }

    // Per frequency, the fastest of a few rounds (a frequency's own cost, not
    // the machine's hiccups); then the median over all frequencies.
    std::vector<double> plan(highest), timing(highest), limited(highest);
    for (int f = lowest; f <= highest; ++f) {
        double bestPlan = 1e300, bestTiming = 1e300, bestLimited = 1e300;
        for (int r = 0; r < rounds; ++r) {
            auto t0 = Clock::now();
            const Timing t = timingFor(f);
            sink = t.rate;
            bestTiming = std::min(bestTiming, usSince(t0));

            t0 = Clock::now();
            const Timing t2 = timingFor(f);
            sink = exactFit(f, t2.rate).played;
            bestPlan = std::min(bestPlan, usSince(t0));

            // 840 cycles: the most divisors (32) the Cycles box offers.
            t0 = Clock::now();
            const Timing t3 = timingFor(f);
            sink = exactFit(f, t3.rate, 840).played;
            bestLimited = std::min(bestLimited, usSince(t0));
        }
        plan[size_t(f - lowest)] = bestPlan;
        timing[size_t(f - lowest)] = bestTiming;
        limited[size_t(f - lowest)] = bestLimited;
    }
    const double p = median(plan), t = median(timing), l = median(limited);
    const double goalUs = 50;
    std::printf("bench_exact: worst error %d..%d Hz, unlimited: %.6f ppm at %d Hz (goal <= 2 ppm); "
                "one period per buffer: %.1f %% at %d Hz\n",
        lowest, highest, worstPpm, worstAt, todayWorst * 100, todayWorstAt);
    std::printf("bench_exact: planning one frequency (median): %.3f us (ratio to the 50 us goal %.4f; "
                "to the timing alone %.2f); limited by 840 cycles %.3f us (ratio to the goal %.4f)\n",
        p, p / goalUs, p / t, l, l / goalUs);
    return broken || worstPpm > 2 ? 1 : 0;
}
