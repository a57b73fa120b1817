// The control API of kdsim.h, for tests and benchmarks.
#include <cstdio>

#include "kdsim.h"
#include "kdsim_descriptor.h"
#include "kdsim_sim.h"

namespace kdsim {

using detail::Sim;

namespace {

bool loadText(const std::string &text, const std::string &name, std::string *error)
{
    Sim &sim = Sim::instance();
    auto lock = sim.lockOnly();
    detail::SystemConfig config;
    std::string what;
    if (detail::parseSystem(text, config, what)) {
        sim.install(std::move(config));
        if (error)
            error->clear();
        return true;
    }
    const std::string message = "kdsim: " + name + ": " + what;
    if (error)
        *error = message;
    else
        std::fprintf(stderr, "%s\n", message.c_str());
    sim.install(std::nullopt);
    return false;
}

} // namespace

bool loadSystem(const std::string &json, std::string *error)
{
    return loadText(json, "system text", error);
}

bool loadSystemFile(const std::string &path, std::string *error)
{
    std::string text, what;
    if (detail::readFile(path, text, what))
        return loadText(text, path, error);
    const std::string message = "kdsim: " + path + ": " + what;
    if (error)
        *error = message;
    else
        std::fprintf(stderr, "%s\n", message.c_str());
    Sim &sim = Sim::instance();
    auto lock = sim.lockOnly();
    sim.install(std::nullopt);
    return false;
}

void reset()
{
    Sim &sim = Sim::instance();
    auto lock = sim.lockOnly();
    sim.clock.set(nullptr);
    sim.recorder.keepSamples = false;
    sim.loadFromEnvironment();
}

std::string defaultSystemJson()
{
    return detail::defaultSystemText();
}

std::vector<Call> calls()
{
    Sim::instance().lock();
    return Sim::instance().recorder.calls(nullptr);
}

std::vector<Call> calls(const std::string &name)
{
    Sim::instance().lock();
    return Sim::instance().recorder.calls(&name);
}

void clearCalls()
{
    Sim::instance().lock();
    Sim::instance().recorder.clear();
}

void keepSamples(bool on)
{
    Sim::instance().lock();
    Sim::instance().recorder.keepSamples = on;
}

void addFault(const std::string &call, std::int32_t status, int count)
{
    addFault(call, status, count, std::string());
}

void addFault(const std::string &call, std::int32_t status, int count, const std::string &descriptor)
{
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    sim.faults.push_back({call, status, count, descriptor.empty() ? std::string() : detail::parseDescriptor(descriptor).normalised});
}

void addFaultAt(const std::string &call, std::int32_t status, int nth)
{
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (nth >= 1)
        sim.faults.push_back({call, status, 1, std::string(), nth - 1});
}

void clearFaults()
{
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    sim.faults.clear();
}

void setClock(std::function<double()> nowMs)
{
    Sim::instance().lock();
    Sim::instance().clock.set(std::move(nowMs));
}

void useManualClock()
{
    Sim::instance().lock();
    Sim::instance().clock.useManual();
}

void advanceClock(double ms)
{
    Sim::instance().lock();
    Sim::instance().clock.advance(ms);
}

CardState cardState(std::uint32_t session)
{
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    CardState state;
    detail::CardRuntime *card = sim.driverCard(session);
    if (!card)
        return state;
    card->burst.update(sim.clock.now());
    state.open = true;
    for (int i = 0; i < 2; ++i) {
        state.dac[i] = card->dac[i];
        state.filter[i] = card->filter[i];
        state.term[i] = card->term[i];
    }
    state.itriSource = card->itriSource;
    state.itriPulse = card->itriPulse;
    state.generating = card->burst.active;
    state.waitingForTrigger = card->burst.active && card->burst.waiting;
    state.paused = card->burst.active && card->burst.paused;
    state.calibrations = card->calibrations;
    return state;
}

int openSessionCount()
{
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    return static_cast<int>(sim.sessions.size());
}

} // namespace kdsim
