#include "kdsim_sim.h"

#include <cstdio>
#include <cstdlib>

namespace kdsim::detail {

Sim &Sim::instance()
{
    // Never destroyed: calls may still arrive from other threads while the process exits.
    static Sim *sim = new Sim;
    return *sim;
}

std::unique_lock<std::mutex> Sim::lock()
{
    std::unique_lock<std::mutex> l(mutex);
    if (!loaded)
        loadFromEnvironment();
    return l;
}

void Sim::loadFromEnvironment()
{
    const char *path = std::getenv("KDSIM_SYSTEM");
    SystemConfig config;
    std::string text, error;
    if (!path || !*path) {
        parseSystem(defaultSystemText(), config, error);
        install(std::move(config));
        return;
    }
    if (readFile(path, text, error) && parseSystem(text, config, error)) {
        install(std::move(config));
        return;
    }
    std::fprintf(stderr, "kdsim: %s: %s\n", path, error.c_str());
    install(std::nullopt);
}

void Sim::install(std::optional<SystemConfig> config)
{
    sessions.clear();
    cards.clear();
    ++generation;
    faults = config ? config->faults : std::vector<FaultConfig>();
    system = config ? std::make_shared<const SystemConfig>(std::move(*config)) : nullptr;
    clock.restart();
    recorder.restart();
    loaded = true;
}

const ResourceConfig *Sim::resource(int index) const
{
    if (!system || index < 0 || static_cast<std::size_t>(index) >= system->resources.size())
        return nullptr;
    return &system->resources[static_cast<std::size_t>(index)];
}

ViSession Sim::open(Session session)
{
    while (nextSession == 0 || sessions.count(nextSession))
        ++nextSession;
    const ViSession id = nextSession++;
    sessions.emplace(id, std::move(session));
    return id;
}

Session *Sim::find(ViSession id, SessionKind kind)
{
    auto it = sessions.find(id);
    return it != sessions.end() && it->second.kind == kind ? &it->second : nullptr;
}

CardRuntime *Sim::driverCard(ViSession id)
{
    Session *s = find(id, SessionKind::Instrument);
    if (!s || !s->driver)
        return nullptr;
    auto it = cards.find(s->card);
    return it == cards.end() ? nullptr : &it->second;
}

int Sim::resourceOf(ViSession id) const
{
    auto it = sessions.find(id);
    return it == sessions.end() ? -1 : it->second.resource;
}

std::optional<ViStatus> Sim::takeFault(const char *call, int resourceIndex)
{
    const ResourceConfig *r = resource(resourceIndex);
    for (FaultConfig &f : faults) {
        if (f.count == 0 || f.call != call || (!f.resource.empty() && (!r || r->normalised != f.resource)))
            continue;
        if (f.passFirst > 0) {
            --f.passFirst;
            continue;
        }
        if (f.count > 0)
            --f.count;
        return f.status;
    }
    return std::nullopt;
}

} // namespace kdsim::detail
