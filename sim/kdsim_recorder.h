// The record of calls: the most recent ones kept in memory for kdsim::calls(),
// every one written to the trace file.
#ifndef KDSIM_RECORDER_H
#define KDSIM_RECORDER_H

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "kdsim.h"

namespace kdsim::detail {

class Recorder
{
public:
    // Reads KDSIM_TRACE and KDSIM_TRACE_SAMPLES, reopens the trace, forgets the calls.
    void restart();
    void add(Call call);
    std::vector<Call> calls(const std::string *name);
    void clear();

    std::atomic<bool> keepSamples{false};
    std::atomic<bool> traceSamples{false};

private:
    std::mutex mutex;
    std::FILE *file = nullptr;
    std::uint64_t seq = 0;
    std::deque<Call> kept; // the last kdsim::keptCalls calls
};

} // namespace kdsim::detail

#endif
