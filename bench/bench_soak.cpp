// Soak: the panel against the simulated card on kdsim's manual clock, for
// 10^4 start/stop cycles and 24 simulated hours of generation polled every
// 100 ms. Prints the growth of resident memory after a warm-up (goal <= 1 MB)
// and the sessions left open once the window is gone (goal 0).

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <unistd.h>

#include "kd7240_fc.h"
#include "kd7240fp_app.h"
#include "kd7240fp_chset.h"
#include "benchsupport.h"
#include "kdsim.h"

namespace {

const char oneCard[] = R"({ "resources": [ { "descriptor": "VXI0::8::INSTR", "slot": 5,
    "carrier": { "model": 12345, "cards": [ { "model": "0x7240" } ] } } ] })";


// Start, a few polls, Stop: `cycles` times.
void startStop(kd7240fp_App &panel, int cycles)
{
    for (int i = 0; i < cycles; ++i) {
        panel.startButton->click();
        for (int p = 0; p < 3; ++p) {
            kdsim::advanceClock(100);
            panel.timerCallback();
        }
        panel.startButton->click();
    }
}

// Generation polled every 100 ms for `hours` of the manual clock.
void generate(kd7240fp_App &panel, double hours)
{
    panel.startButton->click();
    const long polls = long(hours * 3600 * 10);
    for (long p = 0; p < polls; ++p) {
        kdsim::advanceClock(100);
        panel.timerCallback();
    }
    panel.startButton->click();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::string error;
    if (!kdsim::loadSystem(oneCard, &error)) {
        std::fprintf(stderr, "bench_soak: %s\n", error.c_str());
        return 1;
    }
    // The connection flow asks how to connect; Auto Find finds the one card.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            for (QAbstractButton *b : box->buttons())
                if (b->text() == QLatin1String("Auto Find") || b->text() == QLatin1String("&Yes"))
                    b->click();
    });
    answer.start(5);

    kd7240_fc card;
    auto panel = std::make_unique<kd7240fp_App>(&card);
    if (panel->demoMode) {
        std::fprintf(stderr, "bench_soak: the panel did not connect to the card\n");
        return 1;
    }
    kdsim::useManualClock();
    panel->chan1->sineButton->click();
    panel->chan2->triangleButton->click();

    // Warm-up: enough calls to fill kdsim's window of recent calls and
    // every cache on the way.
    startStop(*panel, 1000);
    generate(*panel, 1);
    const double warm = residentMB();

    startStop(*panel, 10000);
    generate(*panel, 24);
    const double after = residentMB();

    const std::vector<kdsim::Call> recent = kdsim::calls();
    const unsigned long long calls = recent.empty() ? 0 : recent.back().seq;
    panel->close();
    panel.reset();
    const int open = kdsim::openSessionCount();
    std::printf("bench_soak: resident memory after warm-up %.1f MB, after 10000 start/stop cycles and 24 simulated "
                "hours of polling %.1f MB: growth %.2f MB (goal <= 1); sessions left open %d (goal 0); %llu calls\n",
        warm, after, after - warm, open, calls);
    return 0;
}
