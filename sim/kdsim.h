// Control of the simulated instrument system, for tests and benchmarks.
// The panel never includes this header; it only sees outside/.
#ifndef KDSIM_H
#define KDSIM_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kdsim {

// One call into the simulated libraries, as the trace records it.
struct Call {
    std::uint64_t seq = 0;
    double ms = 0;           // milliseconds since the system was loaded
    std::string call;        // function name, e.g. "kd7240_generateWaveform"
    std::string args;        // the "args" JSON object, as text
    std::string out;         // the "out" JSON object, as text ("" when the call wrote nothing)
    std::int32_t status = 0;
    std::vector<double> data1; // sample arrays of generate calls (kept only with keepSamples(true))
    std::vector<double> data2;
};

// Replaces the simulated system by the one described in JSON text. All
// sessions are closed, the call list and faults are cleared, the clock
// restarts. Returns false and sets *error to the one-line message when the
// text is not a valid system; the VISA resource manager then fails to open.
bool loadSystem(const std::string &json, std::string *error = nullptr);
// As loadSystem, from a file (the message names the file).
bool loadSystemFile(const std::string &path, std::string *error = nullptr);
// Back to the system of the environment (KDSIM_SYSTEM, else the built-in one).
void reset();
// The built-in default system as JSON text.
std::string defaultSystemJson();

// The calls made since the system was loaded or clearCalls() was called.
std::vector<Call> calls();
std::vector<Call> calls(const std::string &name);
void clearCalls();
// Keep the full sample arrays of generate calls in calls() (off by default).
void keepSamples(bool on);

// Makes `call` return `status`, `count` times (count < 0: always).
void addFault(const std::string &call, std::int32_t status, int count = -1);
void clearFaults();

// The clock that bursts and latencies run on, in milliseconds. By default the
// real monotonic clock; setClock replaces it (nullptr restores the real one).
void setClock(std::function<double()> nowMs);
// Switches to a manual clock that only moves with advanceClock.
void useManualClock();
void advanceClock(double ms);

// What the simulated card holds, for checks the driver API cannot make.
struct CardState {
    bool open = false;
    double dac[2] = {0, 0};
    int filter[2] = {0, 0};
    int term[2] = {0, 0};
    int itriSource = 0;
    int itriPulse = 0;
    bool generating = false;  // a burst is armed or running
    bool waitingForTrigger = false;
    bool paused = false;
    int calibrations = 0;
};
CardState cardState(std::uint32_t session);

// Number of sessions (resource manager, instrument and find lists) now open.
int openSessionCount();

} // namespace kdsim

#endif
