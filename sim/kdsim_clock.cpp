#include "kdsim_clock.h"

#include <chrono>
#include <cmath>

namespace kdsim::detail {

double Clock::raw()
{
    if (manual)
        return manualMs;
    if (custom)
        return custom();
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double Clock::now()
{
    std::lock_guard<std::mutex> l(mutex);
    return raw() - origin;
}

bool Clock::isReal()
{
    std::lock_guard<std::mutex> l(mutex);
    return !manual && !custom;
}

void Clock::restart()
{
    std::lock_guard<std::mutex> l(mutex);
    if (manual)
        manualMs = 0;
    origin = raw();
}

// Switching clocks keeps now() continuous, so running bursts do not jump.
void Clock::set(std::function<double()> source)
{
    std::lock_guard<std::mutex> l(mutex);
    const double current = raw() - origin;
    custom = std::move(source);
    manual = false;
    origin = raw() - current;
}

void Clock::useManual()
{
    std::lock_guard<std::mutex> l(mutex);
    const double current = raw() - origin;
    manual = true;
    manualMs = 0;
    origin = -current;
}

void Clock::advance(double ms)
{
    // Time only moves forward and by a finite step: an endless step would
    // leave every later reading without a meaning.
    std::lock_guard<std::mutex> l(mutex);
    if (manual && ms > 0 && std::isfinite(ms))
        manualMs += ms;
}

} // namespace kdsim::detail
