#include "kdsim_burst.h"

namespace kdsim::detail {

void Burst::update(double now)
{
    if (!running() || cycles <= 0)
        return;
    const double totalMs = static_cast<double>(cycles) * nSam * 1000.0 / rate;
    if (elapsed(now) < totalMs)
        return;
    if (triggered) {
        waiting = true; // re-armed: the next pulse starts the next run
        runMs = 0;
    } else {
        *this = Burst();
    }
}

void Burst::pause(double now)
{
    if (running())
        runMs += now - runStart;
    paused = true;
}

void Burst::resume(double now)
{
    paused = false;
    runStart = now;
}

void Burst::trigger(double now)
{
    if (!active || !waiting)
        return;
    waiting = false;
    runStart = now;
}

} // namespace kdsim::detail
