// The clock bursts and the trace run on: real, replaced or manual.
#ifndef KDSIM_CLOCK_H
#define KDSIM_CLOCK_H

#include <functional>
#include <mutex>

namespace kdsim::detail {

class Clock
{
public:
    double now(); // milliseconds since the system was loaded
    bool isReal();
    void restart();
    void set(std::function<double()> source);
    void useManual();
    void advance(double ms);

private:
    double raw();
    std::mutex mutex;
    std::function<double()> custom;
    bool manual = false;
    double manualMs = 0;
    double origin = 0;
};

} // namespace kdsim::detail

#endif
