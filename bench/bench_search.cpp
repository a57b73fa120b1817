// Auto Find over a large network: 512 LXI modules whose viOpen takes 100 ms
// each (plus a few VXI carriers). With at most 128 query threads the best
// possible wall time is ceil(512 / 128) x 100 ms; the benchmark prints the
// measured time of searchResources() as a ratio to that (target <= 1.25),
// and the longest stretch in which the GUI thread's event loop did not run
// (a 1 ms timer's largest gap; target <= 50 ms).

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "kd7010fp_fcselect.h"
#include "kd7240_fc.h"
#include "kdsim.h"

namespace {

constexpr int networkResources = 512;
constexpr int latencyMs = 100;
constexpr int runs = 3;

std::string systemJson()
{
    QStringList resources;
    for (int i = 0; i < networkResources; ++i) {
        const QString address = QStringLiteral("10.2.%1.%2").arg(i / 250).arg(i % 250 + 1);
        resources << QStringLiteral(R"({ "descriptor": "TCPIP0::%1::INSTR", "address": "%1", "openLatencyMs": %2,
            "carrier": { "model": 3150, "cards": [ { "model": "%3" } ] } })")
                         .arg(address)
                         .arg(latencyMs)
                         .arg(i % 4 == 0 ? QStringLiteral("0x7240") : QStringLiteral("0x6216"));
    }
    for (int i = 1; i <= 4; ++i)
        resources << QStringLiteral(R"({ "descriptor": "VXI0::%1::INSTR", "slot": %1,
            "carrier": { "model": 12345, "cards": [ { "model": "0x7240" }, null, { "model": "0x6208" } ] } })")
                         .arg(i);
    return QStringLiteral(R"({ "resources": [ %1 ] })").arg(resources.join(QStringLiteral(",\n"))).toStdString();
}

} // namespace

int main(int argc, char *argv[])
{
    // The progress box is modal; it needs a platform, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::string error;
    if (!kdsim::loadSystem(systemJson(), &error)) {
        std::fprintf(stderr, "bench_search: %s\n", error.c_str());
        return 0;
    }

    kd7240_fc card;
    kd7010fp_fcSelect dialog(&card, 0);
    const double idealMs = std::ceil(double(networkResources) / kd7010fp_fcSelect::maxSearchThreads) * latencyMs;

    std::vector<double> ratios;
    std::vector<double> stalls;
    int found = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        // Every tick of this timer is a moment the GUI event loop ran.
        double lastTickMs = 0;
        double longestStallMs = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const double now = timer.nsecsElapsed() / 1e6;
            longestStallMs = std::max(longestStallMs, now - lastTickMs);
            lastTickMs = now;
        });
        ticker.start(1);
        found = dialog.searchResources();
        const double ms = timer.nsecsElapsed() / 1e6;
        ticker.stop();
        longestStallMs = std::max(longestStallMs, ms - lastTickMs);
        ratios.push_back(ms / idealMs);
        stalls.push_back(longestStallMs);
        std::printf("bench_search: run %d: %.1f ms, ratio %.3f, longest GUI stall %.1f ms\n", run + 1, ms, ms / idealMs,
            longestStallMs);
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(stalls.begin(), stalls.end());
    std::printf("bench_search: Auto Find, %d TCPIP resources x %d ms open latency, %d threads, %d cards found: "
                "median ratio to ideal %.0f ms = %.3f (target <= 1.25); median longest GUI stall %.1f ms "
                "(target <= 50)\n",
        networkResources, latencyMs, kd7010fp_fcSelect::maxSearchThreads, found, idealMs, ratios[ratios.size() / 2],
        stalls[stalls.size() / 2]);
    return 0;
}
