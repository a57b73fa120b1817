// What each exported call fills in for the record: arguments, outputs, status.
#ifndef KDSIM_CALLRECORD_H
#define KDSIM_CALLRECORD_H

#include <string>
#include <vector>

#include "kdsim_jsonobject.h"
#include "visa.h"

namespace kdsim::detail {

// The record of one exported call: fill args (and out), then return done(status).
class CallRecord
{
public:
    explicit CallRecord(const char *name) : name(name) {}
    ViStatus done(ViStatus status);
    const char *call() const { return name; }
    // {"count","min","max"[,"values"]} of a sample array the call reads, or null when it cannot be read;
    // keeps a copy in `keep` when samples are kept.
    std::string samples(const double *data, long long count, std::vector<double> &keep);

    JsonObject args;
    JsonObject out;
    std::vector<double> data1;
    std::vector<double> data2;

private:
    const char *name;
};

} // namespace kdsim::detail

#endif
