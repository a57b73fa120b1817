// Small helpers the benchmarks share.
#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <algorithm>
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
