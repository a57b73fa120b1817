// The simulated system as the system file describes it: resources, their
// carriers and cards, and the faults to inject. Read-only once loaded.
#ifndef KDSIM_SYSTEM_H
#define KDSIM_SYSTEM_H

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kdsim::detail {

struct CardConfig {
    std::uint16_t model = 0;
    std::string variant;            // exactly two characters, read at slot register 252
    std::uint32_t serial = 0;
    std::string subtype = "AA";     // at most 3 characters
    std::string revision = "1.0.0.0"; // at most 15 characters
    double lowLimit = -10;
    double highLimit = 10;
};

struct CarrierConfig {
    std::uint16_t model = 0;
    std::vector<std::optional<CardConfig>> slots; // slot i + 1; nullopt = empty slot
};

struct ResourceConfig {
    std::string descriptor;  // as written in the system file
    std::string normalised;  // upper case, with the board number
    int interfaceType = 0;   // VI_INTF_*, 0 for an unknown prefix
    std::uint16_t board = 0;
    std::optional<std::int16_t> slot;
    std::optional<std::string> address;
    std::optional<std::string> hostname;
    std::optional<std::string> deviceName;
    double openLatencyMs = 0;
    std::optional<CarrierConfig> carrier;
};

struct FaultConfig {
    std::string call;
    std::int32_t status = 0;
    int count = -1;        // < 0: always
    std::string resource;  // normalised descriptor the fault is limited to; empty: every call
    int passFirst = 0;     // calls it lets through before it strikes
};

struct SystemConfig {
    std::vector<ResourceConfig> resources;
    std::vector<FaultConfig> faults;

    // Index of the resource with this normalised descriptor, or -1.
    int find(const std::string &normalised) const;
    // Builds the lookup find() uses; after the resources are complete.
    void index();

private:
    std::unordered_map<std::string, int> byName;
};

// Parses a system file's text. On failure returns false and sets `error` to
// "<where>: <what>" (no file name, no trailing newline, no control
// character). Texts come out as Latin-1 bytes, as the C interfaces take them.
bool parseSystem(const std::string &text, SystemConfig &system, std::string &error);

// Reads a system file; on failure sets `error` to what went wrong.
bool readFile(const std::string &path, std::string &text, std::string &error);

// The built-in system used when KDSIM_SYSTEM is unset or empty.
const std::string &defaultSystemText();

// Whether `name` is a call that kdsim exports (faults may only name those).
bool isKnownCall(const std::string &name);

} // namespace kdsim::detail

#endif
