#include "kdsim_callrecord.h"

#include <algorithm>
#include <cmath>

#include "kd7240.h"
#include "kdsim_sim.h"

namespace kdsim::detail {

ViStatus CallRecord::done(ViStatus status)
{
    Call call;
    call.call = name;
    call.args = args.text();
    call.out = out.empty() ? std::string() : out.text();
    call.status = status;
    call.data1 = std::move(data1);
    call.data2 = std::move(data2);
    Sim::instance().recorder.add(std::move(call));
    return status;
}

std::string CallRecord::samples(const double *data, long long count, std::vector<double> &keep)
{
    if (!data || count < 1 || count > kd7240_MAX_SAMPLES)
        return "null";
    double lo = NAN, hi = NAN;
    for (long long i = 0; i < count; ++i) {
        if (std::isnan(data[i]))
            continue;
        lo = std::isnan(lo) ? data[i] : std::min(lo, data[i]);
        hi = std::isnan(hi) ? data[i] : std::max(hi, data[i]);
    }
    JsonObject summary;
    summary.integer("count", count).number("min", lo).number("max", hi);
    Recorder &recorder = Sim::instance().recorder;
    if (recorder.traceSamples) {
        std::string values = "[";
        for (long long i = 0; i < count; ++i) {
            if (i)
                values += ',';
            values += jsonNumber(data[i]);
        }
        summary.raw("values", values + "]");
    }
    if (recorder.keepSamples)
        keep.assign(data, data + count);
    return summary.text();
}

} // namespace kdsim::detail
