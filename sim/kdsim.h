// Control of the simulated instrument system, for tests and benchmarks.
// The panel never includes this header; it only sees outside/.
#ifndef KDSIM_H
#define KDSIM_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kdsim {

// Status codes of the simulated driver and carrier library beyond those of
// outside/visa.h. Driver errors and warnings lie in the VXIplug&play
// instrument-specific ranges; kd7240_error_message knows the driver's,
// getStatusText knows all of them.
namespace status {
constexpr std::int32_t code(std::uint32_t value) { return static_cast<std::int32_t>(value); }
constexpr std::int32_t userBuffer = code(0xBFFF0072);     // VISA and carrier calls: a needed pointer is null
// kd7240 driver
constexpr std::int32_t noCarrier = code(0xBFFC0800);      // kd7240_init: the resource has no carrier
constexpr std::int32_t noSuchSlot = code(0xBFFC0801);     // kd7240_init: FC number above the carrier's slot count
constexpr std::int32_t emptySlot = code(0xBFFC0802);      // kd7240_init: no card in that slot
constexpr std::int32_t wrongModel = code(0xBFFC0803);     // kd7240_init: the card there is no 7240
constexpr std::int32_t sampleOutOfLimits = code(0xBFFC0804); // generate: a sample outside the output limits
constexpr std::int32_t notGenerating = code(0xBFFC0805);  // pause/resume without a burst
constexpr std::int32_t notPaused = code(0x3FFC0800);      // warning: resume while not paused
// carrier library
constexpr std::int32_t carrierNone = code(0xBFFC0A00);     // openCarrier: the resource has no carrier
constexpr std::int32_t carrierInvalid = code(0xBFFC0A01);  // null handle or an object not opened here
constexpr std::int32_t carrierBadSlot = code(0xBFFC0A02);  // readSlotWord: slot 0 or above the slot count
constexpr std::int32_t carrierEmptySlot = code(0xBFFC0A03); // readSlotWord: empty slot
constexpr std::int32_t carrierBadRegister = code(0xBFFC0A04); // readSlotWord: odd offset or beyond 254
constexpr std::int32_t carrierNoAccess = code(0xBFFC0A05);  // getAccess: no table of that index and version
} // namespace status

// One call into the simulated libraries, as the trace records it.
struct Call {
    std::uint64_t seq = 0;
    double ms = 0;           // milliseconds since the system was loaded
    std::string call;        // function name, e.g. "kd7240_generateWaveform"
    std::string args;        // the "args" JSON object, as text
    std::string out;         // the "out" JSON object, as text ("" when the call wrote nothing)
    std::int32_t status = 0;
    std::vector<double> data1; // sample arrays of generate calls (kept only with keepSamples(true));
                               // kd7240_generateWaveform's one array is data1
    std::vector<double> data2;
};

// Replaces the simulated system by the one described in JSON text. All
// sessions are closed, the call list and faults are cleared, the clock
// restarts (a manual or replaced clock stays so, at 0). Returns false and sets
// *error to the one-line message when the text is not a valid system (without
// `error` the line goes to standard error); the VISA resource manager then
// fails to open. KDSIM_TRACE and KDSIM_TRACE_SAMPLES are read again.
bool loadSystem(const std::string &json, std::string *error = nullptr);
// As loadSystem, from a file (the message names the file).
bool loadSystemFile(const std::string &path, std::string *error = nullptr);
// Back to the system of the environment (KDSIM_SYSTEM, else the built-in one),
// loaded at once (a broken file prints its line now), with the real clock and
// keepSamples(false).
void reset();
// The built-in default system as JSON text.
std::string defaultSystemJson();

// The calls made since the system was loaded or clearCalls() was called, at
// most the last keptCalls of them (the trace file gets every call).
constexpr std::size_t keptCalls = 32768;
std::vector<Call> calls();
std::vector<Call> calls(const std::string &name);
void clearCalls();
// Keep the full sample arrays of generate calls in calls() (off by default).
void keepSamples(bool on);

// Makes `call` return `status`, `count` times (count < 0: always).
void addFault(const std::string &call, std::int32_t status, int count = -1);
// As above, only for calls concerning the resource `descriptor` (by name or session).
void addFault(const std::string &call, std::int32_t status, int count, const std::string &descriptor);
// Makes only the nth call of `call` from now on (1 for the next) return `status`.
void addFaultAt(const std::string &call, std::int32_t status, int nth);
void clearFaults();

// The clock that bursts and latencies run on, in milliseconds. By default the
// real monotonic clock; setClock replaces it (nullptr restores the real one;
// the function must not call into kdsim). Switching keeps the time continuous.
// viOpen and kd7240_init latencies always sleep on the real clock;
// kd7240_calibrate takes 200 ms only on the real clock.
void setClock(std::function<double()> nowMs);
// Switches to a manual clock that only moves with advanceClock.
void useManualClock();
// Moves the manual clock on by `ms`; a step that is not a finite positive
// number leaves it where it is.
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
