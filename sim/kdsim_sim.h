// The state behind every exported call: the loaded system, the open sessions
// and carrier objects, the simulated cards and faults. One lock guards the
// tables; nothing sleeps while holding it.
#ifndef KDSIM_SIM_H
#define KDSIM_SIM_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "kd7010.h"
#include "kdsim_burst.h"
#include "kdsim_clock.h"
#include "kdsim_recorder.h"
#include "kdsim_system.h"

namespace kdsim::detail {

struct CardRuntime {
    CardConfig config;
    double dac[2] = {0, 0};
    int filter[2] = {0, 0};
    int term[2] = {0, 0};
    int itriSource = 0;
    int itriPulse = 0;
    int calibrations = 0;
    Burst burst;
};

enum class SessionKind { ResourceManager, Instrument, FindList };

struct Session {
    SessionKind kind = SessionKind::Instrument;
    ViSession parent = 0;  // resource manager of an instrument session or find list; 0 for driver sessions
    int resource = -1;     // instrument and driver sessions
    bool driver = false;   // opened by kd7240_init
    std::pair<int, int> card{-1, 0}; // driver sessions: (resource, function-card number)
    std::vector<std::string> found;  // find lists
    std::size_t next = 0;
};

// The memory handed out by openCarrier: the carrier object first, then the
// tables it points to, all owned by the block.
struct CarrierBlock {
    kd7010_carrier_t object;
    kd7010_identityTable_t identity;
    kd7010_accessTable_t access;
    ViUInt16 variants[KD7010_MAX_SLOTS + 1];
    ViSession session;
};

class Sim
{
public:
    static Sim &instance();

    // Locks the tables; the first lock loads the system of the environment.
    std::unique_lock<std::mutex> lock();
    // Locks without loading, for the loaders themselves.
    std::unique_lock<std::mutex> lockOnly() { return std::unique_lock<std::mutex>(mutex); }

    // All below under the lock.
    void loadFromEnvironment();
    // Installs a system (nullopt: a broken one whose resource manager cannot open).
    void install(std::optional<SystemConfig> config);
    bool broken() const { return !system; }
    const ResourceConfig *resource(int index) const;
    ViSession open(Session session);
    Session *find(ViSession id, SessionKind kind);
    CardRuntime *driverCard(ViSession id);
    // The resource an instrument or driver session was opened on; -1 for others and unknown ids.
    int resourceOf(ViSession id) const;
    // Consumes one fault for `call`, limited to calls concerning `resource` (-1: none in particular).
    std::optional<ViStatus> takeFault(const char *call, int resource);

    std::shared_ptr<const SystemConfig> system;
    std::uint64_t generation = 0;
    std::map<ViSession, Session> sessions;
    std::map<std::pair<int, int>, CardRuntime> cards;
    std::vector<FaultConfig> faults;
    std::unordered_set<const void *> carriers; // live carrier objects; they outlive system reloads

    Clock clock;
    Recorder recorder;

private:
    std::mutex mutex;
    bool loaded = false;
    ViSession nextSession = 4097;
};

} // namespace kdsim::detail

#endif
