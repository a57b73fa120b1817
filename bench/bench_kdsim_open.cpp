// 128 LXI resources with 100 ms open latency each, queried from 128 threads
// as the resource search does. Concurrent opens must overlap: the wall time
// is printed as a ratio to one latency (target at most 1.3).
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "kd7010.h"
#include "kdsim.h"
#include "visa.h"

namespace {

const int resources = 128;
const double latencyMs = 100;
const double target = 1.3;

std::string address(int i)
{
    return "10.2." + std::to_string(i / 100) + "." + std::to_string(i % 100);
}

std::string system128()
{
    std::string json = "{\"resources\": [";
    for (int i = 0; i < resources; ++i)
        json += std::string(i ? "," : "") + "{\"descriptor\": \"TCPIP0::" + address(i) + "::INSTR\", \"address\": \""
            + address(i) + "\", \"openLatencyMs\": 100, \"carrier\": {\"model\": " + std::to_string(2000 + i)
            + ", \"cards\": [{\"model\": \"0x7240\"}, {\"model\": \"0x6216\", \"variant\": \"16\"}]}}";
    return json + "]}";
}

// One resource as the search queries it; true when everything read back as configured.
bool query(ViSession rm, int i)
{
    ViSession vi = 0;
    if (viOpen(rm, ("TCPIP0::" + address(i) + "::INSTR").c_str(), 0, 0, &vi) != VI_SUCCESS)
        return false;
    carrierHandle_t handle = {};
    handle.defaultRM = rm;
    char addr[VI_FIND_BUFLEN] = {};
    ViUInt16 type = 0, word = 0;
    bool ok = viGetAttribute(vi, VI_ATTR_INTF_TYPE, &type) == VI_SUCCESS && type == VI_INTF_TCPIP
        && viGetAttribute(vi, VI_ATTR_TCPIP_ADDR, addr) == VI_SUCCESS && addr == address(i)
        && openCarrier(vi, &handle) == VI_SUCCESS;
    if (ok) {
        const kd7010_identityTable_t *id = handle.object->identity;
        kd7010_accessTable_t *access = handle.object->getAccess(handle.object, 1, 1);
        ok = id->slotCount == 2 && id->identities[0] == 2000 + i && id->identities[1] == 0x7240 && access
            && access->readSlotWord(handle.object, 2, KD7010_VARIANT_REGISTER, &word) == VI_SUCCESS
            && word == ('1' << 8 | '6');
        closeCarrier(&handle);
    }
    viClose(vi);
    return ok;
}

} // namespace

int main()
{
    std::string error;
    if (!kdsim::loadSystem(system128(), &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    ViSession rm = 0;
    if (viOpenDefaultRM(&rm) != VI_SUCCESS)
        return 1;
    std::vector<char> ok(resources, 0);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int i = 0; i < resources; ++i)
        threads.emplace_back([&ok, rm, i] { ok[i] = query(rm, i); });
    for (auto &t : threads)
        t.join();
    const double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    viClose(rm);
    int wrong = 0;
    for (char k : ok)
        wrong += !k;
    std::printf("open128: wall %.1f ms, ratio %.2f (target <= %.2f)\n", wallMs, wallMs / latencyMs, target);
    if (wrong) {
        std::printf("open128: %d of %d resources read back wrong\n", wrong, resources);
        return 1;
    }
    return 0;
}
