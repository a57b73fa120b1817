// The card's generate calls timed where the panel makes them: this header
// stands in for kdsim's two generate functions (the dynamic linker finds the
// program's first), notes when each call began and ended, and passes it on to
// kdsim's own. Include it in one source file of a benchmark only.
#ifndef BENCHGENERATE_H
#define BENCHGENERATE_H

#include <chrono>
#include <dlfcn.h>

#include "visa.h"

using BenchClock = std::chrono::steady_clock;
inline BenchClock::time_point generateCalled, generateReturned;

extern "C" ViStatus kd7240_generateWaveform(
    ViSession session, ViInt16 channel, ViInt32 nSam, ViInt32 cycles, ViReal64 rate, ViInt16 filter, ViReal64 *data)
{
    using Generate = ViStatus (*)(ViSession, ViInt16, ViInt32, ViInt32, ViReal64, ViInt16, ViReal64 *);
    static const auto driver = reinterpret_cast<Generate>(dlsym(RTLD_NEXT, "kd7240_generateWaveform"));
    generateCalled = BenchClock::now();
    const ViStatus status
        = driver ? driver(session, channel, nSam, cycles, rate, filter, data) : ViStatus(VI_ERROR_RSRC_NFOUND);
    generateReturned = BenchClock::now();
    return status;
}

extern "C" ViStatus kd7240_generateWaveforms(ViSession session, ViInt32 nSam, ViInt32 cycles, ViReal64 rate,
    ViInt16 filter1, ViInt16 filter2, ViReal64 *data1, ViReal64 *data2)
{
    using Generate = ViStatus (*)(ViSession, ViInt32, ViInt32, ViReal64, ViInt16, ViInt16, ViReal64 *, ViReal64 *);
    static const auto driver = reinterpret_cast<Generate>(dlsym(RTLD_NEXT, "kd7240_generateWaveforms"));
    generateCalled = BenchClock::now();
    const ViStatus status = driver ? driver(session, nSam, cycles, rate, filter1, filter2, data1, data2)
                                   : ViStatus(VI_ERROR_RSRC_NFOUND);
    generateReturned = BenchClock::now();
    return status;
}

#endif
