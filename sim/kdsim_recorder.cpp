#include "kdsim_recorder.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "kdsim_jsonobject.h"
#include "kdsim_sim.h"

namespace kdsim::detail {

void Recorder::restart()
{
    std::lock_guard<std::mutex> l(mutex);
    if (file)
        std::fclose(file);
    file = nullptr;
    seq = 0;
    kept.clear();
    const char *samples = std::getenv("KDSIM_TRACE_SAMPLES");
    traceSamples = samples && *samples && std::strcmp(samples, "0") != 0;
    const char *path = std::getenv("KDSIM_TRACE");
    if (path && *path) {
        file = std::fopen(path, "ae");
        if (!file)
            std::fprintf(stderr, "kdsim: %s: cannot open the trace file: %s\n", path, std::strerror(errno));
    }
}

void Recorder::add(Call call)
{
    std::lock_guard<std::mutex> l(mutex);
    call.seq = ++seq;
    call.ms = Sim::instance().clock.now();
    if (file) {
        char ms[64] = "null";
        if (std::isfinite(call.ms))
            *std::to_chars(ms, ms + sizeof ms - 1, call.ms, std::chars_format::fixed, 1).ptr = '\0';
        std::string line = "{\"seq\":" + std::to_string(call.seq) + ",\"ms\":" + ms + ",\"call\":" + jsonString(call.call)
            + ",\"args\":" + call.args;
        if (!call.out.empty())
            line += ",\"out\":" + call.out;
        line += ",\"status\":" + std::to_string(call.status) + "}\n";
        std::fwrite(line.data(), 1, line.size(), file);
        std::fflush(file);
    }
    // A bounded window: hours of 100 ms polls must not grow the process.
    if (kept.size() >= keptCalls)
        kept.pop_front();
    kept.push_back(std::move(call));
}

std::vector<Call> Recorder::calls(const std::string *name)
{
    std::lock_guard<std::mutex> l(mutex);
    if (!name)
        return std::vector<Call>(kept.begin(), kept.end());
    std::vector<Call> some;
    for (const Call &c : kept)
        if (c.call == *name)
            some.push_back(c);
    return some;
}

void Recorder::clear()
{
    std::lock_guard<std::mutex> l(mutex);
    kept.clear();
}

} // namespace kdsim::detail
