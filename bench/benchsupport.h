// Small helpers the benchmarks share.
#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <unistd.h>
#include <vector>

// The middle of a set of measurements: one slow run on a shared machine does
// not move it.
inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The fastest of `rounds` runs of `fn`, in milliseconds: the run the
// machine's other work disturbed least.
inline double bestMs(const std::function<void()> &fn, int rounds = 30)
{
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        fn();
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

// This process's resident memory in MB.
inline double residentMB()
{
    long pages = 0, resident = 0;
    if (std::FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

#endif
